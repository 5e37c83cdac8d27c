// The one track manager. A facade: the record paths run on the command thread, the upload worker
// on the upload thread, configuration calls on host threads. Each group of members is implemented
// in its own file (named beside each group).
//
// Locks (process-wide, recursive), always taken in this order: parameter lock, then file locks
// user -> media -> MMR. Packing a file happens under that file's lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "manager/UTCacheWriter.h"
#include "manager/UTData.h"

namespace unified_track {

struct EventTrack;  // a timed event in progress (UTManagerTimedEvent.cpp)

using RecursiveLock = std::recursive_mutex;

class UTManager {
public:
    static UTManager &GetInstance();

    // Process-wide locks.
    static RecursiveLock &ParamLock();
    static RecursiveLock &UserFileLock();
    static RecursiveLock &MediaFileLock();
    static RecursiveLock &MmrFileLock();

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

    // ---- parameters and switches (UTManagerParam.cpp) ----
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

    // ---- configuration cache (UTManagerCache.cpp) ----
    OST_UT_RESULT setAddCacheFun(AddConfigCacheFunc addFunc, QueryConfigCacheFunc queryFunc,
                                 DelConfigCacheFunc delFunc);
    bool AddCacheData(const std::string &key, const std::string &value);
    bool QueryCacheData(const std::string &key, std::string &value);
    OST_UT_RESULT DelUserInfo();
    void GetCacheConfigSDKParamsFromDb();
    void TryCopyErrorDotFileToLog(const std::string &filePath);
    // The ten public-SDK entries from the current fields (caller holds the parameter lock);
    // fills nothing when count is below ten.
    void FillPublicSdkEntries(LumConfigCache *entries, size_t count);
    // Hands the ten entries to the cache writer, which calls the add hook on its own thread;
    // false when the entries cannot be allocated. Caller holds the parameter lock.
    bool PersistPublicSdkParams();
    CacheWriter m_cacheWriter;  // joined before the manager (and the library) goes

    // ---- time base (UTManagerTime.cpp) ----
    OST_UT_RESULT RecordUtcTimeByLogin(uint64_t serverUtcMs);
    OST_UT_RESULT GetServerUtcTimeAndBaseTime(uint64_t *serverTime, uint64_t *baseTime);
    std::string GetDiffTimeStamp(uint64_t captureTime);

    // ---- user events (UTManagerUser.cpp) ----
    void AddUserTrack(const ContextSpecialParam &param);
    OST_UT_RESULT DoAddUserTrack(const ContextSpecialParam &param);
    std::string BuildUserLine(const ContextSpecialParam &param);
    OST_UT_RESULT FlushUserCache();

    // ---- timed events (UTManagerTimedEvent.cpp) ----
    OST_UT_RESULT StartEvent(const std::string &eventName);
    void AddSubEvent(const std::string &eventName, const ContextSubEventParam &param);
    void FinishEvent(const std::string &eventName, ContextSpecialParam param);
    // arg4 (a JSON object) with one member per finished sub-event; empty when arg4 is no object.
    std::string BuildSubEventJson(const std::shared_ptr<EventTrack> &event, const std::string &arg4);

    // ---- dot files (UTManagerFile.cpp) ----
    int32_t AddDataToFile(const std::string &path, const std::string &data);
    static int CheckAndMakeDirByFilePath(const std::string &path);
    static int MakeDotdataDir(const std::string &folder);
    static bool DeleteFileResult(const std::string &path);
    void CleanDotFileContent(RecursiveLock &fileLock, const std::string &path);
    static void RmFolderFile(const std::string &folder);
    OST_UT_RESULT DelDotData();

    // ---- packing (UTManagerPack.cpp) ----
    void CompressDotFileToZip(RecursiveLock &fileLock, const std::string &zipFolder,
                              const std::string &dotFile);
    bool CompressMMRDotFileToZip();
    void CompressOldVersionFile();
    // Packs the user, media and MMR dot files, each under its own lock, in that order.
    void CompressAllDotFiles();
    // The uuid for a zip envelope. Packing runs under a file lock, and the parameter lock may not
    // be awaited there (lock order), so this takes it only when free and otherwise uses the
    // value seen last.
    std::string PackUuid();
    std::mutex m_packUuidLock;
    std::string m_packUuid;  // guarded by m_packUuidLock

    // ---- upload worker (UTManagerUpload.cpp) ----
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
    // Upload thread state; the thread is its only regular user, the lock keeps tests safe.
    std::atomic<uint32_t> m_uploadSleepMs{200};       // back-off between passes
    std::mutex m_uploadStateLock;
    std::map<std::string, uint32_t> m_uploadFailCounts;  // zip name -> failures; guarded by m_uploadStateLock
    uint32_t m_zipRemoveFailCount = 0;                // guarded by m_uploadStateLock
    uint32_t m_excessDeleteCount = 0;                 // guarded by m_uploadStateLock

    // ---- media and MMR records (UTManagerMedia.cpp) ----
    OST_UT_RESULT AddMediaTrack(const ContextSpecialParam &param, bool uploadNow);
    OST_UT_RESULT DoAddMediaTrack(const ContextSpecialParam &param, bool uploadNow);
    OST_UT_RESULT AddCacheMediaTrack();
    // Takes ownership of trackData (a new[] block, may be null) and frees it on every path.
    OST_UT_RESULT AddMMRTrack(char *trackData, int32_t dataLen, int32_t isReportImmediately);
    std::string GetTrackReserves();

    // ---- message counters (UTManagerMedia.cpp) ----
    static constexpr uint32_t kMsgCounterCount = 11;
    OST_UT_RESULT MsgDotCount(uint32_t index);

    // ---- state (Part of the manager's data; guards named per field) ----
    // public SDK parameters; guarded by ParamLock
    std::string uuid, account, cloudusgIp, sbcIp, reserve1, reserve2, reserve3, reserve4, reserve5;
    std::string reserves;
    UpLoadParam m_uploadParam;              // guarded by ParamLock
    std::string m_context[14];              // context fields 1..14; guarded by ParamLock
    uint32_t m_mNumber = 0;                 // guarded by ParamLock
    uint32_t m_tNumber = 0;                 // guarded by ParamLock
    std::string m_participantId;            // guarded by ParamLock
    std::string m_suite[3];                 // context fields 15..17; guarded by ParamLock
    std::string m_stunAddr;                 // guarded by ParamLock
    uint16_t m_stunPort = 0;                // guarded by ParamLock
    std::map<std::string, std::shared_ptr<EventTrack>> m_eventTable;  // guarded by m_eventTableLock
    std::mutex m_eventTableLock;
    std::atomic<bool> m_dotSwitch{true};            // effective dot switch
    std::atomic<bool> m_bIsUploadSeted{false};
    std::atomic<bool> m_contextConfigured{false};
    std::string m_terminalType;             // guarded by ParamLock
    std::string m_confuuid;                 // guarded by ParamLock
    std::string m_pid;                      // guarded by ParamLock
    std::atomic<bool> m_uploadSwitch{false};
    std::atomic<bool> m_appDotSwitch{false};
    std::atomic<bool> m_meetingSdkDotSwitch{false};
    std::atomic<bool> m_bInited{false};
    std::mutex m_switchLock;  // serialises deriving m_dotSwitch from the upload and app switches
    std::string m_userZipFolder, m_mediaZipFolder, m_mmrZipFolder;  // set once by Init
    std::string m_userDotFile, m_mediaDotFile, m_mmrDotFile;        // set once by Init
    std::string m_rootFolder;                                       // set once by Init
    std::atomic<uint32_t> m_maxMmrLength{0};
    std::atomic<uint32_t> m_msgCounters[kMsgCounterCount] = {};
    std::vector<ContextSpecialParam> m_userCache;   // guarded by ParamLock
    std::vector<ContextSpecialParam> m_mediaCache;  // guarded by ParamLock
    std::atomic<AddConfigCacheFunc> m_addCacheFunc{nullptr};
    std::atomic<QueryConfigCacheFunc> m_queryCacheFunc{nullptr};
    std::atomic<DelConfigCacheFunc> m_delCacheFunc{nullptr};
    std::atomic<uint64_t> m_lastUserPackTime{0};
    std::atomic<uint64_t> m_lastMediaPackTime{0};
    std::atomic<uint64_t> m_lastMmrPackTime{0};
    // server time base; written and read as one pair under m_timeLock
    uint64_t m_serverTimeMs = 0;
    int64_t m_baseTimeMs = 0;
    std::mutex m_timeLock;

private:
    UTManager() = default;
    ~UTManager();
    UTManager(const UTManager &) = delete;
    UTManager &operator=(const UTManager &) = delete;

    static void *UploadThreadEntry(void *);

    std::mutex m_uploadThreadLock;
    uint64_t m_uploadThread = 0;  // guarded by m_uploadThreadLock
    bool m_uploadThreadStarted = false;  // guarded by m_uploadThreadLock
    std::atomic<bool> m_uploadThreadDone{false};  // set by the upload thread as it ends
};

}  // namespace unified_track
