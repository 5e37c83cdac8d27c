// The link state record: setters, failure counting, bad link types, null texts.
#include <gtest/gtest.h>

#include <string>

#include "interface/track_link_state.h"

namespace unified_track {
namespace {

std::string Str(const SecureString &s) { return std::string(s.data(), s.size()); }

TEST(LinkState, FailureCountsRunUntilSuccess) {
    LinkState &state = LinkState::Instance();
    state.SetWebsocketLinkStatus(0, 5, "");
    uint32_t seen[4];
    state.SetWebsocketLinkStatus(0, 0, "connect failed");
    seen[0] = state.Get().ctrlFailedTimes;
    state.SetWebsocketLinkStatus(0, 2, nullptr);
    seen[1] = state.Get().ctrlFailedTimes;
    state.SetWebsocketLinkStatus(0, 99, "odd");
    seen[2] = state.Get().ctrlFailedTimes;
    EXPECT_EQ(state.Get().ctrlStatus, 99);
    EXPECT_EQ(Str(state.Get().ctrlDesc), "odd");
    state.SetWebsocketLinkStatus(0, 5, "up");
    seen[3] = state.Get().ctrlFailedTimes;
    EXPECT_EQ(seen[0], 1u);
    EXPECT_EQ(seen[1], 2u);
    EXPECT_EQ(seen[2], 3u);
    EXPECT_EQ(seen[3], 0u);
}

TEST(LinkState, LinksCountSeparatelyAndOtherTypesChangeNothing) {
    LinkState &state = LinkState::Instance();
    state.SetWebsocketLinkStatus(0, 5, "c");
    state.SetWebsocketLinkStatus(1, 5, "m");
    state.SetWebsocketLinkStatus(1, 1, nullptr);
    const LinkState::Snapshot before = state.Get();
    EXPECT_EQ(before.ctrlFailedTimes, 0u);
    EXPECT_EQ(before.manageFailedTimes, 1u);
    EXPECT_EQ(Str(before.manageDesc), "");  // null description stores empty
    for (int32_t linkType : {2, -1, 7, INT32_MIN}) {
        state.SetWebsocketLinkStatus(linkType, 0, "x");
    }
    const LinkState::Snapshot after = state.Get();
    EXPECT_EQ(after.ctrlStatus, 5);
    EXPECT_EQ(after.manageStatus, 1);
    EXPECT_EQ(after.ctrlFailedTimes, 0u);
    EXPECT_EQ(after.manageFailedTimes, 1u);
    EXPECT_EQ(Str(after.ctrlDesc), "c");
}

TEST(LinkState, NullTextLeavesFieldAndMediaAddressJoinsPort) {
    LinkState &state = LinkState::Instance();
    state.SetConfId("c-1");
    state.SetConfId(nullptr);
    state.SetLocalAddr("");
    state.SetMediaAddr("192.0.2.1", -1);
    state.SetMediaAddr(nullptr, 80);
    const LinkState::Snapshot s = state.Get();
    EXPECT_EQ(Str(s.confId), "c-1");
    EXPECT_EQ(Str(s.localAddr), "");
    EXPECT_EQ(Str(s.mediaAddr), "192.0.2.1:-1");
    state.SetMediaAddr("h", INT32_MIN);
    EXPECT_EQ(Str(state.Get().mediaAddr), "h:-2147483648");
}

}  // namespace
}  // namespace unified_track
