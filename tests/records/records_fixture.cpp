#include "records_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <thread>

#include <json/json.h>

#include "host/config_store.h"
#include "host/pal.h"
#include "manager/UTThreadMgr.h"
#include "support/https_collector.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using unified_track::RecursiveLock;
using unified_track::UTManager;

namespace records_test {
// The clock stays installed for the whole program (not internal, so the pointer is kept).
ut_test::ScopedClock *g_installedClock = nullptr;

namespace {
// Made once per test program and never destroyed: the command and upload threads use the clock
// until the very end of the process.
ut_test::ManualClock *g_clock = nullptr;
ut_test::TempDir *g_dir = nullptr;
std::string g_logFolder;

void InitOnce() {
    static const bool done = [] {
        setenv("TZ", "UTC", 1);
        tzset();
        g_clock = new ut_test::ManualClock(kStartWallMs, 500000);
        g_installedClock = new ut_test::ScopedClock(g_clock);
        g_dir = new ut_test::TempDir;
        const std::string root = g_dir->path();
        fs::create_directories(root + "/logs");
        fs::create_directories(root + "/data");
        g_logFolder = root + "/logs" + kPathSep;
        return InitUnifiedTrack(3, 0, 0, (root + "/logs").c_str(), (root + "/data").c_str()) == UT_SUCCESS;
    }();
    if (!done) std::abort();
}

}  // namespace

ut_test::ManualClock &Clock() {
    InitOnce();
    return *g_clock;
}
UTManager &M() {
    InitOnce();
    return UTManager::GetInstance();
}
const std::string &LogFolder() {
    return g_logFolder;
}

OST_UT_RESULT OnCommandThread(std::function<OST_UT_RESULT()> func) {
    return unified_track::UTThreadMgr::GetInstance().PushCmd(std::move(func), "_test");
}
void Drain() {
    OnCommandThread([] { return static_cast<OST_UT_RESULT>(UT_SUCCESS); });
}

std::string AllUserRecords() {
    Drain();
    std::lock_guard<RecursiveLock> guard(UTManager::UserFileLock());
    std::vector<std::string> zips;
    PAL_ScanDir(ZipFolderOf(DotKind::kUser).c_str(), &zips, [](const PAL_DirEntry &e) {
        return e.name.size() > 3 && e.name.compare(e.name.size() - 3, 3, ".gz") == 0;
    });
    std::sort(zips.begin(), zips.end(), [](const std::string &a, const std::string &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;  // decimal milliseconds
    });
    std::string all;
    for (const std::string &name : zips) {
        Json::Value root;
        std::istringstream in(ut_test::GunzipBytes(ut_test::ReadFile(ZipFolderOf(DotKind::kUser) + kPathSep + name)));
        std::string errors;
        if (Json::parseFromStream(Json::CharReaderBuilder(), in, &root, &errors) && root.isObject()) {
            all += root["data"].asString();
        }
    }
    return all + ut_test::ReadFile(DotFileOf(DotKind::kUser));
}

std::vector<std::string> UserLines() {
    std::istringstream in(AllUserRecords());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    return lines;
}

void ConfigureEmptyContext() {
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
}

void RecordsTest::SetUp() {
    UTManager &m = M();
    Drain();
    setAddCacheFun(nullptr, nullptr, nullptr);
    WithCache([](FakeCache &c) { c = FakeCache(); });
    OstClearGlobalCfg();
    Track_ClearConfigPublicSdkParam();
    Track_DelDotData();
    WithParams([](unified_track::ParamFields &p) {
        for (std::string *field : {&p.m_participantId, &p.m_stunAddr, &p.m_terminalType, &p.m_confuuid, &p.m_pid}) {
            field->clear();
        }
        for (std::string &c : p.m_context) c.clear();
        for (std::string &s : p.m_suite) s.clear();
        p.m_uploadParam = unified_track::UpLoadParam();
        p.m_mNumber = p.m_tNumber = 0;
        p.m_stunPort = 0;
    });
    m.Caches().ClearUser();
    m.Caches().ClearMedia();
    m.Events().Clear();
    unified_track::SwitchState switches;
    switches.dot = switches.upload = switches.app = switches.meetingSdk = true;
    switches.contextConfigured = switches.uploadSet = false;
    m.Params().RestoreSwitches(switches);
    m.Time().Set(0, 0);
    Clock().SetSystemTimeMs(kStartWallMs);
}

void InstallFakeCache() {
    ut_test::InstallFakeConfigCache();
}
std::mutex &FakeCacheLock() {
    return ut_test::FakeConfigCacheLock();
}
FakeCache &FakeCacheState() {
    return ut_test::FakeConfigCacheState();
}

bool WaitForAddCalls(size_t count) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (WithCache([](FakeCache &c) { return c.addCalls.size(); }) < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace records_test
