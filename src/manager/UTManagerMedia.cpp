// Media and MMR records of the manager, and the message counters.
// The record operations run on the command thread; the counters are bumped from any thread
// (atomics, so MMR records can read and clear them without a lock).
#include <cstring>
#include <memory>

#include <unified_track/host_services.h>

#include "host/securec.h"
#include "host/log.h"
#include "manager/UTManager.h"
#include "manager/UTMask.h"
#include "manager/UTMediaConstants.h"
#include "manager/UTMediaFormat.h"
#include "manager/UTRecordConstants.h"

namespace unified_track {

using namespace media;

namespace {
// The terminal IP never reaches a record in full.
std::string FilterTerminalIp(const std::string &ip) { return LogStream::FilterWord(ip, kTerminalIpFilterRule); }

// The parameters of one media line, read under the parameter lock (the caller holds it).
MediaLineParams SnapshotMediaParams(UTManager &mgr, const ContextSpecialParam &record) {
    if (mgr.uuid.empty()) mgr.GetCacheConfigSDKParamsFromDb();
    MediaLineParams params;
    params.uuid = mgr.uuid;
    params.account = mgr.account;
    params.reserve1 = mgr.reserve1;
    params.cloudusgIp = mgr.cloudusgIp;
    params.sbcIp = mgr.sbcIp;
    if (record.eventId == kShowInfoEventId) {
        for (int i = 0; i < 13; ++i) params.context[i] = mgr.m_context[i];
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
        std::lock_guard<RecursiveLock> lock(ParamLock());
        params.deviceId = LastFourMask(m_context[1]);
        params.mNumber = m_mNumber;
        params.participantId = m_participantId;
        params.tNumber = m_tNumber;
        params.terminalIp = FilterTerminalIp(m_stunAddr);
        params.osName = m_context[8];
        params.appVersion = m_context[0];
        params.terminalType = m_terminalType;
    }
    int ret = 0;
    std::string text = FormatTrackReserves(params, &ret);
    if (ret < 1) UT_LOGE(UT_SECURE_ERR_D, ret);
    return text;
}

OST_UT_RESULT UTManager::AddMediaTrack(const ContextSpecialParam &param, bool uploadNow) {
    if (!m_bInited.load()) return UT_NOT_INITED;
    if (!m_dotSwitch.load()) return UT_DOT_SWITCH_OFF;
    std::lock_guard<RecursiveLock> lock(ParamLock());
    if (!m_contextConfigured.load() && m_mediaCache.size() <= kMediaCacheLimit) {
        m_mediaCache.push_back(param);
        return UT_SUCCESS;
    }
    return DoAddMediaTrack(param, uploadNow);
}

OST_UT_RESULT UTManager::DoAddMediaTrack(const ContextSpecialParam &param, bool uploadNow) {
    if (!m_dotSwitch.load()) return UT_DOT_SWITCH_OFF;
    // Parameter lock before the media-file lock; both recursive, the callers may hold them.
    std::lock_guard<RecursiveLock> paramLock(ParamLock());
    if (!IsAcceptedEventId(param.eventId) && uuid.empty()) {
        UT_LOGE(UT_MEDIA_LOG_ERR_PARAM, param.eventId.c_str(), uuid.c_str(), m_participantId.c_str(),
                static_cast<int>(m_mNumber), static_cast<int>(m_tNumber));
        return UT_FAILED;
    }
    MediaLineParams params = SnapshotMediaParams(*this, param);
    std::string line = BuildMediaLine(param, GetDiffTimeStamp(param.time), params);
    if (line.size() > kMaxRecordBytes) {
        // A file holding it would be discarded instead of packed.
        UT_LOGE(kLogRecordTooLong, line.size());
        return UT_FAILED;
    }

    std::lock_guard<RecursiveLock> fileLock(MediaFileLock());
    int32_t size = AddDataToFile(m_mediaDotFile, line);
    if (uploadNow || size > kMediaPackBytes) {
        UT_LOGI(UT_MEDIA_LOG_ZIP, size, uploadNow ? 1 : 0);
        CompressDotFileToZip(MediaFileLock(), m_mediaZipFolder, m_mediaDotFile);
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::AddCacheMediaTrack() {
    if (!m_dotSwitch.load()) return UT_DOT_SWITCH_OFF;
    std::lock_guard<RecursiveLock> lock(ParamLock());
    for (const ContextSpecialParam &record : m_mediaCache) {
        UT_LOGI(UT_MEDIA_LOG_CACHE_FLUSH, record.eventId.c_str());
        (void)DoAddMediaTrack(record, false);
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::AddMMRTrack(char *trackData, int32_t dataLen, int32_t isReportImmediately) {
    std::unique_ptr<char[]> owned(trackData);  // released on every path
    (void)dataLen;
    if (!m_bInited.load()) return UT_NOT_INITED;
    if (!m_dotSwitch.load()) return UT_DOT_SWITCH_OFF;

    std::string record;
    if (owned) {
        record = owned.get();
        std::string appVersion;
        {
            std::lock_guard<RecursiveLock> lock(ParamLock());
            appVersion = m_context[0];
        }
        ReplaceAll(record, kMmrVersionPlaceholder, appVersion);
        // A record that carries both count forms hands the counts over: take and clear each
        // counter in one step so that a bump from another thread is never lost.
        const bool takeCounts = UsesBothCountPlaceholders(record);
        uint32_t counts[kMsgCounterCount];
        for (uint32_t i = 0; i < kMsgCounterCount; ++i) {
            counts[i] = takeCounts ? m_msgCounters[i].exchange(0) : m_msgCounters[i].load();
        }
        ReplaceAll(record, kMmrCountSumPlaceholder, CounterSumText(counts));
        ReplaceAll(record, kMmrCountListPlaceholder, CounterListText(counts));
        record += kMmrRecordEnd;
        MaskEscapedUserNames(record);
    }

    std::lock_guard<RecursiveLock> lock(MmrFileLock());
    if (record.size() > m_maxMmrLength.load()) {
        m_maxMmrLength.store(static_cast<uint32_t>(record.size()));
        UT_LOGI(UT_MMR_LOG_MAX_LEN, static_cast<unsigned long>(record.size()));
    }
    int32_t size = AddDataToFile(m_mmrDotFile, record);
    if (isReportImmediately == 1 || size > kMmrPackBytes) {
        UT_LOGI(UT_MMR_LOG_ZIP, size, isReportImmediately == 1 ? 1 : 0);
        CompressMMRDotFileToZip();
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::MsgDotCount(uint32_t index) {
    if (index == kMsgCounterClearAll) {
        for (auto &counter : m_msgCounters) counter.store(0);
        return UT_SUCCESS;
    }
    if (index >= kMsgCounterCount) return UT_FAILED;
    m_msgCounters[index].fetch_add(1, std::memory_order_relaxed);
    return UT_SUCCESS;
}

}  // namespace unified_track
