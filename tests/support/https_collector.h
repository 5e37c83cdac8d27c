// A real HTTPS collector on 127.0.0.1 for upload tests: a self-signed certificate made at start
// (EC P-256, SAN IP 127.0.0.1 and "localhost"), a port chosen by the system, every request
// recorded (method, path, headers, body as the server decompressed it), answers scripted per
// request: a status, or a hang until Release(). Unscripted requests get 200 when the body is
// the gzip JSON envelope (or MMR array) and 400 otherwise.
#pragma once

#include <json/json.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace httplib {
class SSLServer;
}

namespace ut_test {

struct CollectedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::string body;        // after the server's gzip decoding
    bool envelopeOk = false; // body parsed as a JSON object with string "data"/"user", or an array
    Json::Value envelope;
    int status = 0;          // what was answered

    std::string Header(const std::string &name) const;  // case-insensitive; empty when absent
};

struct Answer {
    int status = 200;
    bool hang = false;  // hold the request until Release() (or the collector ends), then answer status
};

class HttpsCollector {
public:
    HttpsCollector();
    ~HttpsCollector();
    HttpsCollector(const HttpsCollector &) = delete;
    HttpsCollector &operator=(const HttpsCollector &) = delete;

    int Port() const { return port_; }
    // The certificate as a PEM file, to be given as the certificate record.
    const std::string &CaFile() const { return caFile_; }
    // Another self-signed certificate that does not vouch for this server.
    const std::string &WrongCaFile() const { return wrongCaFile_; }
    const std::string &KeyFile() const { return keyFile_; }

    void Script(std::vector<Answer> answers);  // answers for the next requests, in order
    void Release();                            // lets every held request finish

    std::vector<CollectedRequest> Requests() const;  // answered requests
    size_t Arrivals() const;                         // requests whose handler has started
    // Bounded waits (real time), false on time-out.
    bool WaitForArrivals(size_t n, uint32_t timeoutMs = 10000) const;
    bool WaitForCompleted(size_t n, uint32_t timeoutMs = 10000) const;

private:
    TempDir dir_;
    std::string caFile_, wrongCaFile_, keyFile_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::deque<Answer> script_;            // guarded by mutex_
    std::vector<CollectedRequest> done_;   // guarded by mutex_
    size_t arrivals_ = 0;                  // guarded by mutex_
    uint64_t releaseGen_ = 0;              // guarded by mutex_
    bool stopping_ = false;                // guarded by mutex_
};

// A listening socket on 127.0.0.1 whose accepted connections go to a handler on one thread.
class LocalListener {
public:
    explicit LocalListener(std::function<void(int)> onClient);  // the handler closes the socket
    ~LocalListener();
    int Port() const { return port_; }
    size_t Accepted() const;

private:
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    size_t accepted_ = 0;  // guarded by mutex_
    bool stop_ = false;    // guarded by mutex_
};

// Resets each connection at once (RST), before any TLS.
class ResettingServer : public LocalListener {
public:
    ResettingServer();
};

// A TLS server that keeps the raw bytes of each request head, for what a parsing server hides
// (headers with empty values). Answers 200 and closes the connection.
class RawTlsServer {
public:
    RawTlsServer(const std::string &certPath, const std::string &keyPath);
    ~RawTlsServer();
    int Port() const { return listener_->Port(); }
    std::vector<std::string> Heads() const;

private:
    void Serve(int client);
    void *ctx_ = nullptr;  // SSL_CTX
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;  // guarded by mutex_
    std::unique_ptr<LocalListener> listener_;  // last: stops before the rest goes
};

// A 127.0.0.1 port on which nothing listens (bound and closed again).
int UnusedLocalPort();

// Writes a self-signed certificate and key (PEM) for 127.0.0.1/localhost.
bool MakeSelfSignedCert(const std::string &certPath, const std::string &keyPath);

// Gzip of bytes in memory, and the reverse; empty on failure.
std::string GzipBytes(const std::string &raw);
std::string GunzipBytes(const std::string &gz);

}  // namespace ut_test
