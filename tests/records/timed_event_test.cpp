// Timed events: durations, the interval limits, sub-event members and clock anomalies.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "records_fixture.h"
#include "support/log_capture.h"

using namespace records_test;

namespace {
void Mark(const char *event, const char *name, uint8_t isEnd, uint64_t time)
{
    unified_track::ContextSubEventParam mark;
    mark.name = name;
    mark.isEnd = isEnd;
    mark.time = time;
    OnCommandThread([=] {
        M().AddSubEvent(event, mark);
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
}

void Finish(const char *event, const char *arg3, const char *arg4, uint32_t maxMs = 0, uint32_t minMs = 0)
{
    tagUTContextSpecialParam fin = {"20", "ut_event_timed", "a2", arg3, arg4, maxMs, minMs};
    ASSERT_EQ(Track_FinishEvent(event, &fin), 0u);
}

// From the event id on: eventId|event|arg2|arg3|arg4.
std::vector<std::string> Tails()
{
    std::vector<std::string> tails;
    for (const std::string &line : UserLines()) tails.push_back(line.substr(line.find("|20|ut_event_timed|") + 1));
    return tails;
}
}  // namespace

class TimedEvents : public RecordsTest {
protected:
    void SetUp() override
    {
        RecordsTest::SetUp();
        ConfigureEmptyContext();
    }
};

TEST_F(TimedEvents, DurationLimitsCallersArg3AndClockGoingBack)
{
    struct Row {
        const char *name;
        int64_t wallStepMs;  // negative: only the wall clock goes back
        const char *arg3, *arg4;
        uint32_t maxMs, minMs;
    };
    const Row rows[] = {
        {"join", 1000, nullptr, nullptr, 1000, 1000},  // equal to both limits: written
        {"slow", 1500, nullptr, nullptr, 1000, 0},     // too long: dropped
        {"fast", 50, nullptr, nullptr, 0, 100},        // too short: dropped
        {"own", 5000, "mine", "x", 10, 0},             // the caller's arg3 wins, no limit applies
        {"back", -5000, nullptr, nullptr, 1000, 1000},
    };
    ut_test::LogCapture cap;
    for (const Row &r : rows) {
        ASSERT_EQ(Track_StartEvent(r.name), 0u);
        Drain();
        if (r.wallStepMs > 0) Clock().Advance(static_cast<uint64_t>(r.wallStepMs));
        if (r.wallStepMs < 0) Clock().SetSystemTimeMs(Clock().SystemTimeMs() - static_cast<uint64_t>(-r.wallStepMs));
        Finish(r.name, r.arg3, r.arg4, r.maxMs, r.minMs);
    }
    EXPECT_EQ(Tails(), (std::vector<std::string>{"20|ut_event_timed|a2|1000|\n", "20|ut_event_timed|a2|mine|x\n",
                                                 "20|ut_event_timed|a2|-1|\n"}));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "max interval error: endTime: ").size(), 1u);
    auto minLines = cap.Find("native_sdk", LOG_INFO, "min interval: 100, interval:50, endTime: ");
    ASSERT_EQ(minLines.size(), 1u);
    EXPECT_NE(minLines[0].text.find("index:fast"), std::string::npos);
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "endTime error: endTime: ").size(), 1u);
}

TEST_F(TimedEvents, SubEventDurationsAreMergedIntoArg4)
{
    ASSERT_EQ(Track_StartEvent("ev"), 0u);
    Mark("ev", "a", 0, 100);
    Mark("ev", "a", 1, 350);
    Mark("ev", "b", 1, 400);  // unknown end mark: starts b
    Mark("ev", "b", 0, 500);  // restart
    Mark("ev", "b", 1, 530);
    Mark("ev", "c", 0, 900);
    Mark("ev", "c", 1, 800);  // monotonic clock went back
    Mark("ev", "d", 0, 1);    // still running at finish: dropped
    Finish("ev", "7", "{\"z\":\"é\",\"a\":1}");

    ASSERT_EQ(Track_StartEvent("r"), 0u);
    Mark("r", "old", 0, 10);
    Mark("r", "old", 1, 20);
    ASSERT_EQ(Track_StartEvent("r"), 0u);  // a restart drops the earlier members
    Mark("r", "new", 0, 30);
    Mark("r", "new", 1, 70);
    Finish("r", "1", "{}");
    for (const char *arg4 : {static_cast<const char *>(nullptr), "[1,2]"}) {  // not an object: kept
        ASSERT_EQ(Track_StartEvent("s"), 0u);
        Mark("s", "x", 0, 10);
        Mark("s", "x", 1, 20);
        Finish("s", "1", arg4);
    }
    EXPECT_EQ(Tails(), (std::vector<std::string>{
                           "20|ut_event_timed|a2|7|{\"a\":250,\"b\":30,\"c\":18446744073709551615,\"z\":\"\\u00e9\"}\n",
                           "20|ut_event_timed|a2|1|{\"new\":40}\n", "20|ut_event_timed|a2|1|\n",
                           "20|ut_event_timed|a2|1|[1,2]\n"}));
}

TEST_F(TimedEvents, UnknownOrFinishedTwiceIsLoggedAndNullsAreRejected)
{
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_StartEvent("once"), 0u);
    Finish("once", "1", nullptr);
    Finish("once", "1", nullptr);
    tagUTContextSubEventParam sub = {"s", 0};
    ASSERT_EQ(Track_AddSubEvent("never", &sub), 0u);
    tagUTContextSubEventParam nullName = {nullptr, 1};
    ASSERT_EQ(Track_StartEvent("nn"), 0u);
    EXPECT_EQ(Track_AddSubEvent("nn", &nullName), 0u);  // an empty name is a name
    EXPECT_EQ(UserLines().size(), 1u);
    EXPECT_EQ(cap.Count("no start event, once"), 1u);
    EXPECT_EQ(cap.Count("no start event, never"), 1u);

    tagUTContextSpecialParam fin = {};
    EXPECT_EQ(Track_StartEvent(nullptr), kFailed);
    EXPECT_EQ(Track_AddSubEvent(nullptr, &sub), kFailed);
    EXPECT_EQ(Track_AddSubEvent("x", nullptr), kFailed);
    EXPECT_EQ(Track_FinishEvent(nullptr, &fin), kFailed);
    EXPECT_EQ(Track_FinishEvent("x", nullptr), kFailed);
}
