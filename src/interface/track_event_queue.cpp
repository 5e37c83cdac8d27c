#include "interface/track_event_queue.h"

#include <functional>
#include <memory>

#include "host/clock.h"
#include "host/log.h"
#include "host/pal.h"
#include "interface/text_limits.h"
#include "interface/track_reporter_texts.h"
#include "manager/UTData.h"
#include "manager/UTManager.h"
#include "manager/record_constants.h"
#include "manager/UTThreadMgr.h"

namespace unified_track {

namespace {

// Owns the queued event; its texts are wiped when the last copy of the command goes.
struct WipedEvent {
    ContextSpecialParam param;
    ~WipedEvent() {
        WipeString(param.event);
        WipeString(param.arg2);
        WipeString(param.arg3);
        WipeString(param.arg4);
    }
};

// True on the command thread while it writes a report that the command thread itself made
// (a failed pack or clean of a dot file, for one). Writing that report can fail the same way;
// reporting that failure again would feed itself for ever, so such a report is dropped.
thread_local bool t_writingOwnReport = false;

class OwnReportScope {
public:
    explicit OwnReportScope(bool own) : m_previous(t_writingOwnReport) { t_writingOwnReport = own; }
    ~OwnReportScope() { t_writingOwnReport = m_previous; }
    OwnReportScope(const OwnReportScope &) = delete;
    OwnReportScope &operator=(const OwnReportScope &) = delete;

private:
    bool m_previous;
};

}  // namespace

void QueueReportEvent(const char *event, const char *arg2, const SecureString &payload, uint64_t time,
                      const char *commandName) {
    if (payload.size() > kMaxRecordBytes) {
        UT_LOGE(kLogTextTooLong, kMaxRecordBytes);
        return;
    }
    const bool own = PAL_GetTID() == UTThreadMgr::CommandThreadId();
    if (own && t_writingOwnReport) {
        UT_LOGI(reporter_text::kLogOwnReportDropped, event != nullptr ? event : "");
        return;
    }
    auto holder = std::make_shared<WipedEvent>();
    ContextSpecialParam &param = holder->param;
    param.eventId = reporter_text::kEventId;
    param.event = event != nullptr ? event : "";
    param.arg2 = arg2 != nullptr ? arg2 : "";
    param.arg4.assign(payload.data(), payload.size());
    param.m = 0;
    param.t = 0;
    param.time = time;
    UTManager *manager = &UTManager::GetInstance();
    std::function<void()> command = [manager, holder, own]() {
        OwnReportScope scope(own);
        manager->AddUserTrack(holder->param);
    };
    UTThreadMgr::GetInstance().PushCmd(std::move(command), commandName);
}

bool ReportTextsFit(std::initializer_list<const char *> texts) {
    if (TextsFitRecord(texts)) return true;
    UT_LOGE(kLogTextTooLong, kMaxRecordBytes);
    return false;
}

void QueueLinkEvent(const char *event, const SecureString &payload) {
    QueueReportEvent(event, reporter_text::kLinkArg2, payload, PAL_GetSysRunTimeEx(), reporter_text::kCmdAddUserTrack);
}

}  // namespace unified_track
