// Media records through the exported interface and the manager: exact lines, the event-id rule,
// the context cache, the packing threshold and the refusals; then the MediaTrack family: call
// state, the records it sends and the "Call Start" show information.
#include <unified_track/host_services.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "manager/UTManager.h"
#include "media_test_env.h"

using namespace media_test;
using unified_track::ContextSpecialParam;
using unified_track::UTManager;

namespace {
tagUTContextSpecialParam Plain(const char *eventId, const char *payload) {
    return tagUTContextSpecialParam{eventId, "name", "a2", "a3", payload, 1, 2};
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
    return UTManager::GetInstance().Caches().MediaCount();
}
std::string LastLine(const std::string &content) {
    const size_t start = content.rfind('\n', content.size() < 2 ? 0 : content.size() - 2);
    return content.substr(start == std::string::npos ? 0 : start + 1);
}
std::string ShowInfoLine(const std::string &confId, const std::string &values) {
    return "30001" + kPrefixTail + "|" + confId + "|[" + kHeader + "\"-\",\"" + values + "\"]\n";
}
}  // namespace

TEST_F(MediaEnv, LinesAreWrittenByteExact) {
    ConfigureAll();
    ASSERT_EQ(OstSetGlobalCfg(57, "store-57", 8), 0);  // replaces context field 7 in the header
    tagUTContextSpecialParam records[] = {Plain("30014", "conf|x"), Plain("30001", "conf|[\"a\",\"b\"]"),
                                          Plain("40000", "conf|y\n"),  // any event once a uuid is known
                                          Plain("30009", nullptr)};
    for (auto &record : records) EXPECT_EQ(Track_AddMediaTrack(&record, 0), UT_SUCCESS);
    Drain();
    std::string header = kHeader;
    header.replace(header.find("\"c7\""), 4, "\"store-57\"");
    EXPECT_EQ(MediaContent(), "30014" + kPrefixTail + "|conf|x\n" + "30001" + kPrefixTail + "|conf|[" + header +
                                  "\"a\",\"b\"]\n" + "40000" + kPrefixTail + "|conf|y\n" + "30009" + kPrefixTail +
                                  "\n");

    // The terminal address is filtered before it goes into the reserves; a participant id without
    // a NUL is cut at the end of its field.
    ASSERT_EQ(Track_SetStunInfo("192.168.31.207", 3478), UT_SUCCESS);
    tagMediaParticipantInfo info = {5, 6, ""};
    std::memset(info.participantId, 'x', sizeof(info.participantId));
    EXPECT_EQ(MediaTrack_SetPaticipantInfo(&info), UT_SUCCESS);
    const std::string reserves = UTManager::GetInstance().GetTrackReserves();
    EXPECT_NE(reserves.find("\"mNumber\":5,\"participantId\":\"" + std::string(sizeof(info.participantId), 'x') +
                            "\",\"tNumber\":6,\"terminalIp\":\""),
              std::string::npos)
        << reserves;
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
    EXPECT_EQ(MediaContent().rfind(std::string("30009|") + kWallText + "|-|-|-|-|{\"deviceId\":\"\",", 0), 0u);
}

TEST_F(MediaEnv, RecordsWaitForTheContextUpTo513) {
    tagUTPublicSdkParam sdk = {"uuid-1", "alice", "cu", "sbc", "corp", nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), UT_SUCCESS);
    UTManager &mgr = UTManager::GetInstance();
    for (int i = 1; i <= 514; ++i) {
        ASSERT_EQ(mgr.AddMediaTrack(Record("30009", "n" + std::to_string(i)), false), UT_SUCCESS);
    }
    EXPECT_EQ(MediaCacheSize(), 513u);  // the 514th is written at once

    // The context configuration writes the held records behind the held user records (only when
    // there are some), in arrival order, ahead of any later record.
    tagUTContextSpecialParam user = {"2", "ut_event_x", nullptr, nullptr, nullptr, 0, 0};
    ASSERT_EQ(Track_AddUserTrack(&user), UT_SUCCESS);
    Drain();
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "c15";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), UT_SUCCESS);
    EXPECT_EQ(MediaCacheSize(), 0u);
    EXPECT_EQ(log_.Count("add cache media data: 30009"), 513u);
    ASSERT_EQ(mgr.AddMediaTrack(Record("30009", "after"), false), UT_SUCCESS);

    std::vector<std::string> order, expected = {"n514"};
    std::istringstream lines(MediaContent());
    for (std::string line; std::getline(lines, line);) order.push_back(line.substr(line.rfind('|') + 1));
    for (int i = 1; i <= 513; ++i) expected.push_back("n" + std::to_string(i));
    expected.push_back("after");
    EXPECT_EQ(order, expected);
}

TEST_F(MediaEnv, PackedPastThresholdOrWhenAsked) {
    ConfigureAll();
    tagUTContextSpecialParam one = Plain("30014", "a");
    Track_AddMediaTrack(&one, 0);
    Drain();
    const std::string first = ut_test::ReadFile(MediaDotFile());
    const int32_t s = static_cast<int32_t>(first.size());
    // A payload of n characters makes a line of s - 1 + n bytes.
    const std::string fill(static_cast<size_t>(9216 - s - (s - 1)), 'f');
    tagUTContextSpecialParam two = Plain("30014", fill.c_str()), three = Plain("30014", "b");
    Track_AddMediaTrack(&two, 0);
    Drain();
    EXPECT_EQ(std::filesystem::file_size(MediaDotFile()), 9216u);
    EXPECT_EQ(log_.Count(" byte, uploadNow="), 0u);
    Track_AddMediaTrack(&three, 0);
    Drain();
    EXPECT_TRUE(log_.Contains("file size = " + std::to_string(9216 + s) + " byte, uploadNow=0, zip!"));

    // Asked for: packed at once, whatever the size.
    Track_AddMediaTrack(&one, 1);
    Drain();
    EXPECT_EQ(log_.Count(" byte, uploadNow="), 2u);
    EXPECT_FALSE(std::filesystem::exists(MediaDotFile()));
    EXPECT_EQ(ZipFiles(MediaZipFolder()).size(), 2u);
    const std::string stem = first.substr(0, first.size() - 2);
    EXPECT_EQ(MediaContent(), first + stem + fill + "\n" + stem + "b\n" + first);
}

TEST_F(MediaEnv, RefusedWhileSwitchedOff) {
    ConfigureAll();
    ASSERT_EQ(Track_ConfigDotSwitch(false), UT_SUCCESS);
    UTManager &mgr = UTManager::GetInstance();
    EXPECT_EQ(mgr.AddMediaTrack(Record("30009", "p"), false), UT_DOT_SWITCH_OFF);
    EXPECT_EQ(mgr.DoAddMediaTrack(Record("30009", "p"), false), UT_DOT_SWITCH_OFF);
    EXPECT_EQ(mgr.AddCacheMediaTrack(), UT_DOT_SWITCH_OFF);
    EXPECT_EQ(mgr.AddMMRTrack(new char[4]{'a', 'b', 'c', 0}, 4, 0), UT_DOT_SWITCH_OFF);  // freed all the same
    EXPECT_FALSE(std::filesystem::exists(MediaDotFile()));
    EXPECT_FALSE(std::filesystem::exists(MmrDotFile()));
}

// A stopped library drops records quietly; one never started refuses them.
TEST(MediaExports, RecordsBeforeInitAreRefused) {
    UTManager &mgr = UTManager::GetInstance();
    EXPECT_EQ(mgr.AddMediaTrack(Record("30009", "p"), false), UT_NOT_INITED);
    EXPECT_EQ(mgr.AddMMRTrack(new char[2]{'x', 0}, 2, 0), UT_NOT_INITED);
    EXPECT_EQ(mgr.AddMMRTrack(nullptr, 0, 1), UT_NOT_INITED);
}

class MediaTrackFamily : public MediaEnv {
protected:
    std::string SendShowInfo() {
        MediaTrack_AddStaticShowInfo();
        Drain();
        return LastLine(MediaContent());
    }
};

TEST_F(MediaTrackFamily, DataRecordCarriesTheConferenceId) {
    ConfigureAll();
    EXPECT_EQ(MediaTrack_AddDataConfDotData(30014, "hello", 0), UT_SUCCESS);
    Drain();
    EXPECT_EQ(LastLine(MediaContent()), "30014" + kPrefixTail + "|-|hello\n");

    MediaTrack_SetConfId("conf-9");
    MediaTrack_SetConfId(nullptr);  // ignored
    EXPECT_TRUE(log_.Contains("conf id is null"));
    EXPECT_EQ(MediaTrack_AddDataConfDotData(-1, "", 0), UT_SUCCESS);
    Drain();
    EXPECT_EQ(LastLine(MediaContent()), "4294967295" + kPrefixTail + "|conf-9|\n");

    MediaTrack_SetConfServeType(nullptr);
    EXPECT_TRUE(log_.Contains("confType is null"));
    ASSERT_EQ(log_.Find("", -1, "set confId conf-9").size(), 1u);
    EXPECT_EQ(log_.Find("", -1, "set confId conf-9")[0].file, "MediaDotData");
}

TEST_F(MediaTrackFamily, ShowInfoValuesAndOverLongTexts) {
    ConfigureAll();
    const std::string name31(31, 'd');
    MediaTrack_SetAudioDecoderNameAndSample(name31.c_str(), 8000);
    MediaTrack_SetAudioDecoderNameAndSample(nullptr, 16000);  // ends the call: rate kept too
    EXPECT_TRUE(log_.Contains("MediaTrack_SetAudioDecoderNameAndSample null"));
    EXPECT_EQ(SendShowInfo(), ShowInfoLine("-", name31 + R"(","10","Call Start","0","0","0","-","8000","0)"));

    const std::string name32(32, 'd');
    MediaTrack_SetAudioDecoderNameAndSample(name32.c_str(), 0);
    EXPECT_GE(log_.Count("secure func return err:"), 1u);
    tagMediaCpuMemInfo info;
    std::memset(&info, 'x', sizeof(info));  // text without a NUL
    info.number1 = info.number2 = info.number3 = 0;
    MediaTrack_SetCpuAndMemoryInfo(&info);
    EXPECT_EQ(SendShowInfo(), ShowInfoLine("-", R"(-","10","Call Start","0","0","0","-","8000","0)"));
    MediaTrack_SetAudioDecoderNameAndSample(std::string(100000, 'n').c_str(), 1);

    // Zeroes and empty texts keep the earlier values.
    MediaTrack_SetConfId("c-1");
    MediaTrack_SetAudioDecoderNameAndSample("OPUS", 48000);
    MediaTrack_SetAudioDecoderNameAndSample("AAC", 0);
    tagMediaCpuMemInfo cpu = {11, 22, 33, "cpu 5%"}, zeroes = {0, 4294967295u, 0, ""};
    MediaTrack_SetCpuAndMemoryInfo(&cpu);
    MediaTrack_SetCpuAndMemoryInfo(&zeroes);
    MediaTrack_SetCpuAndMemoryInfo(nullptr);
    EXPECT_EQ(SendShowInfo(),
              ShowInfoLine("c-1", R"(AAC","10","Call Start","11","4294967295","33","cpu 5%","48000","0)"));
}

TEST_F(MediaTrackFamily, CallStateIsSafeAcrossThreads) {
    ConfigureAll();
    std::thread setter([] {
        tagMediaCpuMemInfo info = {0, 0, 0, "t"};
        for (int i = 1; i <= 300; ++i) {
            MediaTrack_SetConfId(i % 2 ? "odd" : "even");
            MediaTrack_SetAudioDecoderNameAndSample(i % 2 ? "A" : "B", i);
            info.number1 = static_cast<uint32_t>(i);
            MediaTrack_SetCpuAndMemoryInfo(&info);
        }
    });
    for (int i = 0; i < 100; ++i) MediaTrack_AddStaticShowInfo();
    setter.join();
    Drain();
    const std::string content = MediaContent();
    EXPECT_EQ(static_cast<size_t>(std::count(content.begin(), content.end(), '\n')), 100u);
}
