// End to end: a C host driving the exports; media and MMR records recorded, packed and uploaded
// over HTTPS to the local collector, each kind on its own path, then compared with what was recorded.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include <json/json.h>

#include "media_test_env.h"
#include "support/https_collector.h"

using namespace media_test;

extern "C" int ut_c_drive_interface(const char *logPath, const char *dataPath);

TEST_F(MediaEnv, CHostDrivesTheWholeInterface) {
    ASSERT_EQ(ut_c_drive_interface((dir_.path() + "/logs").c_str(), (dir_.path() + "/data").c_str()), 0);
    const std::string media = MediaContent();
    EXPECT_NE(media.find("|conf|c-media\n30009|"), std::string::npos) << media;
    EXPECT_NE(media.find("|conf-c|c-data\n30001|"), std::string::npos) << media;
    EXPECT_EQ(MmrContent(), "{\"c\":1},");
}

TEST_F(MediaEnv, MediaAndMmrRecordsReachTheServerOnTheirOwnPaths) {
    ut_test::HttpsCollector collector;
    ConfigureAll();

    // Media: one record, then the show information, which packs the file at once.
    tagUTContextSpecialParam quality = {"30014", nullptr, nullptr, nullptr, "conf-1|{\"loss\":0}", 0, 0};
    ASSERT_EQ(Track_AddMediaTrack(&quality, 0), UT_SUCCESS);
    MediaTrack_SetConfId("conf-1");
    MediaTrack_SetAudioDecoderNameAndSample("OPUS", 48000);
    MediaTrack_AddStaticShowInfo();
    // MMR: two records, then an immediate report packs them.
    const std::string first = R"({"ver":"ut-version-tmp","user":"{\"userName\":\"Alice\"}"})";
    const std::string second = R"({"n":2})";
    ASSERT_EQ(Track_AddMMRTrack(first.c_str(), static_cast<int32_t>(first.size() + 1), 0), UT_SUCCESS);
    ASSERT_EQ(Track_AddMMRTrack(second.c_str(), static_cast<int32_t>(second.size() + 1), 0), UT_SUCCESS);
    ASSERT_EQ(Track_AddMMRTrack(nullptr, 0, 1), UT_SUCCESS);
    Drain();

    // Credentials and the collector's certificate; the upload thread's next pass posts both.
    tagUTCertInfo cert = {};
    ASSERT_LT(collector.CaFile().size(), sizeof(cert.certInfo));
    std::memcpy(cert.certInfo, collector.CaFile().c_str(), collector.CaFile().size() + 1);
    ASSERT_EQ(Track_SetCertInfo(&cert), UT_SUCCESS);
    tagUTTransferParam transfer = {
        nullptr, "tok-media", nullptr, "127.0.0.1", 1,      static_cast<uint16_t>(collector.Port()),
        {},      0,           nullptr, nullptr,     nullptr};
    ASSERT_EQ(Track_ConfigUploadParam(&transfer), UT_SUCCESS);

    // Wake the upload thread until the collector has recorded both kinds (bounded).
    auto find = [](const std::vector<ut_test::CollectedRequest> &requests, const std::string &path) {
        auto it = std::find_if(requests.begin(), requests.end(), [&](const ut_test::CollectedRequest &r) {
            return r.path.find(path) != std::string::npos;
        });
        return it == requests.end() ? nullptr : &*it;
    };
    std::vector<ut_test::CollectedRequest> requests;
    const ut_test::CollectedRequest *media = nullptr, *mmr = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        requests = collector.Requests();
        media = find(requests, "/v1/ops/client/report/av");
        mmr = find(requests, "/v1/ops/das/mmr/report");
        if (media != nullptr && mmr != nullptr) break;
        if (clock_->WaitForSleepers(1, 50)) clock_->Advance(1000);
    }
    ASSERT_NE(media, nullptr);
    ASSERT_NE(mmr, nullptr);
    EXPECT_EQ(media->method, "POST");
    EXPECT_EQ(media->Header("X-Auth-token"), "tok-media");
    EXPECT_EQ(media->status, 200);
    EXPECT_EQ(mmr->status, 200);

    ASSERT_TRUE(media->envelopeOk) << media->body;
    EXPECT_EQ(media->envelope["user"].asString(), "uuid-1");
    EXPECT_EQ(media->envelope["data"].asString(),
              "30014" + kPrefixTail + "|conf-1|{\"loss\":0}\n" + "30001" + kPrefixTail + "|conf-1|[" + kHeader +
                  R"("-","OPUS","10","Call Start","0","0","0","-","48000","0"])" + "\n");

    ASSERT_TRUE(mmr->envelopeOk) << mmr->body;
    EXPECT_EQ(mmr->body, R"([{"ver":"1.2.3","user":"{\"userName\":\"A****\"}"},{"n":2}])");
    // Each zip file is deleted once its answer 200 has come back.
    const auto removed = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((!ZipFiles(MediaZipFolder()).empty() || !ZipFiles(MmrZipFolder()).empty()) &&
           std::chrono::steady_clock::now() < removed) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(ZipFiles(MediaZipFolder()).empty());
    EXPECT_TRUE(ZipFiles(MmrZipFolder()).empty());
    // Stopped while the collector lives: the upload thread lets its kept-alive connection go, so
    // the collector does not wait for it to time out.
    Track_Uninit();
}
