// The upload request end to end through libcurl and real TLS to the local collector, and the
// request-record details through the replaceable send function.
#include <gtest/gtest.h>

#include <cstring>

#include <unified_track/host_services.h>

#include "delivery_fixture.h"
#include "host/http_proxy.h"
#include "host/pal.h"
#include "host/http_transport.h"
#include "transport/UTUploader.h"

namespace ut_delivery {
namespace {

using unified_track::UpLoadParam;
using unified_track::UTUploader;

constexpr char kProduct[] = "v1/ops/client/report/product";

UpLoadParam ParamFor(int port, const std::string &ca) {
    UpLoadParam p;
    p.serverAddr = "127.0.0.1";
    p.port = static_cast<uint16_t>(port);
    p.token = "tok";
    p.certInfo = ca;
    p.isProxyOff = true;
    return p;
}

struct NotifySeen {
    std::mutex mutex;
    int calls = 0;
    std::vector<uint8_t> record;
};
NotifySeen &Notify() {
    static NotifySeen seen;
    return seen;
}
void ResetNotify() {
    std::lock_guard<std::mutex> lock(Notify().mutex);
    Notify().calls = 0;
    Notify().record.clear();
}
int32_t OnNotify(uint32_t, void *buffer, uint32_t size) {
    std::lock_guard<std::mutex> lock(Notify().mutex);
    ++Notify().calls;
    auto *p = static_cast<uint8_t *>(buffer);
    Notify().record.assign(p, p + size);
    return 0;
}

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        OstClearGlobalCfg();
        ResetNotify();
        UTUploader::ClearRequestIds();
    }
    void TearDown() override {
        ost_http_close_thread_connections();
        ost_http_set_send_func(nullptr);
        ost_http_set_test_timeouts_ms(0, 0);
        ost_http_set_thread_abort_check(nullptr);
        OstRegGlobalCfgCallback(129, nullptr);
    }
    ut_test::HttpsCollector server_;
    std::string body_ = ut_test::GzipBytes(Envelope("line one\n", "uuid-1"));
};

TEST_F(TransportTest, PostsTheZipOverVerifiedTlsWithEveryHeader) {
    OstSetGlobalCfg(140, "10.1.2.3", 8);
    OstSetGlobalCfg(162, "10.9.9.9", 8);
    OstSetGlobalCfg(152, "1", 1);
    OstSetGlobalCfg(153, "2", 1);
    UpLoadParam p = ParamFor(server_.Port(), server_.CaFile());
    p.jwtToken = "jwt-value";
    UTUploader up(p);
    ASSERT_EQ(200, up.upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "agent/1.0", "uuid-1"));

    // The collector records an exchange just after its answer has gone out.
    ASSERT_TRUE(server_.WaitForCompleted(1));
    auto reqs = server_.Requests();
    ASSERT_EQ(1u, reqs.size());
    const auto &r = reqs[0];
    EXPECT_EQ("POST", r.method);
    EXPECT_EQ("/v1/ops/client/report/product", r.path);
    EXPECT_EQ("application/json", r.Header("Content-Type"));
    EXPECT_EQ("tok", r.Header("X-Auth-token"));
    EXPECT_EQ("gzip", r.Header("Content-Encoding"));
    EXPECT_EQ("agent/1.0", r.Header("User-Agent"));
    EXPECT_EQ("uuid-1", r.Header("X-User-Uuid"));
    EXPECT_EQ("10.1.2.3", r.Header("x-real-local-ip"));
    EXPECT_EQ("true", r.Header("x-force-vpn"));
    EXPECT_EQ("inner", r.Header("x-access-type"));
    EXPECT_EQ("10.9.9.9", r.Header("x-real-client-ip"));
    EXPECT_EQ("jwt-value", r.Header("X-JWT-Authorization"));
    const std::string id = r.Header("X-Request-ID");
    EXPECT_EQ(32u, id.size());
    EXPECT_EQ(std::string::npos, id.find_first_not_of("0123456789abcdef")) << id;
    ASSERT_TRUE(r.envelopeOk);
    EXPECT_EQ("line one\n", r.envelope["data"].asString());
    EXPECT_EQ(0u, UTUploader::RequestIdCount());
}

TEST_F(TransportTest, EmptyValuesAreStillSentAsHeaders) {
    // The raw server shows the wire: a parsing server drops headers without a value.
    ut_test::RawTlsServer raw(server_.CaFile(), server_.KeyFile());
    UpLoadParam p = ParamFor(raw.Port(), server_.CaFile());
    p.token = "";
    p.jwtToken = "jwt-only";
    UTUploader up(p);
    ASSERT_EQ(200, up.upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "", ""));
    ASSERT_EQ(1u, raw.Heads().size());
    const std::string head = raw.Heads()[0];
    EXPECT_NE(std::string::npos, head.find("POST /v1/ops/client/report/product HTTP/1.1\r\n"));
    for (const char *line : {"\r\nX-Auth-token:\r\n", "\r\nUser-Agent:\r\n", "\r\nX-User-Uuid:\r\n",
                             "\r\nx-real-local-ip:\r\n", "\r\nx-real-client-ip:\r\n",
                             "\r\nx-force-vpn: false\r\n", "\r\nx-access-type: outer\r\n",
                             "\r\nX-JWT-Authorization: jwt-only\r\n"}) {
        EXPECT_NE(std::string::npos, head.find(line)) << line << " missing in\n" << head;
    }
    EXPECT_EQ(std::string::npos, head.find("Expect:"));
}

TEST_F(TransportTest, ACertificateThatDoesNotVerifyFailsAndNotifiesItem129) {
    OstRegGlobalCfgCallback(129, &OnNotify);
    UTUploader up(ParamFor(server_.Port(), server_.WrongCaFile()));
    EXPECT_EQ(0, up.upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "a", "u"));
    // No certificate text: the system store, which does not know the test certificate either.
    UTUploader system(ParamFor(server_.Port(), ""));
    EXPECT_EQ(0, system.upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "a", "u"));
    EXPECT_EQ(0u, server_.Arrivals());
    std::lock_guard<std::mutex> lock(Notify().mutex);
    ASSERT_GE(Notify().calls, 1);
    ASSERT_EQ(908u, Notify().record.size());
    uint32_t words[2];
    std::memcpy(words, Notify().record.data(), 8);
    EXPECT_EQ(0u, words[0]);
    EXPECT_EQ(0u, words[1]);
    const std::string url(reinterpret_cast<const char *>(Notify().record.data() + 8));
    EXPECT_EQ("https://127.0.0.1:" + std::to_string(server_.Port()) + "/" + kProduct, url);
    uint32_t code = 0;
    std::memcpy(&code, Notify().record.data() + 904, 4);
    EXPECT_EQ(304u, code);
}

TEST_F(TransportTest, ResetsAndTimeOutsGiveZeroAndTheRetryRepeatsTheRequestId) {
    ut_test::ResettingServer reset;
    UTUploader dropped(ParamFor(reset.Port(), server_.CaFile()));
    EXPECT_EQ(0, dropped.upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "a", "u"));
    EXPECT_EQ(1u, UTUploader::RequestIdCount());
    UTUploader::ClearRequestIds();

    // The first attempt is held by the server past the (shortened) total time-out.
    ost_http_set_test_timeouts_ms(5000, 1500);
    server_.Script({{200, true}, {200, false}});
    UTUploader up(ParamFor(server_.Port(), server_.CaFile()));
    EXPECT_EQ(0, up.upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "a", "u"));
    server_.Release();
    ASSERT_TRUE(server_.WaitForCompleted(1));
    EXPECT_EQ(200, up.upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "a", "u"));
    ASSERT_TRUE(server_.WaitForCompleted(2));
    auto reqs = server_.Requests();
    ASSERT_EQ(2u, reqs.size());
    EXPECT_EQ(reqs[0].Header("X-Request-ID"), reqs[1].Header("X-Request-ID"));
    EXPECT_EQ(0u, UTUploader::RequestIdCount());
}

TEST_F(TransportTest, NothingIsSentWithoutBodyAddressOrToken) {
    ut_test::LogCapture log;
    UpLoadParam p = ParamFor(server_.Port(), server_.CaFile());
    EXPECT_EQ(0, UTUploader(p).upload(nullptr, 10, kProduct, "a", "u"));
    EXPECT_EQ(0, UTUploader(p).upload(body_.data(), 0, kProduct, "a", "u"));
    UpLoadParam noToken = p;
    noToken.token.clear();
    EXPECT_EQ(0, UTUploader(noToken).upload(body_.data(), 5, kProduct, "a", "u"));
    UpLoadParam noAddr = p;
    noAddr.serverAddr.clear();
    EXPECT_EQ(0, UTUploader(noAddr).upload(body_.data(), 5, kProduct, "a", "u"));
    EXPECT_EQ(0u, server_.Arrivals());
    EXPECT_EQ(4u, log.Count("uploading ziped file, data = "));
    EXPECT_EQ(1u, log.Count("token empty = 1, addr empty = 0"));
    EXPECT_EQ(1u, log.Count("token empty = 0, addr empty = 1"));
}

TEST_F(TransportTest, UnreachableProxyFailsWithoutReachingTheServer) {
    tagUTProxyParam proxy{};
    std::snprintf(proxy.proxyAddr, sizeof proxy.proxyAddr, "127.0.0.1");
    proxy.proxyPort = static_cast<uint32_t>(ut_test::UnusedLocalPort());
    auto cert = std::make_unique<tagOstHttpCertInfo>();
    std::snprintf(cert->certInfo, sizeof cert->certInfo, "%s", server_.CaFile().c_str());
    auto req = std::make_unique<tagOstHttpRequest>();
    std::snprintf(req->url, sizeof req->url, "https://127.0.0.1:%d/x", server_.Port());
    req->body = "x";
    req->bodyLen = 1;
    req->secure = 1;
    req->certInfo = cert.get();
    req->proxy = &proxy;
    EXPECT_EQ(OST_HTTP_ERR_CONNECT, ost_http_syn_send_ex(req.get(), 0));
    EXPECT_EQ(0, req->responseCode);
    EXPECT_EQ(0u, server_.Arrivals());
    PAL_MemFreeSetNullD(reinterpret_cast<void **>(&req->responseHeaders));
    PAL_MemFreeSetNullD(reinterpret_cast<void **>(&req->responseBody));
}

std::atomic<bool> g_abort{false};
bool AbortNow() { return g_abort.load(); }

TEST_F(TransportTest, AStopAbortsARequestThatTheServerHolds) {
    server_.Script({{200, true}});
    auto cert = std::make_unique<tagOstHttpCertInfo>();
    std::snprintf(cert->certInfo, sizeof cert->certInfo, "%s", server_.CaFile().c_str());
    auto req = std::make_unique<tagOstHttpRequest>();
    std::snprintf(req->url, sizeof req->url, "https://127.0.0.1:%d/x", server_.Port());
    req->body = "x";
    req->bodyLen = 1;
    req->secure = 1;
    req->certInfo = cert.get();
    req->connectTimeoutSec = 20;
    req->totalTimeoutSec = 60;
    std::atomic<int32_t> result{-1};
    std::thread sender([&] {
        ost_http_set_thread_abort_check(&AbortNow);
        result.store(ost_http_syn_send_ex(req.get(), 0));
        ost_http_close_thread_connections();
    });
    ASSERT_TRUE(server_.WaitForArrivals(1));
    g_abort.store(true);
    EXPECT_TRUE(WaitUntil([&] { return result.load() != -1; }, 10));
    sender.join();
    EXPECT_EQ(OST_HTTP_ERR_ABORTED, result.load());
    server_.Release();
    PAL_MemFreeSetNullD(reinterpret_cast<void **>(&req->responseHeaders));
    PAL_MemFreeSetNullD(reinterpret_cast<void **>(&req->responseBody));
}

TEST_F(TransportTest, HeaderValuesWithLineBreaksAreRefused) {
    UpLoadParam p = ParamFor(server_.Port(), server_.CaFile());
    p.token = "tok\r\nX-Injected: 1";
    EXPECT_EQ(0, UTUploader(p).upload(body_.data(), static_cast<uint32_t>(body_.size()), kProduct, "a", "u"));
    EXPECT_EQ(0u, server_.Arrivals());
}

// ---- the request record, through the replaceable send function ----

struct Seen {
    std::string url;
    std::string requestId;
    int32_t repeat = -1;
    std::vector<std::pair<std::string, std::string>> headers;
    uint32_t connectTimeout = 0, totalTimeout = 0, secure = 0;
    std::string cert;
};

class RecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        OstClearGlobalCfg();
        ResetNotify();
        UTUploader::ClearRequestIds();
        ost_http_set_send_func([this](tagOstHttpRequest *r, int32_t repeat) {
            Seen s;
            s.url = r->url;
            s.requestId = r->requestId;
            s.repeat = repeat;
            for (uint32_t i = 0; i < r->headerCount; ++i) s.headers.emplace_back(r->headers[i].name, r->headers[i].value);
            for (uint32_t i = 0; i < r->extraHeaderCount; ++i)
                s.headers.emplace_back(r->extraHeaders[i].name, r->extraHeaders[i].value);
            s.connectTimeout = r->connectTimeoutSec;
            s.totalTimeout = r->totalTimeoutSec;
            s.secure = r->secure;
            s.cert = r->certInfo->certInfo;
            seen_.push_back(s);
            int32_t ret = results_.empty() ? 0 : results_.front();
            if (!results_.empty()) results_.erase(results_.begin());
            r->responseCode = ret == 0 ? 200 : 0;
            return ret;
        });
    }
    void TearDown() override {
        ost_http_set_send_func(nullptr);
        OstRegGlobalCfgCallback(129, nullptr);
    }
    UpLoadParam Param() {
        UpLoadParam p;
        p.serverAddr = "ops.example.com";
        p.token = "t";
        p.certInfo = "/etc/ca.pem";
        p.isProxyOff = true;
        return p;
    }
    int32_t Send(const UpLoadParam &p, const std::string &body) {
        return UTUploader(p).upload(body.data(), static_cast<uint32_t>(body.size()), kProduct, "ua", "uu");
    }
    std::vector<Seen> seen_;
    std::vector<int32_t> results_;
};

TEST_F(RecordTest, UrlCarriesThePortOnlyWhenSet) {
    UpLoadParam p = Param();
    Send(p, "a");
    p.port = 8443;
    Send(p, "a");
    ASSERT_EQ(2u, seen_.size());
    EXPECT_EQ("https://ops.example.com/v1/ops/client/report/product", seen_[0].url);
    EXPECT_EQ("https://ops.example.com:8443/v1/ops/client/report/product", seen_[1].url);
    EXPECT_EQ(20u, seen_[0].connectTimeout);
    EXPECT_EQ(60u, seen_[0].totalTimeout);
    EXPECT_EQ(1u, seen_[0].secure);
    EXPECT_EQ("/etc/ca.pem", seen_[0].cert);
    const std::vector<std::string> names = {"Content-Type", "X-Auth-token", "Content-Encoding",
                                            "User-Agent", "X-User-Uuid", "x-real-local-ip",
                                            "x-force-vpn", "x-access-type", "x-real-client-ip",
                                            "X-JWT-Authorization"};
    ASSERT_EQ(names.size(), seen_[0].headers.size());
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], seen_[0].headers[i].first);
}

TEST_F(RecordTest, TooLongTextsAreNotCopiedAndTheErrorIsLogged) {
    ut_test::LogCapture log;
    UpLoadParam p = Param();
    p.token = std::string(1024, 't');  // one more than the value field holds with its NUL
    p.jwtToken = "j";
    Send(p, "a");
    ASSERT_EQ(1u, seen_.size());
    EXPECT_EQ("", seen_[0].headers[1].second);
    EXPECT_TRUE(log.Contains("secure func return err:1"));
    // An address that does not fit leaves the URL empty, and a request without one is not sent.
    p.serverAddr = std::string(3000, 'h');
    EXPECT_EQ(0, Send(p, "a"));
    EXPECT_EQ(1u, seen_.size());
}

TEST_F(RecordTest, SameBytesRepeatTheFailedRequestUntilItSucceeds) {
    results_ = {OST_HTTP_ERR_TIMEOUT, OST_HTTP_ERR_SEND_RECV, OST_HTTP_OK, OST_HTTP_OK};
    UpLoadParam p = Param();
    Send(p, "same bytes");
    Send(p, "other bytes");  // OK: a body of its own, and it gets its own identifier
    Send(p, "same bytes");
    Send(p, "same bytes");
    ASSERT_EQ(4u, seen_.size());
    EXPECT_EQ(0, seen_[0].repeat);
    EXPECT_EQ(0, seen_[1].repeat);
    EXPECT_EQ(1, seen_[2].repeat);
    EXPECT_EQ(0, seen_[3].repeat);
    EXPECT_EQ(32u, seen_[0].requestId.size());
    EXPECT_NE(seen_[0].requestId, seen_[1].requestId);
    EXPECT_EQ(seen_[0].requestId, seen_[2].requestId);
    EXPECT_NE(seen_[0].requestId, seen_[3].requestId);
    EXPECT_EQ(1u, UTUploader::RequestIdCount());  // "other bytes" still waits for its repeat
}

TEST_F(RecordTest, Result304RunsTheItem129CallbackWithTheUrlCut) {
    OstRegGlobalCfgCallback(129, &OnNotify);
    results_ = {OST_HTTP_ERR_CERT_VERIFY};
    UpLoadParam p = Param();
    p.serverAddr = std::string(600, 'a');
    Send(p, "x");
    std::lock_guard<std::mutex> lock(Notify().mutex);
    ASSERT_EQ(1, Notify().calls);
    const std::string url(reinterpret_cast<const char *>(Notify().record.data() + 8));
    EXPECT_EQ(511u, url.size());
    EXPECT_EQ(0, url.compare(0, 8, "https://"));
}

}  // namespace
}  // namespace ut_delivery
