// Trace-log set-up: the API log module and the host's log folder.
#pragma once

#include <cstdint>
#include <string>

void Track_TraceLogStartBase(int32_t level, int32_t maxSizeKB, int32_t fileCount, const char *folder,
                             const char *fileName);
void Track_TraceUpdateLogParams(int32_t level, int32_t maxSizeKB, int32_t fileCount, const char *folder);
// Copies the log folder (ends with the path separator; empty until set) into buffer.
void Track_GetLogPath(char *buffer, int32_t size);
// The log folder as Track_GetLogPath gives it, without a buffer.
std::string Track_GetLogFolder();
