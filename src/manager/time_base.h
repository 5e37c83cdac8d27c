// The server time base: a login pairs the server's UTC time with the local monotonic clock,
// and record time stamps are rendered from that pair.
//
// Owns: the pair, guarded by m_lock and always written and read as one, so a reader never
// mixes one login's server time with another's base time.
// Threads: the command thread (login, record stamps) and host threads (the getter).
#pragma once

#include <cstdint>
#include <string>

#include "host/thread_annotations.h"
#include "manager/ut_locks.h"

namespace unified_track {

class TimeBase {
public:
    // Stores serverUtcMs with the monotonic clock's now as its base.
    void RecordLogin(uint64_t serverUtcMs, uint64_t *serverTime, int64_t *baseTime) EXCLUDES(m_lock);
    void Get(uint64_t *serverTime, int64_t *baseTime) EXCLUDES(m_lock);
    void Set(uint64_t serverTime, int64_t baseTime) EXCLUDES(m_lock);
    // "YYYY-MM-DD hh:mm:ss.mmm +hhmm" for a monotonic capture time, from the server time when a
    // login set one, else the local wall clock; empty when the calendar cannot hold it.
    std::string DiffTimeStamp(uint64_t captureTime) EXCLUDES(m_lock);

private:
    Mutex m_lock;
    uint64_t m_serverTimeMs GUARDED_BY(m_lock) = 0;
    int64_t m_baseTimeMs GUARDED_BY(m_lock) = 0;
};

}  // namespace unified_track
