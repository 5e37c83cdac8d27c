// Reporter events as they land in the user dot file: through the real command thread, the
// user-event path and the file. Each test runs in its own process (the library is a singleton).
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "host/pal.h"
#include "reporter_fixture.h"
#include "support/log_capture.h"

namespace {

using ut_reporters::Event;
using ut_reporters::ReporterEvents;
using ut_reporters::kRunMs;
using ut_reporters::kWallMs;

TEST_F(ReporterEvents, HttpErrorLineCarriesIdEventArg2AndPayload) {
    errno = 0;
    track_http_error("https://h/v1/usg/acs/token?t=1", nullptr, 106, 0, "{}");
    const Event e = Only();
    EXPECT_EQ(e.eventId, "1");
    EXPECT_EQ(e.event, "ut_event_sdk_http_error");
    EXPECT_EQ(e.arg2, "0");
    EXPECT_EQ(e.arg3, "");
    EXPECT_EQ(e.arg4,
              "{\"errno\":106,\"errnoDesc\":\"CURLE_COULDNT_RESOLVE_HOST - could not resolve host\","
              "\"event\":\"LOGIN_HTTP_RECONNECT_URL\",\"httpRsp\":0,\"httpRspBody\":\"{}\","
              "\"requestId\":\"NA\",\"uri\":\"/v1/usg/acs/token\",\"winLastError\":0}");
}

TEST_F(ReporterEvents, HttpErrorCarriesTheCallersLastOsError) {
    errno = 110;
    track_http_error("/v1/usg/acs/login/sc", "r", 0, 500, nullptr);
    EXPECT_NE(Only().arg4.find("\"winLastError\":110}"), std::string::npos);
}

TEST_F(ReporterEvents, UnknownUrlAndNullHeartbeatSendNothing) {
    track_http_error("https://h/other", "r", 106, 0, "b");
    track_http_error(nullptr, nullptr, 0, 0, nullptr);
    track_websocket_heartbeat_timeout(nullptr);
    EXPECT_TRUE(Events().empty());
}

TEST_F(ReporterEvents, LinkEventsInCallOrderWithLinkState) {
    EXPECT_EQ(track_set_confctrl_addr("ctrl:1"), 0);
    EXPECT_EQ(track_set_confmanage_addr("mgmt:2"), 0);
    EXPECT_EQ(track_set_confid("c77"), 0);
    EXPECT_EQ(track_set_self_participant_id("p5"), 0);
    EXPECT_EQ(track_set_local_addr("10.1.1.1"), 0);
    EXPECT_EQ(track_set_media_addr("10.2.2.2", 5000), 0);
    EXPECT_EQ(track_set_websocket_link_status(1, 5, "ok"), 0);
    EXPECT_EQ(track_set_websocket_link_status(1, 0, "refused"), 0);
    EXPECT_EQ(track_set_websocket_link_status(1, 0, "refused"), 0);

    track_websocket_error(1, 1, "sub", "9", 414100058, "lost");
    track_websocket_retry(7, 2, 1000);
    track_websocket_retry(0, 2, 1000);
    track_websocket_heartbeat_timeout("WSS_CTRL");
    clock_.SetSystemTimeMs(kWallMs + 2500);
    track_websocket_link_connect("WSS_CTRL", "1.1.1.1", "cn", 1, "success", kWallMs, "", 40);
    track_rtc_error(nullptr, 3, "x");

    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].event, "ut_event_sdk_websocket_error");
    EXPECT_EQ(e[0].arg4,
              "{\"errno\":414100058,\"errnoDesc\":\"lost\",\"event\":\"recv err\",\"failedTimes\":2,"
              "\"linkErrDesc\":\"refused\",\"linkStatus\":\"connect failed\",\"linkType\":\"conf usg manage\","
              "\"oprType\":\"sub\",\"sequence\":\"9\",\"serverIp\":\"mgmt:2\"}");
    EXPECT_EQ(e[1].event, "ut_event_sdk_websocket_retry");
    EXPECT_EQ(e[1].arg4, "{\"event\":\"closed\",\"linkType\":\"unknow\",\"nextTime\":1000}");
    EXPECT_EQ(e[2].arg4,
              "{\"confId\":\"c77\",\"event\":\"closed\",\"linkType\":\"conf ctrl\",\"nextTime\":1000,"
              "\"pid\":\"p5\",\"serverIp\":\"ctrl:1\"}");
    EXPECT_EQ(e[3].event, "ut_event_sdk_heartbeat_timeout");
    EXPECT_EQ(e[3].arg4, "{\"linkType\":\"WSS_CTRL\"}");
    EXPECT_EQ(e[4].event, "ut_event_sdk_websocket_connect");
    EXPECT_EQ(e[4].arg4,
              "{\"connectReason\":1,\"connectTakenTime\":40,\"lastFailedAddr\":\"\",\"linkTime\":2,"
              "\"linkType\":\"WSS_CTRL\",\"localIp\":\"10.1.1.1\",\"regionName\":\"cn\","
              "\"serverIp\":\"1.1.1.1\",\"status\":\"success\"}");
    EXPECT_EQ(e[5].event, "ut_event_sdk_rtc_error");
    EXPECT_EQ(e[5].arg4, "{\"confId\":\"c77\",\"errno\":3,\"errnoDesc\":\"x\",\"rtcFunc\":\"NA\"}");
    for (const Event &ev : e) {
        EXPECT_EQ(ev.eventId, "1");
        EXPECT_EQ(ev.arg2, "0");
    }
}

TEST_F(ReporterEvents, FileLogAndDeployEvents) {
    track_dotdata_delete_file("1.gz", 4, 0, "ops.example", -1);
    track_zipfile_generate_error(nullptr, 1, 2);
    track_log_zip_error(5, "a.log");
    track_dotdata_log("hello", "Main::Run");
    track_dotdata_parse_domain_error("d.example", -2);
    track_set_deploy_mode(1);
    track_switch_deploy_mode(2, 3);
    track_usg_websocket_detect_result(0, "wss://u");
    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 8u);
    const char *names[] = {"ut_event_dotdata_delete_zip", "ut_event_dotdata_delete_zip",
                           "ut_event_sdk_logfile_compress_error", "ut_event_meeting_log",
                           "ut_event_sdk_parse_domain_error", "ut_event_sdk_set_deploy_mode",
                           "ut_event_sdk_switch_deploy_mode", "ut_event_sdk_usg_websocket_detect_result"};
    const char *payloads[] = {
        "{\"deleteFileName\":\"1.gz\",\"errorCode\":0,\"fileLength\":-1,\"fileType\":4,\"uploadUrl\":\"ops.example\"}",
        "{\"errorCode\":1,\"fileType\":2,\"zipError\":2,\"zipFilePath\":\"\"}",
        "{\"errorCode\":5,\"fileType\":2,\"logFileName\":\"a.log\"}",
        "{\"content\":\"hello\",\"functionName\":\"Main::Run\",\"platform\":0}",
        "{\"domain\":\"d.example\",\"errno\":-2}",
        "{\"mode\":1}",
        "{\"mode\":2,\"reason\":3}",
        "{\"address\":\"wss://u\",\"isSuccess\":0}",
    };
    for (size_t i = 0; i < e.size(); ++i) {
        EXPECT_EQ(e[i].event, names[i]) << i;
        EXPECT_EQ(e[i].arg4, payloads[i]) << i;
    }
}

TEST_F(ReporterEvents, LogLibraryCallbacksReachTheUserDotFile) {
    int32_t isBrio = 0;
    ASSERT_EQ(CheckAppIdAndSetDotData("xBrioMeetingx", &isBrio), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    DotdataFunc dotdata = LogStream::GetDotdataFuncCallback();
    ASSERT_EQ(dotdata, &track_dotdata_log);
    dotdata("line", "Fn");
    // The compression-error callback is registered on the command thread when the log starts.
    Events();
    EXPECT_NE(LogStream::CompressLogFile(dir_.file("missing.log")), 0);
    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].event, "ut_event_meeting_log");
    EXPECT_EQ(e[0].arg4, "{\"content\":\"line\",\"functionName\":\"Fn\",\"platform\":0}");
    EXPECT_EQ(e[1].event, "ut_event_sdk_logfile_compress_error");
    EXPECT_NE(e[1].arg4.find("\"fileType\":2,\"logFileName\":\"missing.log\"}"), std::string::npos);
}

TEST_F(ReporterEvents, MeetingSdkSwitchOffBlocksReporterEvents) {
    Track_SetMeetingSDKDotSwitch(false);
    track_set_deploy_mode(1);
    Track_ErrorAnalyze("t", "i");
    EXPECT_TRUE(Events().empty());
    Track_SetMeetingSDKDotSwitch(true);
    track_set_deploy_mode(2);
    EXPECT_EQ(Only().arg4, "{\"mode\":2}");
}

std::atomic<int> g_blockedCalls{0};
std::atomic<uint64_t> g_blockedThread{0};
void OnBlocked() {
    g_blockedCalls.fetch_add(1);
    g_blockedThread.store(PAL_GetTID());
}

tagUTTimeTakenRecord Record(const char *func, uint32_t blockedNotify) {
    tagUTTimeTakenRecord r;
    std::memset(&r, 0, sizeof(r));
    r.blockedNotify = blockedNotify;
    r.blockedCount = 2;
    r.useTime = 1500;
    r.line = 10;
    std::strcpy(r.data, "d");
    std::strncpy(r.funcName, func, sizeof(r.funcName) - 1);
    return r;
}

TEST_F(ReporterEvents, TimeTakenEventAndBlockedCallbackOnCallersThread) {
    Track_SetBlockedNotifyCB("Conf::Join", &OnBlocked);
    Track_SetBlockedNotifyCB(nullptr, &OnBlocked);  // ignored
    Track_SetBlockedNotifyCB("Conf::Null", nullptr);
    const tagUTTimeTakenRecord blocked = Record("Conf::Join", 1);
    const tagUTTimeTakenRecord notAsked = Record("Conf::Join", 0);
    const tagUTTimeTakenRecord unregistered = Record("Conf::Leave", 1);
    const tagUTTimeTakenRecord nullCallback = Record("Conf::Null", 1);
    Track_TimeTakenDotData(&notAsked);
    Track_TimeTakenDotData(&unregistered);
    Track_TimeTakenDotData(&nullCallback);
    EXPECT_EQ(g_blockedCalls.load(), 0);
    Track_TimeTakenDotData(&blocked);
    EXPECT_EQ(g_blockedCalls.load(), 1);  // synchronous, before the call returns
    EXPECT_EQ(g_blockedThread.load(), PAL_GetTID());
    Track_TimeTakenDotData(nullptr);

    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[3].eventId, "1");
    EXPECT_EQ(e[3].event, "ut_event_time_taken_native_sdk");
    EXPECT_EQ(e[3].arg2, "");
    EXPECT_EQ(e[3].arg4,
              "{\"blockedCount\":2,\"blockedNotify\":1,\"data\":\"d\",\"funcName\":\"Conf::Join\","
              "\"line\":10,\"useTime\":1500}");
}

TEST_F(ReporterEvents, MainThreadDelayWindow) {
    ut_test::LogCapture logs;
    EXPECT_EQ(Track_IsMainThreadDelay(), 0u);
    const tagUTTimeTakenRecord delay = Record("lum_conf_main_detect_delay", 0);
    Track_TimeTakenDotData(&delay);
    EXPECT_TRUE(logs.Contains("delayTime: " + std::to_string(kRunMs)));
    EXPECT_EQ(Track_IsMainThreadDelay(), 0u);  // same millisecond
    clock_.Advance(1);
    EXPECT_EQ(Track_IsMainThreadDelay(), 1u);
    clock_.Advance(29999);
    EXPECT_EQ(Track_IsMainThreadDelay(), 1u);  // 30000 ms after
    clock_.Advance(1);
    EXPECT_EQ(Track_IsMainThreadDelay(), 0u);
    // A new report opens a new window.
    Track_TimeTakenDotData(&delay);
    clock_.Advance(10);
    EXPECT_EQ(Track_IsMainThreadDelay(), 1u);
}

TEST_F(ReporterEvents, ErrorAnalyzeAndAnonymousAuth) {
    ut_test::LogCapture logs;
    Track_ErrorAnalyze("net", "say \"hi\"");
    Track_ErrorAnalyze(nullptr, "x");
    Track_AnonymousAuth("192.0.2.1", "c1", 7);
    Track_AnonymousAuth(nullptr, "c1", 7);
    Track_AnonymousAuth("192.0.2.1", nullptr, 7);
    EXPECT_EQ(logs.Count("arg is null"), 3u);
    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].event, "ut_event_sdk_error_analyze");
    EXPECT_EQ(e[0].arg2, "");
    EXPECT_EQ(e[0].arg4, "{\"type\":\"net\",\"errorInfo\":\"say \"hi\"\"}");
    EXPECT_EQ(e[1].event, "ut_event_sdk_anonymous_auth");
    EXPECT_EQ(e[1].arg4, "{\"confId\":\"c1\",\"result\":7,\"serverIp\":\"192.0.2.1\"}");
}

tagUTPalMsgRecord Msg(uint32_t seq) {
    tagUTPalMsgRecord m;
    std::memset(&m, 0, sizeof(m));
    m.seqId = seq;
    m.appMsgId = 4;
    std::strcpy(m.sendApp, "a");
    m.sendMid = 5;
    std::strcpy(m.recvApp, "b");
    m.recvMid = 6;
    return m;
}

TEST_F(ReporterEvents, BusMessagesAtMostOncePer30Seconds) {
    const tagUTPalMsgRecord m1 = Msg(1), m2 = Msg(2), m3 = Msg(3), m4 = Msg(4);
    PalMsgDotData(&m1);       // first report: run time is past 30 s
    PalMsgDotData(&m2);       // same second
    clock_.Advance(29000);
    PalMsgDotData(&m3);       // 29 s later
    clock_.Advance(1000);
    PalMsgDotData(&m4);       // 30 s later
    PalMsgDotData(nullptr);
    const std::vector<Event> e = Events();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].event, "ut_event_sdk_pal_msg");
    EXPECT_EQ(e[0].arg4,
              "{\"appMsgId\":4,\"recvApp\":\"b\",\"recvMid\":6,\"sendApp\":\"a\",\"sendMid\":5,\"seqId\":1}");
    EXPECT_NE(e[1].arg4.find("\"seqId\":4}"), std::string::npos);
}

TEST_F(ReporterEvents, LongTextsAreWrittenWhole) {
    // Long, yet short enough that the line stays below the packing threshold of the dot file.
    const std::string longText(8000, 'q');
    track_dotdata_log(longText.c_str(), "f");
    EXPECT_EQ(Only().arg4, "{\"content\":\"" + longText + "\",\"functionName\":\"f\",\"platform\":0}");
}

}  // namespace
