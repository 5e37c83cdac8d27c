// The default resolver and the look-up entry point of the network library.
#include "host/dns_resolver.h"

#include "host/services.h"

#include <algorithm>
#include <cstring>

namespace unified_track {
namespace {

// Made at load, like the real clock: it outlives every thread that may still look a name up.
CaresResolver g_defaultResolver;

}  // namespace

DnsResolver &SystemDnsResolver() {
    return g_defaultResolver;
}

}  // namespace unified_track

uint32_t ZSP_NETB_DnsGetIpBySynResolve(const char *host, uint32_t flags, ZSP_NETB_DNS_RECORD *records, uint32_t *count,
                                       uint32_t *extra, uint32_t reserved) {
    (void)flags;
    (void)extra;
    (void)reserved;
    if (host == nullptr || host[0] == '\0' || records == nullptr || count == nullptr || *count == 0) {
        return UT_DNS_ERR_PARAM;
    }
    try {
        std::vector<unified_track::Ipv4Address> addresses;
        uint32_t r = unified_track::Host().dns->ResolveIpv4(host, &addresses);
        if (r != UT_DNS_OK) return r;
        if (addresses.empty()) return UT_DNS_ERR_NO_IPV4;
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(*count, addresses.size()));
        for (uint32_t i = 0; i < n; ++i) {
            ZSP_NETB_DNS_RECORD &rec = records[i];
            std::memset(&rec, 0, sizeof(rec));
            rec.family = 4;
            std::memcpy(rec.address, addresses[i].data(), 4);
        }
        *count = n;
        return UT_DNS_OK;
    } catch (...) {
        return UT_DNS_ERR_INTERNAL;
    }
}
