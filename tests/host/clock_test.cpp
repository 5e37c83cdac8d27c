#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <thread>

#include "host/clock.h"
#include "support/manual_clock.h"
#include "support/scoped_host.h"

namespace {

using ut_test::ManualClock;
using ut_test::ScopedClock;

// The real clock's wake-up is covered where the library stops its upload thread.
TEST(ManualClockTest, SleepEndsOnlyWhenTimePassesItsEndOrOnWake) {
    ManualClock clock(1000000, 5000);
    ScopedClock installed(&clock);
    std::thread sleeper([] { PAL_SleepMs(300); });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    EXPECT_EQ(clock.LastSleepMs(), 300u);
    clock.Advance(299);
    EXPECT_EQ(clock.Sleepers(), 1);  // still asleep: it can only leave after the test's next step
    clock.Advance(1);
    sleeper.join();
    EXPECT_EQ(PAL_GetSysRunTimeEx(), 5300u);
    EXPECT_EQ(PAL_GetSysRunTimeSec(), 5u);
    EXPECT_EQ(PAL_GetSystemTime(), 1000300u);

    std::thread a([] { PAL_SleepMs(60000); });
    std::thread b([] { PAL_SleepMs(1000); });
    ASSERT_TRUE(clock.WaitForSleepers(2));
    PAL_WakeSleepers();
    a.join();
    b.join();
    EXPECT_EQ(clock.Sleepers(), 0);
    EXPECT_EQ(clock.RunTimeMs(), 5300u);  // waking moves no time
}

TEST(TimeZoneTest, OffsetsWestOfUtcAndDaylightSavingApart) {
    constexpr int64_t kJan2024 = 1705320000;  // 2024-01-15 12:00 UTC
    constexpr int64_t kJul2024 = 1719835200;  // 2024-07-01 12:00 UTC
    struct Row {
        const char *zone;
        int64_t at;
        int minutesWest, dst;
    };
    const Row rows[] = {{"Asia/Kolkata", kJul2024, -330, 0},
                        {"America/Sao_Paulo", kJan2024, 180, 0},
                        {"Europe/Berlin", kJul2024, -60, 1},
                        {"Europe/Berlin", kJan2024, -60, 0}};
    ManualClock clock(0, 0);
    ScopedClock installed(&clock);
    for (const Row &r : rows) {
        setenv("TZ", r.zone, 1);
        tzset();
        clock.SetSystemTimeMs(static_cast<uint64_t>(r.at) * 1000 + 250);
        PAL_TimeVal tv;
        PAL_TimeZone tz;
        EXPECT_EQ(PAL_GetTimeOfDay(&tv, &tz), 0);
        EXPECT_EQ(tv.tv_sec * 1000000 + tv.tv_usec, r.at * 1000000 + 250000);
        EXPECT_EQ(tz.tz_minuteswest, r.minutesWest) << r.zone << " " << r.at;
        EXPECT_EQ(tz.tz_dsttime, r.dst) << r.zone << " " << r.at;
    }
    struct tm local {};
    EXPECT_EQ(PAL_LocalTime_S(&local, &kJul2024), 0);  // still in Berlin
    EXPECT_EQ(local.tm_hour, 14);
    EXPECT_EQ(local.tm_isdst, 1);
    EXPECT_NE(PAL_LocalTime_S(nullptr, &kJul2024), 0);
    unsetenv("TZ");
    tzset();
}

TEST(TimeZoneTest, TheZoneOfAGivenInstantGivesItsRealOffsetWhereDaylightSavingRunsBackwards) {
    struct Row {
        const char *zone;
        int64_t at;
        int offsetMinutes;
    };
    const Row rows[] = {{"Europe/Dublin", 1705320000, 0},         {"Europe/Dublin", 1719835200, 60},
                        {"Africa/Casablanca", 1710936000, 0},     {"Africa/Casablanca", 1719835200, 60},
                        {"Australia/Lord_Howe", 1705320000, 660}, {"America/New_York", 1719835200, -240}};
    for (const Row &r : rows) {
        setenv("TZ", r.zone, 1);
        tzset();
        PAL_TimeZone tz;
        ASSERT_EQ(PAL_GetTimeZoneAt(r.at, &tz), 0);
        EXPECT_EQ(-tz.tz_minuteswest + 60 * tz.tz_dsttime, r.offsetMinutes) << r.zone << " " << r.at;
    }
    EXPECT_NE(PAL_GetTimeZoneAt(0, nullptr), 0);
    unsetenv("TZ");
    tzset();
}

}  // namespace
