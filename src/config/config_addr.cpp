// Conference-control and region addresses: the guaranteed address list handed in by the SDK,
// the region template of the host's configuration cache and "offlineJoinIp.json", in that order.
#include <unified_track/host_services.h>

#include "config/OstConfigFileOperation.h"
#include "host/config_cache.h"
#include "host/export_guard.h"
#include "host/pal.h"
#include "host/string_helper.h"

using namespace unified_track::config;
using unified_track::GuardExport;

namespace {

// One piece of an address text as an address, or false when it is refused. Host names are
// accepted only when `allowDomain`.
bool TakeAddr(const std::string &piece, bool allowDomain, tagADDR_INFO *addr, std::string *host) {
    int32_t port = 0;
    StringHelper::ParseIpAndPortV2(piece, *host, port);
    if (host->size() < kMinHostLength || host->find('\0') != std::string::npos) return false;
    const char *h = host->c_str();
    if (PAL_IsIpv4(h) == 0 && PAL_IsIpv6(h) == 0 && !(allowDomain && PAL_IsDomain(h) != 0)) return false;
    addr->ip = StringHelper::Ipv6AddrCheckAndAddBrackets(*host);
    addr->port = port == 0 ? kDefaultPort : port;
    return true;
}

}  // namespace

extern "C" {

UT_API uint32_t GetConfctrlAddr(bool intl, std::string &addr) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        char *raw = nullptr;
        if (ReadConfigFile(ConfigFilePath(kOfflineJoinIpFile), &raw) != 0) {
            OST_LOG(LOG_ERROR, "%s", kLogReadConfigFileFailed);
            return 1;
        }
        ConfigText text(raw);
        Json::Value root;
        if (!ParseConfigJson(text.get(), &root)) {
            OST_LOG(LOG_ERROR, "%s", kLogParseFailed);
            return 1;
        }
        const Json::Value *site = JsonMember(root, intl ? kKeyDomainsIntl : kKeyDomains);
        if (site == nullptr || !site->isObject()) return 1;
        const char *key =
            OstGetGlobalInt32CfgWithDefVal(kCfgItemConfctrlIpv6, 0) != 0 ? kKeyHttpProxyUriIpv6 : kKeyHttpProxyUri;
        std::string value;
        addr = JsonString(*site, key, &value) ? value : std::string();
        return 0;
    });
}

UT_API bool GetConfctrlAddrFromCfgFile(const std::string &serverUrl, std::vector<tagADDR_INFO> &addrs) {
    return GuardExport(nullptr, false, [&]() -> bool {
        const bool intl = serverUrl.find(kIntlMarker) != std::string::npos;
        std::string text;
        if (GetConfctrlAddr(intl, text) == 1) {
            OST_LOG(LOG_ERROR, "%s", kLogConfctrlFailed);
            return false;
        }
        tagADDR_INFO addr;
        int32_t port = 0;
        StringHelper::ParseIpAndPort(text, addr.ip, port);
        addr.port = port > 0 ? port : kDefaultPort;
        addrs.push_back(addr);
        return true;
    });
}

UT_API bool GetLocalRegionIpListFromTemplate(const std::string &serverUrl, std::vector<tagADDR_INFO> &addrs) {
    return GuardExport(nullptr, false, [&]() -> bool {
        OST_LOG_STREAM(LOG_INFO) << kLogTemplateIn << serverUrl;
        std::string value;
        const bool ok = unified_track::QueryConfigCache(serverUrl + kTemplateKeySuffix, value);
        if (!ok || value.empty()) {
            OST_LOG_STREAM(LOG_ERROR) << kLogQueryFailed << (ok ? 1 : 0);
            return false;
        }
        std::string tmpAddrs;
        for (const std::string &piece : StringHelper::Split(value, kIpSeparator)) {
            tagADDR_INFO addr;
            std::string host;
            if (!TakeAddr(piece, true, &addr, &host)) continue;
            addrs.push_back(addr);
            tmpAddrs += host + kIpSeparator;
        }
        OST_LOG_STREAM(LOG_INFO) << kLogTemplateSize << addrs.size() << kLogTmpAddrs << MaskAddrs(tmpAddrs);
        return true;
    });
}

UT_API uint32_t SetGuaranteedIpAddressesList(const char *addrList) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (addrList == nullptr) {
            OST_LOG(LOG_ERROR, "%s", kLogParamNull);
            return 1;
        }
        std::vector<tagADDR_INFO> list;
        std::string tmpAddrs;
        for (const std::string &piece : StringHelper::Split(addrList, kIpSeparator)) {
            tagADDR_INFO addr;
            std::string host;
            if (!TakeAddr(piece, false, &addr, &host)) continue;
            list.push_back(addr);
            tmpAddrs += host + kIpSeparator;
            if (list.size() >= kMaxGuaranteedAddrs) break;
        }
        const size_t size = list.size();
        {
            ConfigState &st = State();
            std::lock_guard<std::mutex> lock(st.templateLock);
            st.m_templateArray.swap(list);
        }
        OST_LOG_STREAM(LOG_INFO) << kLogTemplateSize << size << kLogTmpAddrs << MaskAddrs(tmpAddrs);
        return 0;
    });
}

UT_API void GetLocalRegionAddrListByServer(const std::string &serverUrl, std::vector<tagADDR_INFO> &addrs) {
    GuardExport([&] {
        std::vector<tagADDR_INFO> outer;
        {
            ConfigState &st = State();
            std::lock_guard<std::mutex> lock(st.templateLock);
            outer = st.m_templateArray;
        }
        if (!outer.empty()) {
            addrs = std::move(outer);
            OST_LOG(LOG_INFO, "%s", kLogOuterInput);
            return;
        }
        if (serverUrl.empty()) {
            OST_LOG(LOG_ERROR, "%s", kLogServerUrlEmpty);
            return;
        }
        if (!GetLocalRegionIpListFromTemplate(serverUrl, addrs) || addrs.empty()) {
            GetConfctrlAddrFromCfgFile(serverUrl, addrs);
            OST_LOG(LOG_INFO, "%s", kLogConfigFile);
        }
        PrintAddr(addrs);
    });
}

}  // extern "C"

UT_API void PrintAddr(const std::vector<tagADDR_INFO> &addrs) {
    GuardExport([&] {
        for (const tagADDR_INFO &addr : addrs) {
            OST_LOG_STREAM(LOG_INFO) << kLogIp << MaskAddrs(addr.ip) << kLogPort << static_cast<uint32_t>(addr.port);
        }
    });
}
