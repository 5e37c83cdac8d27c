// Configuration folder, the two file readers, the domain IP file and its configuration-store
// block, the server-domain identity and strategy, and the detect URL file.
#include "config/OstConfigFileOperation.h"

#include <cstring>
#include <new>

#include "host/config_store.h"
#include "host/export_guard.h"
#include "host/pal.h"
#include "host/path.h"
#include "host/securec.h"

namespace unified_track {
namespace config {

ConfigState &State() {
    static ConfigState state;
    return state;
}

std::string ConfigFilePath(const char *fileName) {
    ConfigState &st = State();
    std::lock_guard<RecursiveMutex> lock(st.configLock);
    return st.configPath + fileName;
}

tagDOMAIN_IP_INFO *FindDomainRecord(std::vector<tagDOMAIN_IP_INFO> &list, const char *host) {
    if (host == nullptr) return nullptr;
    for (tagDOMAIN_IP_INFO &rec : list) {
        if (PAL_StrCmp(rec.domain, host) == 0 && PAL_StrLen(rec.ips) != 0) return &rec;
    }
    return nullptr;
}

namespace {

// The common part of both readers: size checked by the caller's rule, then read whole.
struct ReadTexts {
    const char *openFailed;
    const char *readFailed;
};

uint32_t ReadWhole(const std::string &path, uint64_t size, char **buffer, const ReadTexts &texts, const char *func) {
    const size_t blockSize = static_cast<size_t>(size) + 1;
    *buffer = static_cast<char *>(PAL_MemMallocS(blockSize, __LINE__, kLogFile));
    if (*buffer == nullptr) {
        DoLog(kLogModule, LOG_ERROR, 0, func, kLogFile, __LINE__, OST_LOG_MEM_ALLOC, static_cast<unsigned>(blockSize));
        return 1;
    }
    PAL_FILE *file = PAL_Fopen(path.c_str(), "rb");
    if (file == nullptr) {
        DoLog(kLogModule, LOG_ERROR, 0, func, kLogFile, __LINE__, "%s", texts.openFailed);
        PAL_MemFreeSetNullD(reinterpret_cast<void **>(buffer));
        return 1;
    }
    if (PAL_Fread(*buffer, 1, static_cast<size_t>(size), file) == 0) {
        DoLog(kLogModule, LOG_ERROR, 0, func, kLogFile, __LINE__, "%s", texts.readFailed);
        PAL_MemFreeSetNullD(reinterpret_cast<void **>(buffer));
        PAL_Fclose(file);
        return 1;
    }
    PAL_Fclose(file);
    return 0;
}

}  // namespace

uint32_t ReadConfigFile(std::string path, char **buffer) {
    if (buffer == nullptr) return 1;
    *buffer = nullptr;
    if (path.empty()) {
        OST_LOG(LOG_ERROR, "%s", kLogReadPathEmpty);
        return 1;
    }
    uint64_t size = 0;
    int r = PAL_GetFileSize(path.c_str(), &size);
    if (r != 0) {
        int lastError = PAL_GetLastErr();
        OST_LOG(LOG_ERROR, OST_LOG_FILE_SIZE_FAILED, static_cast<unsigned>(r), lastError);
        return 1;
    }
    if (size == 0 || size > kMaxConfigFileSize) {
        OST_LOG(LOG_ERROR, OST_LOG_FILE_SIZE_INVALID, static_cast<unsigned>(size));
        return 1;
    }
    if (ReadWhole(path, size, buffer, {kLogOpenDomainFile, kLogReadDetectFile}, __func__) != 0) return 1;
    PAL_Chmod(path.c_str(), 0);
    return 0;
}

uint32_t UtilReadFile(const std::string &path, char **buffer) {
    if (buffer == nullptr) return 1;
    *buffer = nullptr;
    if (path.empty()) {
        OST_LOG(LOG_ERROR, "%s", kLogUtilPathEmpty);
        return 1;
    }
    uint64_t size = 0;
    int r = PAL_GetFileSize(path.c_str(), &size);
    if (r != 0) {
        int lastError = PAL_GetLastErr();
        OST_LOG(LOG_ERROR, OST_LOG_FILE_SIZE_FAILED, static_cast<unsigned>(r), lastError);
        return 1;
    }
    if (size == 0) {
        OST_LOG(LOG_ERROR, OST_LOG_FILE_SIZE_INVALID, 0u);
        return 1;
    }
    if (size >= SIZE_MAX) {  // cannot add the terminating NUL
        OST_LOG(LOG_ERROR, OST_LOG_MEM_ALLOC, 0u);
        return 1;
    }
    return ReadWhole(path, size, buffer, {kLogOpenConfigFile, kLogReadCommonFile}, __func__);
}

void GetDomainIpList() {
    ConfigState &st = State();
    st.domainIpList.clear();
    char *raw = nullptr;
    if (ReadConfigFile(ConfigFilePath(kDomainIpFile), &raw) != 0) return;
    ConfigText text(raw);
    Json::Value root;
    if (!ParseConfigJson(text.get(), &root)) {
        OST_LOG(LOG_ERROR, "%s", kLogParseFailed);
        return;
    }
    const Json::Value *domains = JsonMember(root, kKeyDomains);
    if (domains == nullptr || !domains->isArray()) return;

    const uint32_t n = domains->size();
    const size_t recordSize = sizeof(tagDOMAIN_IP_INFO);
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[static_cast<size_t>(n) * recordSize + 8]());
    if (block == nullptr) {
        OST_LOG(LOG_ERROR, OST_LOG_MEM_ALLOC, static_cast<unsigned>(n * recordSize + 8));
    }
    size_t pos = 4;
    uint32_t copied = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const Json::Value &element = (*domains)[i];
        // An element that is no object is left out of the list and of the block.
        if (!element.isObject()) continue;
        tagDOMAIN_IP_INFO rec{};
        std::string value;
        int r1 = JsonString(element, kKeyDomain, &value) ? strcpy_s(rec.domain, sizeof(rec.domain), value.c_str()) : 0;
        int r2 = JsonString(element, kKeyFixIp, &value) ? strcpy_s(rec.ips, sizeof(rec.ips), value.c_str()) : 0;
        if (r1 + r2 != 0) OST_LOG(LOG_ERROR, UT_SECURE_ERR_U, static_cast<unsigned>(r1 + r2));
        if (block != nullptr) {
            std::memcpy(block.get() + pos, &rec, recordSize);
            pos += recordSize;
            ++copied;
        }
        st.domainIpList.push_back(rec);
        OST_LOG(LOG_INFO, OST_LOG_DOMAIN_IP_RECORD, i, rec.domain, MaskAddrs(rec.ips).c_str(),
                static_cast<int>(copied));
    }
    if (block != nullptr) {
        // The count in front says how many records follow; a zero word ends the block.
        std::memcpy(block.get(), &copied, sizeof(copied));
        OstSetGlobalCfg(kCfgItemDomainIpBlock, block.get(), static_cast<uint32_t>(pos + 4));
    }
}

void LoadDomainIpListOnce() {
    ConfigState &st = State();
    if (st.domainIpListLoaded) return;
    GetDomainIpList();
    st.domainIpListLoaded = true;
}

std::string GetServerDomainIdentity() {
    ConfigState &st = State();
    std::lock_guard<RecursiveMutex> lock(st.configLock);
    if (!st.serverDomainIdentity.empty()) return st.serverDomainIdentity;
    const std::string path = ConfigFilePath(kCommonConfigFile);
    char *raw = nullptr;
    uint32_t r = UtilReadFile(path, &raw);
    ConfigText text(raw);
    PAL_Chmod(path.c_str(), 0);
    if (r != 0 || text == nullptr) {
        OST_LOG(LOG_ERROR, OST_LOG_READ_CONFIG_ERROR, LogStream::FilterWord(path, LOG_FILTER_PATH).c_str());
        return std::string();
    }
    Json::Value root;
    std::string identity;
    if (ParseConfigJson(text.get(), &root) && JsonString(root, kKeyDomainIdentity, &identity)) {
        st.serverDomainIdentity = identity;
        OST_LOG(LOG_INFO, OST_LOG_IDENTITY, kKeyDomainIdentity, identity.c_str());
    }
    return st.serverDomainIdentity;
}

std::string ApplyServerDomainStrategy(const std::string &domain) {
    ConfigState &st = State();
    std::string strategy;
    {
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        if (!st.strategyEnabled) return domain;
        strategy = st.serverDomainStrategy;
    }
    const std::string identity = GetServerDomainIdentity();
    if (identity.empty()) return domain;
    const std::string from = identity + kDotCom;
    const size_t pos = domain.find(from);
    if (pos == std::string::npos) return domain;
    std::string out = domain;
    out.replace(pos, from.size(), identity + "." + strategy);
    return out;
}

uint32_t GetDomainFromFile(std::vector<std::string> &out, const std::string &key) {
    ConfigState &st = State();
    std::lock_guard<RecursiveMutex> lock(st.configLock);
    char *raw = nullptr;
    if (ReadConfigFile(ConfigFilePath(kDetectUrlFile), &raw) != 0) return 1;
    ConfigText text(raw);
    Json::Value root;
    if (!ParseConfigJson(text.get(), &root)) {
        OST_LOG(LOG_ERROR, "%s", kLogParseFailed);
        return 1;
    }
    const Json::Value *array = JsonMember(root, key);
    if (array == nullptr || !array->isArray()) return 0;
    for (uint32_t i = 0; i < array->size(); ++i) {
        std::string domain;
        if (!JsonString((*array)[i], kKeyDomain, &domain)) continue;
        out.push_back(ApplyServerDomainStrategy(domain));
        OST_LOG(LOG_INFO, OST_LOG_DETECT_DOMAIN, i, domain.c_str());
    }
    return 0;
}

}  // namespace config
}  // namespace unified_track

using namespace unified_track::config;
using unified_track::GuardExport;

extern "C" {

UT_API uint32_t SetConfigFilePath(const char *path) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (path == nullptr || path[0] == '\0') {
            OST_LOG(LOG_ERROR, "%s", kLogConfigPathEmpty);
            return 1;
        }
        ConfigState &st = State();
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        std::string folder = path;
        // A backslash separates folders only where it is the platform's separator; the one added
        // follows the style the path already uses.
        if (!unified_track::IsPathSep(folder.back())) {
            const bool backslash = kPathSep == '\\' && folder.find('\\') != std::string::npos;
            folder += backslash ? '\\' : '/';
        }
        st.configPath = std::move(folder);
        return 0;
    });
}

UT_API uint32_t Ost_SetServerDomainStrategy(const char *strategy, bool enable) {
    return GuardExport(nullptr, 1u, [&]() -> uint32_t {
        if (strategy == nullptr || strategy[0] == '\0') {
            OST_LOG(LOG_ERROR, "%s", kLogStrategyEmpty);
            return 1;
        }
        ConfigState &st = State();
        std::lock_guard<RecursiveMutex> lock(st.configLock);
        st.serverDomainStrategy = strategy;
        st.strategyEnabled = enable;
        return 0;
    });
}

UT_API void GetRightServerDomain(std::string &domain) {
    GuardExport([&] { domain = ApplyServerDomainStrategy(domain); });
}

}  // extern "C"
