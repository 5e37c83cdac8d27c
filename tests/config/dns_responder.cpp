#include "dns_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace ut_test {

DnsResponder::DnsResponder() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (::bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

DnsResponder::~DnsResponder() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
}

void DnsResponder::Serve() {
    uint8_t buf[512];
    while (!stop_.load()) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;  // short polls so that the destructor is prompt
        sockaddr_in from{};
        socklen_t fromLen = sizeof(from);
        ssize_t n = ::recvfrom(fd_, buf, sizeof(buf), 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (n < 12) continue;
        ++queries_;
        Mode mode = mode_.load();
        if (mode == Mode::Silent) continue;
        // Header: id kept; QR, opcode 0, RD copied, RA; rcode by mode; one question.
        size_t q = 12;
        while (q < static_cast<size_t>(n) && buf[q] != 0) q += buf[q] + 1;
        q += 5;  // root label, type, class
        if (q > static_cast<size_t>(n)) continue;
        std::vector<uint8_t> out(buf, buf + q);
        out[2] = static_cast<uint8_t>(0x80 | (buf[2] & 0x01));
        uint8_t rcode = mode == Mode::ServerFailure ? 2 : (mode == Mode::NameError ? 3 : 0);
        out[3] = static_cast<uint8_t>(0x80 | rcode);
        out[4] = 0;
        out[5] = 1;
        out[6] = 0;
        out[7] = mode == Mode::Answer ? 1 : 0;
        std::memset(&out[8], 0, 4);
        if (mode == Mode::Answer) {
            uint32_t a = address_.load();
            const uint8_t rr[] = {0xC0,
                                  0x0C,
                                  0,
                                  1,
                                  0,
                                  1,
                                  0,
                                  0,
                                  0,
                                  60,
                                  0,
                                  4,
                                  static_cast<uint8_t>(a >> 24),
                                  static_cast<uint8_t>(a >> 16),
                                  static_cast<uint8_t>(a >> 8),
                                  static_cast<uint8_t>(a)};
            out.insert(out.end(), rr, rr + sizeof(rr));
        }
        ::sendto(fd_, out.data(), out.size(), 0, reinterpret_cast<sockaddr *>(&from), fromLen);
    }
}

}  // namespace ut_test
