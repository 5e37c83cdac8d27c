// Texts of the server-address configuration: file names, JSON members, cache and store keys and
// log lines, each written once here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unified_track {
namespace config {

constexpr const char *kLogModule = "native_sdk";
constexpr const char *kLogFile = "OstConfigFileOperation";

constexpr uint32_t kMaxConfigFileSize = 32768;
constexpr uint32_t kCfgItemConfctrlIpv6 = 69;    // integer: use the IPv6 conference-control entry
constexpr uint32_t kCfgItemDomainIpBlock = 105;  // the domain IP records handed to other modules
constexpr size_t kMaxGuaranteedAddrs = 4;
constexpr int32_t kDefaultPort = 443;
constexpr size_t kMinHostLength = 7;  // "1.2.3.4"

// Files of the configuration folder.
constexpr const char *kDomainIpFile = "sdkDomainIp.json";
constexpr const char *kCommonConfigFile = "sdkCommonConfig.json";
constexpr const char *kDetectUrlFile = "sdkDetectUrl.json";
constexpr const char *kOfflineJoinIpFile = "offlineJoinIp.json";
constexpr const char *kNetDetectFile = "net_detect_config.json";
constexpr const char *kAssistantFile = "intelligentAssistantConfig.json";

// JSON members.
constexpr const char *kKeyDomains = "Domains";
constexpr const char *kKeyDomainsIntl = "DomainsIntl";
constexpr const char *kKeyFwDetectIp = "FwDetectIp";
constexpr const char *kKeyDomain = "domain";
constexpr const char *kKeyFixIp = "fixIp";
constexpr const char *kKeyDomainIdentity = "lum_domain_identity";
constexpr const char *kKeyHttpProxyUri = "httpProxyUri";
constexpr const char *kKeyHttpProxyUriIpv6 = "httpProxyUriIPv6";
constexpr const char *kKeyStandardConfig = "standardConfig";
constexpr const char *kKeyCustomConfig = "customConfig";
constexpr const char *kKeyConfiguration = "configuration";
constexpr const char *kKeyNetDialConfig = "netDialConfig";
constexpr const char *kKeyServiceType = "serviceType";
constexpr const char *kKeyProtocol = "protocol";
constexpr const char *kKeyUrlPath = "urlPath";
constexpr const char *kKeyPort = "port";
constexpr const char *kKeyWakeUpWords = "wake_up_words_pinyin";
constexpr const char *kKeyInterruptWords = "interrupt_words_pinyin";
constexpr const char *kKeyClosingWords = "closing_words_pinyin";

constexpr const char *kDefaultStrategy = "com";
constexpr const char *kDotCom = ".com";
constexpr const char *kIntlMarker = "intl.";
constexpr const char *kTemplateKeySuffix = "local";
constexpr const char *kProtocolHttp = "http";
constexpr const char *kIpSeparator = ";";

struct DefaultUrlPath {
    const char *serviceType;
    const char *urlPath;
};
constexpr DefaultUrlPath kDefaultUrlPaths[] = {
    {"usg", "v1/usg/acs/heartbeat"}, {"cms", "v1/mmc/control/reliability/probing"},
    {"mrc", "v1/rtc/httpdetect"},    {"ops", "v1/ops/client/report/product"},
    {"obs", "v1/rtc/httpdetect"},
};

// Log lines. Those with values are macros so that the compiler checks their arguments.
constexpr const char *kLogConfigPathEmpty = "domain ip configPath is empty";
constexpr const char *kLogStrategyEmpty = "server domain strategy is empty";
constexpr const char *kLogReadPathEmpty = "configPath is empty";
#define OST_LOG_FILE_SIZE_FAILED "get file size failed! uiRet[%u] lasterror[%d]"
#define OST_LOG_FILE_SIZE_INVALID "uiFileSize:[%u] is invalid!"
#define OST_LOG_MEM_ALLOC "mem alloc[%u]bytes failed"
constexpr const char *kLogOpenDomainFile = "open domain ip config file failed";
constexpr const char *kLogReadDetectFile = "read detect addr config file failed";
constexpr const char *kLogUtilPathEmpty = "filePath is empty";
constexpr const char *kLogOpenConfigFile = "open config file failed";
constexpr const char *kLogReadCommonFile = "read common config file failed";
constexpr const char *kLogParseFailed = "parse domain ip config json failed";
#define OST_LOG_DOMAIN_IP_RECORD "i:%u domain:%s fixIp:%s, dnsDomainCount:%d"
#define OST_LOG_READ_CONFIG_ERROR "read config file [%s] error"
#define OST_LOG_IDENTITY "get server domain identity %s:%s "
#define OST_LOG_DETECT_DOMAIN "i:%u domain:%s"

constexpr const char *kLogUpdateList = "update domain ip list.";
#define OST_LOG_FROM_SET_LIST "get ip from set list: ip:%s"
#define OST_LOG_FROM_LIST "get ip from list host:%s ip:%s"
#define OST_LOG_DNS_FAIL "dns fail, uiRet = %u"
#define OST_LOG_HOST_IP "domain:%s ip:%s"
#define OST_LOG_SEC_FUNC_FAILED "sec func failed! ret:%d"
#define OST_LOG_ADJUST "adjust ip host:%s ip:%s"

constexpr const char *kLogReadConfigFileFailed = "ReadConfigFile failed";
constexpr const char *kLogConfctrlFailed = "GetConfctrlAddr from cfg file failed";
constexpr const char *kLogTemplateIn = "GetLocalRegionIpListFromTemplate IN! ";
constexpr const char *kLogQueryFailed = "QueryConfigCacheByKey failed, result: ";
constexpr const char *kLogTemplateSize = "m_templateArray size: ";
constexpr const char *kLogTmpAddrs = ", tmpAddrs: ";
constexpr const char *kLogParamNull = "param is null";
constexpr const char *kLogOuterInput = "using by outer input.";
constexpr const char *kLogServerUrlEmpty = "server url is empty.";
constexpr const char *kLogConfigFile = "using by config file.";
constexpr const char *kLogIp = "ip: ";
constexpr const char *kLogPort = "port: ";

constexpr const char *kLogParaInvalid = "para is invalid";
constexpr const char *kLogServiceTypeNotString = "serviceType isn't string";
constexpr const char *kLogProtocolNotString = "protocol isn't string";
constexpr const char *kLogDomainNotString = "domain isn't string";
constexpr const char *kLogPortNotInt = "port isn't int";
#define OST_LOG_NODE "i:%u type[%s] proto[%s] domain[%s] url[%s] port[%d]"
constexpr const char *kLogJsonParseError = "json parse error";
#define OST_LOG_NET_DIAL_RET "net_dial_test ret=%d"
constexpr const char *kLogNoDetectData = "net_dial_test json hasn't detect data";
#define OST_LOG_NODES_FROM_JSON "net_dial_test get %u nodes from json"

}  // namespace config
}  // namespace unified_track
