// Server-address configuration: shared state and internal operations.
//
// The exports (include/unified_track/ost_config.h) run on the callers' threads, concurrently.
// Locks, never both held by one thread at a time:
//   ConfigLock():     the configuration folder, the domain strategy and identity, the domain IP
//                     list and its load-once flag; held while a reader parses into a shared list.
//   GuaranteedLock(): the guaranteed domain IP list.
//   TemplateLock():   the guaranteed address list (m_templateArray); a leaf lock.
// Files: OstConfigFileOperation.cpp (folder, readers, domain IP file, strategy, detect URLs),
// config_dns.cpp (IP lists and DNS), config_addr.cpp (conference-control and region
// addresses), config_detect.cpp (net dial nodes and key words), config_json.cpp (parsing).
#pragma once

#include <json/json.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <unified_track/ost_config.h>

#include "config/config_constants.h"
#include "host/log.h"

// Lines of this subsystem carry the operation's own name and the subsystem's source name; from
// inside an export's guard (a lambda) the name is the export's.
#define OST_LOG_FUNC unified_track::config::LogFunctionName(__func__, __PRETTY_FUNCTION__)
#define OST_LOG(level, ...)                                                                                       \
    DoLog(unified_track::config::kLogModule, (level), 0, OST_LOG_FUNC, unified_track::config::kLogFile, __LINE__, \
          __VA_ARGS__)
#define OST_LOG_STREAM(level)                                                                    \
    LogStream::GetLogStream(unified_track::config::kLogModule, (level), LOG_DEBUG, OST_LOG_FUNC, \
                            unified_track::config::kLogFile, __LINE__)

namespace unified_track {
namespace config {
// A lambda's own name is "operator()"; its full name starts with the enclosing function's.
inline const char *LogFunctionName(const char *func, const char *pretty) {
    return std::strcmp(func, "operator()") == 0 ? pretty : func;
}
}  // namespace config
}  // namespace unified_track

namespace unified_track {
namespace config {

using RecursiveMutex = std::recursive_mutex;

struct ConfigState {
    RecursiveMutex configLock;
    std::string configPath;                               // guarded by configLock
    std::string serverDomainStrategy = kDefaultStrategy;  // guarded by configLock
    bool strategyEnabled = false;                         // guarded by configLock
    std::string serverDomainIdentity;                     // guarded by configLock
    std::vector<tagDOMAIN_IP_INFO> domainIpList;          // guarded by configLock
    bool domainIpListLoaded = false;                      // guarded by configLock

    RecursiveMutex guaranteedLock;
    std::vector<tagDOMAIN_IP_INFO> guaranteedDomainIpList;  // guarded by guaranteedLock

    std::mutex templateLock;
    std::vector<tagADDR_INFO> m_templateArray;  // guarded by templateLock; at most 4
};

ConfigState &State();

// The configuration folder joined with a file name (the bare name before a folder is set).
std::string ConfigFilePath(const char *fileName);

// ---- readers: a NUL-terminated block from PAL_MemMallocS, released with PAL_MemFreeSetNullD ----
uint32_t ReadConfigFile(std::string path, char **buffer);       // 1 to 32768 bytes
uint32_t UtilReadFile(const std::string &path, char **buffer);  // at least 1 byte

struct ConfigTextFree {
    void operator()(char *text) const;
};
using ConfigText = std::unique_ptr<char, ConfigTextFree>;

// ---- JSON (config_json.cpp) ----
// Parses text up to its first NUL with the default reader settings; false on any error.
bool ParseConfigJson(const char *text, Json::Value *root);
// The member `key` of an object, or null when `value` is no object or lacks it. Never throws.
const Json::Value *JsonMember(const Json::Value &value, const char *key);
const Json::Value *JsonMember(const Json::Value &value, const std::string &key);
// The member's string, or false when it is missing or not a string.
bool JsonString(const Json::Value &value, const char *key, std::string *out);

// ---- domain IP file, identity and strategy (OstConfigFileOperation.cpp) ----
void GetDomainIpList();       // caller holds configLock
void LoadDomainIpListOnce();  // caller holds configLock
std::string GetServerDomainIdentity();
std::string ApplyServerDomainStrategy(const std::string &domain);
uint32_t GetDomainFromFile(std::vector<std::string> &out, const std::string &key);

// ---- detection (config_detect.cpp) ----
void GetNodeFromJsonArray(std::vector<tagNET_DIAL_NODE> &nodes, const Json::Value &value);
void GetStringArrayFromJson(const Json::Value &root, const char *key, std::vector<std::string> &out);

// First record whose domain equals host and whose ips is not empty; null when none.
tagDOMAIN_IP_INFO *FindDomainRecord(std::vector<tagDOMAIN_IP_INFO> &list, const char *host);

// An address text masked for a log line (addresses are personal data).
std::string MaskAddrs(const std::string &text);
// A text for %s that is never null.
inline const char *Txt(const char *text) {
    return text != nullptr ? text : "";
}

}  // namespace config
}  // namespace unified_track
