// User records: the exact line for a configured and an empty context, masks, blocking, holding
// back before the context is configured, and texts written as they are.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/config_store.h"
#include "records_fixture.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace records_test;
using unified_track::ContextSpecialParam;

namespace {
const char *const kStamp = "2024-05-06 07:08:09.010 +0000";

void ConfigureFullContext()
{
    tagUTPublicSdkParam sdk = {"uuid-1", "alice", "10.0.0.1", "10.0.0.2", "corp1", "r2", "r3", "r4", "r5"};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), 0u);
    ASSERT_EQ(Track_SetTerminalType("PC"), 0u);
    tagUTConfInfoParam conf = {"conf-9", "pid-3"};
    ASSERT_EQ(Track_SetConfInfoParam(&conf), 0u);
    tagUTBrioContextPublicParam ctx = {"ctx1",  "DEVICE12345678", "ctx3",  "ctx4",  "ctx5",  "ctx6",
                                       "corpApp7", "ctx8",        "ctx9",  "ctx10", "ctx11", "ctx12",
                                       "ctx13", "ctx14",          "s15",   "s16",   "s17"};
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
}

tagUTContextSpecialParam Event(const char *id, const char *name, const char *a2 = nullptr,
                               const char *a3 = nullptr, const char *a4 = nullptr)
{
    return {id, name, a2, a3, a4, 0, 0};
}

ContextSpecialParam Record(const std::string &id, const std::string &name)
{
    ContextSpecialParam p;
    p.eventId = id;
    p.event = name;
    return p;
}

std::string EmptyContextLine(const std::string &id, const std::string &event)
{
    // Fields 2..16 empty, the stamp, fields 18..24 empty, the context JSON, then the event.
    return "6.0" + std::string(16, '|') + kStamp + std::string(8, '|') +
           "{\"terminalType\":\"\",\"confuuid\":\"\",\"pid\":\"\",\"thirdAppVersion\":\"\"}|" + id + "|" + event +
           "|||\n";
}
}  // namespace

class UserEvents : public RecordsTest {};

TEST_F(UserEvents, FullyConfiguredContextGivesTheExactLine)
{
    ConfigureFullContext();
    tagUTContextSpecialParam ev = Event("10", "ut_event_x", "a2", "a3", "{\"k\":1}");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    EXPECT_EQ(AllUserRecords(),
              std::string("6.0|ctx1|DEVICE1234****|ctx3|ctx4|ctx5|ctx6|uuid-1|a****|corpApp7|ctx8|ctx9|ctx10|ctx11|"
                          "ctx12|ctx13|2024-05-06 07:08:09.010 +0000|10.0.0.1|10.0.0.2|corp1|s15|s16|s17|r5|"
                          "{\"terminalType\":\"PC\",\"confuuid\":\"conf-9\",\"pid\":\"pid-3\",\"thirdAppVersion\":"
                          "\"ctx14\"}|10|ut_event_x|a2|a3|{\"k\":1}\n"));
}

TEST_F(UserEvents, EmptyContextGivesEmptyFieldsAndNullTextsAreEmpty)
{
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    tagUTContextSpecialParam ev = Event("7", "ut_event_empty");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    EXPECT_EQ(AllUserRecords(), EmptyContextLine("7", "ut_event_empty"));
}

TEST_F(UserEvents, MasksCountUtf16UnitsOnNonAsciiText)
{
    tagUTPublicSdkParam sdk = {"u", "张三丰", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), 0u);
    tagUTBrioContextPublicParam ctx = {};
    ctx.context2 = "终端设备AÄ😀";  // 4 + 2 + 2 (one surrogate pair) = 8 units
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    tagUTContextSpecialParam ev = Event("2", "e");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    std::vector<std::string> lines = SplitLines(AllUserRecords());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, std::string("6.0||终端设备****|").size()), "6.0||终端设备****|");
    EXPECT_NE(lines[0].find("|||||u|张**|"), std::string::npos) << lines[0];
}

TEST_F(UserEvents, ShortDeviceIdIsKeptAndFourCharacterAccountKeepsItsFirst)
{
    tagUTPublicSdkParam sdk = {"u", "bob1", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), 0u);
    tagUTBrioContextPublicParam ctx = {};
    ctx.context2 = "abc";
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    tagUTContextSpecialParam ev = Event("2", "e");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    EXPECT_EQ(AllUserRecords().substr(0, 22), "6.0||abc|||||u|b***|||");
}

TEST_F(UserEvents, ConfigurationItem57OverridesTheCorpAppField)
{
    tagUTBrioContextPublicParam ctx = {};
    ctx.context7 = "fromContext";
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    tagUTContextSpecialParam ev = Event("2", "e");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    Drain();  // the item is read when the line is built
    const char item[] = "fromStore";
    ASSERT_EQ(OstSetGlobalCfg(57, item, sizeof(item) - 1), 0);
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    Drain();
    OstSetGlobalCfg(57, "", 0);  // empty item falls back to the context
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);

    std::vector<std::string> lines = SplitLines(AllUserRecords());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("||fromContext|"), std::string::npos);
    EXPECT_NE(lines[1].find("||fromStore|"), std::string::npos);
    EXPECT_NE(lines[2].find("||fromContext|"), std::string::npos);
}

TEST_F(UserEvents, TextsAreWrittenAsTheyAreAndNewlineIsNotDoubled)
{
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    const std::string odd = "a|b\"c\nd\xff\xfe é";
    tagUTContextSpecialParam ev = Event("3", odd.c_str(), "x", "y", "done\n");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    std::string all = AllUserRecords();
    EXPECT_NE(all.find("|3|" + odd + "|x|y|done\n"), std::string::npos);
    EXPECT_EQ(all.back(), '\n');
    EXPECT_EQ(all.substr(all.size() - 6), "|done\n");  // one newline only
}

TEST_F(UserEvents, MeetingSwitchBlocksEventIdOneAndDotSwitchBlocksAll)
{
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_SetMeetingSDKDotSwitch(false), 0u);
    tagUTContextSpecialParam one = Event("1", "blocked_one", "p", "q");
    tagUTContextSpecialParam other = Event("12", "kept");
    ASSERT_EQ(Track_AddUserTrack(&one), 0u);
    ASSERT_EQ(Track_AddUserTrack(&other), 0u);
    Drain();
    EXPECT_TRUE(cap.Contains("AddUserTrack blocked! event:blocked_one, arg2: p, arg3: q"));
    EXPECT_EQ(M().DoAddUserTrack(Record("1", "direct")), static_cast<OST_UT_RESULT>(UT_DOT_SWITCH_OFF));

    ASSERT_EQ(Track_SetMeetingSDKDotSwitch(true), 0u);
    ASSERT_EQ(Track_AddUserTrack(&one), 0u);
    Drain();  // switches set directly are seen by commands still queued

    ASSERT_EQ(Track_ConfigCustomParam(1), 0u);
    ASSERT_EQ(Track_ConfigDotSwitch(false), 0u);
    tagUTContextSpecialParam dropped = Event("12", "dropped");
    EXPECT_EQ(Track_AddUserTrack(&dropped), 0u);  // queued; the command drops it
    EXPECT_EQ(M().DoAddUserTrack(Record("12", "dropped")), static_cast<OST_UT_RESULT>(UT_DOT_SWITCH_OFF));

    std::vector<std::string> lines = SplitLines(AllUserRecords());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("|12|kept|"), std::string::npos);
    EXPECT_NE(lines[1].find("|1|blocked_one|"), std::string::npos);
}

TEST_F(UserEvents, EmptyEventIdIsRefusedAndNullRecordRejected)
{
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    ut_test::LogCapture cap;
    tagUTContextSpecialParam ev = {};
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    EXPECT_EQ(Track_AddUserTrack(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(AllUserRecords(), "");
    EXPECT_TRUE(cap.Contains("param eventId is empty"));
}

TEST_F(UserEvents, HeldBackUntilContextThenFlushedInOrderAheadOfLaterEvents)
{
    for (int i = 0; i < 600; ++i) {
        std::string name = "held" + std::to_string(i);
        tagUTContextSpecialParam ev = Event("5", name.c_str());
        ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    }
    Drain();
    {
        std::lock_guard<unified_track::RecursiveLock> guard(unified_track::UTManager::ParamLock());
        ASSERT_EQ(M().m_userCache.size(), 513u);
        EXPECT_EQ(M().m_userCache.front().event, "held0");
        EXPECT_EQ(M().m_userCache.back().event, "held512");
    }
    std::vector<std::string> direct = SplitLines(AllUserRecords());
    ASSERT_EQ(direct.size(), 87u);
    EXPECT_NE(direct.front().find("|held513|"), std::string::npos);

    ut_test::LogCapture cap;
    tagUTBrioContextPublicParam ctx = {};
    ctx.context1 = "v9";
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    EXPECT_TRUE(M().m_userCache.empty());
    tagUTContextSpecialParam later = Event("5", "later");
    ASSERT_EQ(Track_AddUserTrack(&later), 0u);

    std::vector<std::string> lines = SplitLines(AllUserRecords());
    ASSERT_EQ(lines.size(), 87u + 513u + 1u);
    for (int i = 0; i < 513; ++i) {
        ASSERT_NE(lines[87 + i].find("6.0|v9|"), std::string::npos) << i;  // today's context
        ASSERT_NE(lines[87 + i].find("|held" + std::to_string(i) + "|"), std::string::npos) << i;
    }
    EXPECT_NE(lines.back().find("|later|"), std::string::npos);
}

TEST_F(UserEvents, ContextWithOnlyMediaCachedLeavesMediaCached)
{
    ContextSpecialParam media = Record("900", "media");
    {
        std::lock_guard<unified_track::RecursiveLock> guard(unified_track::UTManager::ParamLock());
        M().m_mediaCache.push_back(media);
    }
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    std::lock_guard<unified_track::RecursiveLock> guard(unified_track::UTManager::ParamLock());
    EXPECT_EQ(M().m_mediaCache.size(), 1u);
}

TEST_F(UserEvents, ContextWithUserEventsCachedWritesBothCaches)
{
    tagUTContextSpecialParam ev = Event("5", "held");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    Drain();
    {
        std::lock_guard<unified_track::RecursiveLock> guard(unified_track::UTManager::ParamLock());
        M().m_mediaCache.push_back(Record("900", "media"));
    }
    ut_test::LogCapture cap;
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    {
        std::lock_guard<unified_track::RecursiveLock> guard(unified_track::UTManager::ParamLock());
        EXPECT_TRUE(M().m_userCache.empty());
        EXPECT_TRUE(M().m_mediaCache.empty());
    }
    EXPECT_TRUE(cap.Contains("add cache media data: 900"));
    EXPECT_EQ(SplitLines(AllUserRecords()).size(), 1u);
}

TEST_F(UserEvents, FlushWithDotSwitchOffDropsTheHeldEvents)
{
    tagUTContextSpecialParam ev = Event("5", "held");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    Drain();
    ASSERT_EQ(Track_ConfigCustomParam(0), 0u);  // first configuration: off
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    EXPECT_TRUE(M().m_userCache.empty());
    EXPECT_EQ(AllUserRecords(), "");
}

TEST_F(UserEvents, EmptyUuidIsReloadedFromTheCache)
{
    FakeCache::Install();
    FakeCache::Set("PublicSdkParamUuid", "cached-uuid\n");
    FakeCache::Set("PublicSdkParamAccount", "carol");
    FakeCache::Set("PublicSdkParamReserve5", "r5c");
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    tagUTContextSpecialParam ev = Event("2", "e");
    ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    std::string all = AllUserRecords();
    EXPECT_NE(all.find("|cached-uuid|c****|"), std::string::npos) << all;
    EXPECT_NE(all.find("|r5c|{"), std::string::npos) << all;
}

TEST_F(UserEvents, TheLinePastTheThresholdIsWrittenThenPacked)
{
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    ut_test::LogCapture cap;
    const std::string big(4000, 'x');
    for (int i = 0; i < 3; ++i) {
        const std::string name = "big" + std::to_string(i);
        tagUTContextSpecialParam ev = Event("2", name.c_str(), nullptr, nullptr, big.c_str());
        ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
    }
    std::vector<std::string> lines = SplitLines(AllUserRecords());
    ASSERT_EQ(lines.size(), 3u);  // nothing lost whether packed or not
    EXPECT_NE(lines[2].find("|big2|"), std::string::npos);
    EXPECT_EQ(cap.Find("native_sdk", LOG_INFO, "byte, upload!").size(), 1u);
    EXPECT_TRUE(cap.Contains("user track file size = " + std::to_string(lines[0].size() * 3) + " byte, upload!"));
}
