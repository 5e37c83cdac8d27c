// Library entry and stop: InitUnifiedTrack, Track_Uninit, the application-identity check and the
// message bus's log callback. Other track exports live beside this file.
#include <cstring>
#include <string>

#include <unified_track/unified_track.h>

#include "host/export_guard.h"
#include "host/log.h"
#include "host/msg_bus.h"
#include "host/pal.h"
#include "host/path.h"
#include "host/securec.h"
#include "log/track_trace.h"
#include "manager/manager_constants.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"

using unified_track::GuardExport;
using unified_track::UTManager;
using unified_track::UTThreadMgr;

namespace {
constexpr uint32_t kMaxLogLevel = 3;
constexpr int32_t kInitLogMaxSizeKB = 512;
constexpr int32_t kInitLogFileCount = 5;

// dataPath + separator (unless present) + "dotdata" into a 260-byte buffer. False when it does
// not fit: nothing may then be created, least of all a "dotdata" folder relative to the
// working directory.
bool BuildDotDataFolder(const char *dataPath, std::string *folder) {
    const std::string base = unified_track::WithTrailingSep(dataPath);
    char buffer[unified_track::kPathBufferBytes] = {0};
    int ret = strcpy_s(buffer, sizeof(buffer), base.c_str());
    ret += strcat_s(buffer, sizeof(buffer), unified_track::kDotDataFolderName);
    if (ret != 0) {
        UT_LOGE(UT_SECURE_ERR_D, ret);
        return false;
    }
    *folder = buffer;
    return true;
}

bool IsCorpApp(const char *appId) {
    if (PAL_StrStr(appId, unified_track::kBrioBoard) != nullptr) return true;
    if (PAL_StrStr(appId, unified_track::kBrioMeeting) != nullptr) return true;
    return PAL_StrLen(appId) == unified_track::kStoredCorpAppIdLen &&
           std::memcmp(appId, unified_track::kStoredCorpAppId, unified_track::kStoredCorpAppIdLen) == 0;
}
}  // namespace

extern "C" {

UT_API OST_UT_RESULT InitUnifiedTrack(uint32_t logLevel, uint32_t, uint32_t, const char *logPath,
                                      const char *dataPath) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_FAILED), [&]() -> OST_UT_RESULT {
        if (logPath == nullptr || dataPath == nullptr || logLevel > kMaxLogLevel || PAL_StrLen(logPath) == 0 ||
            PAL_StrLen(dataPath) == 0) {
            return UT_FAILED;
        }
        // The trace log first, so that a data path that does not fit is logged somewhere.
        Track_TraceUpdateLogParams(static_cast<int32_t>(logLevel), kInitLogMaxSizeKB, kInitLogFileCount, logPath);
        std::string folder;
        if (!BuildDotDataFolder(dataPath, &folder)) return UT_FAILED;
        if (PAL_MSG_RegMsgLog(&PalMsgLogCallback) != 0) UT_LOGE(unified_track::kLogSetPalLogCallbackError);
        (void)PAL_MSG_RegMsgDotData(&PalMsgDotData);

        UTManager *manager = &UTManager::GetInstance();
        return UTThreadMgr::GetInstance().PushCmd(
            std::function<OST_UT_RESULT()>([manager, folder] { return manager->Init(folder.c_str()); }),
            unified_track::kCmdInitUnifiedTrack);
    });
}

UT_API OST_UT_RESULT Track_Uninit(void) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_SUCCESS), [&]() -> OST_UT_RESULT {
        UTThreadMgr::GetInstance().Stop();
        UTManager::GetInstance().Uninit();
        return UT_SUCCESS;
    });
}

UT_API OST_UT_RESULT CheckAppIdAndSetDotData(const char *appId, int32_t *isBrio) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_FAILED), [&]() -> OST_UT_RESULT {
        if (appId == nullptr || isBrio == nullptr) {
            if (isBrio != nullptr) *isBrio = 0;
            return UT_FAILED;
        }
        const bool corp = IsCorpApp(appId);
        *isBrio = corp ? 1 : 0;
        UT_LOGI(unified_track::kLogIsBrio, *isBrio, appId);
        if (!corp) return UT_SUCCESS;
        UTManager *manager = &UTManager::GetInstance();
        return UTThreadMgr::GetInstance().PushCmd(
            std::function<OST_UT_RESULT()>([manager] { return manager->SetDotdataFuncCallback(1); }),
            unified_track::kCmdCheckAppIdAndSetDotData);
    });
}

UT_API void GetOrignalCorpTrustAppId(char *buffer, uint32_t bufferSize) {
    GuardExport([&] { UTManager::GetInstance().GetOrignalCorpTrustAppId(buffer, bufferSize); });
}

UT_API void PalMsgLogCallback(int32_t level, const char *errNo, const char *file, int32_t line, const char *msg) {
    if (errNo == nullptr || file == nullptr || msg == nullptr) return;
    GuardExport([&] {
        using namespace unified_track;
        switch (level) {
            case 4:
                DoLog(kModuleFrequency, LOG_ERROR, 0, __PRETTY_FUNCTION__, __FILE__, __LINE__, kLogPalError, errNo,
                      file, line, msg);
                break;
            case 3:
                DoLog(kModuleFrequency, LOG_WARN, 0, __PRETTY_FUNCTION__, __FILE__, __LINE__, kLogPalWarn, errNo, file,
                      line, msg);
                break;
            case 1:
                DoLog(kModuleFrequency, LOG_INFO, 0, __PRETTY_FUNCTION__, __FILE__, __LINE__, kLogPalInfo, errNo, file,
                      line, msg);
                break;
            default:
                DoLog(kModuleFrequency, LOG_DEBUG, 0, __PRETTY_FUNCTION__, __FILE__, __LINE__, kLogPalInfo, errNo, file,
                      line, msg);
                break;
        }
    });
}

}  // extern "C"
