// The upload request end to end through libcurl and real TLS to the local collector, and the
// request-record details through the replaceable send function.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include <unified_track/host_services.h>

#include "delivery_fixture.h"
#include "host/http_proxy.h"
#include "support/scoped_host.h"

namespace ut_delivery {
namespace {

using unified_track::UpLoadParam;
using unified_track::UTUploader;

constexpr char kProduct[] = "v1/ops/client/report/product";

UpLoadParam ParamFor(const std::string &addr, int port, const std::string &ca) {
    UpLoadParam p;
    p.serverAddr = addr;
    p.port = static_cast<uint16_t>(port);
    p.token = "tok";
    p.certInfo = ca;
    p.isProxyOff = true;
    return p;
}

int32_t Send(const UpLoadParam &p, const std::string &body, const char *agent = "a", const char *uuid = "u") {
    return UTUploader(p).upload(body.data(), static_cast<uint32_t>(body.size()), kProduct, agent, uuid);
}

// The records the item-129 callback was given.
std::mutex g_notifyMutex;
std::vector<std::vector<uint8_t>> g_notified;  // guarded by g_notifyMutex
int32_t OnNotify(uint32_t, void *buffer, uint32_t size) {
    std::lock_guard<std::mutex> lock(g_notifyMutex);
    g_notified.emplace_back(static_cast<uint8_t *>(buffer), static_cast<uint8_t *>(buffer) + size);
    return 0;
}

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        OstClearGlobalCfg();
        UTUploader::ClearRequestIds();
        OstRegGlobalCfgCallback(129, &OnNotify);
    }
    void TearDown() override {
        ost_http_close_thread_connections();
        OstRegGlobalCfgCallback(129, nullptr);
    }
    UpLoadParam Param() { return ParamFor("127.0.0.1", server_.Port(), server_.CaFile()); }
    ut_test::HttpsCollector server_;
    std::string body_ = ut_test::GzipBytes(Envelope("line one\n"));
};

TEST_F(TransportTest, EveryHeaderGoesOnTheWireEvenWithAnEmptyValue) {
    // The raw server shows the wire: a parsing server drops headers without a value.
    ut_test::RawTlsServer raw(server_.CaFile(), server_.KeyFile());
    OstSetGlobalCfg(140, "10.1.2.3", 8);
    OstSetGlobalCfg(162, "10.9.9.9", 8);
    OstSetGlobalCfg(152, "1", 1);
    OstSetGlobalCfg(153, "2", 1);
    UpLoadParam p = ParamFor("127.0.0.1", raw.Port(), server_.CaFile());
    p.jwtToken = "jwt-value";
    ASSERT_EQ(200, Send(p, body_, "agent/1.0", "uuid-1"));
    OstClearGlobalCfg();
    p.token = "";
    p.jwtToken = "jwt-only";
    ASSERT_EQ(200, Send(p, body_, "", ""));
    const auto heads = raw.Heads();
    ASSERT_EQ(2u, heads.size());
    const std::vector<std::string> lines[2] = {
        {"POST /v1/ops/client/report/product HTTP/1.1", "Content-Type: application/json", "X-Auth-token: tok",
         "Content-Encoding: gzip", "User-Agent: agent/1.0", "X-User-Uuid: uuid-1", "x-real-local-ip: 10.1.2.3",
         "x-force-vpn: true", "x-access-type: inner", "x-real-client-ip: 10.9.9.9", "X-JWT-Authorization: jwt-value"},
        {"X-Auth-token:", "User-Agent:", "X-User-Uuid:", "x-real-local-ip:", "x-real-client-ip:", "x-force-vpn: false",
         "x-access-type: outer", "X-JWT-Authorization: jwt-only"}};
    for (size_t i = 0; i < 2; ++i) {
        for (const auto &line : lines[i])
            EXPECT_NE(std::string::npos, ("\r\n" + heads[i]).find("\r\n" + line + "\r\n")) << line << " missing in\n"
                                                                                           << heads[i];
        EXPECT_EQ(std::string::npos, heads[i].find("Expect:"));
    }
    const size_t id = heads[0].find("\r\nX-Request-ID: ");
    ASSERT_NE(std::string::npos, id);
    EXPECT_EQ(heads[0].find("\r\n", id + 2), heads[0].find_first_not_of("0123456789abcdef", id + 16));
    EXPECT_EQ(id + 16 + 32, heads[0].find("\r\n", id + 2));
}

TEST_F(TransportTest, ACertificateThatDoesNotVerifyFailsAndNotifiesItem129) {
    UpLoadParam p = Param();
    p.certInfo = server_.WrongCaFile();
    EXPECT_EQ(0, Send(p, body_));
    // No certificate text: the system store, which does not know the test certificate either.
    p.certInfo = "";
    EXPECT_EQ(0, Send(p, body_));
    EXPECT_EQ(0u, server_.Arrivals());
    std::lock_guard<std::mutex> lock(g_notifyMutex);
    ASSERT_EQ(2u, g_notified.size());
    const std::vector<uint8_t> &record = g_notified[1];
    ASSERT_EQ(908u, record.size());
    uint32_t head[2], code = 0;
    std::memcpy(head, record.data(), 8);
    std::memcpy(&code, record.data() + 904, 4);
    EXPECT_EQ(0u, head[0] | head[1]);
    EXPECT_EQ("https://127.0.0.1:" + std::to_string(server_.Port()) + "/" + kProduct,
              reinterpret_cast<const char *>(record.data() + 8));
    EXPECT_EQ(304u, code);
}

TEST_F(TransportTest, NothingIsSentWithoutBodyAddressOrTokenOrWithALineBreakInAHeader) {
    ut_test::LogCapture log;
    UpLoadParam p = Param();
    EXPECT_EQ(0, UTUploader(p).upload(nullptr, 10, kProduct, "a", "u"));
    EXPECT_EQ(0, UTUploader(p).upload(body_.data(), 0, kProduct, "a", "u"));
    UpLoadParam noToken = p, noAddr = p, injected = p;
    noToken.token.clear();
    noAddr.serverAddr.clear();
    injected.token = "tok\r\nX-Injected: 1";
    EXPECT_EQ(0, Send(noToken, body_));
    EXPECT_EQ(0, Send(noAddr, body_));
    EXPECT_EQ(0, Send(injected, body_));
    EXPECT_EQ(0u, server_.Arrivals());
    EXPECT_EQ(1u, log.Count("token empty = 1, addr empty = 0"));
    EXPECT_EQ(1u, log.Count("token empty = 0, addr empty = 1"));
}

TEST_F(TransportTest, AnUnreachableProxyFailsWithoutReachingTheServer) {
    tagUTProxyParam proxy{};
    std::snprintf(proxy.proxyAddr, sizeof proxy.proxyAddr, "127.0.0.1");
    proxy.proxyPort = static_cast<uint32_t>(ut_test::UnusedLocalPort());
    UpLoadParam p = Param();
    p.isProxyOff = false;
    ASSERT_EQ(0, ost_http_encrypt_proxy_param(&proxy, &p.proxy));
    EXPECT_EQ(0, Send(p, body_));
    EXPECT_EQ(0u, server_.Arrivals());
}

// ---- the request record, through the replaceable send function ----

struct Seen {
    std::string url, requestId;
    int32_t repeat = -1;
    std::vector<std::pair<std::string, std::string>> headers;
    uint32_t connectTimeout = 0, totalTimeout = 0;
};

class RecordTest : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        fake_.emplace([this](tagOstHttpRequest *r, int32_t repeat) {
            Seen s{r->url, r->requestId, repeat, {}, r->connectTimeoutSec, r->totalTimeoutSec};
            for (uint32_t i = 0; i < r->headerCount; ++i)
                s.headers.emplace_back(r->headers[i].name, r->headers[i].value);
            seen_.push_back(s);
            const int32_t ret = seen_.size() <= results_.size() ? results_[seen_.size() - 1] : 0;
            r->responseCode = ret == 0 ? 200 : 0;
            return ret;
        });
        installed_.emplace(&*fake_);
    }
    UpLoadParam Param() { return ParamFor("ops.example.com", 0, "/etc/ca.pem"); }
    std::vector<Seen> seen_;
    std::vector<int32_t> results_;  // per call, then OK
    std::optional<ut_test::FunctionSender> fake_;
    std::optional<ut_test::ScopedHttpSender> installed_;
};

TEST_F(RecordTest, OverLongTextsAreNotCopiedCutInTheNotificationOrNotSent) {
    ut_test::LogCapture log;
    UpLoadParam p = Param();
    p.token = std::string(1024, 't');  // one more than the value field holds with its NUL
    p.jwtToken = "j";
    Send(p, "a");
    ASSERT_EQ(1u, seen_.size());
    ASSERT_EQ("X-Auth-token", seen_[0].headers.at(1).first);
    EXPECT_EQ("", seen_[0].headers[1].second);
    EXPECT_TRUE(log.Contains("secure func return err:1"));
    // A certificate failure hands the URL to item 129, cut to fit its field.
    results_ = {OST_HTTP_OK, OST_HTTP_ERR_CERT_VERIFY};
    p.serverAddr = std::string(600, 'a');
    Send(p, "b");
    {
        std::lock_guard<std::mutex> lock(g_notifyMutex);
        ASSERT_EQ(1u, g_notified.size());
        const std::string url(reinterpret_cast<const char *>(g_notified[0].data() + 8));
        EXPECT_EQ(511u, url.size());
        EXPECT_EQ(0, url.compare(0, 8, "https://"));
    }
    // An address that does not fit leaves the URL empty, and a request without one is not sent.
    p.serverAddr = std::string(3000, 'h');
    EXPECT_EQ(0, Send(p, "c"));
    EXPECT_EQ(2u, seen_.size());
}

TEST_F(RecordTest, SameBytesRepeatTheFailedRequestUntilItSucceeds) {
    results_ = {OST_HTTP_ERR_TIMEOUT, OST_HTTP_ERR_SEND_RECV, OST_HTTP_OK, OST_HTTP_OK};
    UpLoadParam p = Param();
    for (const char *body : {"same bytes", "other bytes", "same bytes"}) Send(p, body);
    p.port = 8443;  // the URL carries the port only when one is set
    Send(p, "same bytes");
    ASSERT_EQ(4u, seen_.size());
    EXPECT_EQ("https://ops.example.com/v1/ops/client/report/product", seen_[0].url);
    EXPECT_EQ("https://ops.example.com:8443/v1/ops/client/report/product", seen_[3].url);
    EXPECT_EQ(20u, seen_[0].connectTimeout);
    EXPECT_EQ(60u, seen_[0].totalTimeout);
    const int32_t repeats[] = {0, 0, 1, 0};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(repeats[i], seen_[i].repeat) << i;
    EXPECT_EQ(32u, seen_[0].requestId.size());
    EXPECT_NE(seen_[0].requestId, seen_[1].requestId);  // a body of its own gets its own identifier
    EXPECT_EQ(seen_[0].requestId, seen_[2].requestId);
    // The identifier follows from the body, so a success does not change it either.
    EXPECT_EQ(seen_[0].requestId, seen_[3].requestId);
    EXPECT_EQ(unified_track::BodyDigestHex("same bytes", 10).substr(0, 32), seen_[0].requestId);
    EXPECT_EQ(1u, UTUploader::RequestIdCount());  // "other bytes" still waits for its repeat
}

TEST_F(RecordTest, ABodySentAgainByTheNextProcessCarriesTheSameRequestId) {
    results_ = {OST_HTTP_ERR_TIMEOUT};  // killed before the answer came
    Send(Param(), "zip bytes");
    UTUploader::ClearRequestIds();  // what a new process starts with
    Send(Param(), "zip bytes");
    Send(Param(), "other zip bytes");
    ASSERT_EQ(3u, seen_.size());
    EXPECT_EQ(32u, seen_[0].requestId.size());
    EXPECT_EQ(seen_[0].requestId, seen_[1].requestId);
    EXPECT_EQ(0, seen_[1].repeat);  // this process never sent it before
    EXPECT_NE(seen_[0].requestId, seen_[2].requestId);
}

TEST_F(RecordTest, TheMemoryOfFailedAndAcknowledgedBodiesIsBounded) {
    const size_t cap = UTUploader::kMaxAcknowledged;
    results_.assign(cap + 10, OST_HTTP_ERR_TIMEOUT);
    for (size_t i = 0; i < cap + 10; ++i) Send(Param(), "failing " + std::to_string(i));
    EXPECT_EQ(cap, UTUploader::RequestIdCount());
    results_.clear();
    seen_.clear();
    for (size_t i = 0; i < cap + 1; ++i) Send(Param(), "taken " + std::to_string(i));
    auto acknowledged = [](const std::string &body) {
        return UTUploader::WasAcknowledged(unified_track::BodyDigestHex(body.data(), body.size()));
    };
    EXPECT_FALSE(acknowledged("taken 0"));  // the oldest made room
    EXPECT_TRUE(acknowledged("taken 1"));
    EXPECT_TRUE(acknowledged("taken " + std::to_string(cap)));
    EXPECT_FALSE(acknowledged("failing 5"));
}

}  // namespace
}  // namespace ut_delivery
