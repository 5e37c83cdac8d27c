#include "host/config_cache.h"

#include <algorithm>
#include <atomic>

#include "host/log.h"

namespace unified_track {
namespace {

std::atomic<QueryConfigCacheFunc> g_query{nullptr};

}  // namespace

void SetConfigCacheQuery(QueryConfigCacheFunc query) {
    g_query.store(query);
}

bool QueryConfigCache(const std::string &key, std::string &value) {
    QueryConfigCacheFunc query = g_query.load();
    if (query == nullptr) return true;
    LumConfigCache entry;
    entry.key = key;
    int32_t count = 1;
    const int32_t ret = query(key.c_str(), &entry, &count);
    if (ret != 0) {
        UT_LOGE("QueryConfigCacheByKey failed. key:%s errorCode:%d", key.c_str(), ret);
        return false;
    }
    value = entry.value;
    value.erase(std::remove(value.begin(), value.end(), '\n'), value.end());
    return true;
}

}  // namespace unified_track
