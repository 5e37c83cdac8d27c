#include "support/https_collector.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace ut_test {

namespace {

bool AddExt(X509 *cert, int nid, const char *value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    bool ok = ext != nullptr && X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// True when text is the JSON envelope (an object of string "data" and "user") or an MMR array.
bool ParseEnvelope(const std::string &text, Json::Value *v) {
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), v, &errors)) return false;
    return v->isArray() || (v->isObject() && v->size() == 2 && (*v)["data"].isString() && (*v)["user"].isString());
}

// A loopback socket on a port chosen by the system; listening when asked. -1 on failure.
int BindLocal(int *port, bool listening) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        (listening && listen(fd, 16) != 0) || getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

std::string CollectedRequest::Header(const std::string &name) const {
    for (const auto &h : headers)
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    return {};
}

bool MakeSelfSignedCert(const std::string &certPath, const std::string &keyPath) {
    EVP_PKEY *key = EVP_EC_gen("P-256");
    X509 *cert = X509_new();
    BIGNUM *serial = BN_new();
    // A random serial: two certificates with one issuer name must not look like the same one.
    bool ok = key != nullptr && cert != nullptr && serial != nullptr &&
              BN_rand(serial, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
              BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(cert)) != nullptr;
    if (ok) {
        X509_set_version(cert, 2);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 7 * 24 * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME *name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("127.0.0.1"),
                                   -1, -1, 0);
        X509_set_issuer_name(cert, name);
        ok = AddExt(cert, NID_basic_constraints, "critical,CA:TRUE") &&
             AddExt(cert, NID_key_usage, "critical,digitalSignature,keyCertSign") &&
             AddExt(cert, NID_ext_key_usage, "serverAuth") && AddExt(cert, NID_subject_key_identifier, "hash") &&
             AddExt(cert, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
             X509_sign(cert, key, EVP_sha256()) > 0;
    }
    if (ok) {
        FILE *c = fopen(certPath.c_str(), "wb");
        FILE *k = fopen(keyPath.c_str(), "wb");
        ok = c != nullptr && k != nullptr && PEM_write_X509(c, cert) == 1 &&
             PEM_write_PrivateKey(k, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
        if (c != nullptr) fclose(c);
        if (k != nullptr) fclose(k);
    }
    BN_free(serial);
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
    int rc;
    do {  // a truncated stream stops with Z_BUF_ERROR once nothing more can be made
        zs.next_out = reinterpret_cast<Bytef *>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buf, sizeof buf - zs.avail_out);
    } while (rc == Z_OK);
    inflateEnd(&zs);
    return rc == Z_STREAM_END ? out : std::string();
}

HttpsCollector::HttpsCollector() {
    caFile_ = dir_.file("collector.pem");
    keyFile_ = dir_.file("collector.key");
    wrongCaFile_ = dir_.file("other.pem");
    if (!MakeSelfSignedCert(caFile_, keyFile_) || !MakeSelfSignedCert(wrongCaFile_, dir_.file("other.key")))
        throw std::runtime_error("cannot make the test certificate");
    server_ = std::make_unique<httplib::SSLServer>(caFile_.c_str(), keyFile_.c_str());
    if (!server_->is_valid()) throw std::runtime_error("cannot start the TLS server");
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_max_count(100000);
    server_->set_payload_max_length(64 * 1024 * 1024);
    // The logger runs once the answer has gone out: a recorded request is a completed one.
    server_->set_logger([this](const httplib::Request &req, const httplib::Response &res) {
        CollectedRequest r{req.method, req.path, {req.headers.begin(), req.headers.end()}, req.body, false, {},
                           res.status};
        r.envelopeOk = ParseEnvelope(req.body, &r.envelope);
        std::lock_guard<std::mutex> lock(mutex_);
        done_.push_back(std::move(r));
        cv_.notify_all();
    });
    server_->Post(".*", [this](const httplib::Request &req, httplib::Response &res) {
        Json::Value ignored;
        Answer answer{ParseEnvelope(req.body, &ignored) ? 200 : 400, false};
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++arrivals_;
            if (!script_.empty()) {
                answer = script_.front();
                script_.pop_front();
            }
            cv_.notify_all();
            const uint64_t gen = releaseGen_;
            if (answer.hang) cv_.wait(lock, [&] { return stopping_ || releaseGen_ != gen; });
        }
        res.status = answer.status;
        // 204 and 304 carry no body; one would be read as the start of the next response.
        if (answer.status != 204 && answer.status != 304) res.set_content("{}", "application/json");
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
    script_.insert(script_.end(), answers.begin(), answers.end());
}

void HttpsCollector::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++releaseGen_;
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

bool HttpsCollector::WaitForArrivals(size_t n, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return arrivals_ >= n; });
}

bool HttpsCollector::WaitForCompleted(size_t n, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done_.size() >= n; });
}

LocalListener::LocalListener(std::function<void(int)> onClient) {
    fd_ = BindLocal(&port_, true);
    if (fd_ < 0) throw std::runtime_error("cannot start a local listener");
    thread_ = std::thread([this, onClient] {
        while (true) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_) return;
            }
            pollfd p{fd_, POLLIN, 0};  // the short poll lets the destructor stop the loop
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++accepted_;
            }
            onClient(c);
        }
    });
}

LocalListener::~LocalListener() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
    close(fd_);
}

size_t LocalListener::Accepted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

ResettingServer::ResettingServer()
    : LocalListener([](int c) {
          linger lg{1, 0};  // close with RST
          setsockopt(c, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
          close(c);
      }) {}

RawTlsServer::RawTlsServer(const std::string &certPath, const std::string &keyPath) {
    SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
    if (ctx == nullptr || SSL_CTX_use_certificate_file(ctx, certPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, keyPath.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(ctx);
        throw std::runtime_error("cannot set up the raw TLS server");
    }
    ctx_ = ctx;
    listener_ = std::make_unique<LocalListener>([this](int c) { Serve(c); });
}

RawTlsServer::~RawTlsServer() {
    listener_.reset();
    SSL_CTX_free(static_cast<SSL_CTX *>(ctx_));
}

void RawTlsServer::Serve(int client) {
    SSL *ssl = SSL_new(static_cast<SSL_CTX *>(ctx_));
    SSL_set_fd(ssl, client);
    if (SSL_accept(ssl) == 1) {
        // Read the head and as much body as its Content-Length announces, then answer.
        std::string data;
        char buf[4096];
        size_t headEnd = std::string::npos, need = 0;
        for (int n; (n = SSL_read(ssl, buf, sizeof buf)) > 0;) {
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

std::vector<std::string> RawTlsServer::Heads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heads_;
}

int UnusedLocalPort() {
    int port = 0;
    int fd = BindLocal(&port, false);
    if (fd >= 0) close(fd);
    return port;
}

}  // namespace ut_test
