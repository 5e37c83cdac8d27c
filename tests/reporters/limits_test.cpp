// Reporter texts that no record could hold are refused before anything is copied: nothing is
// queued, the refusal is logged, and link state keeps its earlier value.
#include <gtest/gtest.h>

#include <string>

#include <unified_track/unified_track.h>

#include "reporter_fixture.h"
#include "support/log_capture.h"

namespace {

using ut_reporters::ReporterEvents;

constexpr size_t kLargestRecord = 1048576;

TEST_F(ReporterEvents, TextsLongerThanARecordAreRefusedAndStateKeepsItsValue) {
    ut_test::LogCapture logs;
    const std::string over(kLargestRecord + 1, 'o');
    const std::string half(kLargestRecord / 2 + 1, 'h');  // two of them are over together
    ASSERT_EQ(track_set_confid("conf-1"), 0);
    track_http_error("https://h/x", "r", 1, 500, over.c_str());
    track_dotdata_log(half.c_str(), half.c_str());
    track_websocket_link_connect("WSS_CTRL", over.c_str(), "r", 0, "success", 0, "", 0);
    Track_ErrorAnalyze("type", over.c_str());
    EXPECT_EQ(track_set_confid(over.c_str()), 1);
    EXPECT_EQ(track_set_local_addr(over.c_str()), 1);
    EXPECT_EQ(logs.Count("text too long, refused"), 6u);

    track_rtc_error("f", 2, "d");
    const ut_reporters::Event e = Only();  // only the last report was queued
    EXPECT_EQ(e.event, "ut_event_sdk_rtc_error");
    EXPECT_NE(e.arg4.find("\"confId\":\"conf-1\""), std::string::npos) << e.arg4;
}

}  // namespace
