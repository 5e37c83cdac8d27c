// One upload request: posts the bytes of one zip file to the operations server and returns the
// HTTP response code (0 when nothing was sent). Runs on the upload thread and blocks it for the
// whole exchange. Works on its own copy of the upload parameters, so a configuration change
// during the exchange takes effect with the next request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/upload_param.h"

namespace unified_track {

class UTUploader {
public:
    explicit UTUploader(const UpLoadParam &param) : m_param(param) {}

    // urlPath is the path after the host without a leading "/"; userAgent and uuid are the
    // values of "User-Agent" and "X-User-Uuid".
    int32_t upload(const void *data, uint32_t dataLen, const std::string &urlPath, const std::string &userAgent,
                   const std::string &uuid);

    // The request identifiers kept for bodies whose last attempt failed in the transport,
    // keyed by the hex SHA-256 of the body (at most kMaxAcknowledged of them).
    static size_t RequestIdCount();
    static void ClearRequestIds();

    // True when a body of this digest was answered 200 by this process: it is not sent again,
    // even when its zip file could not be removed. Remembers the most recent kMaxAcknowledged.
    static bool WasAcknowledged(const std::string &digestHex);
    static constexpr size_t kMaxAcknowledged = 4096;

private:
    UpLoadParam m_param;
};

// Lower-case hex SHA-256 of the bytes; empty when the digest cannot be made.
std::string BodyDigestHex(const void *data, size_t len);

// The request identifier ("X-Request-ID") of a body: the first 32 characters of its digest, so a
// body sent again, by this process or after a restart, carries the same identifier and the
// server can drop the duplicate. Empty when the digest is empty.
std::string RequestIdFor(const std::string &digestHex);

}  // namespace unified_track
