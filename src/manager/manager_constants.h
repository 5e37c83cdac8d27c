// Texts of the library's start, stop and command thread: folder and file names, identifiers and
// log lines. Written by the system, so kept in one place and never retyped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unified_track {

// ---- dot-data folder layout ----
constexpr char kDotDataFolderName[] = "dotdata";
constexpr char kUserZipFolderName[] = "user";
constexpr char kMediaZipFolderName[] = "media";
constexpr char kMmrZipFolderName[] = "mmr";
constexpr char kUserDotFileName[] = "user_dot_data.dat";
constexpr char kMediaDotFileName[] = "media_dot_data.dat";
constexpr char kMmrDotFileName[] = "mmr_dot_data.dat";

// ---- application identity ----
constexpr char kStoredCorpAppId[] = "Kp4RwT8zLq2NvB6xHd9JmC3fYs7Ge";
constexpr size_t kStoredCorpAppIdLen = sizeof(kStoredCorpAppId) - 1;
constexpr char kBrioBoard[] = "BrioBoard";
constexpr char kBrioMeeting[] = "BrioMeeting";

// ---- command names ----
constexpr char kCmdInitUnifiedTrack[] = "_InitUnifiedTrack";
constexpr char kCmdCheckAppIdAndSetDotData[] = "_CheckAppIdAndSetDotData";

// Message counter bumped once per command run.
constexpr uint32_t kCommandCounterIndex = 9;

// ---- log modules ----
constexpr char kModuleFrequency[] = "native_sdk_frequency";

// ---- log lines ----
constexpr char kLogPushSyncParamNull[] = "start ut PushCmd sync param null";
constexpr char kLogPushAsyncParamNull[] = "start ut PushCmd async param null";
constexpr char kLogThreadExecNewFailed[] = "pThreadExec new failed!";
constexpr char kLogCommandThrew[] = "command failed with an exception: %s";
constexpr char kLogStartInit[] = "Start Init";
constexpr char kLogCreateUploadThreadFailed[] = "Create upload thraed failed, error code is %d";
constexpr char kLogCreateThreadErrorWhat[] = "create thread error! e what:%s";
constexpr char kLogCreateThreadErrorNullWhat[] = "create thread error! e what, but e what is null";
constexpr char kLogCreateThreadError[] = "create thread error!";
constexpr char kLogCacheWriterLeftRunning[] = "cache writer still in the host's add hook after %u ms, left running";
constexpr char kLogDotPathCreateFailed[] = "dot file path create failed!";
constexpr char kLogDotPathEmpty[] = "dot file path is empty";
constexpr char kLogUserPathCreateFailed[] = "user dot file path create failed!";
constexpr char kLogMediaPathCreateFailed[] = "meida dot file path create failed!";
constexpr char kLogMmrPathCreateFailed[] = "mmr dot file path create failed!";
constexpr char kLogMakeDirFailed[] = "make dot data dir failed: %d, lasterr: %d";
constexpr char kLogSetDotdataCallback[] = "start, %d, func: %u";
constexpr char kLogCorpAppIdCopyFailed[] = "strcpy_s failed! ret:%d";
constexpr char kLogSetPalLogCallbackError[] = "set pal log callback error";
constexpr char kLogIsBrio[] = "isBrio: %d, appId: %s";
constexpr char kLogPalError[] = "pal error, errno:%s, file: %s, line:%d, msg:%s";
constexpr char kLogPalWarn[] = "pal warn, errno:%s, file: %s, line:%d, msg:%s";
constexpr char kLogPalInfo[] = "pal info, errno:%s, file: %s, line:%d, msg:%s";

}  // namespace unified_track
