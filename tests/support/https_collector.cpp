#include "support/https_collector.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <strings.h>

namespace ut_test {

namespace {

bool AddExt(X509 *cert, int nid, const char *value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (ext == nullptr) return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

Json::Value ParseJson(const std::string &text, bool *ok) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    *ok = reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    return value;
}

bool IsEnvelope(const Json::Value &v) {
    if (v.isArray()) return true;
    return v.isObject() && v.size() == 2 && v["data"].isString() && v["user"].isString();
}

}  // namespace

bool CollectedRequest::HasHeader(const std::string &name) const {
    for (const auto &h : headers)
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return true;
    return false;
}

std::string CollectedRequest::Header(const std::string &name) const {
    for (const auto &h : headers)
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    return {};
}

bool MakeSelfSignedCert(const std::string &certPath, const std::string &keyPath) {
    EVP_PKEY *key = EVP_EC_gen("P-256");
    X509 *cert = X509_new();
    bool ok = key != nullptr && cert != nullptr;
    if (ok) {
        X509_set_version(cert, 2);
        unsigned char serial[8];
        FILE *urandom = fopen("/dev/urandom", "rb");
        if (urandom == nullptr || fread(serial, 1, sizeof serial, urandom) != sizeof serial) ok = false;
        if (urandom != nullptr) fclose(urandom);
        serial[0] &= 0x7F;
        BIGNUM *bn = BN_bin2bn(serial, sizeof serial, nullptr);
        ok = ok && bn != nullptr && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert)) != nullptr;
        BN_free(bn);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 7 * 24 * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME *name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("127.0.0.1"),
                                   -1, -1, 0);
        X509_set_issuer_name(cert, name);
        ok = ok && AddExt(cert, NID_basic_constraints, "critical,CA:TRUE") &&
             AddExt(cert, NID_key_usage, "critical,digitalSignature,keyCertSign") &&
             AddExt(cert, NID_ext_key_usage, "serverAuth") &&
             AddExt(cert, NID_subject_key_identifier, "hash") &&
             AddExt(cert, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
        ok = ok && X509_sign(cert, key, EVP_sha256()) > 0;
    }
    if (ok) {
        FILE *c = fopen(certPath.c_str(), "wb");
        FILE *k = fopen(keyPath.c_str(), "wb");
        ok = c != nullptr && k != nullptr && PEM_write_X509(c, cert) == 1 &&
             PEM_write_PrivateKey(k, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
        if (c != nullptr) fclose(c);
        if (k != nullptr) fclose(k);
    }
    X509_free(cert);
    EVP_PKEY_free(key);
    return ok;
}

std::string GzipBytes(const std::string &raw) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&zs, raw.size()) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.data()));
    zs.avail_in = static_cast<uInt>(raw.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return rc == Z_STREAM_END ? out : std::string();
}

std::string GunzipBytes(const std::string &gz) {
    z_stream zs{};
    if (inflateInit2(&zs, 15 + 16) != Z_OK) return {};
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gz.data()));
    zs.avail_in = static_cast<uInt>(gz.size());
    std::string out;
    char buf[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef *>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buf, sizeof buf - zs.avail_out);
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;
    }
    inflateEnd(&zs);
    return rc == Z_STREAM_END ? out : std::string();
}

HttpsCollector::HttpsCollector() {
    caFile_ = dir_.file("collector.pem");
    keyFile_ = dir_.file("collector.key");
    const std::string &key = keyFile_;
    wrongCaFile_ = dir_.file("other.pem");
    if (!MakeSelfSignedCert(caFile_, key) || !MakeSelfSignedCert(wrongCaFile_, dir_.file("other.key"))) {
        throw std::runtime_error("cannot make the test certificate");
    }
    server_ = std::make_unique<httplib::SSLServer>(caFile_.c_str(), key.c_str());
    if (!server_->is_valid()) throw std::runtime_error("cannot start the TLS server");
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_max_count(100000);
    server_->set_payload_max_length(64 * 1024 * 1024);
    server_->set_logger([this](const httplib::Request &req, const httplib::Response &res) {
        CollectedRequest r;
        r.method = req.method;
        r.path = req.path;
        for (const auto &h : req.headers) r.headers.emplace_back(h.first, h.second);
        r.body = req.body;
        bool parsed = false;
        r.envelope = ParseJson(req.body, &parsed);
        r.envelopeOk = parsed && IsEnvelope(r.envelope);
        r.status = res.status;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_.push_back(std::move(r));
        }
        cv_.notify_all();
    });
    server_->Post(".*", [this](const httplib::Request &req, httplib::Response &res) {
        Answer answer;
        bool scripted = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++arrivals_;
            if (!script_.empty()) {
                answer = script_.front();
                script_.pop_front();
                scripted = true;
            }
            cv_.notify_all();
            if (answer.hang) {
                uint64_t gen = releaseGen_;
                cv_.wait(lock, [&] { return stopping_ || releaseGen_ != gen; });
            }
        }
        if (!scripted) {
            bool parsed = false;
            Json::Value v = ParseJson(req.body, &parsed);
            answer.status = (parsed && IsEnvelope(v)) ? 200 : 400;
        }
        res.status = answer.status;
        res.set_content("{}", "application/json");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot bind the TLS server");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only reaches a server that is already running, so wait for it (bounded).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

HttpsCollector::~HttpsCollector() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

void HttpsCollector::Script(std::vector<Answer> answers) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto &a : answers) script_.push_back(a);
}

void HttpsCollector::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++releaseGen_;
    }
    cv_.notify_all();
}

std::vector<CollectedRequest> HttpsCollector::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_;
}

size_t HttpsCollector::Arrivals() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_;
}

size_t HttpsCollector::Completed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_.size();
}

bool HttpsCollector::WaitForArrivals(size_t n, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return arrivals_ >= n; });
}

bool HttpsCollector::WaitForCompleted(size_t n, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done_.size() >= n; });
}

ResettingServer::ResettingServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd_, 16) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        throw std::runtime_error("cannot start the resetting server");
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] {
        while (true) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_) return;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            linger lg{1, 0};  // close with RST
            setsockopt(c, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
            close(c);
            std::lock_guard<std::mutex> lock(mutex_);
            ++accepted_;
        }
    });
}

ResettingServer::~ResettingServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
}

size_t ResettingServer::Accepted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

namespace {
int ListenLocal(int *port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}
}  // namespace

RawTlsServer::RawTlsServer(const std::string &certPath, const std::string &keyPath) {
    SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
    if (ctx == nullptr || SSL_CTX_use_certificate_file(ctx, certPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, keyPath.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(ctx);
        throw std::runtime_error("cannot set up the raw TLS server");
    }
    ctx_ = ctx;
    fd_ = ListenLocal(&port_);
    if (fd_ < 0) throw std::runtime_error("cannot bind the raw TLS server");
    thread_ = std::thread([this] {
        while (true) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_) return;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept(fd_, nullptr, nullptr);
            if (c >= 0) Serve(c);
        }
    });
}

void RawTlsServer::Serve(int client) {
    SSL *ssl = SSL_new(static_cast<SSL_CTX *>(ctx_));
    SSL_set_fd(ssl, client);
    if (SSL_accept(ssl) == 1) {
        std::string data;
        char buf[4096];
        size_t headEnd = std::string::npos;
        size_t need = 0;
        while (true) {
            int n = SSL_read(ssl, buf, sizeof buf);
            if (n <= 0) break;
            data.append(buf, static_cast<size_t>(n));
            if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
                std::string lower = data.substr(0, headEnd);
                for (auto &ch : lower) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
                size_t cl = lower.find("content-length:");
                need = headEnd + 4 + (cl == std::string::npos ? 0 : std::stoul(lower.substr(cl + 15)));
            }
            if (headEnd != std::string::npos && data.size() >= need) break;
        }
        if (headEnd != std::string::npos) {
            std::lock_guard<std::mutex> lock(mutex_);
            heads_.push_back(data.substr(0, headEnd + 2));
        }
        static const char kReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SSL_write(ssl, kReply, sizeof kReply - 1);
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    close(client);
}

RawTlsServer::~RawTlsServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
    SSL_CTX_free(static_cast<SSL_CTX *>(ctx_));
}

std::vector<std::string> RawTlsServer::Heads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heads_;
}

int UnusedLocalPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    if (fd >= 0) close(fd);
    return port;
}

}  // namespace ut_test
