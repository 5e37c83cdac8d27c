#include "media_test_env.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>

#include <json/json.h>

#include "manager/UTThreadMgr.h"
#include "support/test_env.h"

namespace media_test {

ut_test::ManualClock *MediaEnv::clock_ = nullptr;

// Installed for the whole program, like the clock itself (not internal, so the pointer is kept).
ut_test::ScopedClock *g_installedClock = nullptr;

std::string Gunzip(const std::string &path) {
    return ut_test::GunzipFile(path);
}

std::vector<std::string> ZipFiles(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.find(".gz") != std::string::npos) names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void MediaEnv::SetUp() {
    setenv("TZ", "UTC", 1);
    tzset();
    // Never deleted: the library's threads may still sleep on it at process exit.
    if (clock_ == nullptr) {
        clock_ = new ut_test::ManualClock(kWallMs, kRunMs);
        g_installedClock = new ut_test::ScopedClock(clock_);
    }
    std::filesystem::create_directories(dir_.path() + "/logs");
    std::filesystem::create_directories(dir_.path() + "/data");
    ASSERT_EQ(InitUnifiedTrack(3, 0, 0, (dir_.path() + "/logs").c_str(), (dir_.path() + "/data").c_str()), UT_SUCCESS);
}

void MediaEnv::TearDown() {
    Track_Uninit();
}

void MediaEnv::Drain() {
    unified_track::UTThreadMgr::GetInstance().PushCmd(
        std::function<OST_UT_RESULT()>([] { return OST_UT_RESULT(UT_SUCCESS); }), "_drain");
}

void MediaEnv::ConfigureAll() {
    tagUTPublicSdkParam sdk = {"uuid-1", "alice", "cu", "sbc", "corp", "agent", nullptr, nullptr, "r5"};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), UT_SUCCESS);
    tagUTBrioContextPublicParam ctx = {"1.2.3", "DEVICE12", "c3",  "c4",  "c5",  "c6",  "c7",  "c8", "Linux",
                                       "c10",   "c11",      "c12", "c13", "c14", "c15", "c16", "c17"};
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), UT_SUCCESS);
    tagUTParticipantInfo participant = {7, 9, "p-1"};
    ASSERT_EQ(Track_SetParticipantInfo(&participant), UT_SUCCESS);
    ASSERT_EQ(Track_SetTerminalType("PC"), UT_SUCCESS);
}

std::string MediaEnv::MediaContent() const {
    std::string content;
    for (const std::string &zip : ZipFiles(MediaZipFolder())) {
        const std::string text = Gunzip(zip);
        Json::Value root;
        std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
        if (reader->parse(text.data(), text.data() + text.size(), &root, nullptr) && root.isObject()) {
            content += root["data"].asString();
        }
    }
    return content + ut_test::ReadFile(MediaDotFile());
}

std::string MediaEnv::MmrContent() const {
    std::string content;
    for (const std::string &zip : ZipFiles(MmrZipFolder())) {
        std::string array = Gunzip(zip);
        if (array.size() > 2 && array.front() == '[' && array.back() == ']') {
            content += array.substr(1, array.size() - 2) + ",";
        }
    }
    return content + ut_test::ReadFile(MmrDotFile());
}

}  // namespace media_test
