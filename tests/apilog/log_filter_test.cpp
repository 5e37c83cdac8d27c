// The log library's masks: exact shapes, and what never stays readable.
#include <string>

#include <gtest/gtest.h>

#include "host/log.h"

namespace {

std::string Replace(std::string text, size_t from, size_t to, bool hideLength, bool hideAll) {
    LogStream::ReplaceSensitiveWord(text, from, to, hideLength, hideAll);
    return text;
}

std::string Filter(std::string text, const std::string &key, const std::string &start, const std::string &end,
                   bool hideLength, bool hideAll) {
    LogStream::FilterWithSpecifiedWord(text, key, start, end, hideLength, hideAll);
    return text;
}

}  // namespace

TEST(LogFilter, ReplaceSensitiveWordShapes) {
    // Per character; a long range keeps only its last character.
    EXPECT_EQ(Replace("[Alexander Smith]", 1, 16, false, false), "[**************h]");
    EXPECT_EQ(Replace("[Bob]", 1, 4, false, false), "[***]");
    EXPECT_EQ(Replace("[Alexander Smith]", 1, 16, false, true), "[***************]");
    // Fixed marker: the length is gone too.
    EXPECT_EQ(Replace("[Alexander Smith]", 1, 16, true, true), "[ ...... ]");
    EXPECT_EQ(Replace("[Alexander Smith]", 1, 16, true, false), "[ ...... h]");
    // Out-of-range and empty ranges.
    EXPECT_EQ(Replace("abcdef", 2, 1000, false, true), "ab****");
    EXPECT_EQ(Replace("abcdef", 4, 4, true, true), "abcdef");
    EXPECT_EQ(Replace("abcdef", 9, 12, true, true), "abcdef");
    EXPECT_EQ(Replace("", 0, 5, true, true), "");
}

TEST(LogFilter, ReplaceSensitiveWordMasksWholeUtf8Characters) {
    const std::string name = "\xE5\xBC\xA0\xE4\xB8\x89";  // two 3-byte characters
    // A range starting inside the first character is widened to it.
    EXPECT_EQ(Replace("<" + name + ">", 2, 7, false, true), "<**>");
    EXPECT_EQ(Replace(name + name + name + name, 0, 24, false, false), "*******\xE4\xB8\x89");
}

TEST(LogFilter, FilterWithSpecifiedWordMasksEveryValueBehindTheKey) {
    EXPECT_EQ(Filter(R"({"pwd":"abc","x":"y","pwd":"secret-two"})", "\"pwd\"", "\"", "\"", true, true),
              R"({"pwd":" ...... ","x":"y","pwd":" ...... "})");
    EXPECT_EQ(Filter(R"({"name" : "Bob"})", "name\"", "\"", "\"", false, false), R"({"name" : "***"})");
    // An empty value stays empty; the key alone or no closing delimiter masks to the end.
    EXPECT_EQ(Filter(R"({"pwd":"","a":1})", "\"pwd\"", "\"", "\"", true, true), R"({"pwd":"","a":1})");
    EXPECT_EQ(Filter(R"({"pwd":"cut off)", "\"pwd\"", "\"", "\"", false, true), R"({"pwd":"*******)");
    EXPECT_EQ(Filter(R"({"pwd"})", "\"pwd\"", "\"", "\"", true, true), R"({"pwd"})");
    // Empty arguments change nothing (and never loop).
    EXPECT_EQ(Filter("a\"b\"", "", "\"", "\"", true, true), "a\"b\"");
    EXPECT_EQ(Filter("a\"b\"", "a", "", "\"", true, true), "a\"b\"");
}

TEST(LogFilter, BareValuesAreMaskedNotTheNextQuotedText) {
    EXPECT_EQ(Filter(R"({"pwd":123456,"user":"bob"})", "\"pwd\"", "\"", "\"", true, true),
              R"({"pwd": ...... ,"user":"bob"})");
    EXPECT_EQ(Filter(R"({"id": 42})", "id\"", "\"", "\"", false, false), R"({"id": **})");
}

TEST(LogFilter, FilterWordIpRuleKeepsOnlyTheOuterGroups) {
    EXPECT_EQ(LogStream::FilterWord("192.168.31.207", LOG_FILTER_IP), "192.***.**.207");
    EXPECT_EQ(LogStream::FilterWord("10.1.2.3:5061", LOG_FILTER_IP), "10.*.*.*:5061");
    EXPECT_EQ(LogStream::FilterWord("10.1.2.3,172.16.0.9; 8.8.4.4", LOG_FILTER_IP), "10.*.*.3,172.**.*.9; 8.*.*.4");
    EXPECT_EQ(LogStream::FilterWord("2001:db8:85a3::8a2e:370:7334", LOG_FILTER_IP), "2001:***:****::****:***:7334");
    EXPECT_EQ(LogStream::FilterWord("host:443", LOG_FILTER_IP), "host:***");
    EXPECT_EQ(LogStream::FilterWord("localhost", LOG_FILTER_IP), "l********");
    EXPECT_EQ(LogStream::FilterWord("", LOG_FILTER_IP), "");
}

TEST(LogFilter, FilterWordPathRuleKeepsOnlyTheFileName) {
    EXPECT_EQ(LogStream::FilterWord("/home/bob/logs/a.zip", LOG_FILTER_PATH), "/*/*/*/a.zip");
    EXPECT_EQ(LogStream::FilterWord("C:\\Users\\bob\\a.zip", LOG_FILTER_PATH), "*\\*\\*\\a.zip");
    EXPECT_EQ(LogStream::FilterWord("a.zip", LOG_FILTER_PATH), "a.zip");
    EXPECT_EQ(LogStream::FilterWord("/home/bob/", LOG_FILTER_PATH), "/*/*/");
}

TEST(LogFilter, FilterWordUnknownRuleHidesEverything) {
    EXPECT_EQ(LogStream::FilterWord("secret", 0), " ...... ");
    EXPECT_EQ(LogStream::FilterWord("secret", 99), " ...... ");
    EXPECT_EQ(LogStream::FilterWord("", 99), "");
}
