// Manager instance, locks, start-up (folder layout, upload thread) and stop.
#include "manager/UTManager.h"

#include <chrono>
#include <thread>

#include "host/clock.h"
#include "host/config_store.h"
#include "host/log.h"
#include "host/pal.h"
#include "host/securec.h"
#include "manager/manager_constants.h"

namespace unified_track {

namespace {
// Namespace-scope, so they are made at load and destroyed after every function-local static,
// i.e. after the threads that use them have been joined.
std::atomic<bool> g_uploadRunning{false};
// The live instance, for the unload hook (cleared by the destructor).
std::atomic<UTManager *> g_liveManager{nullptr};

// Function-local statics are destroyed in reverse order of creation. The threads that the
// manager's destructor joins log, sleep and read the configuration store, so those services are
// created before the manager and outlive it.
void CreateHostServicesFirst() {
    FlushLogs();
    (void)PAL_GetSystemTime();
    (void)OstGetGlobalInt32CfgWithDefVal(0, 0);
}
}  // namespace

UTManager &UTManager::GetInstance() {
    static const bool servicesFirst = (CreateHostServicesFirst(), true);
    (void)servicesFirst;
    static UTManager instance;
    static const bool published = (g_liveManager.store(&instance), true);
    (void)published;
    return instance;
}

UTManager::~UTManager() {
    g_liveManager.store(nullptr);
    JoinUploadThread();
    m_cacheWriter.Stop(CacheWriter::kStopTimeoutMs);
}

std::atomic<bool> &UTManager::UploadRunning() {
    return g_uploadRunning;
}

OST_UT_RESULT UTManager::Init(const char *rootFolder) {
    UT_LOGI(kLogStartInit);
    if (m_bInited.load()) return UT_SUCCESS;
    RecursiveGuard lock(ParamLock());
    if (m_bInited.load()) return UT_SUCCESS;

    SwitchState switches = m_params.Switches();
    switches.dot = switches.upload = switches.app = switches.meetingSdk = true;
    m_params.RestoreSwitches(switches);

    if (!InitFolderPath(rootFolder)) return UT_FAILED;

    UploadRunning().store(true);
    // Initialised before the thread starts, so its first look already sees it.
    m_bInited.store(true);
    int ret = m_upload.Start(&UTManager::UploadThreadEntry);
    if (ret != 0) UT_LOGE(kLogCreateUploadThreadFailed, ret);
    return UT_SUCCESS;
}

bool UTManager::InitFolderPath(const char *rootFolder) {
    if (rootFolder == nullptr) return false;
    const std::string root(rootFolder);
    if (MakeDotdataDir(root) == 0) UT_LOGE(kLogDotPathCreateFailed);

    if (root.empty()) {
        UT_LOGE(kLogDotPathEmpty);
        return false;
    }
    m_files.SetRoot(root);
    if (MakeDotdataDir(m_files.ZipFolder(DotKind::kUser)) == 0) UT_LOGE(kLogUserPathCreateFailed);
    if (MakeDotdataDir(m_files.ZipFolder(DotKind::kMedia)) == 0) UT_LOGE(kLogMediaPathCreateFailed);
    if (MakeDotdataDir(m_files.ZipFolder(DotKind::kMmr)) == 0) UT_LOGE(kLogMmrPathCreateFailed);
    return true;
}

int UTManager::MakeDotdataDir(const std::string &folder) {
    if (PAL_IsFileExist(folder.c_str()) == 0) {
        int ret = PAL_MkDir(folder.c_str(), 0);
        if (ret != 0) UT_LOGE(kLogMakeDirFailed, ret, PAL_GetLastErr());
    }
    return PAL_IsFileExist(folder.c_str());
}

OST_UT_RESULT UTManager::Uninit() {
    UploadRunning().store(false);
    // The upload thread may be in a long sleep; it sees the flag as soon as it wakes.
    PAL_WakeSleepers();
    SetDotdataFuncCallback(0);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetDotdataFuncCallback(unsigned int flag) {
    DotdataFunc func = (flag == 1) ? &track_dotdata_log : nullptr;
    LogStream::SetDotdataFuncCallback(func);
    const auto low = static_cast<unsigned int>(reinterpret_cast<uintptr_t>(func) & 0xFFFFu);
    UT_LOGI(kLogSetDotdataCallback, static_cast<int>(flag), low);
    return UT_SUCCESS;
}

void UTManager::GetOrignalCorpTrustAppId(char *buffer, uint32_t bufferSize) {
    if (buffer == nullptr) return;
    int ret = strcpy_s(buffer, bufferSize, m_params.Context(6).c_str());
    if (ret != 0) UT_LOGE(kLogCorpAppIdCopyFailed, ret);
}

void *UTManager::UploadThreadEntry(void *) {
    UTManager &manager = GetInstance();
    try {
        manager.UploadThread();
    } catch (...) {
        // Nothing may escape a thread routine; the upload simply ends.
    }
    manager.m_upload.MarkDone();
    return nullptr;
}

void UTManager::JoinUploadThread() {
    m_upload.Join(UploadRunning());
}

void UTManager::JoinUploadThreadIfAlive() {
    if (UTManager *manager = g_liveManager.load()) manager->JoinUploadThread();
}

void UTManager::StopCacheWriterIfAlive() {
    if (UTManager *manager = g_liveManager.load()) manager->m_cacheWriter.Stop(CacheWriter::kStopTimeoutMs);
}

}  // namespace unified_track
