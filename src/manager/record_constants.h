// Keys, file names, event names and shared texts of the record side of the manager (parameters,
// configuration cache, time base, user and timed events, dot files). One place for each text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unified_track {

// ---- configuration-cache keys; the ten public-SDK entries always travel in this order ----
constexpr const char *kKeyPublicSdkParamUuid = "PublicSdkParamUuid";
constexpr const char *kKeyPublicSdkParamAccount = "PublicSdkParamAccount";
constexpr const char *kKeyPublicSdkParamCloudusgIp = "PublicSdkParamCloudusgIp";
constexpr const char *kKeyPublicSdkParamSbcIp = "PublicSdkParamSbcIp";
constexpr const char *kKeyPublicSdkParamReserve1 = "PublicSdkParamReserve1";
constexpr const char *kKeyPublicSdkParamReserve2 = "PublicSdkParamReserve2";
constexpr const char *kKeyPublicSdkParamReserve3 = "PublicSdkParamReserve3";
constexpr const char *kKeyPublicSdkParamReserve4 = "PublicSdkParamReserve4";
constexpr const char *kKeyPublicSdkParamReserve5 = "PublicSdkParamReserve5";
constexpr const char *kKeyPublicSdkParamReserves = "PublicSdkParamReserves";
constexpr int32_t kPublicSdkEntryCount = 10;
constexpr const char *kKeyErrorDotDataFileToLogsCount = "ErrorDotDataFileToLogsCount";

// The host cache's "not found" answer, accepted like success when reading the counter.
constexpr int32_t kCacheQueryNotFound = 415000002;
// Copies of failed dot files are refused once the stored counter is above this.
constexpr long kErrorDotDataFileToLogMaxCount = 10;
constexpr const char *kErrorDotDataFolder = "error_dotdata";

// ---- context JSON ("reserves") member names, in the order they are written ----
constexpr const char *kReservesTerminalType = "terminalType";
constexpr const char *kReservesConfuuid = "confuuid";
constexpr const char *kReservesPid = "pid";
constexpr const char *kReservesThirdAppVersion = "thirdAppVersion";

// ---- user record line ----
constexpr const char *kUserLineVersion = "6.0";
constexpr char kUserLineSeparator = '|';
constexpr uint32_t kCfgItemUserField10 = 57;  // configuration-store item that overrides field 10
constexpr uint32_t kCfgItemUserField10Size = 640;
constexpr const char *kEventJoinConfLocal = "ut_event_sdk_join_conf_local";
constexpr const char *kBlockedEventId = "1";  // blocked while the meeting-SDK dot switch is off
// Held-back user records: one more is cached while the cache holds this many or fewer.
constexpr size_t kUserCacheHoldLimit = 512;

// ---- dot files ----
// The largest record a dot file can hold: a file longer than this is discarded, not packed, so
// a record past it could never be delivered. Texts past it are refused at the exports.
constexpr size_t kMaxRecordBytes = 1048576;
constexpr const char *kLogTextTooLong = "text too long, refused (limit %zu bytes)";
constexpr const char *kLogRecordTooLong = "record too long, dropped: %zu bytes";
constexpr int32_t kUserDotFilePackSize = 9216;  // pack once the user dot file is longer than this
constexpr const char *kZipFileMark = ".gz";
constexpr int32_t kCleanReportFileType = 1;  // track_dotdata_delete_file: dot file
constexpr int32_t kCleanReportSuccess = 1;
constexpr int32_t kCleanReportFailure = 2;

// ---- time stamps ----
constexpr size_t kTimeStampBufferSize = 80;

// ---- timed events ----
constexpr const char *kClockWentBack = "-1";
constexpr size_t kIntervalBufferSize = 65;

}  // namespace unified_track
