// Reporters, setters and timing reports from several threads at once. Run under ThreadSanitizer
// to catch races; the counts checked here hold whatever the interleaving.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <unified_track/unified_track.h>

#include "reporter_fixture.h"
#include "support/log_capture.h"

namespace {

using ut_reporters::Event;
using ut_reporters::ReporterEvents;

constexpr int kThreads = 4;
constexpr int kRounds = 100;

template <typename F>
void RunThreads(F body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (auto &th : threads) th.join();
}

// Written events are counted from the user-event path's log lines: the dot file may be packed
// into a zip file along the way.
size_t Written(const ut_test::LogCapture &logs, const std::string &event) {
    return logs.Count("AddUserTrack event:" + event + ", arg2:");
}

TEST_F(ReporterEvents, ReportersWhileSettersChangeTheLinkState) {
    ut_test::LogCapture logs;
    RunThreads([](int t) {
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
            }
            track_websocket_error(i % 3, 1, "o", "s", 414100058, "e");
            track_websocket_retry(0, 0, i);
            track_rtc_error("f", i, "d");
            track_websocket_link_connect("WSS_CTRL", "s", "r", 0, "success", 1, "l", 1);
        }
    });
    for (const Event &e : Events()) {
        EXPECT_EQ(e.eventId, "1");
        EXPECT_EQ(e.arg4.front(), '{');
        EXPECT_EQ(e.arg4.back(), '}');
    }
    const size_t each = static_cast<size_t>(kThreads * kRounds);
    EXPECT_EQ(Written(logs, "ut_event_sdk_websocket_error"), each);
    EXPECT_EQ(Written(logs, "ut_event_sdk_websocket_retry"), each);
    EXPECT_EQ(Written(logs, "ut_event_sdk_rtc_error"), each);
    EXPECT_EQ(Written(logs, "ut_event_sdk_websocket_connect"), each);
}

std::atomic<int> g_calls{0};
void Blocked() { g_calls.fetch_add(1); }

TEST_F(ReporterEvents, TimingReportsFromSeveralThreads) {
    ut_test::LogCapture logs;
    tagUTTimeTakenRecord rec;
    std::memset(&rec, 0, sizeof(rec));
    rec.blockedNotify = 1;
    std::strcpy(rec.funcName, "lum_conf_main_detect_delay");
    tagUTPalMsgRecord msg;
    std::memset(&msg, 0, sizeof(msg));
    RunThreads([&](int t) {
        for (int i = 0; i < kRounds; ++i) {
            if (t == 0) Track_SetBlockedNotifyCB("lum_conf_main_detect_delay", (i % 2) ? &Blocked : nullptr);
            Track_TimeTakenDotData(&rec);
            (void)Track_IsMainThreadDelay();
            PalMsgDotData(&msg);
        }
    });
    EXPECT_LE(g_calls.load(), kThreads * kRounds);
    EXPECT_EQ(Track_IsMainThreadDelay(), 0u);  // same millisecond as the reports
    Events();  // drain
    EXPECT_EQ(Written(logs, "ut_event_time_taken_native_sdk"), static_cast<size_t>(kThreads * kRounds));
    // The run time never moved: all those bus messages made exactly one report.
    EXPECT_EQ(Written(logs, "ut_event_sdk_pal_msg"), 1u);
}

}  // namespace
