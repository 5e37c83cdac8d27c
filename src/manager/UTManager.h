// The one track manager. A facade over its parts, which own the state and its locks:
//   ParamStore    parameters and switches (the parameter lock)       param_store.h
//   TimeBase      server time base                                    time_base.h
//   RecordCaches  records held back until the context is configured   record_caches.h
//   TimedEvents   timed events in progress                            timed_events.h
//   DotFiles      paths, file locks, pack timers, pack uuid            dot_files.h
//   UploadWorker  upload thread, back-off, failure counts             upload_worker.h
//   CacheHooks    the host's configuration-cache hooks                cache_hooks.h
//   CacheWriter   writes the public SDK parameters to the cache       cache_writer.h
//   MsgCounters   message counters for MMR records                    msg_counters.h
// The record paths run on the command thread, the upload worker on the upload thread,
// configuration calls on host threads. The methods below are implemented by group in the files
// named beside each group.
//
// Locks (process-wide, recursive), always taken in this order: parameter lock, then file locks
// user -> media -> MMR. Packing a file happens under that file's lock. The parts' own small
// locks come after all of these and are never held while another lock is taken.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <unified_track/unified_track.h>

#include "manager/cache_writer.h"
#include "manager/UTData.h"
#include "manager/cache_hooks.h"
#include "manager/dot_files.h"
#include "manager/msg_counters.h"
#include "manager/param_store.h"
#include "manager/record_caches.h"
#include "manager/time_base.h"
#include "manager/timed_events.h"
#include "manager/upload_worker.h"
#include "manager/ut_locks.h"

namespace unified_track {

struct EventTrack;  // a timed event in progress (manager_timed_event.cpp)

class UTManager {
public:
    static UTManager &GetInstance();

    // Process-wide locks.
    static RecursiveLock &ParamLock() RETURN_CAPABILITY(ParamStore::Lock()) { return ParamStore::Lock(); }
    static RecursiveLock &UserFileLock() { return DotFiles::UserLock(); }
    static RecursiveLock &MediaFileLock() { return DotFiles::MediaLock(); }
    static RecursiveLock &MmrFileLock() { return DotFiles::MmrLock(); }

    // The parts, for the library's own layers and for tests.
    ParamStore &Params() { return m_params; }
    TimeBase &Time() { return m_time; }
    RecordCaches &Caches() { return m_caches; }
    TimedEvents &Events() { return m_events; }
    DotFiles &Files() { return m_files; }
    UploadWorker &Upload() { return m_upload; }
    MsgCounters &Counters() { return m_counters; }
    // Marks the manager (un)initialised without Init (tests that lay the folders out themselves).
    void MarkInited(bool inited) { m_bInited.store(inited); }
    // Context field 1, the application version.
    std::string GetAppVersion() { return m_params.Context(0); }

    // ---- start and stop (UTManager.cpp) ----
    OST_UT_RESULT Init(const char *rootFolder);
    bool InitFolderPath(const char *rootFolder);
    OST_UT_RESULT Uninit();
    // 1 registers the log library's dot-data callback, anything else none.
    OST_UT_RESULT SetDotdataFuncCallback(unsigned int flag);
    void GetOrignalCorpTrustAppId(char *buffer, uint32_t bufferSize);
    bool IsInited() const { return m_bInited.load(); }
    static std::atomic<bool> &UploadRunning();
    // Joins the upload thread (library unload); safe to call more than once.
    void JoinUploadThread();
    // JoinUploadThread on the instance unless it is already destroyed (library unload hook).
    static void JoinUploadThreadIfAlive();
    // Stops and joins (bounded) the configuration-cache writer unless the instance is already
    // destroyed (library unload hook).
    static void StopCacheWriterIfAlive();

    // ---- parameters and switches (manager_param.cpp) ----
    OST_UT_RESULT ConfigUploadParam(const tagUTTransferParam *param);
    OST_UT_RESULT ConfigCustomParam(bool upload);
    OST_UT_RESULT ConfigDotSwitch(bool open);
    OST_UT_RESULT SetMeetingSDKDotSwitch(bool open);
    OST_UT_RESULT ConfigPublicSdkParam(const tagUTPublicSdkParam *param);
    OST_UT_RESULT ClearConfigPublicSdkParam();
    OST_UT_RESULT ConfigContextPublicParam(const tagUTContextPublicParam *param);
    OST_UT_RESULT ConfigBrioContextPublicParam(const tagUTBrioContextPublicParam *param);
    OST_UT_RESULT SetConfInfo(const tagUTConfInfoParam *param);
    OST_UT_RESULT SetParticipantInfo(const tagUTParticipantInfo *param);
    OST_UT_RESULT SetStunInfo(const char *address, uint16_t port);
    OST_UT_RESULT UpdateOpsAddress(const char *address, bool isProxyOff);
    OST_UT_RESULT UpdateAccessDesc(const char *desc);
    OST_UT_RESULT SetCertInfo(const tagUTCertInfo *param);
    OST_UT_RESULT GetCertInfo(tagUTCertInfo *param);
    OST_UT_RESULT GetVersion(char *buffer, int32_t size);
    OST_UT_RESULT SetTerminalType(const std::string &terminalType);
    void BuildReserves();
    UpLoadParam GetUploadParamCopy();  // under the parameter lock
    // Packs the user, media and MMR dot files (each under its lock) once initialised.
    void PackAllDotFilesForUpload();

    // ---- configuration cache (manager_cache.cpp) ----
    OST_UT_RESULT setAddCacheFun(AddConfigCacheFunc addFunc, QueryConfigCacheFunc queryFunc,
                                 DelConfigCacheFunc delFunc);
    bool AddCacheData(const std::string &key, const std::string &value);
    bool QueryCacheData(const std::string &key, std::string &value);
    OST_UT_RESULT DelUserInfo();
    void GetCacheConfigSDKParamsFromDb();
    void TryCopyErrorDotFileToLog(const std::string &filePath);
    // The ten public-SDK entries from the current fields (under the parameter lock); fills
    // nothing when count is below ten.
    void FillPublicSdkEntries(LumConfigCache *entries, size_t count);
    // Hands the ten entries to the cache writer, which calls the add hook on its own thread;
    // false when the entries cannot be allocated. Caller holds the parameter lock.
    bool PersistPublicSdkParams();

    // ---- time base (manager_time.cpp) ----
    OST_UT_RESULT RecordUtcTimeByLogin(uint64_t serverUtcMs);
    OST_UT_RESULT GetServerUtcTimeAndBaseTime(uint64_t *serverTime, uint64_t *baseTime);
    std::string GetDiffTimeStamp(uint64_t captureTime);

    // ---- user events (manager_user.cpp) ----
    void AddUserTrack(const ContextSpecialParam &param);
    OST_UT_RESULT DoAddUserTrack(const ContextSpecialParam &param);
    std::string BuildUserLine(const ContextSpecialParam &param);
    OST_UT_RESULT FlushUserCache();

    // ---- timed events (manager_timed_event.cpp) ----
    OST_UT_RESULT StartEvent(const std::string &eventName);
    void AddSubEvent(const std::string &eventName, const ContextSubEventParam &param);
    void FinishEvent(const std::string &eventName, ContextSpecialParam param);
    // arg4 (a JSON object) with one member per finished sub-event; empty when arg4 is no object.
    std::string BuildSubEventJson(const std::shared_ptr<EventTrack> &event, const std::string &arg4);

    // ---- dot files (manager_file.cpp) ----
    int32_t AddDataToFile(const std::string &path, const std::string &data);
    static int CheckAndMakeDirByFilePath(const std::string &path);
    static int MakeDotdataDir(const std::string &folder);
    static bool DeleteFileResult(const std::string &path);
    void CleanDotFileContent(RecursiveLock &fileLock, const std::string &path);
    static void RmFolderFile(const std::string &folder);
    OST_UT_RESULT DelDotData();

    // ---- packing (manager_pack.cpp) ----
    void CompressDotFileToZip(RecursiveLock &fileLock, const std::string &zipFolder, const std::string &dotFile);
    bool CompressMMRDotFileToZip();
    void CompressOldVersionFile();
    // Packs the user, media and MMR dot files, each under its own lock, in that order.
    void CompressAllDotFiles();
    // The uuid for a zip envelope. Packing runs under a file lock, and the parameter lock may not
    // be awaited there (lock order), so this takes it only when free and otherwise uses the
    // value seen last.
    std::string PackUuid();

    // ---- upload worker (manager_upload.cpp) ----
    int UploadThread();
    int UploadZipFileListInFolder(const std::string &folder, const std::string &urlPath);
    int UploadTrack(const std::string &zipPath, const std::string &urlPath);
    int UploadFailedProcess(const std::string &zipPath, int code);
    OST_UT_RESULT UploadUserTrack();
    // Removes the temporary files of packs that a crash interrupted (each under its file lock).
    void RemoveStalePackFiles();
    // Packs the kinds whose last pack is more than a minute old (the upload thread's timer).
    void PackOnTimer();
    // Upload parameters with the header values, copied as one under the parameter lock.
    struct UploadSnapshot {
        UpLoadParam param;
        std::string userAgent;  // reserve2
        std::string uuid;
    };
    UploadSnapshot TakeUploadSnapshot();

    // ---- media and MMR records (manager_media.cpp) ----
    OST_UT_RESULT AddMediaTrack(const ContextSpecialParam &param, bool uploadNow);
    OST_UT_RESULT DoAddMediaTrack(const ContextSpecialParam &param, bool uploadNow);
    OST_UT_RESULT AddCacheMediaTrack();
    // Takes ownership of trackData (a new[] block, may be null) and frees it on every path.
    OST_UT_RESULT AddMMRTrack(char *trackData, int32_t dataLen, int32_t isReportImmediately);
    std::string GetTrackReserves();

    // ---- message counters (manager_media.cpp) ----
    static constexpr uint32_t kMsgCounterCount = MsgCounters::kCount;
    OST_UT_RESULT MsgDotCount(uint32_t index);

private:
    UTManager() = default;
    ~UTManager();
    UTManager(const UTManager &) = delete;
    UTManager &operator=(const UTManager &) = delete;

    static void *UploadThreadEntry(void *);

    ParamStore m_params;
    TimeBase m_time;
    RecordCaches m_caches;
    TimedEvents m_events;
    DotFiles m_files;
    UploadWorker m_upload;
    CacheHooks m_cacheHooks;
    MsgCounters m_counters;
    std::atomic<bool> m_bInited{false};
    CacheWriter m_cacheWriter;  // declared last: stopped first, before the parts it may read go
};

}  // namespace unified_track
