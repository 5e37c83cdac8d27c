// Manager instance, locks, start-up (folder layout, upload thread) and stop.
#include "manager/UTManager.h"

#include <chrono>
#include <thread>

#include "host/clock.h"
#include "host/config_store.h"
#include "host/log.h"
#include "host/pal.h"
#include "host/securec.h"
#include "manager/UTConstants.h"

namespace unified_track {

namespace {
// Namespace-scope, so they are made at load and destroyed after every function-local static,
// i.e. after the threads that use them have been joined.
RecursiveLock g_paramLock;
RecursiveLock g_userFileLock;
RecursiveLock g_mediaFileLock;
RecursiveLock g_mmrFileLock;
std::atomic<bool> g_uploadRunning{false};
// The live instance, for the unload hook (cleared by the destructor).
std::atomic<UTManager *> g_liveManager{nullptr};

std::string JoinPath(const std::string &folder, const char *name) {
    std::string path = folder;
    if (path.empty() || path.back() != kPathSep) path.push_back(kPathSep);
    path += name;
    return path;
}

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

RecursiveLock &UTManager::ParamLock() { return g_paramLock; }
RecursiveLock &UTManager::UserFileLock() { return g_userFileLock; }
RecursiveLock &UTManager::MediaFileLock() { return g_mediaFileLock; }
RecursiveLock &UTManager::MmrFileLock() { return g_mmrFileLock; }
std::atomic<bool> &UTManager::UploadRunning() { return g_uploadRunning; }

OST_UT_RESULT UTManager::Init(const char *rootFolder) {
    UT_LOGI(kLogStartInit);
    if (m_bInited.load()) return UT_SUCCESS;
    std::lock_guard<RecursiveLock> lock(ParamLock());
    if (m_bInited.load()) return UT_SUCCESS;

    m_dotSwitch.store(true);
    m_uploadSwitch.store(true);
    m_appDotSwitch.store(true);
    m_meetingSdkDotSwitch.store(true);

    if (!InitFolderPath(rootFolder)) return UT_FAILED;

    UploadRunning().store(true);
    // Initialised before the thread starts, so its first look already sees it.
    m_bInited.store(true);
    std::lock_guard<std::mutex> threadLock(m_uploadThreadLock);
    if (!m_uploadThreadStarted) {
        m_uploadThreadDone.store(false);
        int ret = PAL_PthreadCreate(&m_uploadThread, nullptr, &UTManager::UploadThreadEntry, nullptr);
        if (ret != 0) {
            UT_LOGE(kLogCreateUploadThreadFailed, ret);
        } else {
            m_uploadThreadStarted = true;
        }
    }
    return UT_SUCCESS;
}

bool UTManager::InitFolderPath(const char *rootFolder) {
    if (rootFolder == nullptr) return false;
    const std::string root(rootFolder);
    if (MakeDotdataDir(root) == 0) UT_LOGE(kLogDotPathCreateFailed);

    m_userZipFolder = root;
    m_mediaZipFolder = root;
    m_mmrZipFolder = root;
    if (m_userZipFolder.empty() || m_mediaZipFolder.empty() || m_mmrZipFolder.empty()) {
        UT_LOGE(kLogDotPathEmpty);
        return false;
    }
    m_rootFolder = root;
    m_userZipFolder = JoinPath(root, kUserZipFolderName);
    m_mediaZipFolder = JoinPath(root, kMediaZipFolderName);
    m_mmrZipFolder = JoinPath(root, kMmrZipFolderName);

    if (MakeDotdataDir(m_userZipFolder) == 0) UT_LOGE(kLogUserPathCreateFailed);
    if (MakeDotdataDir(m_mediaZipFolder) == 0) UT_LOGE(kLogMediaPathCreateFailed);
    if (MakeDotdataDir(m_mmrZipFolder) == 0) UT_LOGE(kLogMmrPathCreateFailed);

    m_userDotFile = JoinPath(root, kUserDotFileName);
    m_mediaDotFile = JoinPath(root, kMediaDotFileName);
    m_mmrDotFile = JoinPath(root, kMmrDotFileName);
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
    std::lock_guard<RecursiveLock> lock(ParamLock());
    int ret = strcpy_s(buffer, bufferSize, m_context[6].c_str());
    if (ret != 0) UT_LOGE(kLogCorpAppIdCopyFailed, ret);
}

void *UTManager::UploadThreadEntry(void *) {
    UTManager &manager = GetInstance();
    try {
        manager.UploadThread();
    } catch (...) {
        // Nothing may escape a thread routine; the upload simply ends.
    }
    manager.m_uploadThreadDone.store(true);
    return nullptr;
}

void UTManager::JoinUploadThread() {
    PAL_Thread handle = 0;
    {
        std::lock_guard<std::mutex> lock(m_uploadThreadLock);
        if (!m_uploadThreadStarted) return;
        handle = m_uploadThread;
        m_uploadThreadStarted = false;
    }
    UploadRunning().store(false);
    if (handle == PAL_PthreadSelf()) {
        PAL_PthreadDetach(handle);
        return;
    }
    // A wake that lands between the thread's flag check and its sleep would be lost, so keep
    // waking until it is out.
    while (!m_uploadThreadDone.load()) {
        PAL_WakeSleepers();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    PAL_PthreadJoin(handle);
}

void UTManager::JoinUploadThreadIfAlive() {
    if (UTManager *manager = g_liveManager.load()) manager->JoinUploadThread();
}

void UTManager::StopCacheWriterIfAlive() {
    if (UTManager *manager = g_liveManager.load()) manager->m_cacheWriter.Stop(CacheWriter::kStopTimeoutMs);
}

}  // namespace unified_track
