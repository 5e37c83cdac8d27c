// Exports of the API log. They run on the caller's thread and never touch the manager.
#include <cstdarg>

#include <unified_track/unified_track.h>

#include "host/export_guard.h"
#include "log/TrackApiLog.h"
#include "manager/UTThreadMgr.h"

extern "C" {

UT_API OST_UT_RESULT Track_AddTraceApiLog(int32_t from, int32_t to, const char *format, ...) {
    try {
        // Once the library is stopping, other modules' late calls are not logged any more.
        if (unified_track::UTThreadMgr::IsStopped()) return UT_SUCCESS;
        va_list args;
        va_start(args, format);
        try {
            TrackApiLog::AddApiLogWithParam(from, to, format, args);
        } catch (...) {
        }
        va_end(args);
    } catch (...) {
    }
    return UT_SUCCESS;
}

UT_API OST_UT_RESULT Track_AddTraceApiLogStr(int32_t from, int32_t to, const char *text) {
    unified_track::GuardExport([&] { TrackApiLog::AddApiLogStr(from, to, text); });
    return UT_SUCCESS;
}

}  // extern "C"
