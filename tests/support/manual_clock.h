// A clock for tests: time only moves when the test says so. A sleep blocks until the test has
// advanced the time past its end (or WakeAll); Advance wakes every sleeper whose time has come.
// Install it with ut_test::ScopedClock (support/scoped_host.h).
#pragma once

#include <cstdint>

#include "host/clock.h"

namespace ut_test {

class ManualClock : public unified_track::Clock {
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

}  // namespace ut_test
