// Record time stamps: local time before login, server-based after it, zone suffixes.
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <thread>

#include <gtest/gtest.h>

#include "records_fixture.h"
#include "support/log_capture.h"

using namespace records_test;

class TimeBase : public RecordsTest {};

TEST_F(TimeBase, LocalTimeBeforeLoginServerClockAfterIt)
{
    EXPECT_EQ(M().GetDiffTimeStamp(Clock().RunTimeMs()), "2024-05-06 07:08:09.010 +0000");
    const uint64_t server = 1700000000000ULL;  // 2023-11-14 22:13:20.000 UTC
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_RecordUtcTimeByLogin(server), 0u);
    const uint64_t base = Clock().RunTimeMs();
    EXPECT_TRUE(cap.Contains("login server utcTime: 1700000000000, m_serverTimeMs: 1700000000000, m_baseTimeMs ms: " +
                             std::to_string(base)));
    Clock().SetSystemTimeMs(kStartWallMs + 1234);
    EXPECT_EQ(M().GetDiffTimeStamp(base + 1500), "2023-11-14 22:13:21.500 +0000");
    EXPECT_EQ(M().GetDiffTimeStamp(base), "2023-11-14 22:13:20.000 +0000");
    // Captured before the login: the time of writing, not of capture.
    EXPECT_EQ(M().GetDiffTimeStamp(base - 1), "2024-05-06 07:08:10.244 +0000");
    uint64_t s = 0;
    uint64_t b = 0;
    ASSERT_EQ(Track_GetServerUtcTimeAndBaseTime(&s, &b), 0u);
    EXPECT_EQ(s, server);
    EXPECT_EQ(b, base);
    EXPECT_EQ(Track_GetServerUtcTimeAndBaseTime(nullptr, &b), kFailed);
    EXPECT_EQ(Track_GetServerUtcTimeAndBaseTime(&s, nullptr), kFailed);
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "pUtcTime or pBaseTime is null!").size(), 2u);

    Clock().Advance(10);  // a later login replaces both
    ASSERT_EQ(Track_RecordUtcTimeByLogin(server + 60000), 0u);
    EXPECT_EQ(M().GetDiffTimeStamp(base + 10), "2023-11-14 22:14:20.000 +0000");
    ASSERT_EQ(Track_RecordUtcTimeByLogin(UINT64_MAX - 5), 0u);
    EXPECT_LT(M().GetDiffTimeStamp(Clock().RunTimeMs() + 3).size(), 80u);  // far out: no crash
}

TEST_F(TimeBase, ZoneSuffixesEastWestAndDaylightSaving)
{
    struct Row {
        const char *tz;
        uint64_t wallMs;
        const char *stamp;
    };
    const Row rows[] = {
        {"Asia/Kolkata", kStartWallMs, "2024-05-06 12:38:09.010 +0530"},
        {"America/Sao_Paulo", kStartWallMs, "2024-05-06 04:08:09.010 -0300"},
        {"Europe/Berlin", kStartWallMs, "2024-05-06 09:08:09.010 +0200"},     // summer time
        {"Europe/Berlin", 1705000000000ULL, "2024-01-11 20:06:40.000 +0100"},  // winter
        {"America/New_York", kStartWallMs, "2024-05-06 03:08:09.010 -0400"},
    };
    for (const Row &r : rows) {
        setenv("TZ", r.tz, 1);
        tzset();
        Clock().SetSystemTimeMs(r.wallMs);
        EXPECT_EQ(M().GetDiffTimeStamp(0), r.stamp) << r.tz;
    }
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST_F(TimeBase, ReadersNeverSeeHalfALogin)
{
    // Each login stores server = base * 7; a reader must always find that relation.
    std::atomic<bool> stop{false};
    int torn = 0;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            Clock().Advance(1);
            M().RecordUtcTimeByLogin(Clock().RunTimeMs() * 7);
        }
        stop = true;
    });
    while (!stop.load()) {
        uint64_t s = 0;
        uint64_t b = 0;
        Track_GetServerUtcTimeAndBaseTime(&s, &b);
        torn += (s != b * 7) ? 1 : 0;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}
