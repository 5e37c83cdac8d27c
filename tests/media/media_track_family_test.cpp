// The MediaTrack family: call state, the records it sends and the "Call Start" show information.
#include <algorithm>
#include <cstring>
#include <thread>

#include "manager/UTManager.h"
#include "media_test_env.h"

using namespace media_test;
using unified_track::UTManager;

namespace {
std::string LastLine(const std::string &content) {
    const size_t start = content.rfind('\n', content.size() < 2 ? 0 : content.size() - 2);
    return content.substr(start == std::string::npos ? 0 : start + 1);
}
std::string ShowInfoLine(const std::string &confId, const std::string &values) {
    return "30001" + kPrefixTail + "|" + confId + "|[" + kHeader + "\"-\",\"" + values + "\"]\n";
}
}  // namespace

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
    EXPECT_STREQ(MediaTrack_GetConfId(), "");
    EXPECT_EQ(MediaTrack_AddDataConfDotData(30014, "hello", 0), UT_SUCCESS);
    Drain();
    EXPECT_EQ(LastLine(MediaContent()), "30014" + kPrefixTail + "|-|hello\n");

    MediaTrack_SetConfId("conf-9");
    MediaTrack_SetConfId(nullptr);  // ignored
    EXPECT_TRUE(log_.Contains("conf id is null"));
    EXPECT_STREQ(MediaTrack_GetConfId(), "conf-9");
    EXPECT_EQ(MediaTrack_AddDataConfDotData(-1, "", 0), UT_SUCCESS);
    Drain();
    EXPECT_EQ(LastLine(MediaContent()), "4294967295" + kPrefixTail + "|conf-9|\n");

    EXPECT_EQ(MediaTrack_AddDataConfDotData(30014, nullptr, 0), UT_FAILED);
    MediaTrack_SetConfServeType(nullptr);
    MediaTrack_SetConfServeType("SFU");
    EXPECT_TRUE(log_.Contains("confType is null"));
    EXPECT_TRUE(log_.Contains("set conf server type SFU"));
    ASSERT_TRUE(log_.Contains("set confId conf-9"));
    for (const auto &line : log_.Find("", -1, "set confId conf-9")) EXPECT_EQ(line.file, "MediaDotData");
}

TEST_F(MediaTrackFamily, ShowInfoKeepsEarlierValuesForZeroes) {
    ConfigureAll();
    MediaTrack_SetConfId("c-1");
    MediaTrack_SetAudioDecoderNameAndSample("OPUS", 48000);
    MediaTrack_SetAudioDecoderNameAndSample("AAC", 0);  // keeps the rate
    tagMediaCpuMemInfo info = {11, 22, 33, "cpu 5%"};
    MediaTrack_SetCpuAndMemoryInfo(&info);
    tagMediaCpuMemInfo zeroes = {0, 4294967295u, 0, ""};  // empty text keeps the text
    MediaTrack_SetCpuAndMemoryInfo(&zeroes);
    MediaTrack_SetCpuAndMemoryInfo(nullptr);
    EXPECT_EQ(SendShowInfo(),
              ShowInfoLine("c-1", R"(AAC","10","Call Start","11","4294967295","33","cpu 5%","48000","0)"));
    EXPECT_TRUE(log_.Contains("MediaTrack_SetAudioDecoderNameAndSample OPUS"));
}

TEST_F(MediaTrackFamily, OverLongTextsEmptyTheStoredText) {
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
}

TEST_F(MediaTrackFamily, ParticipantInfoReachesTheRecords) {
    tagMediaParticipantInfo info = {5, 6, "part-5"};
    EXPECT_EQ(MediaTrack_SetPaticipantInfo(&info), UT_SUCCESS);
    EXPECT_NE(UTManager::GetInstance().GetTrackReserves().find(
                  "\"mNumber\":5,\"participantId\":\"part-5\",\"tNumber\":6"),
              std::string::npos);
    std::memset(info.participantId, 'x', sizeof(info.participantId));  // no NUL: cut at the end
    EXPECT_EQ(MediaTrack_SetPaticipantInfo(&info), UT_SUCCESS);
    EXPECT_NE(UTManager::GetInstance().GetTrackReserves().find(
                  "\"participantId\":\"" + std::string(sizeof(info.participantId), 'x') + "\""),
              std::string::npos);
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
