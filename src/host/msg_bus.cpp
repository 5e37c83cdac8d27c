// The message bus keeps what the library registered; a host's bus fetches it from here.
#include "host/msg_bus.h"

#include <atomic>

namespace {
std::atomic<PAL_MsgLogFunc> g_msgLog{nullptr};
std::atomic<PAL_MsgDotDataFunc> g_msgDotData{nullptr};
}  // namespace

int PAL_MSG_RegMsgLog(PAL_MsgLogFunc func) {
    g_msgLog.store(func, std::memory_order_release);
    return 0;
}

int PAL_MSG_RegMsgDotData(PAL_MsgDotDataFunc func) {
    g_msgDotData.store(func, std::memory_order_release);
    return 0;
}

extern "C" {
UT_API PAL_MsgLogFunc PAL_MSG_GetMsgLogCallback(void) {
    return g_msgLog.load(std::memory_order_acquire);
}
UT_API PAL_MsgDotDataFunc PAL_MSG_GetMsgDotDataCallback(void) {
    return g_msgDotData.load(std::memory_order_acquire);
}
}
