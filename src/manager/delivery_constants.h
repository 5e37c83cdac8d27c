// Texts and numbers of packing and the upload worker: URL paths, limits, report codes and log
// lines. Written by the system, so kept in one place and never retyped.
#pragma once

#include <cstdint>

namespace unified_track {

// ---- URL paths, in the order of every upload pass ----
constexpr char kUserUrlPath[] = "v1/ops/client/report/product";
constexpr char kMediaUrlPath[] = "v1/ops/client/report/av";
constexpr char kMmrUrlPath[] = "v1/ops/das/mmr/report";

// ---- packing ----
constexpr uint64_t kDotFileDiscardBytes = 1048576;  // larger dot files are dropped, not packed
constexpr char kMediaPathMark[] = "media";
constexpr char kOldLayoutLevel[] = "dotdata";  // the older layout lacked sep + this level

// ---- upload thread ----
constexpr uint64_t kPackIntervalMs = 60000;
constexpr uint32_t kNoCredentialsSleepMs = 1000;
constexpr uint32_t kBackoffStartMs = 200;
constexpr uint32_t kBackoffStepMs = 1000;
constexpr uint32_t kBackoffGrowBelowMs = 60000;  // grows 1200, 2200, ... up to 60200
constexpr size_t kMaxZipFilesPerFolder = 1000;
constexpr uint32_t kReportEvery = 512;
constexpr uint32_t kFileErrorDeleteAfter = 3;
constexpr uint32_t kAnyErrorDeleteAfter = 100;
// No pack comes near this; a larger file in a zip folder is not ours and is not read whole.
constexpr long kMaxZipFileBytes = 64L * 1024 * 1024;
constexpr int32_t kHttpOk = 200;
constexpr int32_t kHttpBadRequest = 400;
constexpr int32_t kLocalFileError = -1;

// Internal results of the upload steps.
enum UploadResult : int {
    kUploadDone = 0,
    kUploadUnreadable = 1,  // unreadable zip file, or a name without a folder part
    kUploadRetryLater = 2,  // failed; the folder waits for the next pass
    kUploadRejected = 3,    // server answer 400 or a local file error
    kUploadStopping = 4,
};

// ---- reports (track_dotdata_delete_file file types, track_zipfile_generate_error codes) ----
constexpr int32_t kDeleteTypeDiscardedDotFile = 3;
constexpr int32_t kDeleteTypeExcessZip = 4;
constexpr int32_t kDeleteTypeTooManyFailures = 5;
constexpr int32_t kDeleteTypeFileError = 6;
constexpr int32_t kReportCodeDiscarded = 99;
constexpr int32_t kReportCodeZipFolderMissing = 101;
constexpr int32_t kReportCodeZipFolderNotMade = 102;

// ---- command names ----
constexpr char kCmdUploadUserTrack[] = "_Track_UploadUserTrack";

// ---- log lines ----
constexpr char kLogDotFileTooLarge[] = "dot data file too large, %u";
constexpr char kLogZipFolderMissing[] = "zip folder not existed, %s";
constexpr char kLogZipFolderMissingAgain[] = "zip folder not existed again, return";
constexpr char kLogZipFailed[] = "zip dot data file failed, errorCode: %d, zipFile: %s";
constexpr char kLogZipMmrFailed[] = "zip tmp file failed";
constexpr char kLogOldVersionPathError[] = "old version path error: %s";
constexpr char kLogUploadBegin[] = "begin";
constexpr char kLogUploadEnd[] = "upload thread end";
constexpr char kLogNetworkBackoff[] = "upload failed cause network error, sleep time ms: %d";
constexpr char kLogDeleteZip[] = "delete zip file: %s";
constexpr char kLogUploadZip[] = "upload zip file: %s";
constexpr char kLogOpenZipFailed[] = "open zip file failed : %s";
constexpr char kLogZipEmpty[] = "zip file is empty, len: [%d]";
constexpr char kLogZipBufferFailed[] = "read zip file failed. zipBufLen:%d";
constexpr char kLogZipShortRead[] = "PAL_Fread failed. zipBufLen:%d";
constexpr char kLogZipTooLarge[] = "zip file too large, len: [%ld]";
constexpr char kLogRemoveZipFailed[] = "remove zip file failed!, zip:[%s], ret:%d, lastErrno:%d, count:%d";
constexpr char kLogRemoteErrcode[] = "remote errcode: %d";
constexpr char kLogDeleteFileError[] = "upload failed cause file error, delete file: %s";
constexpr char kLogDeleteTooManyFailures[] = "upload failed more than 100 ,  delete file: %s";
constexpr char kLogUploadFailed[] = "upload failed, %s, %u";
constexpr char kLogUploadNotInited[] = "upload while not inited";
constexpr char kLogUploadNoToken[] = "upload while token and jwtToken is empty";

}  // namespace unified_track
