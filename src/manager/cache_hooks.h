// The host's configuration-cache hooks (add, query, delete). The host may replace them at any
// time from any thread; each is an atomic pointer and every use reads it once.
#pragma once

#include <atomic>

#include <unified_track/unified_track.h>

namespace unified_track {

class CacheHooks {
public:
    void Set(AddConfigCacheFunc add, QueryConfigCacheFunc query, DelConfigCacheFunc del) {
        m_add.store(add);
        m_query.store(query);
        m_del.store(del);
    }
    AddConfigCacheFunc Add() const { return m_add.load(); }
    QueryConfigCacheFunc Query() const { return m_query.load(); }
    DelConfigCacheFunc Del() const { return m_del.load(); }

private:
    std::atomic<AddConfigCacheFunc> m_add{nullptr};
    std::atomic<QueryConfigCacheFunc> m_query{nullptr};
    std::atomic<DelConfigCacheFunc> m_del{nullptr};
};

}  // namespace unified_track
