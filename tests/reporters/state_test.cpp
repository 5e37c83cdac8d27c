// The link state record and the message report limiter.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "interface/track_link_state.h"
#include "interface/track_timing_state.h"

namespace unified_track {
namespace {

std::string Str(const SecureString &s) {
    return std::string(s.data(), s.size());
}

TEST(LinkState, FailuresCountPerLinkUntilSuccessAndNullTextsKeepFields) {
    LinkState &state = LinkState::Instance();
    state.SetWebsocketLinkStatus(0, 5, "c");
    state.SetWebsocketLinkStatus(1, 5, "m");
    // Every status but 5 counts as a failure, unknown ones too.
    const std::pair<int32_t, uint32_t> ctrl[] = {{0, 1}, {2, 2}, {99, 3}, {5, 0}, {1, 1}};
    for (const auto &step : ctrl) {
        state.SetWebsocketLinkStatus(0, step.first, nullptr);
        EXPECT_EQ(state.Get().ctrlFailedTimes, step.second) << step.first;
        EXPECT_EQ(state.Get().ctrlStatus, step.first);
        EXPECT_EQ(Str(state.Get().ctrlDesc), "");  // null description stores empty
    }
    EXPECT_EQ(state.Get().manageFailedTimes, 0u);
    EXPECT_EQ(Str(state.Get().manageDesc), "m");
    state.SetWebsocketLinkStatus(1, 1, "x");
    for (int32_t linkType : {2, -1, 7, INT32_MIN}) state.SetWebsocketLinkStatus(linkType, 0, "y");
    const LinkState::Snapshot s = state.Get();
    EXPECT_EQ(s.ctrlFailedTimes, 1u);
    EXPECT_EQ(s.manageFailedTimes, 1u);
    EXPECT_EQ(Str(s.ctrlDesc), "");
    EXPECT_EQ(Str(s.manageDesc), "x");

    // A null text leaves the field as it was; the media address joins host and port.
    state.SetConfId("c-1");
    state.SetConfId(nullptr);
    state.SetMediaAddr("192.0.2.1", -1);
    state.SetMediaAddr(nullptr, 80);
    EXPECT_EQ(Str(state.Get().confId), "c-1");
    EXPECT_EQ(Str(state.Get().mediaAddr), "192.0.2.1:-1");
    state.SetMediaAddr("h", INT32_MIN);
    EXPECT_EQ(Str(state.Get().mediaAddr), "h:-2147483648");
}

TEST(MsgReportLimiter, OneReportPer30SecondsAndABackwardClockRestarts) {
    MsgReportLimiter limiter;
    const std::pair<uint32_t, bool> steps[] = {{0, false},   {29, false}, {30, true},  {59, false}, {60, true},
                                               {1000, true}, {50, false}, {79, false}, {80, true}};
    for (const auto &step : steps) EXPECT_EQ(limiter.TryReport(step.first), step.second) << step.first;
}

}  // namespace
}  // namespace unified_track
