// Process-wide state of the timing reports, each part race-free on its own:
// - the blocked-callback registry (function name -> callback), guarded by its mutex;
// - the main-thread delay time, one atomic;
// - the message-report limiter's last report time, one atomic updated by compare-and-swap, so
//   two bus threads cannot both pass the 30-second gate.
// Time values are passed in by the callers (they read the library clock), which keeps these
// testable without a clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include <unified_track/unified_track.h>

namespace unified_track {

class BlockedNotifyRegistry {
public:
    static BlockedNotifyRegistry &Instance();
    // Inserts or replaces; a null callback stays registered as "call nothing".
    void Set(const std::string &funcName, UTBlockedNotifyFunc callback);
    // The callback registered for the name, or null.
    UTBlockedNotifyFunc Find(const std::string &funcName) const;

private:
    mutable std::mutex m_lock;
    std::map<std::string, UTBlockedNotifyFunc> m_callbacks;  // guarded by m_lock
};

class MainDelayTracker {
public:
    static MainDelayTracker &Instance();
    static constexpr uint64_t kWindowMs = 30000;
    void Mark(uint64_t runTimeMs) { m_delayTimeMs.store(runTimeMs); }
    uint64_t DelayTimeMs() const { return m_delayTimeMs.load(); }
    // True from 1 ms to kWindowMs ms after the last mark; never before any mark.
    bool IsDelayed(uint64_t nowMs) const;

private:
    std::atomic<uint64_t> m_delayTimeMs{0};
};

class MsgReportLimiter {
public:
    static MsgReportLimiter &Instance();
    static constexpr uint32_t kIntervalSec = 30;
    // True when a report is due at nowSec (and records it). A clock that went back restarts
    // the interval from nowSec.
    bool TryReport(uint32_t nowSec);

private:
    std::atomic<uint32_t> m_lastReportSec{0};
};

}  // namespace unified_track
