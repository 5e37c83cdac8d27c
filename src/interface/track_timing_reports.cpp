// Exported timing, blocking and analysis reports and the message bus's per-message callback.
// They run on the caller's thread (SDK threads, bus threads); only the queued events reach the
// command thread. Their state lives in track_timing_state.
#include <cstdint>
#include <string>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "host/export_guard.h"
#include "host/log.h"
#include "host/pal.h"
#include "interface/track_event_queue.h"
#include "interface/track_reporter_texts.h"
#include "interface/track_timing_payloads.h"
#include "interface/track_timing_state.h"

using unified_track::BlockedNotifyRegistry;
using unified_track::GuardExport;
using unified_track::MainDelayTracker;
using unified_track::MsgReportLimiter;
using unified_track::QueueReportEvent;
using unified_track::SecureString;
namespace text = unified_track::reporter_text;

extern "C" {

UT_API void Track_TimeTakenDotData(const tagUTTimeTakenRecord *record) {
    GuardExport([&] {
        if (record == nullptr) {
            UT_LOGE("%s", text::kLogArgNull);
            return;
        }
        QueueReportEvent(text::kEvtTimeTaken, nullptr, unified_track::BuildTimeTakenPayload(*record), 0,
                         text::kCmdTimeTaken);

        const SecureString funcName = unified_track::TimeTakenFuncName(*record);
        const std::string name(funcName.data(), funcName.size());
        if (record->blockedNotify != 0) {
            // Looked up under the registry's lock, called without it: the callback may register.
            UTBlockedNotifyFunc callback = BlockedNotifyRegistry::Instance().Find(name);
            if (callback != nullptr) {
                callback();
            }
        }
        if (name == text::kMainDetectDelayFunc) {
            const uint64_t delayTime = PAL_GetSysRunTimeEx();
            MainDelayTracker::Instance().Mark(delayTime);
            LogStream::GetLogStream("native_sdk", LOG_ERROR, LOG_ERROR, __PRETTY_FUNCTION__, __FILE__, __LINE__)
                << text::kLogDelayTime << delayTime;
        }
    });
}

UT_API void Track_SetBlockedNotifyCB(const char *funcName, UTBlockedNotifyFunc callback) {
    GuardExport([&] {
        // Only the low 16 bits: a full code address would help an attacker defeat ASLR.
        const unsigned lowBits = static_cast<unsigned>(reinterpret_cast<uintptr_t>(callback) & 0xFFFFu);
        UT_LOGE(text::kLogSetBlockedCb, lowBits);
        if (funcName == nullptr) {
            UT_LOGE("%s", text::kLogArgNull);
            return;
        }
        BlockedNotifyRegistry::Instance().Set(funcName, callback);
    });
}

UT_API uint32_t Track_IsMainThreadDelay(void) {
    return GuardExport(nullptr, static_cast<uint32_t>(0), [&]() -> uint32_t {
        if (MainDelayTracker::Instance().DelayTimeMs() == 0) {
            return 0;
        }
        return MainDelayTracker::Instance().IsDelayed(PAL_GetSysRunTimeEx()) ? 1u : 0u;
    });
}

UT_API void Track_ErrorAnalyze(const char *type, const char *errorInfo) {
    GuardExport([&] {
        if (type == nullptr || errorInfo == nullptr) {
            UT_LOGE("%s", text::kLogArgNull);
            return;
        }
        if (!unified_track::ReportTextsFit({type, errorInfo})) return;
        QueueReportEvent(text::kEvtErrorAnalyze, nullptr, unified_track::BuildErrorAnalyzePayload(type, errorInfo),
                         PAL_GetSysRunTimeEx(), text::kCmdErrorAnalyze);
    });
}

UT_API void Track_AnonymousAuth(const char *serverIp, const char *confId, uint32_t result) {
    GuardExport([&] {
        if (serverIp == nullptr || confId == nullptr) {
            UT_LOGE("%s", text::kLogArgNull);
            return;
        }
        if (!unified_track::ReportTextsFit({serverIp, confId})) return;
        QueueReportEvent(text::kEvtAnonymousAuth, nullptr,
                         unified_track::BuildAnonymousAuthPayload(serverIp, confId, result), 0,
                         text::kCmdAnonymousAuth);
    });
}

UT_API void PalMsgDotData(const void *msg) {
    GuardExport([&] {
        if (msg == nullptr) {
            return;
        }
        const uint32_t now = static_cast<uint32_t>(PAL_GetSysRunTimeSec());
        if (!MsgReportLimiter::Instance().TryReport(now)) {
            return;
        }
        const tagUTPalMsgRecord &record = *static_cast<const tagUTPalMsgRecord *>(msg);
        QueueReportEvent(text::kEvtPalMsg, nullptr, unified_track::BuildPalMsgPayload(record), 0, text::kCmdPalMsg);
    });
}

}  // extern "C"
