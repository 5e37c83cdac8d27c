// Detection and assistant settings: the detection domains of "sdkDetectUrl.json", the net dial
// test nodes of "net_detect_config.json" (or of a text handed in) and the assistant's key words.
#include <cstring>

#include "config/OstConfigFileOperation.h"
#include "host/export_guard.h"
#include "host/pal.h"

namespace unified_track {
namespace config {

namespace {

std::string DefaultUrlPathOf(const std::string &serviceType) {
    for (const DefaultUrlPath &row : kDefaultUrlPaths) {
        if (serviceType == row.serviceType) return row.urlPath;
    }
    return std::string();
}

const Json::Value &NullValue() {
    static const Json::Value null;
    return null;
}

// root -> key1 -> key2 ..., or the null value where a step is missing.
const Json::Value &Path(const Json::Value &root, std::initializer_list<const char *> keys) {
    const Json::Value *v = &root;
    for (const char *key : keys) {
        v = JsonMember(*v, key);
        if (v == nullptr) return NullValue();
    }
    return *v;
}

}  // namespace

void GetNodeFromJsonArray(std::vector<tagNET_DIAL_NODE> &nodes, const Json::Value &value) {
    // A node list given as an object cannot be walked by index; only an empty one is accepted.
    if (!value.isArray() && !(value.isObject() && value.empty())) {
        OST_LOG(LOG_ERROR, "%s", kLogParaInvalid);
        return;
    }
    if (!value.isArray()) return;
    for (uint32_t i = 0; i < value.size(); ++i) {
        const Json::Value &element = value[i];
        tagNET_DIAL_NODE node;
        if (!JsonString(element, kKeyServiceType, &node.serviceType)) {
            OST_LOG(LOG_ERROR, "%s", kLogServiceTypeNotString);
            continue;
        }
        if (!JsonString(element, kKeyProtocol, &node.protocol)) {
            OST_LOG(LOG_ERROR, "%s", kLogProtocolNotString);
            continue;
        }
        if (!JsonString(element, kKeyDomain, &node.domain)) {
            OST_LOG(LOG_ERROR, "%s", kLogDomainNotString);
            continue;
        }
        JsonString(element, kKeyUrlPath, &node.urlPath);
        if (node.urlPath.empty() && node.protocol == kProtocolHttp) node.urlPath = DefaultUrlPathOf(node.serviceType);
        const Json::Value *port = JsonMember(element, kKeyPort);
        if (port == nullptr || !port->isInt()) {
            OST_LOG(LOG_ERROR, "%s", kLogPortNotInt);
            continue;
        }
        // The port travels in 16 bits: the low bits of the configured number.
        node.port = static_cast<uint16_t>(static_cast<uint32_t>(port->asInt()));
        OST_LOG(LOG_INFO, OST_LOG_NODE, i, node.serviceType.c_str(), node.protocol.c_str(), node.domain.c_str(),
                node.urlPath.c_str(), static_cast<int>(node.port));
        nodes.push_back(std::move(node));
    }
}

void GetStringArrayFromJson(const Json::Value &root, const char *key, std::vector<std::string> &out) {
    const Json::Value *array = JsonMember(root, key);
    if (array == nullptr || !array->isArray()) return;
    for (uint32_t i = 0; i < array->size(); ++i) {
        const Json::Value &element = (*array)[i];
        if (element.isString()) out.push_back(element.asString());
    }
}

}  // namespace config
}  // namespace unified_track

using namespace unified_track::config;
using unified_track::GuardExport;

extern "C" {

UT_API uint32_t GetFwDetectIps(std::vector<std::string> &domains) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t { return GetDomainFromFile(domains, kKeyFwDetectIp); });
}

UT_API uint32_t GetNetDetectIps(std::vector<std::string> &domains, bool intl) {
    return GuardExport(nullptr, 1u,
                       [&]() -> uint32_t { return GetDomainFromFile(domains, intl ? kKeyDomainsIntl : kKeyDomains); });
}

UT_API uint32_t GetNetDetectFromStr(std::vector<tagNET_DIAL_NODE> &nodes, const char *json, bool flatLayout) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (json == nullptr || json[0] == '\0') {
            OST_LOG(LOG_ERROR, "%s", kLogParaInvalid);
            return 1;
        }
        Json::Value root;
        if (!ParseConfigJson(json, &root)) {
            OST_LOG(LOG_ERROR, "%s", kLogJsonParseError);
            return 1;
        }
        if (flatLayout) {
            GetNodeFromJsonArray(nodes, Path(root, {kKeyStandardConfig}));
            GetNodeFromJsonArray(nodes, Path(root, {kKeyCustomConfig}));
        } else {
            GetNodeFromJsonArray(nodes, Path(root, {kKeyConfiguration, kKeyNetDialConfig, kKeyStandardConfig}));
            GetNodeFromJsonArray(nodes, Path(root, {kKeyConfiguration, kKeyNetDialConfig, kKeyCustomConfig}));
        }
        return 0;
    });
}

UT_API uint32_t GetNetDetectFromFile(std::vector<tagNET_DIAL_NODE> &nodes) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        char *raw = nullptr;
        uint32_t r = ReadConfigFile(ConfigFilePath(kNetDetectFile), &raw);
        ConfigText text(raw);
        if (r != 0 || text == nullptr) {
            OST_LOG(LOG_ERROR, OST_LOG_NET_DIAL_RET, static_cast<int>(r));
            return 1;
        }
        ConfigState &st = State();
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        const size_t before = nodes.size();
        uint32_t rs = GetNetDetectFromStr(nodes, text.get(), true);
        if (nodes.size() == before) {
            OST_LOG(LOG_WARN, "%s", kLogNoDetectData);
            return 0;
        }
        OST_LOG(LOG_INFO, OST_LOG_NODES_FROM_JSON, static_cast<unsigned>(nodes.size() - before));
        return rs;
    });
}

UT_API uint32_t GetWakeupKeyWords(std::vector<std::string> &wakeUpWords, std::vector<std::string> &interruptWords,
                                  std::vector<std::string> &closingWords) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        char *raw = nullptr;
        if (ReadConfigFile(ConfigFilePath(kAssistantFile), &raw) != 0) {
            OST_LOG(LOG_ERROR, "%s", kLogReadConfigFileFailed);
            return 1;
        }
        ConfigText text(raw);
        Json::Value root;
        if (!ParseConfigJson(text.get(), &root)) {
            OST_LOG(LOG_ERROR, "%s", kLogParseFailed);
            return 1;
        }
        GetStringArrayFromJson(root, kKeyWakeUpWords, wakeUpWords);
        GetStringArrayFromJson(root, kKeyInterruptWords, interruptWords);
        GetStringArrayFromJson(root, kKeyClosingWords, closingWords);
        return 0;
    });
}

}  // extern "C"
