// Trace-log set-up: starts and re-configures the API log module in the host's log folder, sends
// the library's own trace file there too, and keeps the folder for the rest of the library.
// Called from host threads (start and update), read from any thread (Track_GetLogPath).
#include "log/track_trace.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "host/pal.h"
#include "host/path.h"
#include "host/securec.h"
#include "log/track_trace_constants.h"

#ifndef UT_VERSION_TEXT
#define UT_VERSION_TEXT "unknown"
#endif

namespace {
std::atomic<int32_t> g_apiLogStarted{0};
std::atomic<TraceLogStartedHandler> g_startedHandler{nullptr};
// Serialises start and update, so two first calls cannot both start the API log.
std::recursive_mutex g_setupLock;
std::mutex g_logFolderLock;
char g_logFolder[kTracePathBufferSize] = {0};  // guarded by g_logFolderLock; ends with kPathSep

// Checks the folder and builds folder + separator + fileName. On success *filePath holds the
// file path and the log folder has been updated.
bool ApplyFolderRule(const char *folder, const char *fileName, std::string *filePath) {
    if (folder == nullptr) {
        UT_LOGE(kTraceLogPathNull);
        return false;
    }
    size_t len = PAL_StrLen(folder);
    if (len == 0 || len > kTraceMaxFolderLen) {
        UT_LOGE(kTraceConfigParamError);
        return false;
    }
    char buffer[kTracePathBufferSize] = {0};
    const char sep[2] = {kPathSep, '\0'};
    int ret = strcpy_s(buffer, sizeof(buffer), folder);
    if (buffer[0] == '\0' || !unified_track::IsPathSep(buffer[PAL_StrLen(buffer) - 1])) {
        ret += strcat_s(buffer, sizeof(buffer), sep);
    }
    {
        std::lock_guard<std::mutex> lock(g_logFolderLock);
        ret += strcpy_s(g_logFolder, sizeof(g_logFolder), buffer);
    }
    ret += strcat_s(buffer, sizeof(buffer), fileName);
    if (ret != 0) UT_LOGE(UT_SECURE_ERR_D, ret);
    *filePath = buffer;
    unified_track::SetTraceFolder(Track_GetLogFolder());
    return true;
}
}  // namespace

std::string Track_GetLogFolder() {
    std::lock_guard<std::mutex> lock(g_logFolderLock);
    return std::string(g_logFolder);
}

void Track_TraceLogStartBase(int32_t level, int32_t maxSizeKB, int32_t fileCount, const char *folder,
                             const char *fileName) {
    std::lock_guard<std::recursive_mutex> setup(g_setupLock);
    std::string filePath;
    if (!ApplyFolderRule(folder, fileName == nullptr ? "" : fileName, &filePath)) return;
    UnInitLog(kApiLogModule);
    InitLog(kApiLogModule, filePath.c_str(), maxSizeKB, fileCount, level);
    g_apiLogStarted.store(1);
    TraceLogStartedHandler handler = g_startedHandler.load();
    if (handler != nullptr) handler(__PRETTY_FUNCTION__);
}

void Track_SetTraceLogStartedHandler(TraceLogStartedHandler handler) {
    g_startedHandler.store(handler);
}

void Track_TraceUpdateLogParams(int32_t level, int32_t maxSizeKB, int32_t fileCount, const char *folder) {
    std::lock_guard<std::recursive_mutex> setup(g_setupLock);
    if (g_apiLogStarted.load() == 0) {
        Track_TraceLogStartBase(level, maxSizeKB, fileCount, folder, kApiLogFileName);
        if (g_apiLogStarted.load() == 0) return;  // no start lines for a log that did not start
        DoLog(kApiLogModule, LOG_INFO, 0, "track", "api", 1, kTraceLogStarted, __DATE__, __TIME__);
        DoLog(kApiLogModule, LOG_INFO, 0, "track", "api", 1, kTraceBuildVersion, UT_VERSION_TEXT);
        return;
    }
    std::string filePath;
    if (!ApplyFolderRule(folder, kApiLogFileName, &filePath)) return;
    int32_t size = std::min(maxSizeKB, kTraceMaxSizeKB);
    UpdateLogConfig(kApiLogModule, filePath.c_str(), size, level);
    UT_LOGI(kTraceParamsChanged, level, size);
}

void Track_GetLogPath(char *buffer, int32_t size) {
    int ret = EINVAL;
    if (buffer != nullptr && size > 0) {
        std::lock_guard<std::mutex> lock(g_logFolderLock);
        ret = strcpy_s(buffer, static_cast<size_t>(size), g_logFolder);
    }
    if (ret != 0) UT_LOGE(UT_SECURE_ERR_D, ret);
}

extern "C" UT_API OST_UT_RESULT Track_UpdateLogPath(uint32_t level, uint32_t, uint32_t, const char *logPath) {
    try {
        if (logPath == nullptr || level > kTraceMaxLevel || PAL_StrLen(logPath) == 0) return UT_FAILED;
        Track_TraceUpdateLogParams(static_cast<int32_t>(level), kTraceMaxSizeKB, kTraceFileCount, logPath);
        return UT_SUCCESS;
    } catch (...) {
        return UT_FAILED;
    }
}

extern "C" UT_API OST_UT_RESULT Track_ConfigKeyLogSwitch(int32_t bOpen) {
    try {
        UT_LOGI(kTraceKeyLogSwitch, static_cast<unsigned int>(bOpen));
    } catch (...) {
    }
    return UT_SUCCESS;
}
