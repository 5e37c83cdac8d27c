// Exported operations of the record side: parameters and switches, the configuration cache, the
// time base, dot data, user events and timed events. Each export copies what it is given into
// owned data before it returns (or before it hands the work to the command thread), and no
// exception leaves it.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "host/config_cache.h"
#include "host/export_guard.h"
#include "host/log.h"
#include "interface/text_limits.h"
#include "manager/UTData.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"

using unified_track::ContextSpecialParam;
using unified_track::ContextSubEventParam;
using unified_track::GuardExport;
using unified_track::RecursiveLock;
using unified_track::Text;
using unified_track::UTManager;
using unified_track::UTThreadMgr;

namespace {
// A text that remembers whether it was given at all (null and empty differ for some operations).
class OwnedText {
public:
    explicit OwnedText(const char *text) : m_given(text != nullptr), m_text(text ? text : "") {}
    const char *get() const { return m_given ? m_text.c_str() : nullptr; }

private:
    bool m_given;
    std::string m_text;
};

constexpr OST_UT_RESULT kFailed = UT_FAILED;

OST_UT_RESULT Sync(std::function<OST_UT_RESULT()> func, const char *name) {
    return UTThreadMgr::GetInstance().PushCmd(std::move(func), std::string(name));
}

void Async(std::function<void()> func, const char *name) {
    UTThreadMgr::GetInstance().PushCmd(std::move(func), std::string(name));
}

// Refuses (with the log line) a record whose texts no dot file could hold.
bool RecordTextsFit(std::initializer_list<const char *> texts) {
    if (unified_track::TextsFitRecord(texts)) return true;
    UT_LOGE(unified_track::kLogTextTooLong, unified_track::kMaxRecordBytes);
    return false;
}

bool RecordTextsFit(const tagUTContextSpecialParam &p, const char *name = nullptr) {
    return RecordTextsFit({name, p.eventId, p.event, p.arg2, p.arg3, p.arg4});
}

ContextSpecialParam ToSpecial(const tagUTContextSpecialParam &param) {
    ContextSpecialParam out;
    out.eventId = Text(param.eventId);
    out.event = Text(param.event);
    out.arg2 = Text(param.arg2);
    out.arg3 = Text(param.arg3);
    out.arg4 = Text(param.arg4);
    out.m = param.m;
    out.t = param.t;
    out.time = PAL_GetSysRunTimeEx();
    return out;
}

struct OwnedPublicSdkParam {
    explicit OwnedPublicSdkParam(const tagUTPublicSdkParam &p)
        : uuid(p.uuid),
          account(p.account),
          cloudusgIp(p.cloudusgIp),
          sbcIp(p.sbcIp),
          reserve1(p.reserve1),
          reserve2(p.reserve2),
          reserve3(p.reserve3),
          reserve4(p.reserve4),
          reserve5(p.reserve5) {}
    tagUTPublicSdkParam View() const {
        return {uuid.get(),     account.get(),  cloudusgIp.get(), sbcIp.get(),   reserve1.get(),
                reserve2.get(), reserve3.get(), reserve4.get(),   reserve5.get()};
    }
    OwnedText uuid, account, cloudusgIp, sbcIp, reserve1, reserve2, reserve3, reserve4, reserve5;
};

struct OwnedConfInfo {
    explicit OwnedConfInfo(const tagUTConfInfoParam &p) : confuuid(p.confuuid), pid(p.pid) {}
    tagUTConfInfoParam View() const { return {confuuid.get(), pid.get()}; }
    OwnedText confuuid, pid;
};
}  // namespace

extern "C" {

// ---- parameters and switches ----

UT_API OST_UT_RESULT Track_ConfigUploadParam(const tagUTTransferParam *param) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().ConfigUploadParam(param); });
}

UT_API OST_UT_RESULT Track_ConfigCustomParam(int32_t upload) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().ConfigCustomParam(upload != 0); });
}

UT_API OST_UT_RESULT Track_ConfigDotSwitch(bool open) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().ConfigDotSwitch(open); });
}

UT_API OST_UT_RESULT Track_SetMeetingSDKDotSwitch(bool open) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().SetMeetingSDKDotSwitch(open); });
}

UT_API OST_UT_RESULT Track_ConfigPublicSdkParam(const tagUTPublicSdkParam *param) {
    return GuardExport(__func__, kFailed, [&] {
        std::shared_ptr<OwnedPublicSdkParam> owned;
        if (param != nullptr) owned = std::make_shared<OwnedPublicSdkParam>(*param);
        return Sync(
            [owned]() {
                if (!owned) return UTManager::GetInstance().ConfigPublicSdkParam(nullptr);
                tagUTPublicSdkParam view = owned->View();
                return UTManager::GetInstance().ConfigPublicSdkParam(&view);
            },
            "_Track_ConfigPublicSdkParam");
    });
}

UT_API OST_UT_RESULT Track_ClearConfigPublicSdkParam(void) {
    return GuardExport(__func__, kFailed, [] { return UTManager::GetInstance().ClearConfigPublicSdkParam(); });
}

UT_API OST_UT_RESULT Track_ConfigContextPublicParam(const tagUTContextPublicParam *param) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().ConfigContextPublicParam(param); });
}

UT_API OST_UT_RESULT Track_ConfigBrioContextPublicParam(const tagUTBrioContextPublicParam *param) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().ConfigBrioContextPublicParam(param); });
}

UT_API OST_UT_RESULT Track_SetConfInfoParam(const tagUTConfInfoParam *param) {
    return GuardExport(__func__, kFailed, [&] {
        std::shared_ptr<OwnedConfInfo> owned;
        if (param != nullptr) owned = std::make_shared<OwnedConfInfo>(*param);
        return Sync(
            [owned]() {
                if (!owned) return UTManager::GetInstance().SetConfInfo(nullptr);
                tagUTConfInfoParam view = owned->View();
                return UTManager::GetInstance().SetConfInfo(&view);
            },
            "_Track_SetConfInfoParam");
    });
}

UT_API OST_UT_RESULT Track_SetParticipantInfo(const tagUTParticipantInfo *param) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().SetParticipantInfo(param); });
}

UT_API OST_UT_RESULT Track_SetStunInfo(const char *address, uint16_t port) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().SetStunInfo(address, port); });
}

UT_API OST_UT_RESULT Track_UpdateOpsAddress(const char *address, int32_t isProxyOff) {
    return GuardExport(__func__, kFailed,
                       [&] { return UTManager::GetInstance().UpdateOpsAddress(address, isProxyOff != 0); });
}

UT_API OST_UT_RESULT Track_UpdateAccessDesc(const char *desc) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().UpdateAccessDesc(desc); });
}

UT_API OST_UT_RESULT Track_SetCertInfo(const tagUTCertInfo *param) {
    return GuardExport(__func__, kFailed, [&] {
        std::shared_ptr<tagUTCertInfo> owned;
        if (param != nullptr) owned = std::make_shared<tagUTCertInfo>(*param);
        return Sync([owned]() { return UTManager::GetInstance().SetCertInfo(owned.get()); }, "_Track_SetCertInfo");
    });
}

UT_API OST_UT_RESULT Track_GetCertInfo(tagUTCertInfo *param) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().GetCertInfo(param); });
}

UT_API OST_UT_RESULT Track_GetVersion(char *buffer, int32_t size) {
    return GuardExport(__func__, kFailed, [&] {
        // The command fills a buffer of its own, no larger than the caller's; the caller's
        // memory is written here, on the caller's thread, once the command has finished.
        auto version = std::make_shared<std::string>();
        const bool usable = buffer != nullptr && size > 0;
        OST_UT_RESULT ret = Sync(
            [version, usable, size]() {
                UTManager &manager = UTManager::GetInstance();
                if (!usable) return manager.GetVersion(nullptr, size);
                std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
                size_t capacity = std::min(static_cast<size_t>(size), manager.GetAppVersion().size() + 1);
                std::vector<char> local(capacity, '\0');
                OST_UT_RESULT result = manager.GetVersion(local.data(), static_cast<int32_t>(capacity));
                local.back() = '\0';
                *version = local.data();
                return result;
            },
            "_Track_GetVersion");
        if (usable) {
            if (ret == UT_SUCCESS) {
                std::memcpy(buffer, version->c_str(), version->size() + 1);
            } else {
                buffer[0] = '\0';
            }
        }
        return ret;
    });
}

UT_API OST_UT_RESULT Track_SetTerminalType(const char *terminalType) {
    return GuardExport(__func__, kFailed, [&] {
        if (terminalType == nullptr) {
            UT_LOGE("terminalType is null");
            return static_cast<OST_UT_RESULT>(UT_FAILED);
        }
        std::string owned(terminalType);
        return Sync([owned]() { return UTManager::GetInstance().SetTerminalType(owned); }, "_Track_SetTerminalType");
    });
}

// ---- configuration cache ----

UT_API OST_UT_RESULT Track_DelUserInfo(void) {
    return GuardExport(__func__, kFailed, [] { return UTManager::GetInstance().DelUserInfo(); });
}

// ---- time base ----

UT_API OST_UT_RESULT Track_RecordUtcTimeByLogin(uint64_t serverUtcMs) {
    return GuardExport(__func__, kFailed, [&] { return UTManager::GetInstance().RecordUtcTimeByLogin(serverUtcMs); });
}

UT_API OST_UT_RESULT Track_GetServerUtcTimeAndBaseTime(uint64_t *serverTime, uint64_t *baseTime) {
    return GuardExport(__func__, kFailed,
                       [&] { return UTManager::GetInstance().GetServerUtcTimeAndBaseTime(serverTime, baseTime); });
}

// ---- dot data ----

UT_API OST_UT_RESULT Track_DelDotData(void) {
    return GuardExport(__func__, kFailed, [] {
        return Sync([]() { return UTManager::GetInstance().DelDotData(); }, "_Track_DelDotData");
    });
}

// ---- user and timed events ----

UT_API OST_UT_RESULT Track_AddUserTrack(const tagUTContextSpecialParam *param) {
    return GuardExport(__func__, kFailed, [&] {
        if (param == nullptr) {
            UT_LOGE("param is null");
            return static_cast<OST_UT_RESULT>(UT_FAILED);
        }
        if (!RecordTextsFit(*param)) return static_cast<OST_UT_RESULT>(UT_FAILED);
        Async([record = ToSpecial(*param)]() { UTManager::GetInstance().AddUserTrack(record); }, "_Track_AddUserTrack");
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
}

UT_API OST_UT_RESULT Track_StartEvent(const char *eventName) {
    return GuardExport(__func__, kFailed, [&] {
        if (eventName == nullptr) {
            UT_LOGE("eventName is null");
            return static_cast<OST_UT_RESULT>(UT_FAILED);
        }
        if (!RecordTextsFit({eventName})) return static_cast<OST_UT_RESULT>(UT_FAILED);
        Async([name = std::string(eventName)]() { UTManager::GetInstance().StartEvent(name); }, "_Track_StartEvent");
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
}

UT_API OST_UT_RESULT Track_AddSubEvent(const char *eventName, const tagUTContextSubEventParam *param) {
    return GuardExport(__func__, kFailed, [&] {
        if (eventName == nullptr || param == nullptr) {
            UT_LOGE("eventName or param is null");
            return static_cast<OST_UT_RESULT>(UT_FAILED);
        }
        if (!RecordTextsFit({eventName, param->name})) return static_cast<OST_UT_RESULT>(UT_FAILED);
        ContextSubEventParam mark;
        mark.name = Text(param->name);
        mark.isEnd = param->isEnd;
        mark.time = PAL_GetSysRunTimeEx();
        Async([name = std::string(eventName), mark]() { UTManager::GetInstance().AddSubEvent(name, mark); },
              "_Track_AddSubEvent");
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
}

UT_API OST_UT_RESULT Track_FinishEvent(const char *eventName, const tagUTContextSpecialParam *param) {
    return GuardExport(__func__, kFailed, [&] {
        if (eventName == nullptr || param == nullptr) {
            UT_LOGE("eventName or param is null");
            return static_cast<OST_UT_RESULT>(UT_FAILED);
        }
        if (!RecordTextsFit(*param, eventName)) return static_cast<OST_UT_RESULT>(UT_FAILED);
        Async([name = std::string(eventName),
               record = ToSpecial(*param)]() { UTManager::GetInstance().FinishEvent(name, record); },
              "_Track_FinishEvent");
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
}

}  // extern "C"

// Declared in the C++ section of the public header (C++ linkage).
UT_API OST_UT_RESULT setAddCacheFun(AddConfigCacheFunc addFunc, QueryConfigCacheFunc queryFunc,
                                    DelConfigCacheFunc delFunc) {
    return GuardExport(__func__, kFailed, [&] {
        unified_track::SetConfigCacheQuery(queryFunc);
        return UTManager::GetInstance().setAddCacheFun(addFunc, queryFunc, delFunc);
    });
}
