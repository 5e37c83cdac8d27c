#include "interface/track_timing_state.h"

namespace unified_track {

namespace {
// Made at load, so they outlive the library's threads (see track_json.cpp).
BlockedNotifyRegistry g_registry;
MainDelayTracker g_tracker;
MsgReportLimiter g_limiter;
}  // namespace

BlockedNotifyRegistry &BlockedNotifyRegistry::Instance() {
    return g_registry;
}

void BlockedNotifyRegistry::Set(const std::string &funcName, UTBlockedNotifyFunc callback) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_callbacks[funcName] = callback;
}

UTBlockedNotifyFunc BlockedNotifyRegistry::Find(const std::string &funcName) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_callbacks.find(funcName);
    return it != m_callbacks.end() ? it->second : nullptr;
}

MainDelayTracker &MainDelayTracker::Instance() {
    return g_tracker;
}

bool MainDelayTracker::IsDelayed(uint64_t nowMs) const {
    const uint64_t delay = m_delayTimeMs.load();
    if (delay == 0 || nowMs <= delay) {
        return false;
    }
    return nowMs - delay <= kWindowMs;
}

MsgReportLimiter &MsgReportLimiter::Instance() {
    return g_limiter;
}

bool MsgReportLimiter::TryReport(uint32_t nowSec) {
    uint32_t last = m_lastReportSec.load();
    for (;;) {
        if (nowSec < last) {
            // The clock went back: start over from now, which is then too soon to report.
            if (m_lastReportSec.compare_exchange_weak(last, nowSec)) {
                return false;
            }
            continue;
        }
        if (nowSec - last < kIntervalSec) {
            return false;
        }
        if (m_lastReportSec.compare_exchange_weak(last, nowSec)) {
            return true;
        }
    }
}

}  // namespace unified_track
