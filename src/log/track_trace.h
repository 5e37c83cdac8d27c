// Trace-log set-up: the API log module and the host's log folder.
#pragma once

#include <cstdint>
#include <string>

// Called each time the API log starts, with the starting function's name; the layers above set
// it to hook themselves into the log library (the trace set-up does not call up into them).
using TraceLogStartedHandler = void (*)(const char *caller);
void Track_SetTraceLogStartedHandler(TraceLogStartedHandler handler);

void Track_TraceLogStartBase(int32_t level, int32_t maxSizeKB, int32_t fileCount, const char *folder,
                             const char *fileName);
void Track_TraceUpdateLogParams(int32_t level, int32_t maxSizeKB, int32_t fileCount, const char *folder);
// Copies the log folder (ends with the path separator; empty until set) into buffer.
void Track_GetLogPath(char *buffer, int32_t size);
// The log folder as Track_GetLogPath gives it, without a buffer.
std::string Track_GetLogFolder();
