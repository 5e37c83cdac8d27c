// The flood gate: a call that makes up more than a third of the recent call lines is dropped.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "support/manual_clock.h"
#include "support/scoped_host.h"
#include "log/TrackApiLog.h"
#include "support/log_capture.h"

namespace {

class ApiLogFlood : public ::testing::Test {
protected:
    void SetUp() override { TrackApiLog::ClearFloodState(); }
    // True when the call line was written.
    bool Call(const std::string &text) {
        size_t before = capture_.Find("sdk_api_info", -1, "]: " + text).size();
        Track_AddTraceApiLogStr(3, 2, text.c_str());
        return capture_.Find("sdk_api_info", -1, "]: " + text).size() > before;
    }
    size_t Summaries() const { return capture_.Find("sdk_api_info", -1, "abandom interface: ").size(); }

    ut_test::LogCapture capture_;
};

}  // namespace

TEST_F(ApiLogFlood, MoreThanAThirdOfTheRecentCallsIsDropped) {
    // A second call right after the first is already more than a third of one.
    EXPECT_TRUE(Call("A called"));
    EXPECT_FALSE(Call("A called"));

    TrackApiLog::ClearFloodState();
    for (const char *text : {"A called", "B called", "C called", "A called", "D called", "E called", "F called",
                             "A called", "G called", "H called"}) {
        EXPECT_TRUE(Call(text)) << text;
    }
    // Ten recorded: A makes up 3, then (the oldest A gone) 3 again, then 4.
    EXPECT_TRUE(Call("A called"));
    EXPECT_TRUE(Call("A called"));
    EXPECT_FALSE(Call("A called"));
}

TEST_F(ApiLogFlood, OnlyInterfaceCallLinesCount) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Call("called at the start")) << i;
        EXPECT_TRUE(Call("no call marker")) << i;
    }
}

TEST_F(ApiLogFlood, EverySixthDropWritesTheSummaryAndRestartsTheCount) {
    EXPECT_TRUE(Call("X called"));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(Call("X called"));
    EXPECT_EQ(Summaries(), 0u);
    EXPECT_FALSE(Call("X called"));
    auto summary = capture_.Find("sdk_api_info", 2, "abandom interface: ");
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(summary[0].text, "abandom interface: X , abandom count: 6; ");
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(Call("X called"));
    EXPECT_EQ(Summaries(), 1u);
    EXPECT_FALSE(Call("X called"));
    EXPECT_EQ(Summaries(), 2u);
}

TEST_F(ApiLogFlood, TheOldestDropIsForgottenPastTenPrefixes) {
    ut_test::ManualClock clock(1000, 1000);
    ut_test::ScopedClock installed(&clock);
    // Five calls in a row drop the fifth once the recent list is full of others.
    auto dropOnce = [&](const std::string &prefix) {
        int dropped = 0;
        for (int i = 0; i < 5; ++i) dropped += Call(prefix + " called") ? 0 : 1;
        clock.Advance(10);
        return dropped;
    };
    const std::vector<std::string> warm = {"w0", "w1", "w2", "w3", "w4", "w5", "w6", "w7", "w8", "w9"};
    for (const auto &w : warm) Call(w + " called");
    const std::vector<std::string> prefixes = {"p01", "p02", "p03", "p04", "p05", "p06",
                                               "p07", "p08", "p09", "p10", "p11"};
    for (const auto &p : prefixes) EXPECT_EQ(dropOnce(p), 1) << p;
    // p02 reaches six drops: the summary lists what is left, in key order; p01 was the oldest.
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(Call("p02 called"));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(Call("p02 called"));
    auto summary = capture_.Find("sdk_api_info", -1, "abandom interface: ");
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(summary[0].text,
              "abandom interface: p02 , abandom count: 6; p03 , abandom count: 1; p04 , abandom count: 1; "
              "p05 , abandom count: 1; p06 , abandom count: 1; p07 , abandom count: 1; p08 , abandom count: 1; "
              "p09 , abandom count: 1; p10 , abandom count: 1; p11 , abandom count: 1; ");
}

TEST_F(ApiLogFlood, CallersOnManyThreads) {
    constexpr int kThreads = 4;
    constexpr int kLines = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                const std::string text = "thread " + std::to_string(t) + " line " + std::to_string(i) +
                                         " {\"pwd\":\"s" + std::to_string(i) + "\"}";
                Track_AddTraceApiLogStr(1, 2, text.c_str());
                Track_AddTraceApiLogStr(6, 3, "Poll called again");
            }
        });
    }
    for (auto &th : threads) th.join();
    // Lines without a call marker are never dropped; the repeated call mostly is.
    EXPECT_EQ(capture_.Find("sdk_api_info", -1, "thread ").size(), static_cast<size_t>(kThreads * kLines));
    EXPECT_EQ(capture_.Find("sdk_api_info", -1, "\"pwd\":\"s").size(), 0u);
    EXPECT_LT(capture_.Find("sdk_api_info", -1, "Poll called").size(), static_cast<size_t>(kThreads * kLines));
}
