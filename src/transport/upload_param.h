// What one upload request needs: server, credentials, certificate and proxy. Plain data that the
// manager fills and the uploader copies per request.
#pragma once

#include <cstdint>
#include <string>

#include "host/http_proxy.h"

namespace unified_track {

// Upload parameters; the uploader works on a copy taken per request.
struct UpLoadParam {
    std::string firstText;
    std::string token;
    std::string jwtToken;
    std::string serverAddr;
    bool isProxyOff = false;
    uint16_t port = 0;
    std::string certInfo;  // at most 511 characters
    uint32_t certNumber = 0;
    ProtectedProxyParam proxy;
};

}  // namespace unified_track
