#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/config_store.h"

namespace {

class ConfigStore : public ::testing::Test {
protected:
    void TearDown() override { OstClearGlobalCfg(); }
};

TEST_F(ConfigStore, TextRoundTripSizeLimitAndClear) {
    ASSERT_EQ(OstSetGlobalCfg(140, "10.1.2.3", 8), 0);
    char exact[9];  // the text and its terminator, no more
    ASSERT_EQ(OstGetGlobalCfg(140, exact, sizeof(exact)), 0);
    EXPECT_STREQ(exact, "10.1.2.3");
    char small[8] = "junk";
    EXPECT_NE(OstGetGlobalCfg(140, small, sizeof(small)), 0);
    EXPECT_STREQ(small, "");
    char buf[16] = "junk";
    EXPECT_NE(OstGetGlobalCfg(999, buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_NE(OstGetGlobalCfg(140, nullptr, 16), 0);
    EXPECT_NE(OstSetGlobalCfg(1, nullptr, 4), 0);

    // A setter that counts the terminator stores the same text.
    ASSERT_EQ(OstSetGlobalCfg(57, "abc", 4), 0);
    ASSERT_EQ(OstGetGlobalCfg(57, buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "abc");
    OstClearGlobalCfg();
    EXPECT_NE(OstGetGlobalCfg(57, buf, sizeof(buf)), 0);
}

TEST_F(ConfigStore, IntegerOrDefault) {
    EXPECT_EQ(OstGetGlobalInt32CfgWithDefVal(152, -5), -5);
    for (const char *good : {"42", "-17"}) {
        OstSetGlobalCfg(152, good, static_cast<uint32_t>(std::strlen(good)));
        EXPECT_EQ(OstGetGlobalInt32CfgWithDefVal(152, -5), std::stoi(good));
    }
    for (const char *bad : {"", "12abc", "abc", "99999999999", "1.5"}) {
        OstSetGlobalCfg(69, bad, static_cast<uint32_t>(std::strlen(bad)));
        EXPECT_EQ(OstGetGlobalInt32CfgWithDefVal(69, 3), 3) << bad;
    }
}

int32_t g_seenItem = 0;
int32_t FillBuffer(uint32_t item, void *buffer, uint32_t size) {
    g_seenItem = static_cast<int32_t>(item);
    if (buffer != nullptr && size > 2) std::memcpy(buffer, "ok", 3);
    return 0;
}

TEST_F(ConfigStore, CallbacksRunForTheirItem) {
    char buf[908] = {};
    EXPECT_NE(OstRunGlobalCfgCallback(129, buf, sizeof(buf)), 0);
    ASSERT_EQ(OstRegGlobalCfgCallback(129, FillBuffer), 0);
    EXPECT_EQ(OstRunGlobalCfgCallback(129, buf, sizeof(buf)), 0);
    EXPECT_EQ(g_seenItem, 129);
    EXPECT_STREQ(buf, "ok");
    OstRegGlobalCfgCallback(129, nullptr);
    EXPECT_NE(OstRunGlobalCfgCallback(129, buf, sizeof(buf)), 0);
}

}  // namespace
