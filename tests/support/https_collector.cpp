#include "support/https_collector.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace ut_test {

namespace {

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
