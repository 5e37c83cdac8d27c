// Message bus registrations: the bus keeps the library's two callbacks; a host's bus fetches them
// through host_services.h.
#pragma once

#include <unified_track/host_services.h>

int PAL_MSG_RegMsgLog(PAL_MsgLogFunc func);          // 0 = success
int PAL_MSG_RegMsgDotData(PAL_MsgDotDataFunc func);  // 0 = success
