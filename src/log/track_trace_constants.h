// Texts and limits of the trace-log set-up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/path.h"

constexpr char kApiLogModule[] = "sdk_api_info";
constexpr char kApiLogFileName[] = "sdk_api_info.txt";
// Folder buffer; the folder itself may hold at most 228 bytes so that folder, separator and the
// file name fit.
constexpr size_t kTracePathBufferSize = unified_track::kPathBufferBytes;
constexpr size_t kTraceMaxFolderLen = 228;
constexpr int32_t kTraceMaxSizeKB = 512;
constexpr int32_t kTraceFileCount = 5;
constexpr uint32_t kTraceMaxLevel = 3;

constexpr char kTraceLogPathNull[] = "input logpath is NULL";
constexpr char kTraceConfigParamError[] = "config param error";
constexpr char kTraceLogStarted[] = "log started, builded in: %s, %s";
constexpr char kTraceBuildVersion[] = "build at version: %s";
constexpr char kTraceParamsChanged[] = "log params is changed to [level:%d, maxsizeKB:%d KB]";
constexpr char kTraceKeyLogSwitch[] = "bOpen: %u";
