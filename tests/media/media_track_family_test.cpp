// The MediaTrack family: call state, the records it sends and the "Call Start" show information.
#include <algorithm>
#include <cstring>
#include <thread>

#include "manager/UTManager.h"
#include "media_test_env.h"

using namespace media_test;
using unified_track::UTManager;

namespace {
// The payload of the last media line (everything behind the track reserves).
std::string LastPayload(const std::string &content) {
    size_t end = content.rfind('\n');
    size_t start = content.rfind('\n', end - 1);
    std::string line = content.substr(start == std::string::npos ? 0 : start + 1,
                                      end - (start == std::string::npos ? 0 : start + 1));
    size_t reserves = line.find("\"terminalType\":");
    size_t bar = line.find("}|", reserves);
    return bar == std::string::npos ? std::string() : line.substr(bar + 2);
}
std::string EventIdOfLastLine(const std::string &content) {
    size_t end = content.rfind('\n');
    size_t start = content.rfind('\n', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    return content.substr(start, content.find('|', start) - start);
}
const std::string kHeader =
    "\"6.0\",\"1.2.3\",\"DEVICE12\",\"c3\",\"c4\",\"c5\",\"c6\",\"c7\",\"c8\",\"Linux\",\"c10\","
    "\"c11\",\"c12\",\"c13\",\"cu\",\"sbc\",";
}  // namespace

class MediaTrackFamily : public MediaEnv {
protected:
    std::string SendShowInfo() {
        MediaTrack_AddStaticShowInfo();
        Drain();
        const std::string content = MediaContent();
        EXPECT_EQ(EventIdOfLastLine(content), "30001");
        return LastPayload(content);
    }
};

TEST_F(MediaTrackFamily, DataRecordCarriesTheConferenceId) {
    ConfigureAll();
    EXPECT_STREQ(MediaTrack_GetConfId(), "");
    EXPECT_EQ(MediaTrack_AddDataConfDotData(30014, "hello", 0), UT_SUCCESS);
    Drain();
    EXPECT_EQ(LastPayload(MediaContent()), "-|hello");

    MediaTrack_SetConfId("conf-9");
    MediaTrack_SetConfId(nullptr);  // ignored
    EXPECT_TRUE(log_.Contains("set confId conf-9"));
    EXPECT_TRUE(log_.Contains("conf id is null"));
    EXPECT_STREQ(MediaTrack_GetConfId(), "conf-9");
    EXPECT_EQ(MediaTrack_AddDataConfDotData(-1, "", 0), UT_SUCCESS);
    Drain();
    const std::string content = MediaContent();
    EXPECT_EQ(EventIdOfLastLine(content), "4294967295");
    EXPECT_EQ(LastPayload(content), "conf-9|");

    EXPECT_EQ(MediaTrack_AddDataConfDotData(30014, nullptr, 0), UT_FAILED);
    MediaTrack_SetConfServeType(nullptr);
    MediaTrack_SetConfServeType("SFU");
    EXPECT_TRUE(log_.Contains("confType is null"));
    EXPECT_TRUE(log_.Contains("set conf server type SFU"));
    for (const auto &line : log_.Lines()) {
        if (line.text == "set confId conf-9") {
            EXPECT_EQ(line.file, "MediaDotData");
        }
    }
}

TEST_F(MediaTrackFamily, ShowInfoWithNothingSet) {
    ConfigureAll();
    EXPECT_EQ(SendShowInfo(),
              "-|[" + kHeader + R"("-","-","10","Call Start","0","0","0","-","0","0"])");
    EXPECT_EQ(log_.Count(" byte, uploadNow=1, zip!"), 1u);  // sent with upload now
}

TEST_F(MediaTrackFamily, ShowInfoKeepsEarlierValuesForZeroes) {
    ConfigureAll();
    MediaTrack_SetConfId("c-1");
    MediaTrack_SetAudioDecoderNameAndSample("OPUS", 48000);
    MediaTrack_SetAudioDecoderNameAndSample("AAC", 0);  // keeps the rate
    tagMediaCpuMemInfo info = {};
    info.number1 = 11;
    info.number2 = 22;
    info.number3 = 33;
    std::strcpy(info.text, "cpu 5%");
    MediaTrack_SetCpuAndMemoryInfo(&info);
    tagMediaCpuMemInfo zeroes = {};
    zeroes.number2 = 44;
    MediaTrack_SetCpuAndMemoryInfo(&zeroes);  // empty text keeps the text
    MediaTrack_SetCpuAndMemoryInfo(nullptr);
    EXPECT_EQ(SendShowInfo(),
              "c-1|[" + kHeader + R"("-","AAC","10","Call Start","11","44","33","cpu 5%","48000","0"])");
    EXPECT_TRUE(log_.Contains("MediaTrack_SetAudioDecoderNameAndSample OPUS"));
}

TEST_F(MediaTrackFamily, OverLongTextsEmptyTheStoredText) {
    ConfigureAll();
    const std::string name31(31, 'd');
    MediaTrack_SetAudioDecoderNameAndSample(name31.c_str(), 8000);
    MediaTrack_SetAudioDecoderNameAndSample(nullptr, 16000);  // ends the call: rate kept too
    EXPECT_TRUE(log_.Contains("MediaTrack_SetAudioDecoderNameAndSample null"));
    EXPECT_NE(SendShowInfo().find("\"" + name31 + "\""), std::string::npos);

    const std::string name32(32, 'd');
    MediaTrack_SetAudioDecoderNameAndSample(name32.c_str(), 0);
    EXPECT_GE(log_.Count("secure func return err:"), 1u);
    tagMediaCpuMemInfo info;
    std::memset(&info, 'x', sizeof(info));  // text without a NUL
    info.number1 = 0;
    info.number2 = 0;
    info.number3 = 0;
    MediaTrack_SetCpuAndMemoryInfo(&info);
    EXPECT_EQ(SendShowInfo(), "-|[" + kHeader +
                                  R"("-","-","10","Call Start","0","0","0","-","8000","0"])");

    std::string longName(100000, 'n');
    MediaTrack_SetAudioDecoderNameAndSample(longName.c_str(), 1);
}

TEST_F(MediaTrackFamily, SysInfoIsAlwaysZero) {
    unsigned char block[64];
    std::memset(block, 0xAA, sizeof(block));
    EXPECT_EQ(MediaTrack_GetSysInfo(block), block);
    for (unsigned char b : block) EXPECT_EQ(b, 0);
    EXPECT_EQ(MediaTrack_GetSysInfo(nullptr), nullptr);
}

TEST_F(MediaTrackFamily, ParticipantInfoReachesTheRecords) {
    tagMediaParticipantInfo info = {};
    info.mNumber = 5;
    info.tNumber = 6;
    std::strcpy(info.participantId, "part-5");
    EXPECT_EQ(MediaTrack_SetPaticipantInfo(&info), UT_SUCCESS);
    EXPECT_NE(UTManager::GetInstance().GetTrackReserves().find(
                  "\"mNumber\":5,\"participantId\":\"part-5\",\"tNumber\":6"),
              std::string::npos);

    std::memset(info.participantId, 'x', sizeof(info.participantId));  // no NUL: cut at the end
    EXPECT_EQ(MediaTrack_SetPaticipantInfo(&info), UT_SUCCESS);
    EXPECT_NE(UTManager::GetInstance().GetTrackReserves().find(
                  "\"participantId\":\"" + std::string(sizeof(info.participantId), 'x') + "\""),
              std::string::npos);
    EXPECT_EQ(MediaTrack_SetPaticipantInfo(nullptr), UT_FAILED);
}

TEST_F(MediaTrackFamily, CallStateIsSafeAcrossThreads) {
    ConfigureAll();
    std::thread setter([] {
        tagMediaCpuMemInfo info = {};
        std::strcpy(info.text, "t");
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
