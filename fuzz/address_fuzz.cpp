// The address parsers and the address lists built from them: host:port parsing, IPv6 brackets,
// guaranteed address lists and the reordering of a stored IP list.
#include <stdint.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include <unified_track/ost_config.h>

#include "host/string_helper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // No configuration files: the address look-up below stops at the guaranteed list.
    static const bool folderSet = (SetConfigFilePath("/nonexistent/ut_address_fuzz"), true);
    (void)folderSet;
    const std::string text(reinterpret_cast<const char *>(data), size);

    std::string host;
    int32_t port = -1;
    StringHelper::ParseIpAndPort(text, host, port);
    if (port < 0 || port > 65535) abort();
    StringHelper::ParseIpAndPortV2(text, host, port);
    if (port < 0 || port > 65535 || (host.empty() && port != 0)) abort();
    std::string bracketed = StringHelper::Ipv6AddrCheckAndAddBrackets(text);
    if (bracketed != text && bracketed != "[" + text + "]") abort();

    // The text as a guaranteed address list (NUL ends it, as for any C caller).
    const std::string cText = text.substr(0, text.find('\0'));
    SetGuaranteedIpAddressesList(cText.c_str());
    std::vector<tagADDR_INFO> addrs;
    GetLocalRegionAddrListByServer("https://conf.example", addrs);
    if (addrs.size() > 4) abort();
    for (const tagADDR_INFO &a : addrs) {
        if (a.port <= 0 || a.port > 65535 || a.ip.size() < 7) abort();
    }

    // "host|ips|connected" as a guaranteed domain IP list and an adjustment.
    const size_t bar1 = cText.find('|');
    const size_t bar2 = bar1 == std::string::npos ? std::string::npos : cText.find('|', bar1 + 1);
    if (bar2 != std::string::npos) {
        const std::string h = cText.substr(0, bar1);
        const std::string ips = cText.substr(bar1 + 1, bar2 - bar1 - 1);
        const std::string connected = cText.substr(bar2 + 1);
        tagDOMAIN_IP_LIST list{1, new tagDOMAIN_IP_INFO[1]()};
        h.copy(list.records[0].domain, sizeof(list.records[0].domain));  // may fill it without a NUL
        ips.copy(list.records[0].ips, sizeof(list.records[0].ips));
        if (SetGlobalGuaranteedIpAddressesList(&list) != 0) abort();
        DnsAdjustIpList(h, connected);
        std::vector<std::string> out;
        DnsGetIpFromSetList(h.c_str(), out);
        if (out.size() > 4) abort();
        for (const std::string &ip : out) {
            if (ip.empty() || ip.size() > 511) abort();
        }
    }
    return 0;
}
