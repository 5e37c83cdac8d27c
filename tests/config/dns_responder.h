// A tiny name server on 127.0.0.1 (UDP, ephemeral port) for resolver tests: answers every A
// query with one address, with an error code, with no answer record, or not at all.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace ut_test {

class DnsResponder {
public:
    enum class Mode { Answer, NoAnswerRecord, ServerFailure, NameError, Silent };
    DnsResponder();  // binds and starts serving; Port() is 0 when that failed
    ~DnsResponder();
    DnsResponder(const DnsResponder &) = delete;
    DnsResponder &operator=(const DnsResponder &) = delete;

    void SetMode(Mode mode) { mode_.store(mode); }
    void SetAddress(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        address_.store((a << 24) | (b << 16) | (c << 8) | d);
    }
    uint16_t Port() const { return port_; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
    int Queries() const { return queries_.load(); }

private:
    void Serve();
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<Mode> mode_{Mode::Answer};
    std::atomic<uint32_t> address_{0xC0000201};  // 192.0.2.1
    std::atomic<int> queries_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace ut_test
