#include "common/https_collector.h"

#include <httplib.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <strings.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace ut_tools {

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

std::string MakeScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ut_collector_XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
    return tmpl;
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
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("127.0.0.1"), -1,
                                   -1, 0);
        X509_set_issuer_name(cert, name);
        ok = AddExt(cert, NID_basic_constraints, "critical,CA:TRUE") &&
             AddExt(cert, NID_key_usage, "critical,digitalSignature,keyCertSign") &&
             AddExt(cert, NID_ext_key_usage, "serverAuth") && AddExt(cert, NID_subject_key_identifier, "hash") &&
             AddExt(cert, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") && X509_sign(cert, key, EVP_sha256()) > 0;
    }
    if (ok) {
        FILE *c = fopen(certPath.c_str(), "wb");
        const mode_t old = umask(077);  // the private key is the owner's only
        FILE *k = fopen(keyPath.c_str(), "wb");
        umask(old);
        ok = c != nullptr && k != nullptr && PEM_write_X509(c, cert) == 1 &&
             PEM_write_PrivateKey(k, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
        if (c != nullptr) ok = fclose(c) == 0 && ok;
        if (k != nullptr) ok = fclose(k) == 0 && ok;
    }
    BN_free(serial);
    X509_free(cert);
    EVP_PKEY_free(key);
    return ok;
}

HttpsCollector::HttpsCollector() : HttpsCollector(CollectorOptions{}) {}

HttpsCollector::HttpsCollector(const CollectorOptions &options) {
    dir_ = MakeScratchDir();
    wrongCaFile_ = dir_ + "/other.pem";
    if (options.certFile.empty()) {
        caFile_ = dir_ + "/collector.pem";
        keyFile_ = dir_ + "/collector.key";
        if (!MakeSelfSignedCert(caFile_, keyFile_)) throw std::runtime_error("cannot make the certificate");
    } else {
        caFile_ = options.certFile;
        keyFile_ = options.keyFile;
    }
    if (!MakeSelfSignedCert(wrongCaFile_, dir_ + "/other.key")) throw std::runtime_error("cannot make the certificate");
    server_ = std::make_unique<httplib::SSLServer>(caFile_.c_str(), keyFile_.c_str());
    if (!server_->is_valid()) throw std::runtime_error("cannot start the TLS server (certificate or key unusable)");
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_max_count(100000);
    server_->set_payload_max_length(64 * 1024 * 1024);
    if (options.keepAliveSeconds > 0) server_->set_keep_alive_timeout(options.keepAliveSeconds);
    // The logger runs once the answer has gone out: a recorded request is a completed one.
    server_->set_logger([this](const httplib::Request &req, const httplib::Response &res) {
        CollectedRequest r;
        r.method = req.method;
        r.path = req.path;
        r.headers.assign(req.headers.begin(), req.headers.end());
        r.body = req.body;
        r.status = res.status;
        r.envelopeOk = ParseEnvelope(req.body, &r.envelope);
        const std::string length = r.Header("Content-Length");
        r.wireBytes = length.empty() ? req.body.size() : std::strtoul(length.c_str(), nullptr, 10);
        DecodeError error;
        if (!DecodeEnvelope(req.body, KindFromUrlPath(req.path), &r.records, &error)) {
            r.records.clear();
            r.decodeError = error.message;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            r.sequence = ++sequenced_;
        }
        {
            std::lock_guard<std::mutex> lock(observerMutex_);
            if (observer_) observer_(r);
        }
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
    if (options.port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else if (server_->bind_to_port("127.0.0.1", options.port)) {
        port_ = options.port;
    }
    if (port_ <= 0) throw std::runtime_error("cannot bind the TLS server to 127.0.0.1");
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
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
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

void HttpsCollector::SetObserver(std::function<void(const CollectedRequest &)> observer) {
    std::lock_guard<std::mutex> lock(observerMutex_);
    observer_ = std::move(observer);
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

}  // namespace ut_tools
