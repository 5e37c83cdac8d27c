// Masks on UTF-16 code units.
#include <string>

#include <gtest/gtest.h>

#include "manager/UTMask.h"

using unified_track::AllButFirstMask;
using unified_track::LastFourMask;
using unified_track::MiddleMask;

TEST(Masks, MiddleKeepsFourAtEachEnd)
{
    EXPECT_EQ(MiddleMask(""), "");
    EXPECT_EQ(MiddleMask("/a/b/c.d"), "/a/b/c.d");           // 8: unchanged
    EXPECT_EQ(MiddleMask("/tmp/x"), "/tmp/x");
    EXPECT_EQ(MiddleMask("abcdefghi"), "abcd*fghi");          // 9: one masked
    EXPECT_EQ(MiddleMask("/home/user/dotdata/x"), "/hom************ta/x");  // 20: twelve masked
    EXPECT_EQ(MiddleMask("数据文件夹路径很长的名字"), "数据文件****长的名字");   // 12 units
    EXPECT_EQ(MiddleMask("ab😀cdef😀gh"), "ab😀****😀gh");                   // pairs kept whole
    // A pair cut by the mask leaves a lone half, which comes back as U+FFFD.
    EXPECT_EQ(MiddleMask("abc😀defg😀h"), "abc\xEF\xBF\xBD****g😀h");
}

TEST(Masks, LastFourAndAllButFirst)
{
    EXPECT_EQ(LastFourMask("abc"), "abc");
    EXPECT_EQ(LastFourMask("abcd"), "****");
    EXPECT_EQ(LastFourMask("12345678"), "1234****");
    EXPECT_EQ(LastFourMask("设备编号甲乙"), "设备****");
    EXPECT_EQ(AllButFirstMask(""), "");
    EXPECT_EQ(AllButFirstMask("a"), "a");
    EXPECT_EQ(AllButFirstMask("dave"), "d***");
    EXPECT_EQ(AllButFirstMask("éa"), "é*");
    EXPECT_EQ(AllButFirstMask("\xff\xfe"), "\xEF\xBF\xBD*");  // invalid UTF-8 does not crash
}
