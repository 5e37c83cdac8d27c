// Masks on UTF-16 code units; the record lines cover the usual cases, these the edges.
#include <gtest/gtest.h>

#include "manager/UTMask.h"

using namespace unified_track;

TEST(Masks, LengthEdgesSurrogatePairsAndInvalidText)
{
    EXPECT_EQ(MiddleMask(""), "");
    EXPECT_EQ(MiddleMask("/a/b/c.d"), "/a/b/c.d");                        // 8: unchanged
    EXPECT_EQ(MiddleMask("abcdefghi"), "abcd*fghi");                       // 9: one masked
    EXPECT_EQ(MiddleMask("数据文件夹路径很长的名字"), "数据文件****长的名字");  // 12 units
    EXPECT_EQ(MiddleMask("ab😀cdef😀gh"), "ab😀****😀gh");                  // pairs kept whole
    // A pair cut by the mask leaves a lone half, which comes back as U+FFFD.
    EXPECT_EQ(MiddleMask("abc😀defg😀h"), "abc\xEF\xBF\xBD****g😀h");
    EXPECT_EQ(LastFourMask("abcd"), "****");
    EXPECT_EQ(AllButFirstMask(""), "");
    EXPECT_EQ(AllButFirstMask("a"), "a");
    EXPECT_EQ(AllButFirstMask("éa"), "é*");
    EXPECT_EQ(AllButFirstMask("\xff\xfe"), "\xEF\xBF\xBD*");  // invalid UTF-8 does not crash
}
