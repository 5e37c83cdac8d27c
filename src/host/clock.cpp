// The real clock, the replaceable clock slot and the manual clock of the tests.
#include "host/clock.h"

#include <atomic>
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

class RealClock : public Clock {
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
RealClock g_realClock;

RealClock &TheRealClock() { return g_realClock; }

std::atomic<Clock *> g_clock{nullptr};

}  // namespace

void SetClock(Clock *clock) { g_clock.store(clock, std::memory_order_release); }

Clock &GetClock() {
    Clock *c = g_clock.load(std::memory_order_acquire);
    return c != nullptr ? *c : TheRealClock();
}

// ---- manual clock ----

struct ManualClock::Impl {
    std::mutex mutex;
    std::condition_variable cv;  // sleepers wait for time or wake; WaitForSleepers for arrivals
    uint64_t systemMs = 0;
    uint64_t runMs = 0;
    uint64_t generation = 0;
    int sleepers = 0;
    uint32_t lastSleepMs = 0;
    bool dying = false;  // a sleep that races with destruction returns at once
};

ManualClock::ManualClock(uint64_t systemMs, uint64_t runMs) : impl_(new Impl) {
    impl_->systemMs = systemMs;
    impl_->runMs = runMs;
}

ManualClock::~ManualClock() {
    Clock *self = this;
    g_clock.compare_exchange_strong(self, nullptr);
    {
        std::unique_lock<std::mutex> lock(impl_->mutex);
        ++impl_->generation;
        impl_->dying = true;
        impl_->cv.notify_all();
        // A sleeper still inside must leave before the state goes away.
        impl_->cv.wait(lock, [&] { return impl_->sleepers == 0; });
    }
    delete impl_;
}

uint64_t ManualClock::SystemTimeMs() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->systemMs;
}

uint64_t ManualClock::RunTimeMs() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->runMs;
}

void ManualClock::SleepMs(uint32_t ms) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->lastSleepMs = ms;
    uint64_t end = impl_->runMs + ms;
    uint64_t gen = impl_->generation;
    ++impl_->sleepers;
    impl_->cv.notify_all();
    impl_->cv.wait(lock, [&] { return impl_->runMs >= end || impl_->generation != gen || impl_->dying; });
    --impl_->sleepers;
    impl_->cv.notify_all();
}

void ManualClock::WakeAll() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    ++impl_->generation;
    impl_->cv.notify_all();
}

void ManualClock::Advance(uint64_t ms) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->runMs += ms;
    impl_->systemMs += ms;
    impl_->cv.notify_all();
}

void ManualClock::SetSystemTimeMs(uint64_t ms) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->systemMs = ms;
}

int ManualClock::Sleepers() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->sleepers;
}

uint32_t ManualClock::LastSleepMs() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->lastSleepMs;
}

bool ManualClock::WaitForSleepers(int n, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return impl_->sleepers >= n; });
}

}  // namespace unified_track

// ---- the PAL time functions, all through the installed clock ----

using unified_track::GetClock;

uint64_t PAL_GetSystemTime() { return GetClock().SystemTimeMs(); }
uint64_t PAL_GetSysRunTimeEx() { return GetClock().RunTimeMs(); }
uint64_t PAL_GetSysRunTimeSec() { return GetClock().RunTimeMs() / 1000u; }

int PAL_GetTimeOfDay(PAL_TimeVal *tv, PAL_TimeZone *tz) {
    if (tv == nullptr && tz == nullptr) return -1;
    int64_t sec = 0;
    int64_t usec = 0;
    if (unified_track::g_clock.load(std::memory_order_acquire) == nullptr) {
        timespec ts{};
        if (::clock_gettime(CLOCK_REALTIME, &ts) != 0) return -1;
        sec = static_cast<int64_t>(ts.tv_sec);
        usec = static_cast<int64_t>(ts.tv_nsec / 1000);
    } else {
        uint64_t ms = GetClock().SystemTimeMs();
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

void PAL_SleepMs(uint32_t ms) { GetClock().SleepMs(ms); }

void PAL_WakeSleepers() {
    // A sleep begun before a clock swap still waits on the real clock.
    unified_track::TheRealClock().WakeAll();
    unified_track::Clock &c = GetClock();
    if (&c != &unified_track::TheRealClock()) c.WakeAll();
}
