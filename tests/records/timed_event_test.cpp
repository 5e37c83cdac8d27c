// Record time: stamps (local before login, the server clock after it, zone suffixes) and timed
// events (durations, the interval limits, sub-event members, clock anomalies).
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "records_fixture.h"

using namespace records_test;

namespace {
// Sub-event marks with explicit monotonic times, which the host calls cannot give.
void Marks(const char *event, std::vector<unified_track::ContextSubEventParam> marks) {
    OnCommandThread([=] {
        for (const auto &mark : marks) M().AddSubEvent(event, mark);
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
}

void Finish(const char *event, const char *arg3, const char *arg4, uint32_t maxMs = 0, uint32_t minMs = 0) {
    ASSERT_EQ(
        Track_FinishEvent(event, Tmp(tagUTContextSpecialParam{"20", "ut_event_timed", "a2", arg3, arg4, maxMs, minMs})),
        0u);
}

// From the event id on: eventId|event|arg2|arg3|arg4.
std::vector<std::string> Tails() {
    std::vector<std::string> tails;
    for (const std::string &line : UserLines()) tails.push_back(line.substr(line.find("|20|ut_event_timed|") + 1));
    return tails;
}
}  // namespace

class Timing : public RecordsTest {
protected:
    void SetUp() override {
        RecordsTest::SetUp();
        ConfigureEmptyContext();
    }
};

TEST_F(Timing, StampIsLocalBeforeLoginAndOnTheServerClockAfterIt) {
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
    uint64_t s = 0, b = 0;
    ASSERT_EQ(Track_GetServerUtcTimeAndBaseTime(&s, &b), 0u);
    EXPECT_EQ(s, server);
    EXPECT_EQ(b, base);
    EXPECT_EQ(Track_GetServerUtcTimeAndBaseTime(&s, nullptr), kFailed);
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "pUtcTime or pBaseTime is null!").size(), 1u);

    Clock().Advance(10);  // a later login replaces both
    ASSERT_EQ(Track_RecordUtcTimeByLogin(server + 60000), 0u);
    EXPECT_EQ(M().GetDiffTimeStamp(base + 10), "2023-11-14 22:14:20.000 +0000");
    ASSERT_EQ(Track_RecordUtcTimeByLogin(UINT64_MAX - 5), 0u);
    // Far out, yet still a whole stamp on the server clock (UINT64_MAX - 2 ms): a long year, then
    // the usual shape ('9' stands for a digit).
    const std::string far = M().GetDiffTimeStamp(Clock().RunTimeMs() + 3);
    const std::string shape = "-99-99 99:99:99.613 +0000";
    ASSERT_GT(far.size(), shape.size() + 4) << far;
    const std::string year = far.substr(0, far.size() - shape.size());
    EXPECT_EQ(year.find_first_not_of("0123456789"), std::string::npos) << far;
    for (size_t i = 0; i < shape.size(); ++i) {
        const char c = far[year.size() + i];
        EXPECT_TRUE(shape[i] == '9' ? (c >= '0' && c <= '9') : c == shape[i]) << far;
    }
}

TEST_F(Timing, ZoneSuffixesEastWestAndDaylightSaving) {
    auto stampIn = [](const char *tz, uint64_t wallMs) {
        setenv("TZ", tz, 1);
        tzset();
        Clock().SetSystemTimeMs(wallMs);
        return M().GetDiffTimeStamp(0);
    };
    EXPECT_EQ(stampIn("Asia/Kolkata", kStartWallMs), "2024-05-06 12:38:09.010 +0530");
    EXPECT_EQ(stampIn("America/Sao_Paulo", kStartWallMs), "2024-05-06 04:08:09.010 -0300");
    EXPECT_EQ(stampIn("Europe/Berlin", kStartWallMs), "2024-05-06 09:08:09.010 +0200");      // summer time
    EXPECT_EQ(stampIn("Europe/Berlin", 1705000000000ULL), "2024-01-11 20:06:40.000 +0100");  // winter
    stampIn("UTC", kStartWallMs);
}

TEST_F(Timing, ReadersNeverSeeHalfALogin) {
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
        uint64_t s = 0, b = 0;
        Track_GetServerUtcTimeAndBaseTime(&s, &b);
        torn += (s != b * 7) ? 1 : 0;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(Timing, DurationLimitsCallersArg3AndWallClockGoingBack) {
    // A negative step sets only the wall clock back.
    const struct {
        const char *name;
        int64_t wallStepMs;
        const char *arg3, *arg4;
        uint32_t maxMs, minMs;
    } rows[] = {
        {"join", 1000, nullptr, nullptr, 1000, 1000},  // equal to both limits: written
        {"slow", 1500, nullptr, nullptr, 1000, 0},     // too long: dropped
        {"fast", 50, nullptr, nullptr, 0, 100},        // too short: dropped
        {"own", 5000, "mine", "x", 10, 0},             // the caller's arg3 wins, no limit applies
        {"back", -5000, nullptr, nullptr, 1000, 1000},
    };
    ut_test::LogCapture cap;
    for (const auto &r : rows) {
        ASSERT_EQ(Track_StartEvent(r.name), 0u);
        Drain();
        if (r.wallStepMs > 0) Clock().Advance(static_cast<uint64_t>(r.wallStepMs));
        if (r.wallStepMs < 0) Clock().SetSystemTimeMs(Clock().SystemTimeMs() - static_cast<uint64_t>(-r.wallStepMs));
        Finish(r.name, r.arg3, r.arg4, r.maxMs, r.minMs);
    }
    EXPECT_EQ(Tails(), (std::vector<std::string>{"20|ut_event_timed|a2|1000|\n", "20|ut_event_timed|a2|mine|x\n",
                                                 "20|ut_event_timed|a2|-1|\n"}));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "max interval error: endTime: ").size(), 1u);
    EXPECT_EQ(cap.Find("native_sdk", LOG_INFO, "min interval: 100, interval:50, endTime: ").size(), 1u);
    EXPECT_TRUE(cap.Contains("index:fast"));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "endTime error: endTime: ").size(), 1u);
}

TEST_F(Timing, SubEventDurationsAreMergedIntoArg4) {
    ASSERT_EQ(Track_StartEvent("ev"), 0u);
    Marks("ev", {{"a", 0, 100},
                 {"a", 1, 350},  // 250
                 {"b", 1, 400},
                 {"b", 0, 500},
                 {"b", 1, 530},  // an unknown end mark starts b, a start restarts it
                 {"c", 0, 900},
                 {"c", 1, 800},  // the monotonic clock went back
                 {"d", 0, 1}});  // still running at finish: dropped
    Finish("ev", "7", "{\"z\":\"é\",\"a\":1}");
    ASSERT_EQ(Track_StartEvent("r"), 0u);
    Marks("r", {{"old", 0, 10}, {"old", 1, 20}});
    ASSERT_EQ(Track_StartEvent("r"), 0u);  // a restart drops the earlier members
    Marks("r", {{"new", 0, 30}, {"new", 1, 70}});
    Finish("r", "1", "{}");
    for (const char *arg4 : {static_cast<const char *>(nullptr), "[1,2]"}) {  // not an object: kept
        ASSERT_EQ(Track_StartEvent("s"), 0u);
        Marks("s", {{"x", 0, 10}, {"x", 1, 20}});
        Finish("s", "1", arg4);
    }
    EXPECT_EQ(Tails(), (std::vector<std::string>{
                           "20|ut_event_timed|a2|7|{\"a\":250,\"b\":30,\"c\":18446744073709551615,\"z\":\"\\u00e9\"}\n",
                           "20|ut_event_timed|a2|1|{\"new\":40}\n", "20|ut_event_timed|a2|1|\n",
                           "20|ut_event_timed|a2|1|[1,2]\n"}));
}

TEST_F(Timing, UnknownOrFinishedTwiceIsLogged) {
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_StartEvent("once"), 0u);
    Finish("once", "1", nullptr);
    Finish("once", "1", nullptr);
    ASSERT_EQ(Track_AddSubEvent("never", Tmp(tagUTContextSubEventParam{"s", 0})), 0u);
    ASSERT_EQ(Track_StartEvent("nn"), 0u);
    EXPECT_EQ(Track_AddSubEvent("nn", Tmp(tagUTContextSubEventParam{nullptr, 1})), 0u);  // an empty name is a name
    EXPECT_EQ(UserLines().size(), 1u);
    EXPECT_EQ(cap.Count("no start event, once") + cap.Count("no start event, never"), 2u);
    EXPECT_EQ(Track_FinishEvent(nullptr, Tmp(tagUTContextSpecialParam{})), kFailed);
}
