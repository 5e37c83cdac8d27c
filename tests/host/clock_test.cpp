#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "host/clock.h"

namespace {

using unified_track::GetClock;
using unified_track::ManualClock;
using unified_track::SetClock;

TEST(ManualClockTest, SleepEndsOnlyWhenTimePassesItsEnd) {
    ManualClock clock(1000000, 5000);
    SetClock(&clock);
    std::atomic<bool> done{false};
    std::thread sleeper([&] {
        PAL_SleepMs(300);
        done = true;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    EXPECT_EQ(clock.LastSleepMs(), 300u);
    clock.Advance(299);
    EXPECT_EQ(clock.Sleepers(), 1);  // still asleep: it can only leave after the test's next step
    EXPECT_FALSE(done.load());
    clock.Advance(1);
    sleeper.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(clock.Sleepers(), 0);
    EXPECT_EQ(PAL_GetSysRunTimeEx(), 5300u);
    EXPECT_EQ(PAL_GetSysRunTimeSec(), 5u);
    EXPECT_EQ(PAL_GetSystemTime(), 1000300u);
    SetClock(nullptr);
}

TEST(ManualClockTest, WakeAllEndsEverySleep) {
    ManualClock clock(0, 0);
    SetClock(&clock);
    std::thread a([] { PAL_SleepMs(60000); });
    std::thread b([] { PAL_SleepMs(1000); });
    ASSERT_TRUE(clock.WaitForSleepers(2));
    PAL_WakeSleepers();
    a.join();
    b.join();
    EXPECT_EQ(clock.Sleepers(), 0);
    EXPECT_EQ(clock.RunTimeMs(), 0u);
    SetClock(nullptr);
}

TEST(ManualClockTest, DestructionUninstallsAndWaitForSleepersTimesOut) {
    {
        ManualClock clock(42, 7);
        SetClock(&clock);
        EXPECT_EQ(&GetClock(), &clock);
        EXPECT_FALSE(clock.WaitForSleepers(1, 10));
        clock.SetSystemTimeMs(99);
        EXPECT_EQ(PAL_GetSystemTime(), 99u);
    }
    EXPECT_GT(PAL_GetSystemTime(), 1500000000000u);  // the real clock is back
}

TEST(RealClockTest, WakeSleepersEndsALongSleep) {
    std::atomic<bool> done{false};
    std::thread sleeper([&] {
        PAL_SleepMs(600000);
        done = true;
    });
    // The sleeper may not have started its sleep yet: keep waking until it leaves.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done.load() && std::chrono::steady_clock::now() < deadline) {
        PAL_WakeSleepers();
        std::this_thread::yield();
    }
    sleeper.join();
    EXPECT_TRUE(done.load());
}

class TimeZoneTest : public ::testing::Test {
protected:
    void SetZone(const char *zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
        SetClock(nullptr);
    }
    PAL_TimeZone ZoneAt(uint64_t epochSeconds) {
        clock_.SetSystemTimeMs(epochSeconds * 1000 + 250);
        SetClock(&clock_);
        PAL_TimeVal tv;
        PAL_TimeZone tz;
        EXPECT_EQ(PAL_GetTimeOfDay(&tv, &tz), 0);
        EXPECT_EQ(tv.tv_sec, static_cast<int64_t>(epochSeconds));
        EXPECT_EQ(tv.tv_usec, 250000);
        return tz;
    }
    ManualClock clock_{0, 0};
};

constexpr uint64_t kJan2024 = 1705320000;  // 2024-01-15 12:00 UTC
constexpr uint64_t kJul2024 = 1719835200;  // 2024-07-01 12:00 UTC

TEST_F(TimeZoneTest, HalfHourZoneEastOfUtc) {
    SetZone("Asia/Kolkata");
    PAL_TimeZone tz = ZoneAt(kJul2024);
    EXPECT_EQ(tz.tz_minuteswest, -330);
    EXPECT_EQ(tz.tz_dsttime, 0);
}

TEST_F(TimeZoneTest, ZoneWestOfUtc) {
    SetZone("America/Sao_Paulo");
    PAL_TimeZone tz = ZoneAt(kJan2024);
    EXPECT_EQ(tz.tz_minuteswest, 180);
    EXPECT_EQ(tz.tz_dsttime, 0);
}

TEST_F(TimeZoneTest, DaylightSavingReportedApartFromStandardOffset) {
    SetZone("Europe/Berlin");
    PAL_TimeZone summer = ZoneAt(kJul2024);
    EXPECT_EQ(summer.tz_minuteswest, -60);
    EXPECT_EQ(summer.tz_dsttime, 1);
    PAL_TimeZone winter = ZoneAt(kJan2024);
    EXPECT_EQ(winter.tz_minuteswest, -60);
    EXPECT_EQ(winter.tz_dsttime, 0);

    struct tm local {};
    int64_t secs = static_cast<int64_t>(kJul2024);
    ASSERT_EQ(PAL_LocalTime_S(&local, &secs), 0);
    EXPECT_EQ(local.tm_hour, 14);
    EXPECT_EQ(local.tm_isdst, 1);
    EXPECT_NE(PAL_LocalTime_S(nullptr, &secs), 0);
}

}  // namespace
