// The clock seam: every time read and every sleep of the library goes through the clock in
// Host() (host/host_services.h), so tests can install a manual one and drive time deterministically.
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

uint64_t PAL_GetSystemTime();                             // wall clock, ms since the epoch
uint64_t PAL_GetSysRunTimeEx();                           // monotonic ms since boot
uint64_t PAL_GetSysRunTimeSec();                          // monotonic s since boot
int PAL_GetTimeOfDay(PAL_TimeVal *tv, PAL_TimeZone *tz);  // 0 = ok
// The local zone at the given instant (seconds since the epoch), in PAL_GetTimeOfDay's form.
// A time stamp takes the zone of its own instant: "now" may lie in another season.
int PAL_GetTimeZoneAt(int64_t seconds, PAL_TimeZone *tz);     // 0 = ok
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

}  // namespace unified_track
