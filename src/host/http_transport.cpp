#include "host/http_transport.h"

#include <curl/curl.h>
#include <openssl/rand.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <random>
#include <string>

#include "host/services.h"
#include "host/log.h"
#include "host/pal.h"

namespace {

constexpr uint32_t kDefaultConnectSec = 20;
constexpr uint32_t kDefaultTotalSec = 60;
constexpr long kAbortPollMs = 100;
// The response body is not interpreted by the library; keep at most this much of it.
constexpr size_t kMaxKeptResponse = 1024 * 1024;

std::once_flag g_curlInitOnce;
bool g_curlInitOk = false;

std::atomic<uint32_t> g_testConnectMs{0};
std::atomic<uint32_t> g_testTotalMs{0};

thread_local OstHttpAbortCheck t_abortCheck = nullptr;

// One multi handle and one easy handle per thread: the multi handle keeps the connection cache,
// the easy handle its TLS session cache, so a thread that sends again reuses both. A plain
// pointer, not an object with a destructor: registering a thread-exit destructor takes the
// loader's lock, which the library's own unload holds while it joins the upload thread.
struct ThreadHandles {
    CURLM *multi = nullptr;
    CURL *easy = nullptr;
    ~ThreadHandles() {
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (multi != nullptr) curl_multi_cleanup(multi);
    }
};
thread_local ThreadHandles *t_handles = nullptr;

ThreadHandles *Handles() {
    if (t_handles == nullptr) t_handles = new (std::nothrow) ThreadHandles();
    if (t_handles == nullptr) return nullptr;
    if (t_handles->multi == nullptr) t_handles->multi = curl_multi_init();
    if (t_handles->easy == nullptr) t_handles->easy = curl_easy_init();
    if (t_handles->multi == nullptr || t_handles->easy == nullptr) return nullptr;
    return t_handles;
}

struct SlistGuard {
    curl_slist *list = nullptr;
    ~SlistGuard() { curl_slist_free_all(list); }
    bool Append(const std::string &line) {
        curl_slist *next = curl_slist_append(list, line.c_str());
        if (next == nullptr) return false;
        list = next;
        return true;
    }
};

struct Sink {
    std::string data;
    static size_t Write(char *ptr, size_t size, size_t count, void *userdata) {
        auto *self = static_cast<Sink *>(userdata);
        size_t n = size * count;
        if (self->data.size() < kMaxKeptResponse) {
            self->data.append(ptr, std::min(n, kMaxKeptResponse - self->data.size()));
        }
        return n;
    }
};

bool HasLineBreak(const char *text) {
    return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

// "Name: value", or "Name;" for an empty value (libcurl drops "Name:" but sends "Name;" as an
// empty header).
bool AppendHeader(SlistGuard &list, const char *name, const char *value) {
    if (name == nullptr || name[0] == '\0') return true;
    if (HasLineBreak(name) || HasLineBreak(value) || std::strchr(name, ':') != nullptr) return false;
    std::string line(name);
    if (value == nullptr || value[0] == '\0') {
        line += ';';
    } else {
        line += ": ";
        line += value;
    }
    return list.Append(line);
}

void FillRequestId(char *out) {
    unsigned char raw[16];
    if (RAND_bytes(raw, sizeof raw) != 1) {
        std::random_device rd;
        for (auto &b : raw) b = static_cast<unsigned char>(rd());
    }
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < sizeof raw; ++i) {
        out[2 * i] = kHex[raw[i] >> 4];
        out[2 * i + 1] = kHex[raw[i] & 0xF];
    }
    out[32] = '\0';
}

char *CopyOut(const std::string &text) {
    auto *block = static_cast<char *>(PAL_MemMallocS(text.size() + 1, __LINE__, __FILE__));
    if (block != nullptr && !text.empty()) std::memcpy(block, text.data(), text.size());
    return block;
}

int32_t MapCurlResult(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return OST_HTTP_OK;
        case CURLE_PEER_FAILED_VERIFICATION:
            return OST_HTTP_ERR_CERT_VERIFY;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return OST_HTTP_ERR_TLS;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_PROXY:
            return OST_HTTP_ERR_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return OST_HTTP_ERR_TIMEOUT;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return OST_HTTP_ERR_SEND_RECV;
        case CURLE_ABORTED_BY_CALLBACK:
            return OST_HTTP_ERR_ABORTED;
        default:
            return OST_HTTP_ERR_OTHER;
    }
}

long EffectiveMs(uint32_t recordSec, uint32_t defaultSec, uint32_t testMs) {
    uint64_t ms = static_cast<uint64_t>(recordSec == 0 ? defaultSec : recordSec) * 1000u;
    if (testMs != 0 && testMs < ms) ms = testMs;
    return static_cast<long>(ms);
}

int XferInfo(void *, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return (t_abortCheck != nullptr && t_abortCheck()) ? 1 : 0;
}

int32_t SendWithCurl(tagOstHttpRequest *request) {
    std::call_once(g_curlInitOnce, [] { g_curlInitOk = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    ThreadHandles *handles = g_curlInitOk ? Handles() : nullptr;
    if (handles == nullptr) return OST_HTTP_ERR_INIT;
    CURL *easy = handles->easy;
    CURLM *multi = handles->multi;
    curl_easy_reset(easy);

    SlistGuard headers;
    bool ok = true;
    for (uint32_t i = 0; ok && request->headers != nullptr && i < request->headerCount; ++i) {
        const tagOstHttpHeader &h = request->headers[i];
        if (memchr(h.name, '\0', sizeof h.name) == nullptr || memchr(h.value, '\0', sizeof h.value) == nullptr) {
            ok = false;
            break;
        }
        ok = AppendHeader(headers, h.name, h.value);
    }
    for (uint32_t i = 0; ok && request->extraHeaders != nullptr && i < request->extraHeaderCount; ++i) {
        ok = AppendHeader(headers, request->extraHeaders[i].name, request->extraHeaders[i].value);
    }
    ok = ok && AppendHeader(headers, "X-Request-ID", request->requestId);
    // No "Expect: 100-continue" round trip before the body.
    ok = ok && headers.Append("Expect:");
    if (!ok) return OST_HTTP_ERR_PARAM;

    char errorBuffer[CURL_ERROR_SIZE] = {0};
    Sink body;
    Sink head;
    curl_easy_setopt(easy, CURLOPT_URL, request->url);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, request->secure != 0 ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request->body != nullptr ? request->body : "");
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request->body != nullptr ? request->bodyLen : 0));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (request->certInfo != nullptr &&
        memchr(request->certInfo->certInfo, '\0', sizeof request->certInfo->certInfo) != nullptr &&
        request->certInfo->certInfo[0] != '\0') {
        curl_easy_setopt(easy, CURLOPT_CAINFO, request->certInfo->certInfo);
    }
    // An empty proxy text also keeps libcurl from taking one from the environment.
    std::string proxyAddr;
    std::string proxyUser;
    std::string proxyPassword;
    const tagUTProxyParam *proxy = request->proxy;
    if (proxy != nullptr && memchr(proxy->proxyAddr, '\0', sizeof proxy->proxyAddr) != nullptr &&
        memchr(proxy->proxyUser, '\0', sizeof proxy->proxyUser) != nullptr &&
        memchr(proxy->proxyPassword, '\0', sizeof proxy->proxyPassword) != nullptr) {
        proxyAddr = proxy->proxyAddr;
        proxyUser = proxy->proxyUser;
        proxyPassword = proxy->proxyPassword;
    }
    curl_easy_setopt(easy, CURLOPT_PROXY, proxyAddr.c_str());
    if (!proxyAddr.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(proxy->proxyPort));
        if (!proxyUser.empty()) {
            curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxyUser.c_str());
            curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxyPassword.c_str());
        }
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     EffectiveMs(request->connectTimeoutSec, kDefaultConnectSec, g_testConnectMs.load()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                     EffectiveMs(request->totalTimeoutSec, kDefaultTotalSec, g_testTotalMs.load()));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Sink::Write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Sink::Write);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &head);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &XferInfo);

    CURLcode result = CURLE_OK;
    bool aborted = false;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return OST_HTTP_ERR_INIT;
    int running = 1;
    bool multiFailed = false;
    // Our own loop instead of curl_easy_perform: it wakes at least every kAbortPollMs, so a stop
    // of the library aborts a request to a server that hangs without waiting for a time-out.
    while (true) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            multiFailed = true;
            break;
        }
        if (running == 0) break;
        if (t_abortCheck != nullptr && t_abortCheck()) {
            aborted = true;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, kAbortPollMs, nullptr) != CURLM_OK) {
            multiFailed = true;
            break;
        }
    }
    int queued = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) result = msg->data.result;
    }
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_multi_remove_handle(multi, easy);

    int32_t ret = aborted ? OST_HTTP_ERR_ABORTED : (multiFailed ? OST_HTTP_ERR_OTHER : MapCurlResult(result));
    request->responseCode = static_cast<int32_t>(status);
    request->responseHeaders = CopyOut(head.data);
    request->responseBody = CopyOut(body.data);
    request->responseBodyLen = request->responseBody != nullptr ? static_cast<uint32_t>(body.data.size()) : 0;
    if (request->errorText != nullptr) {
        size_t n = std::min(std::strlen(errorBuffer), static_cast<size_t>(kOstHttpErrorTextLen - 1));
        std::memcpy(request->errorText, errorBuffer, n);
        request->errorText[n] = '\0';
    }
    if (ret != OST_HTTP_OK) {
        // curl's own text names the peer's address; only the codes go to the log.
        UT_LOGI("http exchange failed, result: %d, curl code: %d", ret, static_cast<int>(result));
    }
    return ret;
}

}  // namespace

int32_t ost_http_syn_send_ex(tagOstHttpRequest *request, int32_t repeat) {
    if (request == nullptr || memchr(request->url, '\0', sizeof request->url) == nullptr || request->url[0] == '\0' ||
        (request->body == nullptr && request->bodyLen != 0)) {
        return OST_HTTP_ERR_PARAM;
    }
    // The caller's identifier is kept (a body's identifier follows from its bytes); one is made
    // only when none is given.
    if (memchr(request->requestId, '\0', sizeof request->requestId) == nullptr || request->requestId[0] == '\0') {
        FillRequestId(request->requestId);
    }
    request->responseCode = 0;
    // The installed sender runs in place of the network (a test's), after the identifier is filled.
    return unified_track::Host().http->Send(request, repeat);
}

void ost_http_set_thread_abort_check(OstHttpAbortCheck check) {
    t_abortCheck = check;
}

void ost_http_close_thread_connections() {
    delete t_handles;
    t_handles = nullptr;
}

void ost_http_set_test_timeouts_ms(uint32_t connectMs, uint32_t totalMs) {
    g_testConnectMs.store(connectMs);
    g_testTotalMs.store(totalMs);
}

namespace unified_track {
namespace {

class CurlSender : public HttpSender {
public:
    int32_t Send(tagOstHttpRequest *request, int32_t repeat) override {
        (void)repeat;
        try {
            return SendWithCurl(request);
        } catch (...) {
            return OST_HTTP_ERR_OTHER;
        }
    }
};

}  // namespace

HttpSender &CurlHttpSender() {
    // Never destroyed: an upload still running while the process exits may send through it.
    static CurlSender *sender = new CurlSender;
    return *sender;
}

}  // namespace unified_track
