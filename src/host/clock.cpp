// The real clock and the PAL time functions, which read whichever clock is installed.
#include "host/clock.h"

#include "host/services.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace unified_track {
namespace {

uint64_t ReadClockMs(clockid_t id) {
    timespec ts{};
    if (::clock_gettime(id, &ts) != 0) return 0;
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

class SystemClock : public Clock {
public:
    uint64_t SystemTimeMs() override { return ReadClockMs(CLOCK_REALTIME); }
    uint64_t RunTimeMs() override { return ReadClockMs(CLOCK_MONOTONIC); }

    void SleepMs(uint32_t ms) override {
        std::unique_lock<std::mutex> lock(mutex_);
        uint64_t gen = generation_;
        cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return generation_ != gen; });
    }

    void WakeAll() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++generation_;
        }
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    uint64_t generation_ = 0;  // guarded by mutex_; bumped to end the sleeps in progress
};

// Made at load, so it outlives every function-local static: the library's threads sleep on it
// until they are joined.
SystemClock g_realClock;

}  // namespace

Clock &RealClock() {
    return g_realClock;
}

}  // namespace unified_track

// ---- the PAL time functions, all through the installed clock ----

using unified_track::HostClock;

uint64_t PAL_GetSystemTime() {
    return HostClock().SystemTimeMs();
}
uint64_t PAL_GetSysRunTimeEx() {
    return HostClock().RunTimeMs();
}
uint64_t PAL_GetSysRunTimeSec() {
    return HostClock().RunTimeMs() / 1000u;
}

int PAL_GetTimeOfDay(PAL_TimeVal *tv, PAL_TimeZone *tz) {
    if (tv == nullptr && tz == nullptr) return -1;
    int64_t sec = 0;
    int64_t usec = 0;
    if (unified_track::HostClockIsReal()) {
        timespec ts{};
        if (::clock_gettime(CLOCK_REALTIME, &ts) != 0) return -1;
        sec = static_cast<int64_t>(ts.tv_sec);
        usec = static_cast<int64_t>(ts.tv_nsec / 1000);
    } else {
        uint64_t ms = HostClock().SystemTimeMs();
        sec = static_cast<int64_t>(ms / 1000u);
        usec = static_cast<int64_t>(ms % 1000u) * 1000;
    }
    if (tv != nullptr) {
        tv->tv_sec = sec;
        tv->tv_usec = usec;
    }
    if (tz != nullptr) return PAL_GetTimeZoneAt(sec, tz);
    return 0;
}

int PAL_GetTimeZoneAt(int64_t seconds, PAL_TimeZone *tz) {
    if (tz == nullptr) return -1;
    // The daylight hour is reported apart in tz_dsttime so that callers add it back exactly
    // once: -minutes west + 60 * dst is always the zone's real offset at that instant, also
    // where daylight saving runs backwards (Europe/Dublin's winter time).
    time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    if (::localtime_r(&t, &local) == nullptr) return -1;
    int32_t west = static_cast<int32_t>(-(local.tm_gmtoff / 60));
    if (local.tm_isdst > 0) west += 60;
    tz->tz_minuteswest = west;
    tz->tz_dsttime = local.tm_isdst > 0 ? 1 : 0;
    return 0;
}

int PAL_LocalTime_S(struct tm *out, const int64_t *seconds) {
    if (out == nullptr || seconds == nullptr) return -1;
    time_t t = static_cast<time_t>(*seconds);
    return ::localtime_r(&t, out) == nullptr ? -1 : 0;
}

void PAL_SleepMs(uint32_t ms) {
    HostClock().SleepMs(ms);
}

void PAL_WakeSleepers() {
    // A sleep begun before a clock swap still waits on the real clock.
    unified_track::RealClock().WakeAll();
    unified_track::Clock &c = HostClock();
    if (&c != &unified_track::RealClock()) c.WakeAll();
}
