/*
 * Server-address configuration of the SDK (C++ only): the JSON files of the configuration folder,
 * the domain IP lists, DNS look-ups with the stored lists as fall-back, the conference-control and
 * region addresses, the detection domains, the net dial test nodes and the assistant's key words.
 *
 * Every function runs on the caller's thread and may be called from several threads at once,
 * except where a note says otherwise. Results: 0 = success, 1 = failure, unless noted. No
 * exception leaves a function; null pointers and empty texts are refused. The functions take
 * standard-library strings and vectors, so callers must be built against the same standard
 * library. Plain (C) symbol names, except PrintAddr.
 */
#ifndef UNIFIED_TRACK_OST_CONFIG_H
#define UNIFIED_TRACK_OST_CONFIG_H

#ifndef __cplusplus
#error "ost_config.h is a C++ header"
#endif

#include <cstdint>
#include <string>
#include <vector>

#include "export.h"

/* A host and its IP addresses ("ip;ip;...", IPv4 dotted or IPv6 text). 768 bytes. */
struct tagDOMAIN_IP_INFO {
    char domain[256]; /* NUL-terminated, at most 255 characters */
    char ips[512];    /* NUL-terminated, at most 511 characters */
};
static_assert(sizeof(tagDOMAIN_IP_INFO) == 768, "tagDOMAIN_IP_INFO is 768 bytes");

struct tagDOMAIN_IP_LIST {
    uint32_t count;
    tagDOMAIN_IP_INFO *records; /* made with new tagDOMAIN_IP_INFO[count] */
};

/* One address: IPv4 dotted text, host name or bracketed IPv6; port 443 when none was given. */
struct tagADDR_INFO {
    std::string ip;
    int32_t port = 0;
};

/* One net dial test node. */
struct tagNET_DIAL_NODE {
    std::string serviceType;
    std::string protocol;
    std::string domain;
    std::string urlPath;
    uint16_t port = 0;
};

extern "C" {

/* ---- configuration folder and server-domain strategy ---- */

/* Folder of the configuration files; a separator is appended when missing. 1 for null/empty. */
UT_API uint32_t SetConfigFilePath(const char *path);
/* Rewrites "<identity>.com" to "<identity>.<strategy>" in server domains while enabled (the
 * identity comes from "sdkCommonConfig.json"). 1 for a null or empty strategy. */
UT_API uint32_t Ost_SetServerDomainStrategy(const char *strategy, bool enable);
/* Applies the server-domain strategy to `domain` in place. */
UT_API void GetRightServerDomain(std::string &domain);

/* ---- domain IP lists and DNS ---- */

/* Loads "sdkDomainIp.json" once per process (later calls do nothing). Always 0. */
UT_API uint32_t DnsUpdateDomainIpList(void);
/* Appends the host's guaranteed addresses until ipList holds four. 0 found, 1 not found. */
UT_API uint32_t DnsGetIpFromSetList(const char *host, std::vector<std::string> &ipList);
/* The guaranteed addresses, else (replacing ipList) those of "sdkDomainIp.json". 0 found. */
UT_API uint32_t DnsGetIpFromBuffer(const char *host, std::vector<std::string> &ipList);
/* Moves connectedIp to the front of the host's stored list (the guaranteed list or the domain IP
 * list). 0 adjusted, 1 list empty or host not found. */
UT_API uint32_t DnsAdjustConnectedIpToFirst(const std::string &host, const std::string &connectedIp,
                                            bool useGuaranteedList);
/* As above on the guaranteed list when it is not empty, else on the domain IP list. */
UT_API uint32_t DnsAdjustIpList(const std::string &host, const std::string &connectedIp);
/* Replaces the guaranteed domain IP list with a copy of list->records.
 * OWNERSHIP: list->records must come from new tagDOMAIN_IP_INFO[list->count]. When the list is
 * accepted this function releases it with delete[] and sets list->records to null; the caller
 * must not use or free it afterwards. When the function refuses the list (null list, count 0 or
 * null records: result 1) the array stays the caller's. The tagDOMAIN_IP_LIST itself always stays
 * the caller's. A field without a NUL within its size is stored empty. */
UT_API uint32_t SetGlobalGuaranteedIpAddressesList(tagDOMAIN_IP_LIST *list);
/* IPv4 address of host by DNS, written as dotted text into ip (ipSize bytes). 0, or the resolver's
 * non-zero code (ip untouched). An ip buffer too small is logged and left empty; the result is
 * still 0. The look-up ends within the resolver's deadline (5 s by default). */
UT_API uint32_t GetIpByDNS(const char *host, char *ip, uint32_t ipSize);
/* GetIpByDNS; when DNS fails, ip is filled from the stored lists if they know the host, and the
 * result is still DNS's non-zero code. */
UT_API uint32_t GetIpByHost(const char *host, char *ip, uint32_t ipSize);

/* ---- conference-control and region addresses ---- */

/* Up to four IPv4/IPv6 addresses ("ip[:port];[v6]:port;...", host names refused) used before any
 * other source. An empty text empties the list. 1 for null. */
UT_API uint32_t SetGuaranteedIpAddressesList(const char *addrList);
/* Addresses for a server URL: the guaranteed ones, else the region template of the host's
 * configuration cache (key: serverUrl + "local"), else "offlineJoinIp.json". */
UT_API void GetLocalRegionAddrListByServer(const std::string &serverUrl, std::vector<tagADDR_INFO> &addrs);
/* Appends the region template's addresses; true when the cache held a template. */
UT_API bool GetLocalRegionIpListFromTemplate(const std::string &serverUrl, std::vector<tagADDR_INFO> &addrs);
/* Appends the conference-control address of "offlineJoinIp.json"; true when one was appended. */
UT_API bool GetConfctrlAddrFromCfgFile(const std::string &serverUrl, std::vector<tagADDR_INFO> &addrs);
/* The conference-control address text of "offlineJoinIp.json" ("DomainsIntl" when intl). */
UT_API uint32_t GetConfctrlAddr(bool intl, std::string &addr);

/* ---- detection and assistant settings ---- */

/* Domains of "FwDetectIp" in "sdkDetectUrl.json", appended, rewritten by the domain strategy. */
UT_API uint32_t GetFwDetectIps(std::vector<std::string> &domains);
/* Domains of "DomainsIntl" (intl) or "Domains" in "sdkDetectUrl.json", as above. */
UT_API uint32_t GetNetDetectIps(std::vector<std::string> &domains, bool intl);
/* Net dial test nodes of "net_detect_config.json", appended. 1 when the file cannot be read. */
UT_API uint32_t GetNetDetectFromFile(std::vector<tagNET_DIAL_NODE> &nodes);
/* Net dial test nodes of a JSON text, appended: at the root ("standardConfig", "customConfig")
 * when flatLayout, else below "configuration" / "netDialConfig". 1 for null/empty or bad JSON. */
UT_API uint32_t GetNetDetectFromStr(std::vector<tagNET_DIAL_NODE> &nodes, const char *json, bool flatLayout);
/* Key words of "intelligentAssistantConfig.json", appended to the three lists. */
UT_API uint32_t GetWakeupKeyWords(std::vector<std::string> &wakeUpWords, std::vector<std::string> &interruptWords,
                                  std::vector<std::string> &closingWords);

} /* extern "C" */

/* Logs each address ("ip: <ip>port: <port>"). C++ linkage. */
UT_API void PrintAddr(const std::vector<tagADDR_INFO> &addrs);

#endif /* UNIFIED_TRACK_OST_CONFIG_H */
