// The global configuration store: item -> bytes, plus one callback per item.
#include "host/config_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct Store {
    std::mutex mutex;
    std::map<uint32_t, std::string> items;               // guarded by mutex
    std::map<uint32_t, OstGlobalCfgCallback> callbacks;  // guarded by mutex
};

Store &TheStore() {
    static Store store;
    return store;
}

// The stored bytes up to the first NUL: items are texts, whether or not the setter counted a NUL.
bool ReadText(uint32_t item, std::string *text) {
    Store &s = TheStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.items.find(item);
    if (it == s.items.end()) return false;
    size_t nul = it->second.find('\0');
    *text = nul == std::string::npos ? it->second : it->second.substr(0, nul);
    return true;
}

}  // namespace

extern "C" {

UT_API int32_t OstSetGlobalCfg(uint32_t item, const void *data, uint32_t len) {
    try {
        if (data == nullptr && len > 0) return 1;
        std::string value = len > 0 ? std::string(static_cast<const char *>(data), len) : std::string();
        Store &s = TheStore();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.items[item] = std::move(value);
        return 0;
    } catch (...) {
        return 1;
    }
}

UT_API int32_t OstGetGlobalCfg(uint32_t item, void *buffer, uint32_t size) {
    try {
        if (buffer == nullptr || size == 0) return 1;
        char *out = static_cast<char *>(buffer);
        std::string text;
        if (!ReadText(item, &text) || text.size() >= size) {
            out[0] = '\0';
            return 1;
        }
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
        return 0;
    } catch (...) {
        return 1;
    }
}

UT_API int32_t OstGetGlobalInt32CfgWithDefVal(uint32_t item, int32_t defVal) {
    try {
        std::string text;
        if (!ReadText(item, &text) || text.empty()) return defVal;
        errno = 0;
        char *end = nullptr;
        long long v = std::strtoll(text.c_str(), &end, 10);
        if (errno != 0 || end == text.c_str()) return defVal;
        while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
        if (*end != '\0' || v < INT32_MIN || v > INT32_MAX) return defVal;
        return static_cast<int32_t>(v);
    } catch (...) {
        return defVal;
    }
}

UT_API int32_t OstRegGlobalCfgCallback(uint32_t item, OstGlobalCfgCallback callback) {
    try {
        Store &s = TheStore();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (callback == nullptr) {
            s.callbacks.erase(item);
        } else {
            s.callbacks[item] = callback;
        }
        return 0;
    } catch (...) {
        return 1;
    }
}

UT_API int32_t OstRunGlobalCfgCallback(uint32_t item, void *buffer, uint32_t size) {
    try {
        OstGlobalCfgCallback cb = nullptr;
        {
            Store &s = TheStore();
            std::lock_guard<std::mutex> lock(s.mutex);
            auto it = s.callbacks.find(item);
            if (it != s.callbacks.end()) cb = it->second;
        }
        if (cb == nullptr) return 1;
        // Called outside the lock: the callback may well use the store itself.
        return cb(item, buffer, size);
    } catch (...) {
        return 1;
    }
}

UT_API void OstClearGlobalCfg(void) {
    try {
        Store &s = TheStore();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.items.clear();
        s.callbacks.clear();
    } catch (...) {
    }
}

}  // extern "C"

namespace unified_track {

bool GetGlobalCfgBytes(uint32_t item, std::string *bytes) {
    if (bytes == nullptr) return false;
    try {
        Store &s = TheStore();
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.items.find(item);
        if (it == s.items.end()) return false;
        *bytes = it->second;
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace unified_track
