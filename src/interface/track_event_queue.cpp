#include "interface/track_event_queue.h"

#include <functional>
#include <memory>

#include "host/clock.h"
#include "interface/track_reporter_texts.h"
#include "manager/UTData.h"
#include "manager/UTManager.h"
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

}  // namespace

void QueueReportEvent(const char *event, const char *arg2, const SecureString &payload,
                      uint64_t time, const char *commandName) {
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
    std::function<void()> command = [manager, holder]() { manager->AddUserTrack(holder->param); };
    UTThreadMgr::GetInstance().PushCmd(std::move(command), commandName);
}

void QueueLinkEvent(const char *event, const SecureString &payload) {
    QueueReportEvent(event, reporter_text::kLinkArg2, payload, PAL_GetSysRunTimeEx(),
                     reporter_text::kCmdAddUserTrack);
}

}  // namespace unified_track
