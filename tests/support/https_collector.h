// Servers on 127.0.0.1 for upload tests. The HTTPS collector itself is the tools' one (a
// self-signed certificate made at start, every request recorded and decoded, answers scripted
// per request); beside it: listeners that reset connections or keep raw request heads.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/gzip_bytes.h"
#include "common/https_collector.h"
#include "support/temp_dir.h"

namespace ut_test {

using ut_tools::Answer;
using ut_tools::CollectedRequest;
using ut_tools::GunzipBytes;
using ut_tools::GzipBytes;
using ut_tools::HttpsCollector;
using ut_tools::MakeSelfSignedCert;

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
    std::vector<std::string> heads_;           // guarded by mutex_
    std::unique_ptr<LocalListener> listener_;  // last: stops before the rest goes
};

// A 127.0.0.1 port on which nothing listens (bound and closed again).
int UnusedLocalPort();

}  // namespace ut_test
