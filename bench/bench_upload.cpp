// Uploads per second to a local HTTPS server through the real transport (libcurl, TLS, one
// reused connection). The server is a minimal keep-alive responder on 127.0.0.1, in this file.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "common/gzip_bytes.h"
#include "common/https_collector.h"
#include "host/http_transport.h"
#include "transport/UTUploader.h"

namespace {

class LocalServer {
public:
    LocalServer() {
        char tmpl[] = "/tmp/ut_bench_upload_XXXXXX";
        dir_ = mkdtemp(tmpl);
        certPath_ = dir_ + "/cert.pem";
        keyPath_ = dir_ + "/key.pem";
        ut_tools::MakeSelfSignedCert(certPath_, keyPath_);
        ctx_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate_file(ctx_, certPath_.c_str(), SSL_FILETYPE_PEM);
        SSL_CTX_use_PrivateKey_file(ctx_, keyPath_.c_str(), SSL_FILETYPE_PEM);

        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        listen(fd_, 16);
        socklen_t len = sizeof addr;
        getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~LocalServer() {
        stop_.store(true);
        thread_.join();
        close(fd_);
        SSL_CTX_free(ctx_);
        std::remove(certPath_.c_str());
        std::remove(keyPath_.c_str());
        rmdir(dir_.c_str());
    }
    int Port() const { return port_; }
    const std::string &CertPath() const { return certPath_; }

private:
    // One connection at a time: the uploader keeps one.
    void Run() {
        while (!stop_.load()) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            SSL *ssl = SSL_new(ctx_);
            SSL_set_fd(ssl, c);
            if (SSL_accept(ssl) == 1) Serve(ssl, c);
            SSL_free(ssl);
            close(c);
        }
    }
    void Serve(SSL *ssl, int c) {
        std::string data;
        char buf[16384];
        static const char kReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Type: application/json\r\n\r\n{}";
        while (!stop_.load()) {
            size_t end = data.find("\r\n\r\n");
            if (end != std::string::npos) {
                size_t cl = 0;
                size_t pos = data.find("Content-Length: ");
                if (pos != std::string::npos && pos < end) cl = std::stoul(data.substr(pos + 16));
                if (data.size() >= end + 4 + cl) {
                    data.erase(0, end + 4 + cl);
                    SSL_write(ssl, kReply, sizeof kReply - 1);
                    continue;
                }
            }
            pollfd p{c, POLLIN, 0};
            if (SSL_pending(ssl) == 0 && poll(&p, 1, 50) <= 0) continue;
            int n = SSL_read(ssl, buf, sizeof buf);
            if (n <= 0) return;
            data.append(buf, static_cast<size_t>(n));
        }
    }

    std::string dir_;
    std::string certPath_;
    std::string keyPath_;
    SSL_CTX *ctx_ = nullptr;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string GzipOf(const std::string &raw) {
    return ut_tools::GzipBytes(raw);
}

void BM_UploadToLocalServer(benchmark::State &state) {
    LocalServer server;
    unified_track::UpLoadParam param;
    param.serverAddr = "127.0.0.1";
    param.port = static_cast<uint16_t>(server.Port());
    param.token = "bench-token";
    param.certInfo = server.CertPath();
    param.isProxyOff = true;
    std::string raw = "{\"data\":\"";
    // Lines that differ enough to compress like real records, not like a repeated pattern.
    for (uint32_t i = 0; raw.size() < static_cast<size_t>(state.range(0)); ++i) {
        raw += "30001|2024-05-01 10:00:00.123 +0800|ut_event_x|" + std::to_string(i * 2654435761u) + "|" +
               std::to_string((i * 40503u) ^ 0x5bd1e995u) + "|c\\n";
    }
    raw += "\",\"user\":\"uuid\"}";
    const std::string body = GzipOf(raw);
    unified_track::UTUploader uploader(param);
    int64_t ok = 0;
    for (auto _ : state) {
        if (uploader.upload(body.data(), static_cast<uint32_t>(body.size()), "v1/ops/client/report/product", "bench",
                            "uuid") == 200) {
            ++ok;
        }
    }
    ost_http_close_thread_connections();
    if (ok != static_cast<int64_t>(state.iterations())) state.SkipWithError("an upload failed");
    state.SetItemsProcessed(ok);
    state.counters["zip_bytes"] = static_cast<double>(body.size());
}

}  // namespace

BENCHMARK(BM_UploadToLocalServer)->Arg(9 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
