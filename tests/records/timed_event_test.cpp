// Timed events: durations, the interval limits, sub-event members and clock anomalies.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "records_fixture.h"
#include "support/log_capture.h"

using namespace records_test;
using unified_track::ContextSpecialParam;
using unified_track::ContextSubEventParam;

namespace {
tagUTContextSpecialParam Finish(const char *arg3, const char *arg4, uint32_t maxMs, uint32_t minMs)
{
    return {"20", "ut_event_timed", "a2", arg3, arg4, maxMs, minMs};
}

void Mark(const char *event, const char *name, uint8_t isEnd, uint64_t time)
{
    ContextSubEventParam mark;
    mark.name = name;
    mark.isEnd = isEnd;
    mark.time = time;
    OnCommandThread([=] {
        M().AddSubEvent(event, mark);
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
}

std::vector<std::string> Lines() { return SplitLines(AllUserRecords()); }

// The last four fields: eventId|event|arg2|arg3|arg4.
std::string Tail(const std::string &line)
{
    size_t pos = line.find("|20|ut_event_timed|");
    return pos == std::string::npos ? line : line.substr(pos + 1);
}
}  // namespace

class TimedEvents : public RecordsTest {
protected:
    void SetUp() override
    {
        RecordsTest::SetUp();
        tagUTBrioContextPublicParam ctx = {};
        ctx.context15 = "";
        ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    }
};

TEST_F(TimedEvents, DurationGoesToArg3WithinTheLimits)
{
    ASSERT_EQ(Track_StartEvent("join"), 0u);
    Drain();
    Clock().Advance(1000);
    tagUTContextSpecialParam fin = Finish(nullptr, nullptr, 1000, 1000);  // equal to both limits passes
    ASSERT_EQ(Track_FinishEvent("join", &fin), 0u);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Tail(lines[0]), "20|ut_event_timed|a2|1000|\n");
}

TEST_F(TimedEvents, TooLongAndTooShortAreNotWritten)
{
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_StartEvent("slow"), 0u);
    Drain();
    Clock().Advance(1500);
    tagUTContextSpecialParam slow = Finish(nullptr, nullptr, 1000, 0);
    ASSERT_EQ(Track_FinishEvent("slow", &slow), 0u);

    ASSERT_EQ(Track_StartEvent("fast"), 0u);
    Drain();
    Clock().Advance(50);
    tagUTContextSpecialParam fast = Finish(nullptr, nullptr, 0, 100);
    ASSERT_EQ(Track_FinishEvent("fast", &fast), 0u);
    EXPECT_EQ(AllUserRecords(), "");
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "max interval error: endTime: ").size(), 1u);
    auto minLines = cap.Find("native_sdk", LOG_INFO, "min interval: 100, interval:50, endTime: ");
    ASSERT_EQ(minLines.size(), 1u);
    EXPECT_NE(minLines[0].text.find("index:fast"), std::string::npos);
}

TEST_F(TimedEvents, CallersArg3WinsAndNoLimitApplies)
{
    ASSERT_EQ(Track_StartEvent("own"), 0u);
    Drain();
    Clock().Advance(5000);
    tagUTContextSpecialParam fin = Finish("mine", "x", 10, 0);
    ASSERT_EQ(Track_FinishEvent("own", &fin), 0u);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Tail(lines[0]), "20|ut_event_timed|a2|mine|x\n");
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
    tagUTContextSpecialParam fin = Finish("7", "{\"z\":\"é\",\"a\":1}", 0, 0);
    ASSERT_EQ(Track_FinishEvent("ev", &fin), 0u);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Tail(lines[0]),
              "20|ut_event_timed|a2|7|{\"a\":250,\"b\":30,\"c\":18446744073709551615,\"z\":\"\\u00e9\"}\n");
}

TEST_F(TimedEvents, RestartDropsEarlierSubEventsAndNonObjectArg4IsKept)
{
    ASSERT_EQ(Track_StartEvent("r"), 0u);
    Mark("r", "old", 0, 10);
    Mark("r", "old", 1, 20);
    ASSERT_EQ(Track_StartEvent("r"), 0u);
    Mark("r", "new", 0, 30);
    Mark("r", "new", 1, 70);
    tagUTContextSpecialParam fin = Finish("1", "{}", 0, 0);
    ASSERT_EQ(Track_FinishEvent("r", &fin), 0u);

    ASSERT_EQ(Track_StartEvent("s"), 0u);
    Mark("s", "x", 0, 10);
    Mark("s", "x", 1, 20);
    tagUTContextSpecialParam empty = Finish("1", nullptr, 0, 0);
    ASSERT_EQ(Track_FinishEvent("s", &empty), 0u);

    ASSERT_EQ(Track_StartEvent("t"), 0u);
    Mark("t", "x", 0, 10);
    Mark("t", "x", 1, 20);
    tagUTContextSpecialParam array = Finish("1", "[1,2]", 0, 0);
    ASSERT_EQ(Track_FinishEvent("t", &array), 0u);

    auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Tail(lines[0]), "20|ut_event_timed|a2|1|{\"new\":40}\n");
    EXPECT_EQ(Tail(lines[1]), "20|ut_event_timed|a2|1|\n");
    EXPECT_EQ(Tail(lines[2]), "20|ut_event_timed|a2|1|[1,2]\n");
}

TEST_F(TimedEvents, WallClockGoingBackGivesMinusOne)
{
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_StartEvent("back"), 0u);
    Drain();
    Clock().SetSystemTimeMs(kStartWallMs - 5000);
    tagUTContextSpecialParam fin = Finish(nullptr, nullptr, 1000, 1000);
    ASSERT_EQ(Track_FinishEvent("back", &fin), 0u);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Tail(lines[0]), "20|ut_event_timed|a2|-1|\n");
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "endTime error: endTime: ").size(), 1u);
}

TEST_F(TimedEvents, UnknownOrFinishedTwiceIsLoggedAndNullsAreRejected)
{
    ut_test::LogCapture cap;
    tagUTContextSpecialParam fin = Finish("1", nullptr, 0, 0);
    ASSERT_EQ(Track_StartEvent("once"), 0u);
    ASSERT_EQ(Track_FinishEvent("once", &fin), 0u);
    ASSERT_EQ(Track_FinishEvent("once", &fin), 0u);
    tagUTContextSubEventParam sub = {"s", 0};
    ASSERT_EQ(Track_AddSubEvent("never", &sub), 0u);
    EXPECT_EQ(Lines().size(), 1u);
    EXPECT_EQ(cap.Count("no start event, once"), 1u);
    EXPECT_EQ(cap.Count("no start event, never"), 1u);

    EXPECT_EQ(Track_StartEvent(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_AddSubEvent(nullptr, &sub), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_AddSubEvent("x", nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_FinishEvent(nullptr, &fin), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_FinishEvent("x", nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    tagUTContextSubEventParam nullName = {nullptr, 1};
    ASSERT_EQ(Track_StartEvent("nn"), 0u);
    EXPECT_EQ(Track_AddSubEvent("nn", &nullName), 0u);  // an empty name is a name
    Drain();
}
