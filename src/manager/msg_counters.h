// The message counters that MMR records report. Bumped from any thread; each counter is an
// atomic, so a record can take and clear them one by one without losing a concurrent bump.
#pragma once

#include <atomic>
#include <cstdint>

namespace unified_track {

class MsgCounters {
public:
    static constexpr uint32_t kCount = 11;

    // False for an index out of range.
    bool Bump(uint32_t index) {
        if (index >= kCount) return false;
        m_counters[index].fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    void ClearAll() {
        for (auto &counter : m_counters) counter.store(0);
    }
    uint32_t Get(uint32_t index) const { return index < kCount ? m_counters[index].load() : 0; }
    void Set(uint32_t index, uint32_t value) {
        if (index < kCount) m_counters[index].store(value);
    }
    // Copies every counter into counts; with clear, takes each one and sets it to zero.
    void Read(uint32_t (&counts)[kCount], bool clear) {
        for (uint32_t i = 0; i < kCount; ++i) counts[i] = clear ? m_counters[i].exchange(0) : m_counters[i].load();
    }

private:
    std::atomic<uint32_t> m_counters[kCount] = {};
};

}  // namespace unified_track
