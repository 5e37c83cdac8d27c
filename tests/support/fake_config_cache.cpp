#include "support/fake_config_cache.h"

#include <unified_track/unified_track.h>

namespace ut_test {
namespace {

// Never destroyed: a persisting call may still reach the hooks as the process ends.
std::mutex &g_lock = *new std::mutex;
FakeConfigCache &g_cache = *new FakeConfigCache;  // guarded by g_lock

int32_t Add(LumConfigCache *entries, int32_t count) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_cache.addCalls.emplace_back();
    for (int32_t i = 0; i < count; ++i) g_cache.addCalls.back().emplace_back(entries[i].key, entries[i].value);
    if (g_cache.addResult != 0) return g_cache.addResult;
    for (const auto &kv : g_cache.addCalls.back()) g_cache.values[kv.first] = kv.second;
    return 0;
}

int32_t Query(const char *key, LumConfigCache *entry, int32_t *count) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_cache.queryResult != 0) return g_cache.queryResult;
    if (key == nullptr || entry == nullptr || count == nullptr || *count != 1) return -1;
    auto it = g_cache.values.find(key);
    if (it == g_cache.values.end()) return 415000002;  // not found
    entry->value = it->second;
    return 0;
}

int32_t Del(const char *key) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_cache.deleted.emplace_back(key ? key : "");
    if (g_cache.delResult != 0) return g_cache.delResult;
    g_cache.values.erase(key ? key : "");
    return 0;
}

}  // namespace

void InstallFakeConfigCache() {
    setAddCacheFun(&Add, &Query, &Del);
}
std::mutex &FakeConfigCacheLock() {
    return g_lock;
}
FakeConfigCache &FakeConfigCacheState() {
    return g_cache;
}

}  // namespace ut_test
