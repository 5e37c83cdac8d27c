// The default resolver: c-ares, driven by poll() until the answer or the deadline, whichever
// comes first. A name server that never answers costs the deadline and no more.
#include <ares.h>
#include <netdb.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "host/dns_resolver.h"

namespace unified_track {
namespace {

std::once_flag g_initOnce;
int g_initStatus = ARES_ENOTINITIALIZED;

struct Query {
    bool done = false;
    int status = ARES_ETIMEOUT;
    std::vector<Ipv4Address> addresses;
};

void OnHost(void *arg, int status, int timeouts, struct hostent *host) {
    (void)timeouts;
    Query *q = static_cast<Query *>(arg);
    q->done = true;
    q->status = status;
    if (status != ARES_SUCCESS || host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4) {
        return;
    }
    for (char **p = host->h_addr_list; p != nullptr && *p != nullptr; ++p) {
        Ipv4Address a{};
        std::memcpy(a.data(), *p, 4);
        q->addresses.push_back(a);
    }
}

uint32_t MapStatus(int status) {
    switch (status) {
        case ARES_SUCCESS:
            return UT_DNS_OK;
        case ARES_ENOTFOUND:
            return UT_DNS_ERR_NOT_FOUND;
        case ARES_ENODATA:
            return UT_DNS_ERR_NO_IPV4;
        case ARES_ETIMEOUT:
        case ARES_ECANCELLED:
            return UT_DNS_ERR_TIMEOUT;
        case ARES_ENOMEM:
        case ARES_ENOTINITIALIZED:
        case ARES_EDESTRUCTION:
            return UT_DNS_ERR_INTERNAL;
        case ARES_EBADNAME:
            return UT_DNS_ERR_PARAM;
        default:
            return UT_DNS_ERR_SERVER;
    }
}

// Runs the channel until the query is done or the deadline passes (then the query is cancelled).
void Drive(ares_channel channel, const Query &query, std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    while (!query.done) {
        auto now = steady_clock::now();
        if (now >= deadline) break;
        auto left = duration_cast<microseconds>(deadline - now);
        ares_socket_t socks[ARES_GETSOCK_MAXNUM];
        int bits = ares_getsock(channel, socks, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM];
        nfds_t n = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            short events = 0;
            if (ARES_GETSOCK_READABLE(bits, i)) events |= POLLIN;
            if (ARES_GETSOCK_WRITABLE(bits, i)) events |= POLLOUT;
            if (events == 0) continue;
            fds[n].fd = socks[i];
            fds[n].events = events;
            fds[n].revents = 0;
            ++n;
        }
        timeval maxTv{};
        maxTv.tv_sec = static_cast<time_t>(left.count() / 1000000);
        maxTv.tv_usec = static_cast<suseconds_t>(left.count() % 1000000);
        timeval tv{};
        timeval *next = ares_timeout(channel, &maxTv, &tv);
        int waitMs = next == nullptr ? 0 : static_cast<int>(next->tv_sec * 1000 + (next->tv_usec + 999) / 1000);
        int rc = ::poll(fds, n, std::max(waitMs, 1));
        if (rc < 0 && errno != EINTR) break;
        bool any = false;
        for (nfds_t i = 0; i < n && rc > 0; ++i) {
            if (fds[i].revents == 0) continue;
            any = true;
            bool readable = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
            bool writable = (fds[i].revents & POLLOUT) != 0;
            ares_process_fd(channel, readable ? fds[i].fd : ARES_SOCKET_BAD, writable ? fds[i].fd : ARES_SOCKET_BAD);
        }
        if (!any) ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // timers
    }
}

}  // namespace

CaresResolver::CaresResolver() = default;
CaresResolver::CaresResolver(Options options) : options_(std::move(options)) {}

uint32_t CaresResolver::ResolveIpv4(const std::string &host, std::vector<Ipv4Address> *addresses) {
    if (addresses == nullptr || host.empty() || host.find('\0') != std::string::npos) return UT_DNS_ERR_PARAM;
    std::call_once(g_initOnce, [] { g_initStatus = ares_library_init(ARES_LIB_INIT_ALL); });
    if (g_initStatus != ARES_SUCCESS) return UT_DNS_ERR_INTERNAL;

    const uint32_t total = std::max<uint32_t>(options_.timeoutMs, 1);
    ares_options opts{};
    int mask = 0;
    // Two rounds within the deadline; the second waits twice as long (c-ares backs off).
    opts.timeout = static_cast<int>(std::max<uint32_t>(total / 3, 1));
    mask |= ARES_OPT_TIMEOUTMS;
    opts.tries = 2;
    mask |= ARES_OPT_TRIES;
    char dnsOnly[] = "b";
    if (!options_.servers.empty()) {
        opts.flags = ARES_FLAG_NOSEARCH;
        mask |= ARES_OPT_FLAGS;
        opts.lookups = dnsOnly;
        mask |= ARES_OPT_LOOKUPS;
    }
    ares_channel channel = nullptr;
    if (ares_init_options(&channel, &opts, mask) != ARES_SUCCESS) return UT_DNS_ERR_INTERNAL;
    if (!options_.servers.empty() && ares_set_servers_ports_csv(channel, options_.servers.c_str()) != ARES_SUCCESS) {
        ares_destroy(channel);
        return UT_DNS_ERR_PARAM;
    }

    Query query;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(total);
    ares_gethostbyname(channel, host.c_str(), AF_INET, OnHost, &query);
    Drive(channel, query, deadline);
    const bool timedOut = !query.done;
    if (timedOut) ares_cancel(channel);  // runs the callback with ARES_ECANCELLED
    ares_destroy(channel);

    if (timedOut) return UT_DNS_ERR_TIMEOUT;
    uint32_t r = MapStatus(query.status);
    if (r != UT_DNS_OK) return r;
    if (query.addresses.empty()) return UT_DNS_ERR_NO_IPV4;
    *addresses = std::move(query.addresses);
    return UT_DNS_OK;
}

}  // namespace unified_track
