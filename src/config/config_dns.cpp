// IP lists and DNS: the guaranteed domain IP list handed in at run time, the domain IP list of
// "sdkDomainIp.json" (loaded once), DNS look-ups with the lists as fall-back, and the reordering
// that puts the address the SDK connected to first.
#include <cstring>

#include "config/OstConfigFileOperation.h"
#include "host/dns_resolver.h"
#include "host/export_guard.h"
#include "host/pal.h"
#include "host/securec.h"
#include "host/string_helper.h"

using namespace unified_track::config;
using unified_track::GuardExport;

namespace {

// Stored addresses cut at ";", bare IPv6 bracketed. Empty pieces are no address and are dropped.
std::vector<std::string> StoredAddrs(const char *ips) {
    std::vector<std::string> out;
    for (const std::string &piece : StringHelper::Split(ips, kIpSeparator)) {
        if (!piece.empty()) out.push_back(StringHelper::Ipv6AddrCheckAndAddBrackets(piece));
    }
    return out;
}

// Copies a field that may lack its NUL; a field without one within its size is refused (the
// target stays empty), so nothing past the caller's record is ever read.
int CopyField(char *dst, size_t dstSize, const char *src, size_t srcSize) {
    size_t len = strnlen(src, srcSize);
    if (len == srcSize) {
        dst[0] = '\0';
        return 1;
    }
    return strcpy_s(dst, dstSize, src);
}

uint32_t AdjustConnectedIpToFirst(std::vector<tagDOMAIN_IP_INFO> &list, const std::string &host,
                                  const std::string &connectedIp) {
    if (list.empty()) return 1;
    tagDOMAIN_IP_INFO *rec = FindDomainRecord(list, host.c_str());
    if (rec == nullptr || host.find('\0') != std::string::npos) return 1;
    const size_t capacity = sizeof(rec->ips) - 1;
    if (connectedIp.size() > capacity || connectedIp.find('\0') != std::string::npos) {
        OST_LOG(LOG_ERROR, OST_LOG_SEC_FUNC_FAILED, 1);
        return 1;
    }
    std::string result = connectedIp;
    for (const std::string &addr : StoredAddrs(rec->ips)) {
        if (addr == connectedIp) continue;
        // The list keeps the addresses that fit; the ones that no longer do fall off the end.
        if (result.size() + 1 + addr.size() > capacity) break;
        result += kIpSeparator;
        result += addr;
    }
    int r = strcpy_s(rec->ips, sizeof(rec->ips), result.c_str());
    if (r != 0) OST_LOG(LOG_ERROR, OST_LOG_SEC_FUNC_FAILED, r);
    OST_LOG(LOG_INFO, OST_LOG_ADJUST, host.c_str(), MaskAddrs(rec->ips).c_str());
    return 0;
}

}  // namespace

extern "C" {

UT_API uint32_t DnsUpdateDomainIpList(void) {
    return GuardExport(nullptr, 0u, [&]() -> uint32_t {
        OST_LOG(LOG_INFO, "%s", kLogUpdateList);
        ConfigState &st = State();
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        LoadDomainIpListOnce();
        return 0;
    });
}

UT_API uint32_t DnsGetIpFromSetList(const char *host, std::vector<std::string> &ipList) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (host == nullptr) return 1;
        ConfigState &st = State();
        std::lock_guard<RecursiveMutex> lock(st.guaranteedLock);
        tagDOMAIN_IP_INFO *rec = FindDomainRecord(st.guaranteedDomainIpList, host);
        if (rec == nullptr) return 1;
        for (const std::string &addr : StoredAddrs(rec->ips)) {
            ipList.push_back(addr);
            if (ipList.size() >= kMaxGuaranteedAddrs) break;
        }
        OST_LOG(LOG_INFO, OST_LOG_FROM_SET_LIST, MaskAddrs(rec->ips).c_str());
        return 0;
    });
}

UT_API uint32_t DnsGetIpFromBuffer(const char *host, std::vector<std::string> &ipList) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (host == nullptr || PAL_StrLen(host) == 0) return 1;
        if (DnsGetIpFromSetList(host, ipList) == 0 && !ipList.empty()) return 0;
        ConfigState &st = State();
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        LoadDomainIpListOnce();
        tagDOMAIN_IP_INFO *rec = FindDomainRecord(st.domainIpList, host);
        if (rec == nullptr) return 1;
        ipList = StoredAddrs(rec->ips);
        OST_LOG(LOG_INFO, OST_LOG_FROM_LIST, host, MaskAddrs(rec->ips).c_str());
        return 0;
    });
}

UT_API uint32_t DnsAdjustConnectedIpToFirst(const std::string &host, const std::string &connectedIp,
                                            bool useGuaranteedList) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        // The lock is recursive: taking it here makes a direct call as safe as DnsAdjustIpList.
        ConfigState &st = State();
        if (useGuaranteedList) {
            std::lock_guard<RecursiveMutex> lock(st.guaranteedLock);
            return AdjustConnectedIpToFirst(st.guaranteedDomainIpList, host, connectedIp);
        }
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        return AdjustConnectedIpToFirst(st.domainIpList, host, connectedIp);
    });
}

UT_API uint32_t DnsAdjustIpList(const std::string &host, const std::string &connectedIp) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (host.empty() || connectedIp.empty()) return 1;
        ConfigState &st = State();
        {
            // The choice and the adjustment happen under one hold of the lock.
            std::lock_guard<RecursiveMutex> lock(st.guaranteedLock);
            if (!st.guaranteedDomainIpList.empty()) {
                return AdjustConnectedIpToFirst(st.guaranteedDomainIpList, host, connectedIp);
            }
        }
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        return AdjustConnectedIpToFirst(st.domainIpList, host, connectedIp);
    });
}

UT_API uint32_t SetGlobalGuaranteedIpAddressesList(tagDOMAIN_IP_LIST *list) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (list == nullptr || list->count == 0 || list->records == nullptr) return 1;
        // From here on the array is ours, whatever happens.
        std::unique_ptr<tagDOMAIN_IP_INFO[]> records(list->records);
        list->records = nullptr;
        const uint32_t count = list->count;
        std::vector<tagDOMAIN_IP_INFO> copy;
        copy.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            tagDOMAIN_IP_INFO rec{};
            const tagDOMAIN_IP_INFO &src = records[i];
            int r1 = CopyField(rec.domain, sizeof(rec.domain), src.domain, sizeof(src.domain));
            int r2 = CopyField(rec.ips, sizeof(rec.ips), src.ips, sizeof(src.ips));
            if (r1 + r2 != 0) OST_LOG(LOG_INFO, OST_LOG_SEC_FUNC_FAILED, r1 + r2);
            copy.push_back(rec);
        }
        records.reset();
        ConfigState &st = State();
        std::lock_guard<RecursiveMutex> lock(st.guaranteedLock);
        st.guaranteedDomainIpList.swap(copy);
        return 0;
    });
}

UT_API uint32_t GetIpByDNS(const char *host, char *ip, uint32_t ipSize) {
    return GuardExport(nullptr, static_cast<uint32_t>(UT_DNS_ERR_INTERNAL), [&]() -> uint32_t {
        ZSP_NETB_DNS_RECORD record;
        memset_s(&record, sizeof(record), 0, sizeof(record));
        uint32_t count = 1;
        uint32_t extra = 0;
        uint32_t r = ZSP_NETB_DnsGetIpBySynResolve(host, 0, &record, &count, &extra, 0);
        if (r != 0) {
            OST_LOG(LOG_ERROR, OST_LOG_DNS_FAIL, r);
            return r;
        }
        const uint8_t *a = record.address;
        int n = sprintf_s(ip, ipSize, "%u.%u.%u.%u", static_cast<unsigned>(a[0]), static_cast<unsigned>(a[1]),
                          static_cast<unsigned>(a[2]), static_cast<unsigned>(a[3]));
        if (n < 0) OST_LOG(LOG_ERROR, UT_SECURE_ERR_D, n);
        return 0;
    });
}

UT_API uint32_t GetIpByHost(const char *host, char *ip, uint32_t ipSize) {
    uint32_t r = UT_DNS_ERR_INTERNAL;
    GuardExport([&] {
        r = GetIpByDNS(host, ip, ipSize);
        if (r != 0) {
            std::vector<std::string> stored;
            DnsGetIpFromBuffer(host, stored);
            if (!stored.empty()) {
                int c = strcpy_s(ip, ipSize, stored.front().c_str());
                if (c != 0) OST_LOG(LOG_ERROR, UT_SECURE_ERR_D, c);
            }
        }
        const char *shown = (ip != nullptr && ipSize > 0 && strnlen(ip, ipSize) < ipSize) ? ip : "";
        OST_LOG(LOG_INFO, OST_LOG_HOST_IP, Txt(host), MaskAddrs(shown).c_str());
    });
    return r;
}

}  // extern "C"
