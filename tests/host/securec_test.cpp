#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/securec.h"

namespace {

int CallVsnprintf(char *dest, size_t destMax, size_t count, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsnprintf_s(dest, destMax, count, format, args);
    va_end(args);
    return n;
}

TEST(Securec, CopiesFitUpToSizeMinusOneAndFailuresEmpty) {
    char buf[4];
    EXPECT_EQ(strcpy_s(buf, sizeof(buf), "abc"), 0);
    EXPECT_STREQ(buf, "abc");
    EXPECT_NE(strcpy_s(buf, sizeof(buf), "abcd"), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(strncpy_s(buf, sizeof(buf), "abcdef", 3), 0);
    EXPECT_STREQ(buf, "abc");
    EXPECT_NE(strncpy_s(buf, sizeof(buf), "abcdef", 4), 0);
    EXPECT_STREQ(buf, "");

    std::memcpy(buf, "xy", 3);
    EXPECT_NE(strcpy_s(buf, 0, "a"), 0);
    EXPECT_STREQ(buf, "xy");  // a zero-sized buffer is never touched
    EXPECT_NE(strcpy_s(buf, sizeof(buf), nullptr), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_NE(strcpy_s(nullptr, 4, "a"), 0);
    EXPECT_EQ(sprintf_s(nullptr, 4, "%d", 1), -1);
}

TEST(Securec, StrcatBoundaries) {
    char buf[6] = "ab";
    EXPECT_EQ(strcat_s(buf, sizeof(buf), "cde"), 0);  // 5 characters in 6 bytes
    EXPECT_STREQ(buf, "abcde");
    EXPECT_NE(strcat_s(buf, sizeof(buf), "f"), 0);
    EXPECT_STREQ(buf, "");
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_NE(strcat_s(unterminated, sizeof(unterminated), ""), 0);
    EXPECT_EQ(unterminated[0], '\0');
}

TEST(Securec, MemsetAndMemcpyNeverPassTheBuffer) {
    unsigned char buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(memset_s(buf, sizeof(buf), 7, 2), 0);
    EXPECT_EQ(buf[1], 7);
    EXPECT_EQ(buf[2], 3);
    EXPECT_NE(memset_s(buf, sizeof(buf), 7, 5), 0);
    EXPECT_EQ(memcpy_s(buf, sizeof(buf), "wxyz", 4), 0);
    EXPECT_EQ(std::memcmp(buf, "wxyz", 4), 0);
    EXPECT_NE(memcpy_s(buf, sizeof(buf), "12345", 5), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST(Securec, FormattingFitsOrEmpties) {
    char buf[8];
    EXPECT_EQ(sprintf_s(buf, 6, "%s-%d", "ab", 12), 5);
    EXPECT_STREQ(buf, "ab-12");
    EXPECT_EQ(sprintf_s(buf, 6, "%s-%d", "ab", 123), -1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(CallVsnprintf(buf, sizeof(buf), sizeof(buf) - 1, "%s", "1234567"), 7);
    EXPECT_STREQ(buf, "1234567");
    EXPECT_EQ(CallVsnprintf(buf, sizeof(buf), sizeof(buf) - 1, "%s", "12345678"), -1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(CallVsnprintf(buf, sizeof(buf), 3, "%s", "1234"), -1);  // count is tighter than the buffer
    EXPECT_EQ(CallVsnprintf(buf, sizeof(buf), 3, "%s", "123"), 3);
    std::string big(1000, 'x');
    EXPECT_EQ(CallVsnprintf(buf, sizeof(buf), sizeof(buf) - 1, "%s", big.c_str()), -1);
    EXPECT_STREQ(buf, "");
}

}  // namespace
