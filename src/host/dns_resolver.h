// The DNS resolver seam: IPv4 look-ups that always end within a bounded time.
// The default resolver uses c-ares with the system's name servers and hosts file; tests install
// their own resolver through Host() (host/host_services.h) or a c-ares resolver pointed at a name
// server of their own. Called on any host thread; a resolver must be callable concurrently.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One answer record of ZSP_NETB_DnsGetIpBySynResolve: 20 bytes; bytes 4 to 7 hold the IPv4
// address in network byte order (first octet first).
struct ZSP_NETB_DNS_RECORD {
    uint32_t family;      // 4 for an IPv4 record
    uint8_t address[16];  // IPv4 in the first four bytes
};
static_assert(sizeof(ZSP_NETB_DNS_RECORD) == 20, "answer record is 20 bytes");

// Result codes of a look-up (0 = success).
enum UTDnsResult : uint32_t {
    UT_DNS_OK = 0,
    UT_DNS_ERR_PARAM = 1,      // null or empty host, no record buffer
    UT_DNS_ERR_NOT_FOUND = 2,  // the name does not exist
    UT_DNS_ERR_NO_IPV4 = 3,    // the name exists but has no IPv4 address
    UT_DNS_ERR_TIMEOUT = 4,    // no answer within the deadline
    UT_DNS_ERR_SERVER = 5,     // the name server refused or failed
    UT_DNS_ERR_INTERNAL = 6,   // the resolver could not be set up
};

// Resolves `host` to IPv4 addresses and writes up to *count records (the capacity on entry); on
// success *count holds the number written. The other arguments are kept for the caller's calling
// convention and are not used. Blocks until the look-up ends, at most the resolver's deadline.
uint32_t ZSP_NETB_DnsGetIpBySynResolve(const char *host, uint32_t flags, ZSP_NETB_DNS_RECORD *records, uint32_t *count,
                                       uint32_t *extra, uint32_t reserved);

namespace unified_track {

using Ipv4Address = std::array<uint8_t, 4>;  // network byte order

class DnsResolver {
public:
    virtual ~DnsResolver() = default;
    // The host's IPv4 addresses in answer order; UT_DNS_OK only with at least one address.
    virtual uint32_t ResolveIpv4(const std::string &host, std::vector<Ipv4Address> *addresses) = 0;
};

// c-ares based resolver. Every look-up uses a channel of its own, so concurrent calls share
// nothing; the deadline covers the whole look-up, however many servers and tries it takes.
class CaresResolver : public DnsResolver {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 5000;
    struct Options {
        uint32_t timeoutMs = kDefaultTimeoutMs;
        // Name servers as "ip:port" separated by ","; empty means the system's. With own servers
        // the hosts file and the search domains are skipped (only the servers answer).
        std::string servers;
    };
    CaresResolver();
    explicit CaresResolver(Options options);
    uint32_t ResolveIpv4(const std::string &host, std::vector<Ipv4Address> *addresses) override;

private:
    Options options_;
};

}  // namespace unified_track
