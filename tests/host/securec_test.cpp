#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/securec.h"

namespace {

// Checks what a call returned and the text it left behind.
void Leaves(int ret, int expectedRet, const char *buf, const char *text) {
    EXPECT_EQ(ret, expectedRet) << "leaving \"" << text << "\"";
    EXPECT_STREQ(buf, text);
}
// A copy that does not fit fails and leaves an empty text.
void Fails(int ret, const char *buf) {
    EXPECT_NE(ret, 0);
    EXPECT_STREQ(buf, "");
}

TEST(Securec, CopiesAndFormattingFitUpToSizeMinusOneAndFailuresEmpty) {
    char buf[4] = "xy";
    EXPECT_NE(strcpy_s(buf, 0, "a"), 0);
    EXPECT_STREQ(buf, "xy");  // a zero-sized buffer is never touched
    Leaves(strcpy_s(buf, sizeof(buf), "abc"), 0, buf, "abc");
    Fails(strcpy_s(buf, sizeof(buf), "abcd"), buf);
    Leaves(strncpy_s(buf, sizeof(buf), "abcdef", 3), 0, buf, "abc");
    Fails(strncpy_s(buf, sizeof(buf), "abcdef", 4), buf);
    Leaves(strcpy_s(buf, sizeof(buf), "abc"), 0, buf, "abc");
    Fails(strcpy_s(buf, sizeof(buf), nullptr), buf);
    EXPECT_NE(strcpy_s(nullptr, 4, "a"), 0);
    EXPECT_EQ(sprintf_s(nullptr, 4, "%d", 1), -1);

    char cat[6] = "ab";
    Leaves(strcat_s(cat, sizeof(cat), "cde"), 0, cat, "abcde");  // 5 characters in 6 bytes
    Fails(strcat_s(cat, sizeof(cat), "f"), cat);
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_NE(strcat_s(unterminated, sizeof(unterminated), ""), 0);
    EXPECT_EQ(unterminated[0], '\0');
    char text[8];
    Leaves(sprintf_s(text, 6, "%s-%d", "ab", 12), 5, text, "ab-12");
    Leaves(sprintf_s(text, 6, "%s-%d", "ab", 123), -1, text, "");
    Leaves(sprintf_s(text, sizeof(text), "%s", "1234567"), 7, text, "1234567");
    Leaves(sprintf_s(text, sizeof(text), "%s", "12345678"), -1, text, "");
    const std::string big(1000, 'x');
    Leaves(sprintf_s(text, sizeof(text), "%s", big.c_str()), -1, text, "");
}

TEST(Securec, MemsetAndMemcpyNeverPassTheBuffer) {
    unsigned char buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(memset_s(buf, sizeof(buf), 7, 2), 0);
    EXPECT_EQ(std::memcmp(buf, "\7\7\3\4", 4), 0);
    EXPECT_NE(memset_s(buf, sizeof(buf), 7, 5), 0);
    EXPECT_EQ(memcpy_s(buf, sizeof(buf), "wxyz", 4), 0);
    EXPECT_EQ(std::memcmp(buf, "wxyz", 4), 0);
    EXPECT_NE(memcpy_s(buf, sizeof(buf), "12345", 5), 0);
    EXPECT_EQ(buf[0], 0);
}

}  // namespace
