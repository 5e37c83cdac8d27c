// Reporter events as they land in the user dot file: through the real command thread, the
// user-event path and the file. Each test runs in its own process (the library is a singleton).
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "host/pal.h"
#include "reporter_fixture.h"
#include "support/log_capture.h"

namespace {

using ut_reporters::Event;
using ut_reporters::kRunMs;
using ut_reporters::kWallMs;
using ut_reporters::ReporterEvents;

tagUTTimeTakenRecord Record(const char *func, uint32_t blockedNotify) {
    tagUTTimeTakenRecord r{blockedNotify, 2, 1500, 10, "d", ""};
    std::strncpy(r.funcName, func, sizeof(r.funcName) - 1);
    return r;
}

tagUTPalMsgRecord Msg(uint32_t seq) {
    return tagUTPalMsgRecord{0, seq, 4, "a", 5, "b", 6};
}

// A reporter call, and the event, second argument and payload it must write.
struct Row {
    std::function<void()> call;
    const char *event, *arg2;
    std::string payload;
};

TEST_F(ReporterEvents, EveryReporterWritesItsEventAndPayloadInCallOrder) {
    for (int32_t rc :
         {track_set_confctrl_addr("ctrl:1"), track_set_confmanage_addr("mgmt:2"), track_set_confid("c77"),
          track_set_self_participant_id("p5"), track_set_local_addr("10.1.1.1"), track_set_media_addr("10.2.2.2", 5000),
          track_set_websocket_link_status(1, 5, "ok"), track_set_websocket_link_status(1, 0, "refused"),
          track_set_websocket_link_status(1, 0, "refused")}) {
        EXPECT_EQ(rc, 0);
    }
    const tagUTTimeTakenRecord taken = Record("Conf::Join", 0);
    const tagUTPalMsgRecord msg = Msg(1);
    const std::vector<Row> rows = {
        {[] {
             errno = 0;
             track_http_error("https://h/v1/usg/acs/token?t=1", nullptr, 106, 0, "{}");
         },
         "ut_event_sdk_http_error", "0",
         "{\"errno\":106,\"errnoDesc\":\"CURLE_COULDNT_RESOLVE_HOST - could not resolve host\","
         "\"event\":\"LOGIN_HTTP_RECONNECT_URL\",\"httpRsp\":0,\"httpRspBody\":\"{}\","
         "\"requestId\":\"NA\",\"uri\":\"/v1/usg/acs/token\",\"winLastError\":0}"},
        // The caller's last OS error travels along.
        {[] {
             errno = 110;
             track_http_error("/v1/usg/acs/login/sc", "r", 0, 500, nullptr);
         },
         "ut_event_sdk_http_error", "0",
         "{\"errno\":0,\"errnoDesc\":\"\",\"event\":\"LOGIN_HTTPS_AUTH_URL\",\"httpRsp\":500,"
         "\"httpRspBody\":\"NA\",\"requestId\":\"r\",\"uri\":\"/v1/usg/acs/login/sc\",\"winLastError\":110}"},
        {[] { track_websocket_error(1, 1, "sub", "9", 414100058, "lost"); }, "ut_event_sdk_websocket_error", "0",
         "{\"errno\":414100058,\"errnoDesc\":\"lost\",\"event\":\"recv err\",\"failedTimes\":2,"
         "\"linkErrDesc\":\"refused\",\"linkStatus\":\"connect failed\",\"linkType\":\"conf usg manage\","
         "\"oprType\":\"sub\",\"sequence\":\"9\",\"serverIp\":\"mgmt:2\"}"},
        {[] { track_websocket_retry(7, 2, 1000); }, "ut_event_sdk_websocket_retry", "0",
         "{\"event\":\"closed\",\"linkType\":\"unknow\",\"nextTime\":1000}"},
        {[] { track_websocket_retry(0, 2, 1000); }, "ut_event_sdk_websocket_retry", "0",
         "{\"confId\":\"c77\",\"event\":\"closed\",\"linkType\":\"conf ctrl\",\"nextTime\":1000,"
         "\"pid\":\"p5\",\"serverIp\":\"ctrl:1\"}"},
        {[] { track_websocket_heartbeat_timeout("WSS_CTRL"); }, "ut_event_sdk_heartbeat_timeout", "0",
         "{\"linkType\":\"WSS_CTRL\"}"},
        {[this] {
             clock_.SetSystemTimeMs(kWallMs + 2500);
             track_websocket_link_connect("WSS_CTRL", "1.1.1.1", "cn", 1, "success", kWallMs, "", 40);
         },
         "ut_event_sdk_websocket_connect", "0",
         "{\"connectReason\":1,\"connectTakenTime\":40,\"lastFailedAddr\":\"\",\"linkTime\":2,"
         "\"linkType\":\"WSS_CTRL\",\"localIp\":\"10.1.1.1\",\"regionName\":\"cn\","
         "\"serverIp\":\"1.1.1.1\",\"status\":\"success\"}"},
        {[] { track_rtc_error(nullptr, 3, "x"); }, "ut_event_sdk_rtc_error", "0",
         "{\"confId\":\"c77\",\"errno\":3,\"errnoDesc\":\"x\",\"rtcFunc\":\"NA\"}"},
        {[] { track_dotdata_delete_file("1.gz", 4, 0, "ops.example", -1); }, "ut_event_dotdata_delete_zip", "0",
         "{\"deleteFileName\":\"1.gz\",\"errorCode\":0,\"fileLength\":-1,\"fileType\":4,\"uploadUrl\":\"ops."
         "example\"}"},
        {[] { track_zipfile_generate_error(nullptr, 1, 2); }, "ut_event_dotdata_delete_zip", "0",
         "{\"errorCode\":1,\"fileType\":2,\"zipError\":2,\"zipFilePath\":\"\"}"},
        {[] { track_log_zip_error(5, "a.log"); }, "ut_event_sdk_logfile_compress_error", "0",
         "{\"errorCode\":5,\"fileType\":2,\"logFileName\":\"a.log\"}"},
        {[] { track_dotdata_log("hello", "Main::Run"); }, "ut_event_meeting_log", "0",
         "{\"content\":\"hello\",\"functionName\":\"Main::Run\",\"platform\":0}"},
        {[] { track_dotdata_parse_domain_error("d.example", -2); }, "ut_event_sdk_parse_domain_error", "0",
         "{\"domain\":\"d.example\",\"errno\":-2}"},
        {[] { track_set_deploy_mode(1); }, "ut_event_sdk_set_deploy_mode", "0", "{\"mode\":1}"},
        {[] { track_switch_deploy_mode(2, 3); }, "ut_event_sdk_switch_deploy_mode", "0", "{\"mode\":2,\"reason\":3}"},
        {[] { track_usg_websocket_detect_result(0, "wss://u"); }, "ut_event_sdk_usg_websocket_detect_result", "0",
         "{\"address\":\"wss://u\",\"isSuccess\":0}"},
        {[&taken] { Track_TimeTakenDotData(&taken); }, "ut_event_time_taken_native_sdk", "",
         "{\"blockedCount\":2,\"blockedNotify\":0,\"data\":\"d\",\"funcName\":\"Conf::Join\","
         "\"line\":10,\"useTime\":1500}"},
        // Not escaped: the text is joined as given.
        {[] { Track_ErrorAnalyze("net", "say \"hi\""); }, "ut_event_sdk_error_analyze", "",
         "{\"type\":\"net\",\"errorInfo\":\"say \"hi\"\"}"},
        {[] { Track_AnonymousAuth("192.0.2.1", "c1", 7); }, "ut_event_sdk_anonymous_auth", "",
         "{\"confId\":\"c1\",\"result\":7,\"serverIp\":\"192.0.2.1\"}"},
        {[&msg] { PalMsgDotData(&msg); }, "ut_event_sdk_pal_msg", "",
         "{\"appMsgId\":4,\"recvApp\":\"b\",\"recvMid\":6,\"sendApp\":\"a\",\"sendMid\":5,\"seqId\":1}"},
    };
    for (const Row &r : rows) r.call();
    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), rows.size());
    for (size_t i = 0; i < e.size(); ++i) {
        EXPECT_EQ(e[i].eventId, "1") << i;
        EXPECT_EQ(e[i].event, rows[i].event) << i;
        EXPECT_EQ(e[i].arg2, rows[i].arg2) << i;
        EXPECT_EQ(e[i].arg3, "") << i;
        EXPECT_EQ(e[i].arg4, rows[i].payload) << i;
    }
}

TEST_F(ReporterEvents, NullUnknownOrSwitchedOffInputsSendNothing) {
    ut_test::LogCapture logs;
    track_http_error("https://h/other", "r", 106, 0, "b");
    track_http_error(nullptr, nullptr, 0, 0, nullptr);
    track_websocket_heartbeat_timeout(nullptr);
    Track_TimeTakenDotData(nullptr);
    PalMsgDotData(nullptr);
    Track_ErrorAnalyze(nullptr, "x");
    Track_AnonymousAuth(nullptr, "c1", 7);
    Track_AnonymousAuth("192.0.2.1", nullptr, 7);
    EXPECT_EQ(logs.Count("arg is null"), 4u);
    Track_SetMeetingSDKDotSwitch(false);
    track_set_deploy_mode(1);
    Track_ErrorAnalyze("t", "i");
    EXPECT_TRUE(Events().empty());
    Track_SetMeetingSDKDotSwitch(true);
    track_set_deploy_mode(2);
    EXPECT_EQ(Only().arg4, "{\"mode\":2}");
}

TEST_F(ReporterEvents, LogLibraryCallbacksReachTheUserDotFile) {
    int32_t isBrio = 0;
    ASSERT_EQ(CheckAppIdAndSetDotData("xBrioMeetingx", &isBrio), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    Events();  // the log library's callbacks are registered on the command thread
    const DotdataFunc dotdata = LogStream::GetDotdataFuncCallback();
    ASSERT_NE(dotdata, nullptr);
    dotdata("line", "Fn");
    EXPECT_NE(LogStream::CompressLogFile(dir_.file("missing.log")), 0);
    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].arg4, "{\"content\":\"line\",\"functionName\":\"Fn\",\"platform\":0}");
    EXPECT_EQ(e[1].event, "ut_event_sdk_logfile_compress_error");
    EXPECT_NE(e[1].arg4.find("\"fileType\":2,\"logFileName\":\"missing.log\"}"), std::string::npos);
}

std::atomic<int> g_blockedCalls{0};
std::atomic<uint64_t> g_blockedThread{0};
void OnBlocked() {
    g_blockedCalls.fetch_add(1);
    g_blockedThread.store(PAL_GetTID());
}

TEST_F(ReporterEvents, BlockedCallbackRunsOnTheCallersThreadOnlyWhenAskedAndRegistered) {
    Track_SetBlockedNotifyCB("Conf::Join", &OnBlocked);
    Track_SetBlockedNotifyCB(nullptr, &OnBlocked);  // ignored
    Track_SetBlockedNotifyCB("Conf::Null", &OnBlocked);
    Track_SetBlockedNotifyCB("Conf::Null", nullptr);  // a null callback unregisters
    const std::pair<const char *, uint32_t> quiet[] = {
        {"Conf::Join", 0}, {"conf::join", 1}, {"Conf::Leave", 1}, {"Conf::Null", 1}};
    for (const auto &q : quiet) {
        const tagUTTimeTakenRecord r = Record(q.first, q.second);
        Track_TimeTakenDotData(&r);
    }
    EXPECT_EQ(g_blockedCalls.load(), 0);
    const tagUTTimeTakenRecord blocked = Record("Conf::Join", 1);
    Track_TimeTakenDotData(&blocked);
    EXPECT_EQ(g_blockedCalls.load(), 1);  // synchronous, before the call returns
    EXPECT_EQ(g_blockedThread.load(), PAL_GetTID());
    EXPECT_EQ(Events().size(), 5u);  // every record is reported all the same
}

TEST_F(ReporterEvents, MainThreadDelayWindow) {
    ut_test::LogCapture logs;
    EXPECT_EQ(Track_IsMainThreadDelay(), 0u);
    const tagUTTimeTakenRecord delay = Record("lum_conf_main_detect_delay", 0);
    Track_TimeTakenDotData(&delay);
    EXPECT_TRUE(logs.Contains("delayTime: " + std::to_string(kRunMs)));
    // Delayed from 1 to 30000 ms after the report.
    const std::pair<uint64_t, uint32_t> steps[] = {{0, 0}, {1, 1}, {29999, 1}, {1, 0}};
    for (const auto &step : steps) {
        clock_.Advance(step.first);
        EXPECT_EQ(Track_IsMainThreadDelay(), step.second) << step.first;
    }
    // A new report opens a new window.
    Track_TimeTakenDotData(&delay);
    clock_.Advance(10);
    EXPECT_EQ(Track_IsMainThreadDelay(), 1u);
}

TEST_F(ReporterEvents, BusMessagesAtMostOncePer30Seconds) {
    // The first report passes (run time is past 30 s), then one per 30 s of run time.
    const std::pair<uint64_t, uint32_t> steps[] = {{0, 1}, {0, 2}, {29000, 3}, {1000, 4}};
    for (const auto &step : steps) {
        clock_.Advance(step.first);
        const tagUTPalMsgRecord m = Msg(step.second);
        PalMsgDotData(&m);
    }
    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_NE(e[0].arg4.find("\"seqId\":1}"), std::string::npos);
    EXPECT_NE(e[1].arg4.find("\"seqId\":4}"), std::string::npos);
}

TEST_F(ReporterEvents, LongTextsAreWrittenWhole) {
    // Long, yet short enough that the line stays below the packing threshold of the dot file.
    const std::string longText(8000, 'q');
    track_dotdata_log(longText.c_str(), "f");
    EXPECT_EQ(Only().arg4, "{\"content\":\"" + longText + "\",\"functionName\":\"f\",\"platform\":0}");
}

}  // namespace
