// Names and numbers of the packing and upload-request layer, each written in one place only.
#pragma once

#include <cstdint>

namespace unified_track {

// Zip files: decimal wall-clock milliseconds followed by this suffix. Anything that looks for
// zip files looks for names that contain it.
constexpr const char kZipSuffix[] = ".gz";
// A pack writes here first and renames to the ".gz" name when complete, so the upload thread
// never sees a partial zip file (the name holds no ".gz").
constexpr const char kPackTempSuffix[] = ".packing";

// The user/media zip envelope.
constexpr const char kEnvelopeData[] = "data";
constexpr const char kEnvelopeUser[] = "user";

// Error codes of zipFile. 1009 and 1010 are ours: the gzip stream could not be completed on
// disk, or the finished file could not take its final name.
enum ZipErrorCode : int32_t {
    kZipErrPathMissing = 1001,
    kZipErrOpenDotFile = 1002,
    kZipErrGzipNarrowOpen = 1003,
    kZipErrGzipWideOpen = 1004,
    kZipErrEmptyDotFile = 1005,
    kZipErrNoBuffer = 1006,
    kZipErrShortRead = 1007,
    kZipErrJson = 1008,
    kZipErrGzipWrite = 1009,
    kZipErrRename = 1010,
    kZipWarnNarrowPathUsed = 2003,
};

// Upload request headers.
constexpr const char kHdrContentType[] = "Content-Type";
constexpr const char kHdrContentTypeValue[] = "application/json";
constexpr const char kHdrAuthToken[] = "X-Auth-token";
constexpr const char kHdrContentEncoding[] = "Content-Encoding";
constexpr const char kHdrContentEncodingValue[] = "gzip";
constexpr const char kHdrUserAgent[] = "User-Agent";
constexpr const char kHdrUserUuid[] = "X-User-Uuid";
constexpr const char kHdrRealLocalIp[] = "x-real-local-ip";
constexpr const char kHdrForceVpn[] = "x-force-vpn";
constexpr const char kHdrAccessType[] = "x-access-type";
constexpr const char kHdrRealClientIp[] = "x-real-client-ip";
constexpr const char kHdrJwt[] = "X-JWT-Authorization";
constexpr const char kUrlScheme[] = "https://";

// Configuration-store items read or run by the upload request.
constexpr uint32_t kCfgItemUploadNotify = 129;
constexpr uint32_t kCfgItemLocalIp = 140;
constexpr uint32_t kCfgItemForceVpn = 152;
constexpr uint32_t kCfgItemAccessType = 153;
constexpr uint32_t kCfgItemClientIp = 162;

// ---- log lines ----
constexpr char kLogPFileNull[] = "pFile is null";
constexpr char kLogPgzFileFileNull[] = "pgzFile file is null";
constexpr char kLogPgzFileNull[] = "pgzFile is null";
constexpr char kLogFtellLength[] = "PAL_Ftell length is %d";
constexpr char kLogBuffLength[] = "zipfile buff length is %d";
constexpr char kLogReadLength[] = "zipfile read length is %d, num is %u";
constexpr char kLogJsonFailed[] = "construct json string failed";
constexpr char kLogUploadSkipped[] =
    "uploading ziped file, data = %0x, datalen = %d, token empty = %d, addr empty = %d";
constexpr char kLogUploadResult[] =
    "upload track %s, http response code = %d requesId = %s, ret = %d, acHex: [%s] dataLen:%u";

constexpr uint32_t kRequestConnectTimeoutSec = 20;
constexpr uint32_t kRequestTotalTimeoutSec = 60;

}  // namespace unified_track
