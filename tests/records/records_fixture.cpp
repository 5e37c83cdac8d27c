#include "records_fixture.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <thread>

#include <json/json.h>
#include <zlib.h>

#include "host/config_store.h"
#include "host/pal.h"
#include "manager/UTThreadMgr.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using unified_track::RecursiveLock;
using unified_track::UTManager;

namespace records_test {
namespace {
constexpr uint64_t kStartRunMs = 500000;

struct Process {
    unified_track::ManualClock *clock = nullptr;
    ut_test::TempDir *dir = nullptr;
    std::string logFolder;
};

Process &TheProcess()
{
    // Made once per test program and never destroyed: the command and upload threads use the
    // clock until the very end of the process.
    static Process *process = [] {
        auto *p = new Process;
        setenv("TZ", "UTC", 1);
        tzset();
        p->clock = new unified_track::ManualClock(kStartWallMs, kStartRunMs);
        unified_track::SetClock(p->clock);
        p->dir = new ut_test::TempDir;
        std::string logs = p->dir->file("logs");
        std::string data = p->dir->file("data");
        fs::create_directories(logs);
        fs::create_directories(data);
        p->logFolder = logs + kPathSep;
        if (InitUnifiedTrack(3, 0, 0, logs.c_str(), data.c_str()) != UT_SUCCESS) std::abort();
        return p;
    }();
    return *process;
}

std::string Gunzip(const std::string &path)
{
    std::string out;
    gzFile gz = gzopen(path.c_str(), "rb");
    if (gz == nullptr) return out;
    char buffer[4096];
    int n = 0;
    while ((n = gzread(gz, buffer, sizeof(buffer))) > 0) out.append(buffer, static_cast<size_t>(n));
    gzclose(gz);
    return out;
}

std::mutex g_cacheLock;
std::map<std::string, std::string> g_cache;                                       // guarded by g_cacheLock
std::vector<std::vector<std::pair<std::string, std::string>>> g_addCalls;       // guarded by g_cacheLock
std::vector<std::string> g_deleted;                                               // guarded by g_cacheLock
}  // namespace

unified_track::ManualClock &Clock() { return *TheProcess().clock; }
UTManager &M()
{
    TheProcess();
    return UTManager::GetInstance();
}
const std::string &LogFolder() { return TheProcess().logFolder; }

OST_UT_RESULT OnCommandThread(std::function<OST_UT_RESULT()> func)
{
    return unified_track::UTThreadMgr::GetInstance().PushCmd(std::move(func), "_test");
}
void Drain()
{
    OnCommandThread([] { return static_cast<OST_UT_RESULT>(UT_SUCCESS); });
}

std::string AllUserRecords()
{
    Drain();
    std::lock_guard<RecursiveLock> guard(UTManager::UserFileLock());
    std::vector<std::string> zips;
    PAL_ScanDir(M().m_userZipFolder.c_str(), &zips, [](const PAL_DirEntry &e) {
        return e.name.size() > 3 && e.name.compare(e.name.size() - 3, 3, ".gz") == 0;
    });
    std::sort(zips.begin(), zips.end(), [](const std::string &a, const std::string &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;  // decimal milliseconds
    });
    std::string all;
    for (const std::string &name : zips) {
        Json::Value root;
        std::istringstream in(Gunzip(M().m_userZipFolder + kPathSep + name));
        Json::CharReaderBuilder builder;
        std::string errors;
        if (Json::parseFromStream(builder, in, &root, &errors) && root.isObject()) all += root["data"].asString();
    }
    all += ut_test::ReadFile(M().m_userDotFile);
    return all;
}

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size() - 1;
        lines.push_back(text.substr(start, end - start + 1));
        start = end + 1;
    }
    return lines;
}

ScopedTz::ScopedTz(const char *tz)
{
    setenv("TZ", tz, 1);
    tzset();
}
ScopedTz::~ScopedTz()
{
    setenv("TZ", "UTC", 1);
    tzset();
}

void RecordsTest::SetUp()
{
    UTManager &m = M();
    Drain();
    setAddCacheFun(nullptr, nullptr, nullptr);
    FakeCache::Reset();
    OstClearGlobalCfg();
    {
        std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
        for (std::string *field : {&m.uuid, &m.account, &m.cloudusgIp, &m.sbcIp, &m.reserve1, &m.reserve2,
                                   &m.reserve3, &m.reserve4, &m.reserve5, &m.reserves, &m.m_participantId,
                                   &m.m_stunAddr, &m.m_terminalType, &m.m_confuuid, &m.m_pid}) {
            field->clear();
        }
        for (std::string &c : m.m_context) c.clear();
        for (std::string &s : m.m_suite) s.clear();
        m.m_uploadParam = unified_track::UpLoadParam();
        m.m_mNumber = m.m_tNumber = 0;
        m.m_stunPort = 0;
        m.m_userCache.clear();
        m.m_mediaCache.clear();
        std::lock_guard<std::mutex> tableGuard(m.m_eventTableLock);
        m.m_eventTable.clear();
    }
    m.m_dotSwitch = true;
    m.m_uploadSwitch = true;
    m.m_appDotSwitch = true;
    m.m_meetingSdkDotSwitch = true;
    m.m_contextConfigured = false;
    m.m_bIsUploadSeted = false;
    {
        std::lock_guard<std::mutex> guard(m.m_timeLock);
        m.m_serverTimeMs = 0;
        m.m_baseTimeMs = 0;
    }
    {
        std::lock_guard<RecursiveLock> u(UTManager::UserFileLock());
        std::lock_guard<RecursiveLock> me(UTManager::MediaFileLock());
        std::lock_guard<RecursiveLock> mm(UTManager::MmrFileLock());
        for (const std::string *f : {&m.m_userDotFile, &m.m_mediaDotFile, &m.m_mmrDotFile}) PAL_Remove(f->c_str());
        for (const std::string *d : {&m.m_userZipFolder, &m.m_mediaZipFolder, &m.m_mmrZipFolder}) {
            std::error_code ec;
            fs::remove_all(*d, ec);
            fs::create_directories(*d, ec);
        }
    }
    Clock().SetSystemTimeMs(kStartWallMs);
}

void RecordsTest::TearDown() { Drain(); }

// ---- FakeCache ----

std::atomic<int32_t> FakeCache::addResult{0};
std::atomic<int32_t> FakeCache::queryResult{0};
std::atomic<int32_t> FakeCache::delResult{0};

void FakeCache::Install() { setAddCacheFun(&FakeCache::Add, &FakeCache::Query, &FakeCache::Del); }

void FakeCache::Reset()
{
    std::lock_guard<std::mutex> guard(g_cacheLock);
    g_cache.clear();
    g_addCalls.clear();
    g_deleted.clear();
    addResult = 0;
    queryResult = 0;
    delResult = 0;
}

void FakeCache::Set(const std::string &key, const std::string &value)
{
    std::lock_guard<std::mutex> guard(g_cacheLock);
    g_cache[key] = value;
}

std::optional<std::string> FakeCache::Get(const std::string &key)
{
    std::lock_guard<std::mutex> guard(g_cacheLock);
    auto it = g_cache.find(key);
    if (it == g_cache.end()) return std::nullopt;
    return it->second;
}

std::vector<std::vector<std::pair<std::string, std::string>>> FakeCache::AddCalls()
{
    std::lock_guard<std::mutex> guard(g_cacheLock);
    return g_addCalls;
}

std::vector<std::string> FakeCache::Deleted()
{
    std::lock_guard<std::mutex> guard(g_cacheLock);
    return g_deleted;
}

bool FakeCache::WaitForAddCalls(size_t count)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (AddCalls().size() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

int32_t FakeCache::Add(LumConfigCache *entries, int32_t count)
{
    std::lock_guard<std::mutex> guard(g_cacheLock);
    std::vector<std::pair<std::string, std::string>> call;
    for (int32_t i = 0; i < count; ++i) call.emplace_back(entries[i].key, entries[i].value);
    g_addCalls.push_back(call);
    if (addResult.load() != 0) return addResult.load();
    for (const auto &kv : call) g_cache[kv.first] = kv.second;
    return 0;
}

int32_t FakeCache::Query(const char *key, LumConfigCache *entry, int32_t *count)
{
    if (queryResult.load() != 0) return queryResult.load();
    if (key == nullptr || entry == nullptr || count == nullptr || *count != 1) return -1;
    std::lock_guard<std::mutex> guard(g_cacheLock);
    auto it = g_cache.find(key);
    if (it == g_cache.end()) return 415000002;  // not found
    entry->value = it->second;
    return 0;
}

int32_t FakeCache::Del(const char *key)
{
    std::lock_guard<std::mutex> guard(g_cacheLock);
    g_deleted.emplace_back(key ? key : "");
    if (delResult.load() != 0) return delResult.load();
    g_cache.erase(key ? key : "");
    return 0;
}

}  // namespace records_test
