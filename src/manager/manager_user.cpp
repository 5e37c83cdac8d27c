// User track events: the blocking rule, holding events back until the context is configured,
// the "|"-separated record line and its append to the user dot file. Runs on the command thread
// (and on the host thread that configures the context, for the flush), under the parameter
// lock with the user-file lock inside it.
#include "host/clock.h"
#include "host/config_store.h"
#include "host/log.h"
#include "host/pal.h"
#include "manager/UTManager.h"
#include "manager/masks.h"
#include "manager/record_constants.h"

namespace unified_track {
namespace {
using ParamGuard = RecursiveGuard;

// Appending this much text would carry a file that is still below the pack threshold past the
// largest file a pack takes, and the records already in it would be discarded with it.
constexpr size_t kOverfillingText = kMaxRecordBytes - static_cast<size_t>(kUserDotFilePackSize);

bool WouldOverfill(const std::string &file, size_t textBytes) {
    if (textBytes <= kOverfillingText) return false;
    uint64_t size = 0;
    return PAL_GetFileSize(file.c_str(), &size) == 0 && size + textBytes > kMaxRecordBytes;
}
}  // namespace

void UTManager::AddUserTrack(const ContextSpecialParam &param) {
    if (!m_params.DotSwitch()) return;
    ParamGuard guard(ParamLock());
    if (!IsInited()) {
        UT_LOGE("add track while not inited");
    } else if (param.eventId.empty()) {
        UT_LOGI("param eventId is empty");
    } else {
        DoAddUserTrack(param);
    }
}

OST_UT_RESULT UTManager::DoAddUserTrack(const ContextSpecialParam &param) {
    const uint64_t start = PAL_GetSystemTime();
    if (!m_params.DotSwitch() ||
        (!m_params.MeetingSdkSwitch() && PAL_StriCmp(param.eventId.c_str(), kBlockedEventId) == 0)) {
        UT_LOGI("AddUserTrack blocked! event:%s, arg2: %s, arg3: %s", param.event.c_str(), param.arg2.c_str(),
                param.arg3.c_str());
        return UT_DOT_SWITCH_OFF;
    }

    ParamGuard guard(ParamLock());
    if (!m_params.ContextConfigured() && m_caches.HoldUser(param, kUserCacheHoldLimit)) {
        UT_LOGI("AddUserTrack event:%s, arg2: %s, arg3: %s", param.event.c_str(), param.arg2.c_str(),
                param.arg3.c_str());
        return UT_SUCCESS;
    }

    std::string line = BuildUserLine(param);
    if (line.size() > kMaxRecordBytes) {
        // No file could carry it (a huge context): writing it would only have the file discarded,
        // and the report of that discard would be just as long.
        UT_LOGE(kLogRecordTooLong, line.size());
        return UT_FAILED;
    }
    if (param.event == kEventJoinConfLocal) {
        UT_LOGI("join_conf_local corpId: [%s]", m_params.Locked().reserve1.c_str());
    }

    RecursiveGuard fileGuard(UserFileLock());
    const std::string &dotFile = m_files.DotFile(DotKind::kUser);
    const std::string &zipFolder = m_files.ZipFolder(DotKind::kUser);
    if (WouldOverfill(dotFile, line.size())) CompressDotFileToZip(UserFileLock(), zipFolder, dotFile);
    int32_t length = AddDataToFile(dotFile, line);
    if (length > kUserDotFilePackSize) {
        UT_LOGI("user track file size = %d byte, upload!", length);
        CompressDotFileToZip(UserFileLock(), zipFolder, dotFile);
    }
    UT_LOGI("AddUserTrack event:%s, arg2: %s, arg3: %s, use time: %llu", param.event.c_str(), param.arg2.c_str(),
            param.arg3.c_str(), static_cast<unsigned long long>(PAL_GetSystemTime() - start));
    return UT_SUCCESS;
}

std::string UTManager::BuildUserLine(const ContextSpecialParam &param) {
    ParamGuard guard(ParamLock());
    const ParamFields &p = m_params.Locked();
    if (p.uuid.empty()) GetCacheConfigSDKParamsFromDb();

    char item57[kCfgItemUserField10Size] = {};
    std::string field10;
    if (OstGetGlobalCfg(kCfgItemUserField10, item57, sizeof(item57)) == 0) {
        item57[sizeof(item57) - 1] = '\0';
        field10 = item57;
    }
    if (field10.empty()) field10 = p.m_context[6];

    const std::string stamp = GetDiffTimeStamp(param.time);
    std::string line;
    line.reserve(512 + p.reserves.size() + param.arg4.size());
    auto field = [&line](const std::string &text) {
        line += text;
        line += kUserLineSeparator;
    };
    field(kUserLineVersion);
    field(p.m_context[0]);
    field(LastFourMask(p.m_context[1]));
    for (size_t i = 2; i <= 5; ++i) field(p.m_context[i]);
    field(p.uuid);
    field(AllButFirstMask(p.account));
    field(field10);
    for (size_t i = 7; i <= 12; ++i) field(p.m_context[i]);
    field(stamp);
    field(p.cloudusgIp);
    field(p.sbcIp);
    field(p.reserve1);
    for (const std::string &suite : p.m_suite) field(suite);
    field(p.reserve5);
    field(p.reserves);
    field(param.eventId);
    field(param.event);
    field(param.arg2);
    field(param.arg3);
    line += param.arg4;  // the last field, no separator after it
    if (line.back() != '\n') line += '\n';
    return line;
}

OST_UT_RESULT UTManager::FlushUserCache() {
    if (!m_params.DotSwitch()) return UT_DOT_SWITCH_OFF;
    ParamGuard guard(ParamLock());
    RecursiveGuard fileGuard(UserFileLock());
    const std::string &dotFile = m_files.DotFile(DotKind::kUser);
    const std::string &zipFolder = m_files.ZipFolder(DotKind::kUser);
    std::string text;
    auto append = [this, &text, &dotFile, &zipFolder]() {
        if (WouldOverfill(dotFile, text.size())) CompressDotFileToZip(UserFileLock(), zipFolder, dotFile);
        if (AddDataToFile(dotFile, text) > kUserDotFilePackSize) {
            CompressDotFileToZip(UserFileLock(), zipFolder, dotFile);
        }
        text.clear();
    };
    // One append in the usual case; cached records that together would overfill the file go
    // in more than one, in order, so that none is discarded with an overfull file.
    for (const ContextSpecialParam &param : m_caches.UserRecords()) {
        std::string line = BuildUserLine(param);
        if (line.size() > kMaxRecordBytes) {
            UT_LOGE(kLogRecordTooLong, line.size());
            continue;
        }
        if (!text.empty() && text.size() + line.size() > kOverfillingText) append();
        text += line;
    }
    append();
    return UT_SUCCESS;
}

}  // namespace unified_track
