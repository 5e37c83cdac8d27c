// Timing report state and payloads: delay window, 30-second gate, callback registry.
#include <gtest/gtest.h>

#include <json/reader.h>

#include <cstring>
#include <memory>
#include <string>

#include "interface/track_timing_payloads.h"
#include "interface/track_timing_state.h"

namespace unified_track {
namespace {

std::string Str(const SecureString &s) { return std::string(s.data(), s.size()); }

TEST(MainDelayTracker, WindowIsOneTo30000MsAfterTheMark) {
    MainDelayTracker tracker;
    EXPECT_FALSE(tracker.IsDelayed(5000));  // never marked
    tracker.Mark(100000);
    EXPECT_FALSE(tracker.IsDelayed(100000));
    EXPECT_TRUE(tracker.IsDelayed(100001));
    EXPECT_TRUE(tracker.IsDelayed(130000));
    EXPECT_FALSE(tracker.IsDelayed(130001));
    EXPECT_FALSE(tracker.IsDelayed(99999));  // clock before the mark
}

TEST(MsgReportLimiter, OneReportPer30Seconds) {
    MsgReportLimiter limiter;
    EXPECT_FALSE(limiter.TryReport(0));
    EXPECT_FALSE(limiter.TryReport(29));
    EXPECT_TRUE(limiter.TryReport(30));
    EXPECT_FALSE(limiter.TryReport(59));
    EXPECT_TRUE(limiter.TryReport(60));
    EXPECT_TRUE(limiter.TryReport(1000));
}

TEST(MsgReportLimiter, ClockGoingBackRestartsTheInterval) {
    MsgReportLimiter limiter;
    EXPECT_TRUE(limiter.TryReport(100));
    EXPECT_FALSE(limiter.TryReport(50));  // back: restart from 50
    EXPECT_FALSE(limiter.TryReport(79));
    EXPECT_TRUE(limiter.TryReport(80));
}

int g_calls = 0;
void CountCall() { ++g_calls; }

TEST(BlockedNotifyRegistry, ReplaceAndNull) {
    BlockedNotifyRegistry registry;
    EXPECT_EQ(registry.Find("f"), nullptr);
    registry.Set("f", &CountCall);
    EXPECT_EQ(registry.Find("f"), &CountCall);
    EXPECT_EQ(registry.Find("F"), nullptr);
    registry.Set("f", nullptr);
    EXPECT_EQ(registry.Find("f"), nullptr);
    registry.Set("", &CountCall);
    EXPECT_EQ(registry.Find(""), &CountCall);
}

tagUTTimeTakenRecord MakeRecord(const char *func, const char *data) {
    tagUTTimeTakenRecord r;
    std::memset(&r, 0, sizeof(r));
    r.blockedNotify = 1;
    r.blockedCount = -2;
    r.useTime = 5000000000ULL;
    r.line = 77;
    std::strncpy(r.data, data, sizeof(r.data) - 1);
    std::strncpy(r.funcName, func, sizeof(r.funcName) - 1);
    return r;
}

TEST(TimingPayloads, TimeTaken) {
    const tagUTTimeTakenRecord r = MakeRecord("Conf::Join", "slow \"dns\"");
    EXPECT_EQ(Str(BuildTimeTakenPayload(r)),
              "{\"blockedCount\":-2,\"blockedNotify\":1,\"data\":\"slow \\\"dns\\\"\","
              "\"funcName\":\"Conf::Join\",\"line\":77,\"useTime\":5000000000}");
}

TEST(TimingPayloads, TimeTakenArraysWithoutNul) {
    auto r = std::make_unique<tagUTTimeTakenRecord>(MakeRecord("", ""));
    std::memset(r->data, 'd', sizeof(r->data));
    std::memset(r->funcName, 'f', sizeof(r->funcName));
    EXPECT_EQ(Str(TimeTakenFuncName(*r)), std::string(UT_TIME_TAKEN_FUNC_NAME_LEN, 'f'));
    const std::string out = Str(BuildTimeTakenPayload(*r));
    EXPECT_NE(out.find("\"data\":\"" + std::string(UT_TIME_TAKEN_DATA_LEN, 'd') + "\""), std::string::npos);
    EXPECT_NE(out.find("\"funcName\":\"" + std::string(UT_TIME_TAKEN_FUNC_NAME_LEN, 'f') + "\""),
              std::string::npos);
}

bool ParseObject(const std::string &text, Json::Value *out) {
    Json::CharReaderBuilder rb;
    std::unique_ptr<Json::CharReader> reader(rb.newCharReader());
    std::string errs;
    return reader->parse(text.data(), text.data() + text.size(), out, &errs) && out->isObject();
}

TEST(TimingPayloads, ErrorAnalyzeIsPlainConcatenation) {
    const std::string plain = Str(BuildErrorAnalyzePayload("net", "dns failed"));
    EXPECT_EQ(plain, "{\"type\":\"net\",\"errorInfo\":\"dns failed\"}");
    Json::Value parsed;
    ASSERT_TRUE(ParseObject(plain, &parsed));
    EXPECT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed["type"].asString(), "net");
    EXPECT_EQ(parsed["errorInfo"].asString(), "dns failed");
    // Quotes and backslashes pass unchanged, so such a payload is no longer JSON.
    const std::string quoted = Str(BuildErrorAnalyzePayload("a\"b", "c\\"));
    EXPECT_EQ(quoted, "{\"type\":\"a\"b\",\"errorInfo\":\"c\\\"}");
    EXPECT_FALSE(ParseObject(quoted, &parsed));
    EXPECT_EQ(Str(BuildErrorAnalyzePayload("", "")), "{\"type\":\"\",\"errorInfo\":\"\"}");
}

TEST(TimingPayloads, AnonymousAuthAndPalMsg) {
    EXPECT_EQ(Str(BuildAnonymousAuthPayload("192.0.2.7", "c9", 4294967295u)),
              "{\"confId\":\"c9\",\"result\":4294967295,\"serverIp\":\"192.0.2.7\"}");
    tagUTPalMsgRecord m;
    std::memset(&m, 0, sizeof(m));
    m.reserved = 0xDEAD;
    m.seqId = 3000000000u;
    m.appMsgId = 12;
    std::strcpy(m.sendApp, "conf");
    m.sendMid = 1;
    std::memset(m.recvApp, 'r', sizeof(m.recvApp));  // no NUL: read up to the array end
    m.recvMid = 2;
    EXPECT_EQ(Str(BuildPalMsgPayload(m)),
              "{\"appMsgId\":12,\"recvApp\":\"" + std::string(32, 'r') +
                  "\",\"recvMid\":2,\"sendApp\":\"conf\",\"sendMid\":1,\"seqId\":3000000000}");
}

}  // namespace
}  // namespace unified_track
