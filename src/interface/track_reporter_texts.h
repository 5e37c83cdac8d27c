// The texts the reporters write: event names, command names, fixed member values.
// Kept in one place so that each is typed once.
#pragma once

namespace unified_track {
namespace reporter_text {

// Every reporter event carries this event id (the MeetingSDK dot switch blocks it).
inline constexpr const char kEventId[] = "1";
// arg2 of the link and transport events.
inline constexpr const char kLinkArg2[] = "0";
// Written for an absent optional text.
inline constexpr const char kNA[] = "NA";
// Any code missing from a name table.
inline constexpr const char kUnknown[] = "unknow";

// Link and transport events.
inline constexpr const char kEvtHttpError[] = "ut_event_sdk_http_error";
inline constexpr const char kEvtWebsocketError[] = "ut_event_sdk_websocket_error";
inline constexpr const char kEvtWebsocketRetry[] = "ut_event_sdk_websocket_retry";
inline constexpr const char kEvtHeartbeatTimeout[] = "ut_event_sdk_heartbeat_timeout";
inline constexpr const char kEvtWebsocketConnect[] = "ut_event_sdk_websocket_connect";
inline constexpr const char kEvtRtcError[] = "ut_event_sdk_rtc_error";
inline constexpr const char kEvtDeleteZip[] = "ut_event_dotdata_delete_zip";
inline constexpr const char kEvtLogfileCompressError[] = "ut_event_sdk_logfile_compress_error";
inline constexpr const char kEvtMeetingLog[] = "ut_event_meeting_log";
inline constexpr const char kEvtParseDomainError[] = "ut_event_sdk_parse_domain_error";
inline constexpr const char kEvtSetDeployMode[] = "ut_event_sdk_set_deploy_mode";
inline constexpr const char kEvtSwitchDeployMode[] = "ut_event_sdk_switch_deploy_mode";
inline constexpr const char kEvtUsgWebsocketDetect[] = "ut_event_sdk_usg_websocket_detect_result";

// Timing, blocking and analysis events.
inline constexpr const char kEvtTimeTaken[] = "ut_event_time_taken_native_sdk";
inline constexpr const char kEvtErrorAnalyze[] = "ut_event_sdk_error_analyze";
inline constexpr const char kEvtAnonymousAuth[] = "ut_event_sdk_anonymous_auth";
inline constexpr const char kEvtPalMsg[] = "ut_event_sdk_pal_msg";

// Command names: the link events go the way of Track_AddUserTrack, the others carry their own.
inline constexpr const char kCmdAddUserTrack[] = "_Track_AddUserTrack";
inline constexpr const char kCmdTimeTaken[] = "_Track_TimeTakenDotData";
inline constexpr const char kCmdErrorAnalyze[] = "_Track_ErrorAnalyze";
inline constexpr const char kCmdAnonymousAuth[] = "_Track_AnonymousAuth";
inline constexpr const char kCmdPalMsg[] = "_PalMsgDotData";

// Matching texts.
inline constexpr const char kStatusSuccess[] = "success";
inline constexpr const char kLinkTypeWssCtrl[] = "WSS_CTRL";
inline constexpr const char kMainDetectDelayFunc[] = "lum_conf_main_detect_delay";

// Log lines.
inline constexpr const char kLogArgNull[] = "arg is null";
inline constexpr const char kLogOwnReportDropped[] = "report made while writing a report dropped: %s";
inline constexpr const char kLogSetBlockedCb[] = "in. %u";
inline constexpr const char kLogDelayTime[] = "delayTime: ";

}  // namespace reporter_text
}  // namespace unified_track
