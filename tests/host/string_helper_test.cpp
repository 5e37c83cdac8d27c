#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/string_helper.h"

namespace {

TEST(StringHelper, Utf16CountsCodeUnits) {
    EXPECT_EQ(StringHelper::UTF8ToWstring("abc").size(), 3u);
    EXPECT_EQ(StringHelper::UTF8ToWstring("\xE4\xB8\xAD\xE6\x96\x87"), u"\u4E2D\u6587");  // two CJK: 2 units
    const std::u16string emoji = StringHelper::UTF8ToWstring("\xF0\x9F\x98\x80");         // U+1F600
    EXPECT_EQ(emoji, (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(StringHelper::WstringToUTF8(emoji), "\xF0\x9F\x98\x80");
    std::string mixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x90\x8D\x88z";
    EXPECT_EQ(StringHelper::WstringToUTF8(StringHelper::UTF8ToWstring(mixed)), mixed);
}

TEST(StringHelper, InvalidUtf8AndLoneSurrogatesBecomeReplacement) {
    const std::u16string r(1, u'\xFFFD');
    EXPECT_EQ(StringHelper::UTF8ToWstring("a\xFF"
                                          "b"),
              u"a" + r + u"b");
    EXPECT_EQ(StringHelper::UTF8ToWstring("\xE2\x82"), r + r);                  // cut short
    EXPECT_EQ(StringHelper::UTF8ToWstring("\xC0\xAF"), r + r);                  // overlong '/'
    EXPECT_EQ(StringHelper::UTF8ToWstring("\xED\xA0\x80"), r + r + r);          // encoded surrogate
    EXPECT_EQ(StringHelper::UTF8ToWstring("\xF4\x90\x80\x80"), r + r + r + r);  // past U+10FFFF
    EXPECT_EQ(StringHelper::UTF8ToWstring(std::string("x\0y", 3)).size(), 3u);

    const std::u16string lone{u'a', 0xD800, u'b', 0xDC00};
    EXPECT_EQ(StringHelper::WstringToUTF8(lone),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(StringHelper, SplitKeepsInnerEmptyPiecesButNotTrailing) {
    using V = std::vector<std::string>;
    EXPECT_EQ(StringHelper::Split("a,,b,", ","), (V{"a", "", "b"}));
    EXPECT_EQ(StringHelper::Split(",a", ","), (V{"", "a"}));
    EXPECT_EQ(StringHelper::Split("", ","), V{});
    EXPECT_EQ(StringHelper::Split("a::b", "::"), (V{"a", "b"}));
    EXPECT_EQ(StringHelper::Split("abc", ""), (V{"abc"}));
}

}  // namespace
