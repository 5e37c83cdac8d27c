// HTTP transport: one blocking HTTPS POST described by a request record. libcurl with OpenSSL;
// TLS peer and host verification are always on (CA: the certificate record's PEM file path, or
// the system store). The handle is kept per thread so that the upload thread reuses its
// connections and TLS sessions; a thread that has sent releases it with
// ost_http_close_thread_connections before it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "host/http_proxy.h"

constexpr uint32_t kOstHttpUrlLen = 2048;
constexpr uint32_t kOstHttpHeaderNameLen = 64;
constexpr uint32_t kOstHttpHeaderValueLen = 1024;
constexpr uint32_t kOstHttpRequestIdLen = 33;  // 32 characters and the NUL
constexpr uint32_t kOstHttpErrorTextLen = 516;
constexpr uint32_t kOstHttpCertTextLen = 512;

struct tagOstHttpHeader {
    char name[kOstHttpHeaderNameLen];
    char value[kOstHttpHeaderValueLen];
};

struct tagOstHttpHeaderPair {
    const char *name;
    const char *value;
};

// Certificate record: the CA bundle as a PEM file path (empty: the system store).
struct tagOstHttpCertInfo {
    char certInfo[kOstHttpCertTextLen];
    uint8_t reserved[1280];
    uint32_t certNumber;
    uint32_t reserved2;
    uint32_t reserved3;
};
static_assert(sizeof(tagOstHttpCertInfo) == 1804, "certificate record layout");

// One request. Texts are NUL-terminated inside their fields. The transport allocates the two
// response blocks with PAL_MemMallocS; the caller releases them with PAL_MemFreeSetNullD.
struct tagOstHttpRequest {
    char url[kOstHttpUrlLen];
    uint32_t method;  // 0: POST
    const void *body;
    uint32_t bodyLen;
    const tagOstHttpHeader *headers;
    uint32_t headerCount;
    const tagOstHttpHeaderPair *extraHeaders;
    uint32_t extraHeaderCount;
    uint32_t reserved1;
    char *errorText;                       // optional, kOstHttpErrorTextLen bytes: why it failed
    char requestId[kOstHttpRequestIdLen];  // in when repeating, out otherwise ("X-Request-ID")
    char pad1[7];
    uint32_t secure;  // 1: HTTPS
    const tagOstHttpCertInfo *certInfo;
    uint32_t reserved2;
    const tagUTProxyParam *proxy;  // empty address: no proxy at all
    uint32_t connectTimeoutSec;
    uint32_t totalTimeoutSec;
    uint32_t reserved3[2];
    char *responseHeaders;     // out: raw header lines, NUL-terminated
    int32_t responseCode;      // out: HTTP status, 0 when none came
    char *responseBody;        // out: body, NUL-terminated
    uint32_t responseBodyLen;  // out
    uint8_t reserved4[4484];
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(sizeof(tagOstHttpRequest) == 6656, "request record layout");
static_assert(offsetof(tagOstHttpRequest, requestId) == 2084, "request record layout");
static_assert(offsetof(tagOstHttpRequest, secure) == 2124, "request record layout");
static_assert(offsetof(tagOstHttpRequest, connectTimeoutSec) == 2140, "request record layout");
static_assert(offsetof(tagOstHttpRequest, responseHeaders) == 2156, "request record layout");
static_assert(offsetof(tagOstHttpRequest, responseCode) == 2160, "request record layout");
static_assert(offsetof(tagOstHttpRequest, responseBody) == 2164, "request record layout");
#endif

// Results of ost_http_syn_send_ex.
enum : int32_t {
    OST_HTTP_OK = 0,             // a response came (any status; see responseCode)
    OST_HTTP_ERR_PARAM = 1,      // the record is unusable
    OST_HTTP_ERR_INIT = 2,       // no handle could be made
    OST_HTTP_ERR_CONNECT = 3,    // no connection (refused, unreachable, proxy failed)
    OST_HTTP_ERR_TIMEOUT = 4,    // a time-out ran out
    OST_HTTP_ERR_TLS = 5,        // the TLS handshake failed
    OST_HTTP_ERR_SEND_RECV = 6,  // the connection broke during the exchange
    OST_HTTP_ERR_ABORTED = 7,    // stopped by the abort check
    OST_HTTP_ERR_OTHER = 8,
    OST_HTTP_ERR_CERT_VERIFY = 304  // the server's certificate did not verify
};

// Sends the request and blocks until the exchange is over. repeat 1 marks a repeat of an earlier
// attempt. requestId is sent as it is when given; when empty a fresh one (32 hex characters) is
// generated and written back. Returns OST_HTTP_*.
int32_t ost_http_syn_send_ex(tagOstHttpRequest *request, int32_t repeat);

// Called from libcurl's progress callback (at least every 100 ms while a request is in flight)
// on the thread that installed it; true aborts the request. Each thread has its own.
using OstHttpAbortCheck = bool (*)();
void ost_http_set_thread_abort_check(OstHttpAbortCheck check);

// Closes the calling thread's connections and releases its handle. Not done at thread exit by
// itself (see the transport's source), so every sending thread calls it before it ends.
void ost_http_close_thread_connections();

// Tests only: caps the time-outs in milliseconds (0 restores the record's values).
void ost_http_set_test_timeouts_ms(uint32_t connectMs, uint32_t totalMs);
