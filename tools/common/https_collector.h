// A real HTTPS collector on 127.0.0.1: what ut-collector runs, what the demo embeds and what the
// upload tests post to. A self-signed certificate (EC P-256, SAN IP 127.0.0.1 and "localhost") is
// made at start unless one is given; every request is recorded (method, path, headers, body as the
// server decompressed it) and decoded into records; answers can be scripted per request: a status,
// or a hang until Release(). Unscripted requests get 200 when the body is the gzip JSON envelope
// (or an MMR array) and 400 otherwise.
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

#include "common/records.h"

namespace httplib {
class SSLServer;
}

namespace ut_tools {

struct CollectedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::string body;                                          // after the server's gzip decoding
    bool envelopeOk = false;  // body parsed as a JSON object with string "data"/"user", or an array
    Json::Value envelope;
    int status = 0;               // what was answered
    size_t sequence = 0;          // 1 for the first request
    size_t wireBytes = 0;         // body bytes as sent (gzip)
    std::vector<Record> records;  // decoded body; empty when decodeError is set
    std::string decodeError;

    std::string Header(const std::string &name) const;  // case-insensitive; empty when absent
};

struct Answer {
    int status = 200;
    bool hang = false;  // hold the request until Release() (or the collector ends), then answer status
};

struct CollectorOptions {
    std::string certFile, keyFile;  // both empty: a certificate is made
    int port = 0;                   // 0: chosen by the system
    int keepAliveSeconds = 0;       // 0: the server's default; short lets a stop end sooner
};

class HttpsCollector {
public:
    HttpsCollector();  // throws std::runtime_error when it cannot start
    explicit HttpsCollector(const CollectorOptions &options);
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
    // Called on a server thread once a request has been answered, one call at a time.
    void SetObserver(std::function<void(const CollectedRequest &)> observer);

    std::vector<CollectedRequest> Requests() const;  // answered requests
    size_t Arrivals() const;                         // requests whose handler has started
    // Bounded waits (real time), false on time-out.
    bool WaitForArrivals(size_t n, uint32_t timeoutMs = 10000) const;
    bool WaitForCompleted(size_t n, uint32_t timeoutMs = 10000) const;

private:
    std::string dir_;  // scratch folder of the made certificates, removed at the end
    std::string caFile_, wrongCaFile_, keyFile_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::deque<Answer> script_;                               // guarded by mutex_
    std::vector<CollectedRequest> done_;                      // guarded by mutex_
    size_t arrivals_ = 0;                                     // guarded by mutex_
    size_t sequenced_ = 0;                                    // guarded by mutex_
    uint64_t releaseGen_ = 0;                                 // guarded by mutex_
    bool stopping_ = false;                                   // guarded by mutex_
    std::mutex observerMutex_;                                // serialises observer calls
    std::function<void(const CollectedRequest &)> observer_;  // guarded by observerMutex_
};

// Writes a self-signed certificate and key (PEM) for 127.0.0.1/localhost.
bool MakeSelfSignedCert(const std::string &certPath, const std::string &keyPath);

}  // namespace ut_tools
