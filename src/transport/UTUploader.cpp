#include "transport/UTUploader.h"

#include <deque>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "host/config_store.h"
#include "host/digest.h"
#include "host/http_proxy.h"
#include "host/http_transport.h"
#include "host/log.h"
#include "host/pal.h"
#include "host/securec.h"
#include "transport/transport_constants.h"

namespace unified_track {

namespace {

constexpr uint32_t kFixedHeaderCount = 9;
constexpr uint32_t kDigestBufLen = 33;
constexpr size_t kMaxDigestHexLen = 65;
constexpr size_t kNotifyUrlChars = 511;
constexpr int32_t kNotifyResult = 304;
constexpr int32_t kResponseOk = 200;

// What the item-129 callback receives after a request whose transport result was 304.
struct tagUploadNotifyRecord {
    uint32_t reserved1;
    uint32_t reserved2;
    char url[896];
    uint32_t code;
};
static_assert(sizeof(tagUploadNotifyRecord) == 908, "notify record layout");

// Request identifiers of failed attempts, by body digest, so that a retry of the same bytes is
// sent as a repeat of the same request. The upload thread is the only regular user; the lock
// keeps direct callers (tools, tests) safe too.
std::mutex g_requestIdLock;
std::map<std::string, std::string> g_requestIds;  // guarded by g_requestIdLock
// Digests of bodies answered 200, oldest first; bounded by kMaxAcknowledged.
std::set<std::string> g_acknowledged;         // guarded by g_requestIdLock
std::deque<std::string> g_acknowledgedOrder;  // guarded by g_requestIdLock

void RememberAcknowledged(const std::string &digest) {
    if (!g_acknowledged.insert(digest).second) return;
    g_acknowledgedOrder.push_back(digest);
    if (g_acknowledgedOrder.size() > UTUploader::kMaxAcknowledged) {
        g_acknowledged.erase(g_acknowledgedOrder.front());
        g_acknowledgedOrder.pop_front();
    }
}

int SetHeader(tagOstHttpHeader &header, const char *name, const char *value) {
    int err = strcpy_s(header.name, sizeof header.name, name) != 0 ? 1 : 0;
    err += strcpy_s(header.value, sizeof header.value, value) != 0 ? 1 : 0;
    return err;
}

std::string ReadCfgText(uint32_t item) {
    char buffer[kOstHttpHeaderValueLen] = {0};
    if (OstGetGlobalCfg(item, buffer, sizeof buffer) != 0) buffer[0] = '\0';
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

}  // namespace

std::string BodyDigestHex(const void *data, size_t len) {
    uint8_t digest[kDigestBufLen] = {0};
    uint32_t digestLen = 0;
    if (OST_CRYPT_digest(OST_DIGEST_SHA256, data, len, digest, sizeof digest, &digestLen) != 0) return {};
    if (digestLen * 2u > kMaxDigestHexLen) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digestLen * 2u);
    for (uint32_t i = 0; i < digestLen; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

std::string RequestIdFor(const std::string &digestHex) {
    const size_t len = kOstHttpRequestIdLen - 1;
    return digestHex.size() < len ? std::string() : digestHex.substr(0, len);
}

bool UTUploader::WasAcknowledged(const std::string &digestHex) {
    if (digestHex.empty()) return false;
    std::lock_guard<std::mutex> guard(g_requestIdLock);
    return g_acknowledged.count(digestHex) != 0;
}

size_t UTUploader::RequestIdCount() {
    std::lock_guard<std::mutex> guard(g_requestIdLock);
    return g_requestIds.size();
}

void UTUploader::ClearRequestIds() {
    std::lock_guard<std::mutex> guard(g_requestIdLock);
    g_requestIds.clear();
    g_acknowledged.clear();
    g_acknowledgedOrder.clear();
}

int32_t UTUploader::upload(const void *data, uint32_t dataLen, const std::string &urlPath, const std::string &userAgent,
                           const std::string &uuid) {
    const UpLoadParam &p = m_param;
    if (data == nullptr || dataLen == 0 || (p.token.empty() && p.jwtToken.empty()) || p.serverAddr.empty()) {
        UT_LOGI(kLogUploadSkipped, static_cast<unsigned>(reinterpret_cast<uintptr_t>(data) & 0xFFFFu),
                static_cast<int>(dataLen), p.token.empty() ? 1 : 0, p.serverAddr.empty() ? 1 : 0);
        return 0;
    }
    const std::string digest = BodyDigestHex(data, dataLen);

    unsigned errSum = 0;
    std::string url = std::string(kUrlScheme) + p.serverAddr;
    if (p.port != 0) {
        char portText[10] = {0};
        if (sprintf_s(portText, sizeof portText, ":%u", static_cast<unsigned>(p.port)) < 0) {
            UT_LOGE(UT_SECURE_ERR_U, 1u);
        }
        url += portText;
    }
    url += "/";
    url += urlPath;

    // Large records live on the heap; value-initialised, so zeroed.
    auto request = std::make_unique<tagOstHttpRequest>();
    auto cert = std::make_unique<tagOstHttpCertInfo>();
    auto proxy = std::make_unique<tagUTProxyParam>();
    std::vector<tagOstHttpHeader> headers(kFixedHeaderCount);
    std::vector<char> errorText(kOstHttpErrorTextLen, '\0');

    errSum += strcpy_s(request->url, sizeof request->url, url.c_str()) != 0 ? 1u : 0u;
    request->method = 0;
    request->body = data;
    request->bodyLen = dataLen;

    const std::string localIp = ReadCfgText(kCfgItemLocalIp);
    const std::string clientIp = ReadCfgText(kCfgItemClientIp);
    const bool forceVpn = OstGetGlobalInt32CfgWithDefVal(kCfgItemForceVpn, 0) != 0;
    const bool outer = OstGetGlobalInt32CfgWithDefVal(kCfgItemAccessType, 0) == 0;
    errSum += SetHeader(headers[0], kHdrContentType, kHdrContentTypeValue);
    errSum += SetHeader(headers[1], kHdrAuthToken, p.token.c_str());
    errSum += SetHeader(headers[2], kHdrContentEncoding, kHdrContentEncodingValue);
    errSum += SetHeader(headers[3], kHdrUserAgent, userAgent.c_str());
    errSum += SetHeader(headers[4], kHdrUserUuid, uuid.c_str());
    errSum += SetHeader(headers[5], kHdrRealLocalIp, localIp.c_str());
    errSum += SetHeader(headers[6], kHdrForceVpn, forceVpn ? "true" : "false");
    errSum += SetHeader(headers[7], kHdrAccessType, outer ? "outer" : "inner");
    errSum += SetHeader(headers[8], kHdrRealClientIp, clientIp.c_str());
    request->headers = headers.data();
    request->headerCount = kFixedHeaderCount;

    tagOstHttpHeaderPair jwt{kHdrJwt, p.jwtToken.c_str()};
    request->extraHeaders = &jwt;
    request->extraHeaderCount = 1;
    request->errorText = errorText.data();
    request->secure = 1;

    errSum += strcpy_s(cert->certInfo, sizeof cert->certInfo, p.certInfo.c_str()) != 0 ? 1u : 0u;
    cert->certNumber = p.certNumber;
    request->certInfo = cert.get();
    if (!p.isProxyOff) {
        if (ost_http_decrypt_proxy_param(&p.proxy, proxy.get()) != 0) {
            errSum += memset_s(proxy.get(), sizeof *proxy, 0, sizeof *proxy) != 0 ? 1u : 0u;
        }
    }
    request->proxy = proxy.get();
    request->connectTimeoutSec = kRequestConnectTimeoutSec;
    request->totalTimeoutSec = kRequestTotalTimeoutSec;

    // The identifier follows from the body; a body tried before in this process is sent as a
    // repeat of that request. A body whose digest could not be made gets no identifier memory
    // (an empty key would make unrelated bodies repeat each other) and a fresh identifier.
    bool found = false;
    if (!digest.empty()) {
        std::string id = RequestIdFor(digest);
        {
            std::lock_guard<std::mutex> guard(g_requestIdLock);
            auto it = g_requestIds.find(digest);
            if (it != g_requestIds.end()) {
                found = true;
                id = it->second;
            }
        }
        errSum += strcpy_s(request->requestId, sizeof request->requestId, id.c_str()) != 0 ? 1u : 0u;
    }
    const int32_t ret = ost_http_syn_send_ex(request.get(), found ? 1 : 0);
    // The decrypted credentials do not outlive the exchange.
    (void)memset_s(proxy.get(), sizeof *proxy, 0, sizeof *proxy);
    if (errSum != 0) UT_LOGE(UT_SECURE_ERR_U, errSum);

    request->requestId[sizeof request->requestId - 1] = '\0';
    if (!digest.empty()) {
        std::lock_guard<std::mutex> guard(g_requestIdLock);
        if (ret == OST_HTTP_OK) {
            if (found) g_requestIds.erase(digest);
            if (request->responseCode == kResponseOk) RememberAcknowledged(digest);
        } else {
            g_requestIds[digest] = request->requestId;
            // Bodies deleted by the retry policy never succeed; their entries must not pile up.
            if (g_requestIds.size() > UTUploader::kMaxAcknowledged) {
                g_requestIds.erase(g_requestIds.begin() != g_requestIds.find(digest) ? g_requestIds.begin()
                                                                                     : std::next(g_requestIds.begin()));
            }
        }
    }
    if (ret == OST_HTTP_ERR_CERT_VERIFY) {
        tagUploadNotifyRecord record{};
        (void)strncpy_s(record.url, sizeof record.url, request->url, kNotifyUrlChars);
        record.code = static_cast<uint32_t>(kNotifyResult);
        (void)OstRunGlobalCfgCallback(kCfgItemUploadNotify, &record, sizeof record);
    }
    const int32_t responseCode = request->responseCode;
    UT_LOGI(kLogUploadResult, responseCode == kResponseOk ? "success" : "failed", responseCode, request->requestId, ret,
            digest.c_str(), dataLen);
    PAL_MemFreeSetNullD(reinterpret_cast<void **>(&request->responseHeaders));
    PAL_MemFreeSetNullD(reinterpret_cast<void **>(&request->responseBody));
    return responseCode;
}

}  // namespace unified_track
