#include "host/services.h"

#include <atomic>

namespace unified_track {
namespace {

// One slot per service, null meaning the real one; plain atomics so that the hot reads (the
// clock) take no lock.
std::atomic<Clock *> g_clock{nullptr};
std::atomic<HttpSender *> g_http{nullptr};
std::atomic<FileOps *> g_files{nullptr};
std::atomic<DnsResolver *> g_dns{nullptr};

template <typename T>
T *Swap(std::atomic<T *> &slot, T *replacement) {
    return slot.exchange(replacement, std::memory_order_acq_rel);
}

template <typename T>
T &OrDefault(const std::atomic<T *> &slot, T &(*fallback)()) {
    T *p = slot.load(std::memory_order_acquire);
    return p != nullptr ? *p : fallback();
}

}  // namespace

HostServices Host() {
    HostServices s;
    s.clock = &OrDefault(g_clock, &RealClock);
    s.http = &OrDefault(g_http, &CurlHttpSender);
    s.files = &OrDefault(g_files, &SystemFileOps);
    s.dns = &OrDefault(g_dns, &SystemDnsResolver);
    return s;
}

Clock &HostClock() {
    return OrDefault(g_clock, &RealClock);
}

bool HostClockIsReal() {
    return g_clock.load(std::memory_order_acquire) == nullptr;
}

ScopedHostServices::ScopedHostServices(const HostServices &replacements) : installed_(replacements) {
    if (installed_.clock != nullptr) previous_.clock = Swap(g_clock, installed_.clock);
    if (installed_.http != nullptr) previous_.http = Swap(g_http, installed_.http);
    if (installed_.files != nullptr) previous_.files = Swap(g_files, installed_.files);
    if (installed_.dns != nullptr) previous_.dns = Swap(g_dns, installed_.dns);
}

ScopedHostServices::~ScopedHostServices() {
    // Only the slots this guard replaced go back; the previous value may be null (the default).
    if (installed_.clock != nullptr) g_clock.store(previous_.clock, std::memory_order_release);
    if (installed_.http != nullptr) g_http.store(previous_.http, std::memory_order_release);
    if (installed_.files != nullptr) g_files.store(previous_.files, std::memory_order_release);
    if (installed_.dns != nullptr) g_dns.store(previous_.dns, std::memory_order_release);
}

}  // namespace unified_track
