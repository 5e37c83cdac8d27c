// Exported link and transport reporters and the link state setters. Each reporter builds its
// JSON payload on the caller's thread and queues one user event; no reporter holds the link state
// lock while queueing. Nothing is thrown out of an export: an allocation failure loses the report.
#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "host/export_guard.h"
#include "host/log.h"
#include "host/pal.h"
#include "interface/track_event_queue.h"
#include "interface/track_link_payloads.h"
#include "interface/track_link_state.h"
#include "interface/track_reporter_texts.h"
#include "log/track_trace.h"
#include "manager/UTThreadMgr.h"

using unified_track::GuardExport;
using unified_track::LinkState;
using unified_track::QueueLinkEvent;
using unified_track::SecureString;
namespace text = unified_track::reporter_text;

namespace {

bool SetterTextsFit(std::initializer_list<const char *> texts) noexcept {
    try {
        return unified_track::ReportTextsFit(texts);
    } catch (...) {
        return false;
    }
}

template <typename F>
int32_t GuardedSetter(F &&body) noexcept {
    GuardExport(body);
    return 0;
}

}  // namespace

extern "C" {

UT_API void track_http_error(const char *url, const char *requestId, int32_t errNo, int32_t httpRsp,
                             const char *httpRspBody) {
    // Read first: building the payload allocates, which may overwrite the caller's error.
    const int32_t lastOsError = PAL_GetLastErr();
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({url, requestId, httpRspBody})) return;
        SecureString payload;
        if (unified_track::BuildHttpErrorPayload(url, requestId, errNo, httpRsp, httpRspBody, lastOsError, &payload)) {
            QueueLinkEvent(text::kEvtHttpError, payload);
        }
    });
}

UT_API void track_websocket_error(int32_t linkType, int32_t reason, const char *oprType, const char *sequence,
                                  int32_t errNo, const char *errnoDesc) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({oprType, sequence, errnoDesc})) return;
        QueueLinkEvent(text::kEvtWebsocketError, unified_track::BuildWebsocketErrorPayload(linkType, reason, oprType,
                                                                                           sequence, errNo, errnoDesc));
    });
}

UT_API void track_websocket_retry(int32_t linkType, int32_t reason, int32_t nextTime) {
    GuardExport([&] {
        QueueLinkEvent(text::kEvtWebsocketRetry, unified_track::BuildWebsocketRetryPayload(linkType, reason, nextTime));
    });
}

UT_API void track_websocket_heartbeat_timeout(const char *linkType) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({linkType})) return;
        SecureString payload;
        if (unified_track::BuildHeartbeatTimeoutPayload(linkType, &payload)) {
            QueueLinkEvent(text::kEvtHeartbeatTimeout, payload);
        }
    });
}

UT_API void track_websocket_link_connect(const char *linkType, const char *serverIp, const char *regionName,
                                         int32_t connectReason, const char *status, uint64_t linkStartTime,
                                         const char *lastFailedAddr, int32_t connectTakenTime) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({linkType, serverIp, regionName, status, lastFailedAddr})) return;
        QueueLinkEvent(text::kEvtWebsocketConnect,
                       unified_track::BuildWebsocketConnectPayload(linkType, serverIp, regionName, connectReason,
                                                                   status, linkStartTime, lastFailedAddr,
                                                                   connectTakenTime, PAL_GetSystemTime()));
    });
}

UT_API void track_rtc_error(const char *rtcFunc, int32_t errNo, const char *errnoDesc) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({rtcFunc, errnoDesc})) return;
        QueueLinkEvent(text::kEvtRtcError, unified_track::BuildRtcErrorPayload(rtcFunc, errNo, errnoDesc));
    });
}

UT_API void track_dotdata_delete_file(const char *deleteFileName, int32_t fileType, int32_t errorCode,
                                      const char *uploadUrl, int32_t fileLength) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({deleteFileName, uploadUrl})) return;
        QueueLinkEvent(text::kEvtDeleteZip, unified_track::BuildDeleteFilePayload(deleteFileName, fileType, errorCode,
                                                                                  uploadUrl, fileLength));
    });
}

UT_API void track_zipfile_generate_error(const char *zipFilePath, int32_t errorCode, int32_t zipError) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({zipFilePath})) return;
        QueueLinkEvent(text::kEvtDeleteZip,
                       unified_track::BuildZipfileGenerateErrorPayload(zipFilePath, errorCode, zipError));
    });
}

UT_API void track_log_zip_error(int32_t errorCode, const char *logFileName) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({logFileName})) return;
        QueueLinkEvent(text::kEvtLogfileCompressError, unified_track::BuildLogZipErrorPayload(errorCode, logFileName));
    });
}

UT_API void track_dotdata_log(const char *content, const char *functionName) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({content, functionName})) return;
        QueueLinkEvent(text::kEvtMeetingLog, unified_track::BuildDotdataLogPayload(content, functionName));
    });
}

UT_API void track_dotdata_parse_domain_error(const char *domain, int32_t errNo) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({domain})) return;
        QueueLinkEvent(text::kEvtParseDomainError, unified_track::BuildParseDomainErrorPayload(domain, errNo));
    });
}

UT_API void track_set_deploy_mode(int32_t mode) {
    GuardExport([&] { QueueLinkEvent(text::kEvtSetDeployMode, unified_track::BuildSetDeployModePayload(mode)); });
}

UT_API void track_switch_deploy_mode(int32_t mode, int32_t reason) {
    GuardExport(
        [&] { QueueLinkEvent(text::kEvtSwitchDeployMode, unified_track::BuildSwitchDeployModePayload(mode, reason)); });
}

UT_API void track_usg_websocket_detect_result(int32_t isSuccess, const char *address) {
    GuardExport([&] {
        if (!unified_track::ReportTextsFit({address})) return;
        QueueLinkEvent(text::kEvtUsgWebsocketDetect, unified_track::BuildUsgWebsocketDetectPayload(isSuccess, address));
    });
}

UT_API int32_t track_set_local_addr(const char *addr) {
    // The state goes into every later report; one that could not fit would lose them all.
    if (!SetterTextsFit({addr})) return 1;
    return GuardedSetter([&] { LinkState::Instance().SetLocalAddr(addr); });
}

UT_API int32_t track_set_confctrl_addr(const char *addr) {
    // The state goes into every later report; one that could not fit would lose them all.
    if (!SetterTextsFit({addr})) return 1;
    return GuardedSetter([&] { LinkState::Instance().SetConfCtrlAddr(addr); });
}

UT_API int32_t track_set_confmanage_addr(const char *addr) {
    // The state goes into every later report; one that could not fit would lose them all.
    if (!SetterTextsFit({addr})) return 1;
    return GuardedSetter([&] { LinkState::Instance().SetConfManageAddr(addr); });
}

UT_API int32_t track_set_confid(const char *confId) {
    // The state goes into every later report; one that could not fit would lose them all.
    if (!SetterTextsFit({confId})) return 1;
    return GuardedSetter([&] { LinkState::Instance().SetConfId(confId); });
}

UT_API int32_t track_set_self_participant_id(const char *pid) {
    // The state goes into every later report; one that could not fit would lose them all.
    if (!SetterTextsFit({pid})) return 1;
    return GuardedSetter([&] { LinkState::Instance().SetSelfParticipantId(pid); });
}

UT_API int32_t track_set_media_addr(const char *ip, int32_t port) {
    // The state goes into every later report; one that could not fit would lose them all.
    if (!SetterTextsFit({ip})) return 1;
    return GuardedSetter([&] { LinkState::Instance().SetMediaAddr(ip, port); });
}

UT_API int32_t track_set_websocket_link_status(int32_t linkType, int32_t status, const char *desc) {
    // The state goes into every later report; one that could not fit would lose them all.
    if (!SetterTextsFit({desc})) return 1;
    return GuardedSetter([&] { LinkState::Instance().SetWebsocketLinkStatus(linkType, status, desc); });
}

}  // extern "C"

namespace {
// Compression failures of the log library become dot-data events: whenever the API log starts,
// the callback is registered on the command thread like every other manager-side change. Set
// while the library loads, in the file that defines the callback, so it is linked wherever the
// callback is.
void RegisterLogZipErrorCallback(const char *caller) {
    unified_track::UTThreadMgr::GetInstance().PushCmd(
        std::function<void()>([] { LogStream::SetZipDataFuncCallback(&track_log_zip_error); }), caller);
}
[[maybe_unused]] const bool g_logZipErrorHookSet =
    (Track_SetTraceLogStartedHandler(&RegisterLogZipErrorCallback), true);
}  // namespace
