// Reporters, setters and timing reports from several threads at once. Run under ThreadSanitizer
// to catch races; the counts checked here hold whatever the interleaving.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <unified_track/unified_track.h>

#include "reporter_fixture.h"
#include "support/log_capture.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 100;

std::atomic<int> g_calls{0};
void Blocked() {
    g_calls.fetch_add(1);
}

using ut_reporters::ReporterEvents;

TEST_F(ReporterEvents, ReportersSettersAndTimingReportsFromSeveralThreads) {
    ut_test::LogCapture logs;
    const tagUTTimeTakenRecord rec{1, 0, 0, 0, "", "lum_conf_main_detect_delay"};
    const tagUTPalMsgRecord msg{};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string id = std::to_string(t);
            for (int i = 0; i < kRounds; ++i) {
                if (t % 2 == 0) {
                    track_set_confid(("c" + id).c_str());
                    track_set_self_participant_id(("p" + id).c_str());
                    track_set_confctrl_addr(("a" + id).c_str());
                    track_set_local_addr(nullptr);
                    track_set_local_addr(("l" + id).c_str());
                    track_set_websocket_link_status(i % 2, i % 6, "d");
                    track_set_media_addr("m", i);
                } else {
                    Track_SetBlockedNotifyCB("lum_conf_main_detect_delay", (i % 2) ? &Blocked : nullptr);
                }
                track_websocket_error(i % 3, 1, "o", "s", 414100058, "e");
                track_websocket_retry(0, 0, i);
                track_rtc_error("f", i, "d");
                track_websocket_link_connect("WSS_CTRL", "s", "r", 0, "success", 1, "l", 1);
                Track_TimeTakenDotData(&rec);
                (void)Track_IsMainThreadDelay();
                PalMsgDotData(&msg);
            }
        });
    }
    for (auto &th : threads) th.join();
    for (const ut_reporters::Event &e : Events()) {
        EXPECT_EQ(e.eventId, "1");
        EXPECT_EQ(e.arg4.front(), '{');
        EXPECT_EQ(e.arg4.back(), '}');
    }
    EXPECT_LE(g_calls.load(), kThreads * kRounds);
    EXPECT_EQ(Track_IsMainThreadDelay(), 0u);  // same millisecond as the reports
    // Written events are counted from the user-event path's log lines: the dot file may be packed
    // into a zip file along the way.
    const size_t each = static_cast<size_t>(kThreads * kRounds);
    for (const char *event : {"ut_event_sdk_websocket_error", "ut_event_sdk_websocket_retry", "ut_event_sdk_rtc_error",
                              "ut_event_sdk_websocket_connect", "ut_event_time_taken_native_sdk"}) {
        EXPECT_EQ(logs.Count(std::string("AddUserTrack event:") + event + ", arg2:"), each) << event;
    }
    // The run time never moved: all those bus messages made exactly one report.
    EXPECT_EQ(logs.Count("AddUserTrack event:ut_event_sdk_pal_msg, arg2:"), 1u);
}

}  // namespace
