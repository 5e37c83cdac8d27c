// User records: the exact line for a configured and an empty context, masks, blocking, holding
// back before the context is configured, and texts written as they are.
#include <cstring>

#include "host/config_store.h"
#include "manager/masks.h"
#include "records_fixture.h"

using namespace records_test;
using namespace unified_track;

namespace {
void Add(const char *id, const char *name, const char *a2 = nullptr, const char *a3 = nullptr,
         const char *a4 = nullptr) {
    ASSERT_EQ(Track_AddUserTrack(Tmp(tagUTContextSpecialParam{id, name, a2, a3, a4, 0, 0})), 0u);
}

ContextSpecialParam Record(const std::string &id, const std::string &name) {
    ContextSpecialParam p;
    p.eventId = id;
    p.event = name;
    return p;
}
}  // namespace

class UserEvents : public RecordsTest {};

TEST_F(UserEvents, ExactLinesForAnEmptyContextWithAnUuidFromTheCacheAndAFullContext) {
    InstallFakeCache();  // an empty uuid is reloaded from the cache
    WithCache([](FakeCache &c) {
        c.values = {{"PublicSdkParamUuid", "cached-uuid\n"},
                    {"PublicSdkParamAccount", "carol"},
                    {"PublicSdkParamReserve5", "r5c"}};
    });
    ConfigureEmptyContext();
    Add("7", "ut_event_empty");
    Drain();  // before the parameters below change
    ASSERT_EQ(Track_ConfigPublicSdkParam(
                  Tmp(tagUTPublicSdkParam{"uuid-1", "alice", "10.0.0.1", "10.0.0.2", "corp1", "r2", "r3", "r4", "r5"})),
              0u);
    ASSERT_EQ(Track_SetTerminalType("PC"), 0u);
    ASSERT_EQ(Track_SetConfInfoParam(Tmp(tagUTConfInfoParam{"conf-9", "pid-3"})), 0u);
    tagUTBrioContextPublicParam ctx = {"ctx1",     "DEVICE12345678", "ctx3", "ctx4",  "ctx5",  "ctx6",
                                       "corpApp7", "ctx8",           "ctx9", "ctx10", "ctx11", "ctx12",
                                       "ctx13",    "ctx14",          "s15",  "s16",   "s17"};
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    Add("10", "ut_event_x", "a2", "a3", "{\"k\":1}");
    EXPECT_EQ(AllUserRecords(),
              "6.0|||||||cached-uuid|c****||||||||2024-05-06 07:08:09.010 +0000|||||||r5c|"
              "{\"terminalType\":\"\",\"confuuid\":\"\",\"pid\":\"\",\"thirdAppVersion\":\"\"}|7|ut_event_empty|||\n"
              "6.0|ctx1|DEVICE1234****|ctx3|ctx4|ctx5|ctx6|uuid-1|a****|corpApp7|ctx8|ctx9|ctx10|ctx11|"
              "ctx12|ctx13|2024-05-06 07:08:09.010 +0000|10.0.0.1|10.0.0.2|corp1|s15|s16|s17|r5|"
              "{\"terminalType\":\"PC\",\"confuuid\":\"conf-9\",\"pid\":\"pid-3\",\"thirdAppVersion\":"
              "\"ctx14\"}|10|ut_event_x|a2|a3|{\"k\":1}\n");
}

TEST(Masks, CountUtf16UnitsAtTheEdges) {
    EXPECT_EQ(MiddleMask("/a/b/c.d"), "/a/b/c.d");      // 8: unchanged
    EXPECT_EQ(MiddleMask("abcdefghi"), "abcd*fghi");    // 9: one masked
    EXPECT_EQ(MiddleMask("ab😀cdef😀gh"), "ab😀****😀gh");  // pairs kept whole
    // A pair cut by the mask leaves a lone half, which comes back as U+FFFD.
    EXPECT_EQ(MiddleMask("abc😀defg😀h"), "abc\xEF\xBF\xBD****g😀h");
    EXPECT_EQ(LastFourMask("abcd"), "****");
    EXPECT_EQ(LastFourMask("终端设备AÄ😀"), "终端设备****");  // 4 + 2 + 2 units
    EXPECT_EQ(AllButFirstMask("张三丰"), "张**");
    EXPECT_EQ(AllButFirstMask("\xff\xfe"), "\xEF\xBF\xBD*");  // invalid UTF-8 does not crash
}

TEST_F(UserEvents, ConfigurationItem57OverridesTheCorpAppField) {
    tagUTBrioContextPublicParam ctx = {};
    ctx.context7 = "fromContext";
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    for (const char *item : {"", "fromStore", ""}) {  // empty falls back to the context
        OstSetGlobalCfg(57, item, static_cast<uint32_t>(std::strlen(item)));
        Add("2", "e");
        Drain();  // the item is read when the line is built
    }
    std::vector<std::string> lines = UserLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], lines[2]);
    EXPECT_NE(lines[0].find("||fromContext|"), std::string::npos);
    EXPECT_NE(lines[1].find("||fromStore|"), std::string::npos);
}

TEST_F(UserEvents, TextsAreWrittenAsTheyAreAndEmptyEventIdIsRefused) {
    ConfigureEmptyContext();
    ut_test::LogCapture cap;
    const std::string odd = "a|b\"c\nd\xff\xfe é";
    Add("3", odd.c_str(), "x", "y", "done\n");
    Add(nullptr, "no id");
    const std::string all = AllUserRecords();
    const std::string tail = "|3|" + odd + "|x|y|done\n";  // one newline only
    EXPECT_EQ(all.substr(all.size() - tail.size()), tail);
    EXPECT_TRUE(cap.Contains("param eventId is empty"));
}

TEST_F(UserEvents, MeetingSwitchBlocksEventIdOneAndDotSwitchBlocksAll) {
    ConfigureEmptyContext();
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_SetMeetingSDKDotSwitch(false), 0u);
    Add("1", "blocked_one", "p", "q");
    Add("12", "kept");
    Drain();
    EXPECT_TRUE(cap.Contains("AddUserTrack blocked! event:blocked_one, arg2: p, arg3: q"));
    EXPECT_EQ(M().DoAddUserTrack(Record("1", "direct")), static_cast<OST_UT_RESULT>(UT_DOT_SWITCH_OFF));
    ASSERT_EQ(Track_SetMeetingSDKDotSwitch(true), 0u);
    Add("1", "blocked_one");
    Drain();  // switches set directly are seen by commands still queued
    ASSERT_EQ(Track_ConfigCustomParam(1), 0u);
    ASSERT_EQ(Track_ConfigDotSwitch(false), 0u);
    Add("12", "dropped");  // queued; the command drops it
    EXPECT_EQ(M().DoAddUserTrack(Record("12", "dropped")), static_cast<OST_UT_RESULT>(UT_DOT_SWITCH_OFF));
    std::vector<std::string> lines = UserLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("}|12|kept|||\n"), std::string::npos);
    EXPECT_NE(lines[1].find("}|1|blocked_one|||\n"), std::string::npos);
}

TEST_F(UserEvents, HeldBackUntilContextThenFlushedInOrderAheadOfLaterEvents) {
    for (int i = 0; i < 600; ++i) Add("5", ("held" + std::to_string(i)).c_str());
    Drain();
    EXPECT_EQ(M().Caches().UserCount(), 513u);
    ASSERT_NE(UserLines().at(0).find("|held513|"), std::string::npos);  // the rest went straight to the file

    tagUTBrioContextPublicParam ctx = {};
    ctx.context1 = "v9";
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    Add("5", "later");
    std::vector<std::string> lines = UserLines();
    ASSERT_EQ(lines.size(), 87u + 513u + 1u);
    for (int i = 0; i < 513; ++i) {
        ASSERT_EQ(lines[87 + i].rfind("6.0|v9|", 0), 0u) << i;  // today's context
        ASSERT_NE(lines[87 + i].find("|held" + std::to_string(i) + "|"), std::string::npos) << i;
    }
    EXPECT_NE(lines.back().find("|later|"), std::string::npos);
}

TEST_F(UserEvents, HeldMediaAloneStaysHeldWhenTheContextArrives) {
    M().Caches().HoldMedia(Record("900", "media"), 512);
    ConfigureEmptyContext();
    EXPECT_EQ(M().Caches().MediaCount(), 1u);
}

TEST_F(UserEvents, FlushWithDotSwitchOffDropsTheHeldEvents) {
    Add("5", "held");
    Drain();
    ASSERT_EQ(Track_ConfigCustomParam(0), 0u);  // first configuration: off
    ConfigureEmptyContext();
    EXPECT_TRUE(M().Caches().UserCount() == 0);
    EXPECT_EQ(AllUserRecords(), "");
}

TEST_F(UserEvents, TheLinePastTheThresholdIsWrittenThenPacked) {
    ConfigureEmptyContext();
    ut_test::LogCapture cap;
    const std::string big(4000, 'x');
    for (int i = 0; i < 3; ++i) Add("2", ("big" + std::to_string(i)).c_str(), nullptr, nullptr, big.c_str());
    std::vector<std::string> lines = UserLines();
    ASSERT_EQ(lines.size(), 3u);  // nothing lost whether packed or not
    EXPECT_NE(lines[2].find("|big2|"), std::string::npos);
    EXPECT_EQ(cap.Find("native_sdk", LOG_INFO, "byte, upload!").size(), 1u);
    EXPECT_TRUE(cap.Contains("user track file size = " + std::to_string(lines[0].size() * 3) + " byte, upload!"));
}
