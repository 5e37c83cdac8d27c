// The clock seam: every time read and every sleep of the library goes through here, so tests can
// install a manual clock and drive time-based behaviour deterministically.
#pragma once

#include <cstdint>
#include <ctime>

struct PAL_TimeVal {
    int64_t tv_sec = 0;
    int64_t tv_usec = 0;
};
struct PAL_TimeZone {
    int32_t tz_minuteswest = 0;  // minutes west of UTC at that instant (standard offset)
    int32_t tz_dsttime = 0;      // 1 when daylight saving is in effect
};

uint64_t PAL_GetSystemTime();     // wall clock, ms since the epoch
uint64_t PAL_GetSysRunTimeEx();   // monotonic ms since boot
uint64_t PAL_GetSysRunTimeSec();  // monotonic s since boot
int PAL_GetTimeOfDay(PAL_TimeVal *tv, PAL_TimeZone *tz);  // 0 = ok
// The local zone at the given instant (seconds since the epoch), in PAL_GetTimeOfDay's form.
// A time stamp takes the zone of its own instant: "now" may lie in another season.
int PAL_GetTimeZoneAt(int64_t seconds, PAL_TimeZone *tz);  // 0 = ok
int PAL_LocalTime_S(struct tm *out, const int64_t *seconds);  // 0 = ok
void PAL_SleepMs(uint32_t ms);
// Ends every sleep in progress at once (used when the library stops).
void PAL_WakeSleepers();

namespace unified_track {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t SystemTimeMs() = 0;
    virtual uint64_t RunTimeMs() = 0;
    // Sleeps up to ms; returns early on WakeAll().
    virtual void SleepMs(uint32_t ms) = 0;
    virtual void WakeAll() = 0;
};

// Installs a clock (null restores the real one). The caller keeps ownership.
void SetClock(Clock *clock);
Clock &GetClock();

// A clock for tests: time only moves when the test says so. A sleep blocks until the test has
// advanced the time past its end (or WakeAll); Advance wakes every sleeper whose time has come.
class ManualClock : public Clock {
public:
    ManualClock(uint64_t systemMs, uint64_t runMs);
    ~ManualClock() override;
    uint64_t SystemTimeMs() override;
    uint64_t RunTimeMs() override;
    void SleepMs(uint32_t ms) override;
    void WakeAll() override;
    void Advance(uint64_t ms);
    void SetSystemTimeMs(uint64_t ms);
    // Number of threads currently inside SleepMs, and the length of the last sleep asked for.
    int Sleepers();
    uint32_t LastSleepMs();
    // Waits (bounded, real time) until at least n threads sleep; false on time-out.
    bool WaitForSleepers(int n, uint32_t timeoutMs = 5000);

private:
    struct Impl;
    Impl *impl_;
};

}  // namespace unified_track
