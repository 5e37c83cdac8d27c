// Media records through the exported interface and the manager: exact lines, the event-id rule,
// the context cache and the packing threshold.
#include <unified_track/host_services.h>

#include <filesystem>
#include <mutex>

#include "manager/UTManager.h"
#include "media_test_env.h"

using namespace media_test;
using unified_track::ContextSpecialParam;
using unified_track::UTManager;

namespace {
const std::string kReserves =
    "{\"deviceId\":\"DEVI****\",\"mNumber\":7,\"participantId\":\"p-1\",\"tNumber\":9,"
    "\"terminalIp\":\"\",\"osName\":\"Linux\",\"trackVersion\":\"v9.0\",\"appVersion\":\"1.2.3\","
    "\"terminalType\":\"PC\"}";
const std::string kPrefixTail = std::string("|") + kWallText + "|uuid-1|a****|corp|-|" + kReserves;

tagUTContextSpecialParam Plain(const char *eventId, const char *payload) {
    tagUTContextSpecialParam p = {eventId, "name", "a2", "a3", payload, 1, 2};
    return p;
}

ContextSpecialParam Record(const std::string &eventId, const std::string &payload) {
    ContextSpecialParam r;
    r.eventId = eventId;
    r.arg4 = payload;
    r.time = kRunMs;
    return r;
}

size_t MediaCacheSize() {
    std::lock_guard<unified_track::RecursiveLock> lock(UTManager::ParamLock());
    return UTManager::GetInstance().m_mediaCache.size();
}
}  // namespace

TEST_F(MediaEnv, LinesAreWrittenByteExact) {
    ConfigureAll();
    ASSERT_EQ(OstSetGlobalCfg(57, "store-57", 8), 0);
    tagUTContextSpecialParam a = Plain("30014", "conf|x");
    tagUTContextSpecialParam b = Plain("30001", "conf|[\"a\",\"b\"]");
    tagUTContextSpecialParam c = Plain("40000", "conf|y\n");  // any event once a uuid is known
    tagUTContextSpecialParam d = Plain("30009", nullptr);
    for (auto *p : {&a, &b, &c, &d}) EXPECT_EQ(Track_AddMediaTrack(p, 0), UT_SUCCESS);
    Drain();

    const std::string header =
        "\"6.0\",\"1.2.3\",\"DEVICE12\",\"c3\",\"c4\",\"c5\",\"c6\",\"store-57\",\"c8\",\"Linux\","
        "\"c10\",\"c11\",\"c12\",\"c13\",\"cu\",\"sbc\",";
    EXPECT_EQ(MediaContent(), "30014" + kPrefixTail + "|conf|x\n" +
                                  "30001" + kPrefixTail + "|conf|[" + header + "\"a\",\"b\"]\n" +
                                  "40000" + kPrefixTail + "|conf|y\n" +
                                  "30009" + kPrefixTail + "\n");
}

TEST_F(MediaEnv, TerminalIpIsFilteredInTheReserves) {
    ConfigureAll();
    ASSERT_EQ(Track_SetStunInfo("192.168.31.207", 3478), UT_SUCCESS);
    const std::string reserves = UTManager::GetInstance().GetTrackReserves();
    EXPECT_NE(reserves.find("\"terminalIp\":\""), std::string::npos) << reserves;
    EXPECT_EQ(reserves.find("192.168.31.207"), std::string::npos) << reserves;
}

TEST_F(MediaEnv, UnknownEventWithoutUuidIsRejected) {
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "c15";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), UT_SUCCESS);
    UTManager &mgr = UTManager::GetInstance();

    EXPECT_EQ(mgr.AddMediaTrack(Record("40000", "p"), false), UT_FAILED);
    EXPECT_EQ(mgr.AddMediaTrack(Record("30001x", "p"), false), UT_FAILED);
    EXPECT_TRUE(log_.Contains("err param, eventId: 40000, uuid: , participantId: , m: 0, t: 0"));
    EXPECT_FALSE(std::filesystem::exists(MediaDotFile()));

    EXPECT_EQ(mgr.AddMediaTrack(Record("30009", "p"), false), UT_SUCCESS);
    const std::string reserves =
        "{\"deviceId\":\"\",\"mNumber\":0,\"participantId\":\"\",\"tNumber\":0,\"terminalIp\":\"\","
        "\"osName\":\"\",\"trackVersion\":\"v9.0\",\"appVersion\":\"\",\"terminalType\":\"\"}";
    EXPECT_EQ(MediaContent(), std::string("30009|") + kWallText + "|-|-|-|-|" + reserves + "|p\n");
}

TEST_F(MediaEnv, RecordsWaitForTheContextUpTo513) {
    tagUTPublicSdkParam sdk = {"uuid-1", "alice", "cu", "sbc", "corp", nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), UT_SUCCESS);
    UTManager &mgr = UTManager::GetInstance();
    for (int i = 1; i <= 514; ++i) {
        ASSERT_EQ(mgr.AddMediaTrack(Record("30009", "n" + std::to_string(i)), false), UT_SUCCESS);
    }
    EXPECT_EQ(MediaCacheSize(), 513u);
    const std::string written = MediaContent();
    ASSERT_EQ(std::count(written.begin(), written.end(), '\n'), 1);
    EXPECT_NE(written.find("|n514\n"), std::string::npos);

    // The context configuration writes the held records (after the held user records), in
    // arrival order, ahead of any later record.
    tagUTContextSpecialParam user = {"2", "ut_event_x", nullptr, nullptr, nullptr, 0, 0};
    ASSERT_EQ(Track_AddUserTrack(&user), UT_SUCCESS);
    Drain();
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "c15";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), UT_SUCCESS);
    EXPECT_EQ(MediaCacheSize(), 0u);
    EXPECT_EQ(log_.Count("add cache media data: 30009"), 513u);
    ASSERT_EQ(mgr.AddMediaTrack(Record("30009", "after"), false), UT_SUCCESS);

    const std::string all = MediaContent();
    size_t pos = all.find("|n514\n");
    for (int i = 1; i <= 513; ++i) {
        size_t next = all.find("|n" + std::to_string(i) + "\n");
        ASSERT_NE(next, std::string::npos) << i;
        EXPECT_GT(next, pos) << i;
        pos = next;
    }
    EXPECT_GT(all.find("|after\n"), pos);
}

TEST_F(MediaEnv, PackedPastThresholdOrWhenAsked) {
    ConfigureAll();
    tagUTContextSpecialParam one = Plain("30014", "a");
    Track_AddMediaTrack(&one, 0);
    Drain();
    const std::string first = ut_test::ReadFile(MediaDotFile());
    const int32_t s = static_cast<int32_t>(first.size());
    ASSERT_GT(s, 0);
    // A payload of n characters makes a line of s - 1 + n bytes.
    const std::string fill(static_cast<size_t>(9216 - s - (s - 1)), 'f');
    tagUTContextSpecialParam two = Plain("30014", fill.c_str());
    Track_AddMediaTrack(&two, 0);
    Drain();
    EXPECT_EQ(std::filesystem::file_size(MediaDotFile()), 9216u);
    EXPECT_EQ(log_.Count(" byte, uploadNow="), 0u);

    tagUTContextSpecialParam three = Plain("30014", "b");
    Track_AddMediaTrack(&three, 0);
    Drain();
    EXPECT_TRUE(log_.Contains("file size = " + std::to_string(9216 + s) + " byte, uploadNow=0, zip!"));

    // Asked for: packed at once, whatever the size.
    Track_AddMediaTrack(&one, 1);
    Drain();
    EXPECT_EQ(log_.Count(" byte, uploadNow="), 2u);
    EXPECT_FALSE(std::filesystem::exists(MediaDotFile()));
    EXPECT_EQ(ZipFiles(MediaZipFolder()).size(), 2u);
    const std::string all = MediaContent();
    EXPECT_EQ(all, first + first.substr(0, first.size() - 2) + fill + "\n" +
                       first.substr(0, first.size() - 2) + "b\n" + first);
}

TEST_F(MediaEnv, RefusedWhileSwitchedOff) {
    ConfigureAll();
    ASSERT_EQ(Track_ConfigDotSwitch(false), UT_SUCCESS);
    UTManager &mgr = UTManager::GetInstance();
    EXPECT_EQ(mgr.AddMediaTrack(Record("30009", "p"), false), UT_DOT_SWITCH_OFF);
    EXPECT_EQ(mgr.DoAddMediaTrack(Record("30009", "p"), false), UT_DOT_SWITCH_OFF);
    EXPECT_EQ(mgr.AddCacheMediaTrack(), UT_DOT_SWITCH_OFF);
    char *text = new char[4]{'a', 'b', 'c', 0};
    EXPECT_EQ(mgr.AddMMRTrack(text, 4, 0), UT_DOT_SWITCH_OFF);  // freed all the same
    EXPECT_FALSE(std::filesystem::exists(MediaDotFile()));
    EXPECT_FALSE(std::filesystem::exists(MmrDotFile()));
}

TEST(MediaExports, NullRecordIsRejected) {
    EXPECT_EQ(Track_AddMediaTrack(nullptr, 0), UT_FAILED);
    EXPECT_EQ(Track_AddMediaTrack(nullptr, 1), UT_FAILED);
}

TEST(MediaExports, RecordsBeforeInitAreRefused) {
    UTManager &mgr = UTManager::GetInstance();
    EXPECT_EQ(mgr.AddMediaTrack(Record("30009", "p"), false), UT_NOT_INITED);
    EXPECT_EQ(mgr.AddMMRTrack(new char[2]{'x', 0}, 2, 0), UT_NOT_INITED);
    EXPECT_EQ(mgr.AddMMRTrack(nullptr, 0, 1), UT_NOT_INITED);
}
