// Media and MMR records of the manager, and the message counters.
// The record operations run on the command thread; the counters are bumped from any thread
// (atomics, so MMR records can read and clear them without a lock).
#include <cstring>
#include <memory>

#include <unified_track/host_services.h>

#include "host/securec.h"
#include "host/log.h"
#include "manager/UTManager.h"
#include "manager/masks.h"
#include "manager/media_constants.h"
#include "manager/media_format.h"
#include "manager/record_constants.h"

namespace unified_track {

using namespace media;

namespace {
// The terminal IP never reaches a record in full.
std::string FilterTerminalIp(const std::string &ip) {
    return LogStream::FilterWord(ip, kTerminalIpFilterRule);
}

// The parameters of one media line, read under the parameter lock.
MediaLineParams SnapshotMediaParams(UTManager &mgr, const ContextSpecialParam &record) {
    RecursiveGuard guard(ParamStore::Lock());
    const ParamFields &p = mgr.Params().Locked();
    if (p.uuid.empty()) mgr.GetCacheConfigSDKParamsFromDb();
    MediaLineParams params;
    params.uuid = p.uuid;
    params.account = p.account;
    params.reserve1 = p.reserve1;
    params.cloudusgIp = p.cloudusgIp;
    params.sbcIp = p.sbcIp;
    if (record.eventId == kShowInfoEventId) {
        for (int i = 0; i < 13; ++i) params.context[i] = p.m_context[i];
        char buffer[kCorpAppIdCfgSize] = {0};
        if (OstGetGlobalCfg(kCorpAppIdCfgItem, buffer, sizeof(buffer)) == 0) {
            params.corpAppId.assign(buffer, strnlen(buffer, sizeof(buffer)));
        }
    }
    params.trackReserves = mgr.GetTrackReserves();
    return params;
}
}  // namespace

std::string UTManager::GetTrackReserves() {
    TrackReservesParams params;
    {
        RecursiveGuard lock(ParamLock());
        const ParamFields &p = m_params.Locked();
        params.deviceId = LastFourMask(p.m_context[1]);
        params.mNumber = p.m_mNumber;
        params.participantId = p.m_participantId;
        params.tNumber = p.m_tNumber;
        params.terminalIp = FilterTerminalIp(p.m_stunAddr);
        params.osName = p.m_context[8];
        params.appVersion = p.m_context[0];
        params.terminalType = p.m_terminalType;
    }
    int ret = 0;
    std::string text = FormatTrackReserves(params, &ret);
    if (ret < 1) UT_LOGE(UT_SECURE_ERR_D, ret);
    return text;
}

OST_UT_RESULT UTManager::AddMediaTrack(const ContextSpecialParam &param, bool uploadNow) {
    if (!IsInited()) return UT_NOT_INITED;
    if (!m_params.DotSwitch()) return UT_DOT_SWITCH_OFF;
    RecursiveGuard lock(ParamLock());
    if (!m_params.ContextConfigured() && m_caches.HoldMedia(param, kMediaCacheLimit)) return UT_SUCCESS;
    return DoAddMediaTrack(param, uploadNow);
}

OST_UT_RESULT UTManager::DoAddMediaTrack(const ContextSpecialParam &param, bool uploadNow) {
    if (!m_params.DotSwitch()) return UT_DOT_SWITCH_OFF;
    // Parameter lock before the media-file lock; both recursive, the callers may hold them.
    RecursiveGuard paramLock(ParamLock());
    {
        const ParamFields &p = m_params.Locked();
        if (!IsAcceptedEventId(param.eventId) && p.uuid.empty()) {
            UT_LOGE(UT_MEDIA_LOG_ERR_PARAM, param.eventId.c_str(), p.uuid.c_str(), p.m_participantId.c_str(),
                    static_cast<int>(p.m_mNumber), static_cast<int>(p.m_tNumber));
            return UT_FAILED;
        }
    }
    MediaLineParams params = SnapshotMediaParams(*this, param);
    std::string line = BuildMediaLine(param, GetDiffTimeStamp(param.time), params);
    if (line.size() > kMaxRecordBytes) {
        // A file holding it would be discarded instead of packed.
        UT_LOGE(kLogRecordTooLong, line.size());
        return UT_FAILED;
    }

    RecursiveGuard fileLock(MediaFileLock());
    int32_t size = AddDataToFile(m_files.DotFile(DotKind::kMedia), line);
    if (uploadNow || size > kMediaPackBytes) {
        UT_LOGI(UT_MEDIA_LOG_ZIP, size, uploadNow ? 1 : 0);
        CompressDotFileToZip(MediaFileLock(), m_files.ZipFolder(DotKind::kMedia), m_files.DotFile(DotKind::kMedia));
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::AddCacheMediaTrack() {
    if (!m_params.DotSwitch()) return UT_DOT_SWITCH_OFF;
    RecursiveGuard lock(ParamLock());
    for (const ContextSpecialParam &record : m_caches.MediaRecords()) {
        UT_LOGI(UT_MEDIA_LOG_CACHE_FLUSH, record.eventId.c_str());
        (void)DoAddMediaTrack(record, false);
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::AddMMRTrack(char *trackData, int32_t dataLen, int32_t isReportImmediately) {
    std::unique_ptr<char[]> owned(trackData);  // released on every path
    (void)dataLen;
    if (!IsInited()) return UT_NOT_INITED;
    if (!m_params.DotSwitch()) return UT_DOT_SWITCH_OFF;

    std::string record;
    if (owned) {
        record = owned.get();
        const std::string appVersion = m_params.Context(0);
        ReplaceAll(record, kMmrVersionPlaceholder, appVersion);
        // A record that carries both count forms hands the counts over: take and clear each
        // counter in one step so that a bump from another thread is never lost.
        const bool takeCounts = UsesBothCountPlaceholders(record);
        uint32_t counts[kMsgCounterCount];
        m_counters.Read(counts, takeCounts);
        ReplaceAll(record, kMmrCountSumPlaceholder, CounterSumText(counts));
        ReplaceAll(record, kMmrCountListPlaceholder, CounterListText(counts));
        record += kMmrRecordEnd;
        MaskEscapedUserNames(record);
    }

    RecursiveGuard lock(MmrFileLock());
    if (m_files.NoteMmrLength(static_cast<uint32_t>(record.size()))) {
        UT_LOGI(UT_MMR_LOG_MAX_LEN, static_cast<unsigned long>(record.size()));
    }
    int32_t size = AddDataToFile(m_files.DotFile(DotKind::kMmr), record);
    if (isReportImmediately == 1 || size > kMmrPackBytes) {
        UT_LOGI(UT_MMR_LOG_ZIP, size, isReportImmediately == 1 ? 1 : 0);
        CompressMMRDotFileToZip();
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::MsgDotCount(uint32_t index) {
    if (index == kMsgCounterClearAll) {
        m_counters.ClearAll();
        return UT_SUCCESS;
    }
    return m_counters.Bump(index) ? UT_SUCCESS : UT_FAILED;
}

}  // namespace unified_track
