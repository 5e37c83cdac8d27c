// Record time stamps: local time before login, server-based after it, zone suffixes.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "records_fixture.h"
#include "support/log_capture.h"

using namespace records_test;

class TimeBase : public RecordsTest {};

TEST_F(TimeBase, BeforeLoginTheStampIsTheCurrentLocalTime)
{
    EXPECT_EQ(M().GetDiffTimeStamp(Clock().RunTimeMs()), "2024-05-06 07:08:09.010 +0000");
    Clock().SetSystemTimeMs(kStartWallMs + 1234);
    EXPECT_EQ(M().GetDiffTimeStamp(0), "2024-05-06 07:08:10.244 +0000");
}

TEST_F(TimeBase, AfterLoginCaptureTimesAreRenderedOnTheServerClock)
{
    const uint64_t server = 1700000000000ULL;  // 2023-11-14 22:13:20.000 UTC
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_RecordUtcTimeByLogin(server), 0u);
    const uint64_t base = Clock().RunTimeMs();
    EXPECT_TRUE(cap.Contains("login server utcTime: 1700000000000, m_serverTimeMs: 1700000000000, m_baseTimeMs ms: " +
                             std::to_string(base)));

    EXPECT_EQ(M().GetDiffTimeStamp(base + 1500), "2023-11-14 22:13:21.500 +0000");
    EXPECT_EQ(M().GetDiffTimeStamp(base), "2023-11-14 22:13:20.000 +0000");
    // Captured before the login: the time of writing, not of capture.
    EXPECT_EQ(M().GetDiffTimeStamp(base - 1), "2024-05-06 07:08:09.010 +0000");

    uint64_t s = 0;
    uint64_t b = 0;
    ASSERT_EQ(Track_GetServerUtcTimeAndBaseTime(&s, &b), 0u);
    EXPECT_EQ(s, server);
    EXPECT_EQ(b, base);

    // A later login replaces both.
    Clock().Advance(10);
    ASSERT_EQ(Track_RecordUtcTimeByLogin(server + 60000), 0u);
    EXPECT_EQ(M().GetDiffTimeStamp(base + 10), "2023-11-14 22:14:20.000 +0000");
}

TEST_F(TimeBase, NullOutPointersAreRejected)
{
    ut_test::LogCapture cap;
    uint64_t v = 0;
    EXPECT_EQ(Track_GetServerUtcTimeAndBaseTime(nullptr, &v), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_GetServerUtcTimeAndBaseTime(&v, nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "pUtcTime or pBaseTime is null!").size(), 2u);
}

TEST_F(TimeBase, ZoneSuffixesEastWestAndDaylightSaving)
{
    {
        ScopedTz tz("Asia/Kolkata");
        EXPECT_EQ(M().GetDiffTimeStamp(0), "2024-05-06 12:38:09.010 +0530");
    }
    {
        ScopedTz tz("America/Sao_Paulo");
        EXPECT_EQ(M().GetDiffTimeStamp(0), "2024-05-06 04:08:09.010 -0300");
    }
    {
        ScopedTz tz("Europe/Berlin");  // summer time on that date
        EXPECT_EQ(M().GetDiffTimeStamp(0), "2024-05-06 09:08:09.010 +0200");
        Clock().SetSystemTimeMs(1705000000000ULL);  // 2024-01-11 19:06:40 UTC, winter
        EXPECT_EQ(M().GetDiffTimeStamp(0), "2024-01-11 20:06:40.000 +0100");
    }
    {
        ScopedTz tz("America/New_York");
        Clock().SetSystemTimeMs(kStartWallMs);
        EXPECT_EQ(M().GetDiffTimeStamp(0), "2024-05-06 03:08:09.010 -0400");
    }
}

TEST_F(TimeBase, AFarOutServerTimeGivesAnEmptyStampNotACrash)
{
    ASSERT_EQ(Track_RecordUtcTimeByLogin(UINT64_MAX - 5), 0u);
    std::string stamp = M().GetDiffTimeStamp(Clock().RunTimeMs() + 3);
    EXPECT_LT(stamp.size(), 80u);
}

TEST_F(TimeBase, ReadersNeverSeeHalfALogin)
{
    // Each login stores server = base * 7; a reader must always find that relation.
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            Clock().Advance(1);
            M().RecordUtcTimeByLogin(Clock().RunTimeMs() * 7);
        }
        stop = true;
    });
    uint64_t reads = 0;
    while (!stop.load()) {
        uint64_t s = 0;
        uint64_t b = 0;
        ASSERT_EQ(Track_GetServerUtcTimeAndBaseTime(&s, &b), 0u);
        if (s != 0) {
            ASSERT_EQ(s, b * 7);
        }
        ++reads;
    }
    writer.join();
    EXPECT_GT(reads, 0u);
}
