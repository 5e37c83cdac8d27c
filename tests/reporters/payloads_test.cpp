// Payloads of the link and transport reporters, byte for byte.
#include <gtest/gtest.h>

#include <json/reader.h>

#include <cstdint>
#include <string>

#include "interface/track_link_payloads.h"
#include "interface/track_link_state.h"

namespace unified_track {
namespace {

std::string Str(const SecureString &s) { return std::string(s.data(), s.size()); }

class LinkPayloads : public ::testing::Test {
protected:
    void SetUp() override {
        LinkState &state = LinkState::Instance();
        state.SetLocalAddr("10.0.0.5");
        state.SetConfCtrlAddr("ctrl.example:443");
        state.SetConfManageAddr("manage.example:443");
        state.SetConfId("conf-1");
        state.SetSelfParticipantId("pid-9");
        // Status 5 first so that the failure counts start from zero whatever ran before.
        state.SetWebsocketLinkStatus(0, 5, "ok");
        state.SetWebsocketLinkStatus(1, 5, "ok");
    }
};

TEST_F(LinkPayloads, HttpErrorMembersInNameOrder) {
    SecureString payload;
    ASSERT_TRUE(BuildHttpErrorPayload("https://h/v1/usg/acs/token?a=b", "req-1", 106, 0, "body", 11,
                                      &payload));
    EXPECT_EQ(Str(payload),
              "{\"errno\":106,\"errnoDesc\":\"CURLE_COULDNT_RESOLVE_HOST - could not resolve host\","
              "\"event\":\"LOGIN_HTTP_RECONNECT_URL\",\"httpRsp\":0,\"httpRspBody\":\"body\","
              "\"requestId\":\"req-1\",\"uri\":\"/v1/usg/acs/token\",\"winLastError\":11}");
}

TEST_F(LinkPayloads, HttpErrorNullTextsAndNoMatch) {
    SecureString payload;
    ASSERT_TRUE(BuildHttpErrorPayload("/v1/usg/acs/login/sc", nullptr, 100, 401, nullptr, 0, &payload));
    EXPECT_EQ(Str(payload),
              "{\"errno\":100,\"errnoDesc\":\"\",\"event\":\"LOGIN_HTTPS_AUTH_URL\",\"httpRsp\":401,"
              "\"httpRspBody\":\"NA\",\"requestId\":\"NA\",\"uri\":\"/v1/usg/acs/login/sc\","
              "\"winLastError\":0}");
    EXPECT_FALSE(BuildHttpErrorPayload(nullptr, "r", 106, 0, "b", 0, &payload));
    EXPECT_FALSE(BuildHttpErrorPayload("https://h/unknown", "r", 106, 0, "b", 0, &payload));
    EXPECT_FALSE(BuildHttpErrorPayload("/v1/usg/acs/token", "r", 106, 0, "b", 0, nullptr));
}

TEST_F(LinkPayloads, HttpErrorEscapesBodyText) {
    SecureString payload;
    ASSERT_TRUE(BuildHttpErrorPayload("/v1/usg/acs/token", "a\"b", 198, 500, "line\n\\", -3, &payload));
    EXPECT_EQ(Str(payload),
              "{\"errno\":198,\"errnoDesc\":\"http rsp parse failed\",\"event\":\"LOGIN_HTTP_RECONNECT_URL\","
              "\"httpRsp\":500,\"httpRspBody\":\"line\\n\\\\\",\"requestId\":\"a\\\"b\","
              "\"uri\":\"/v1/usg/acs/token\",\"winLastError\":-3}");
}

TEST_F(LinkPayloads, WebsocketErrorOnCtrlLink) {
    EXPECT_EQ(Str(BuildWebsocketErrorPayload(0, 1, "join", "7", 12, "boom")),
              "{\"confId\":\"conf-1\",\"errno\":12,\"errnoDesc\":\"boom\",\"event\":\"recv err\","
              "\"linkType\":\"conf ctrl\",\"oprType\":\"join\",\"pid\":\"pid-9\",\"sequence\":\"7\","
              "\"serverIp\":\"ctrl.example:443\"}");
    LinkState::Instance().SetWebsocketLinkStatus(0, 2, "hb lost");
    EXPECT_EQ(Str(BuildWebsocketErrorPayload(0, 2, nullptr, nullptr, 414100058, nullptr)),
              "{\"confId\":\"conf-1\",\"errno\":414100058,\"errnoDesc\":\"NA\",\"event\":\"closed\","
              "\"failedTimes\":1,\"linkErrDesc\":\"hb lost\",\"linkStatus\":\"heart beat timeout\","
              "\"linkType\":\"conf ctrl\",\"oprType\":\"NA\",\"pid\":\"pid-9\",\"sequence\":\"NA\","
              "\"serverIp\":\"ctrl.example:443\"}");
}

TEST_F(LinkPayloads, WebsocketErrorOnManageLinkHasNoConfIdOrPid) {
    LinkState::Instance().SetWebsocketLinkStatus(1, 4, nullptr);
    EXPECT_EQ(Str(BuildWebsocketErrorPayload(1, 9, "o", "s", 414100058, "d")),
              "{\"errno\":414100058,\"errnoDesc\":\"d\",\"event\":\"unknow\",\"failedTimes\":1,"
              "\"linkErrDesc\":\"\",\"linkStatus\":\"auth failed\",\"linkType\":\"conf usg manage\","
              "\"oprType\":\"o\",\"sequence\":\"s\",\"serverIp\":\"manage.example:443\"}");
    EXPECT_EQ(Str(BuildWebsocketErrorPayload(1, 0, "o", "s", 414100057, "d")),
              "{\"errno\":414100057,\"errnoDesc\":\"d\",\"event\":\"request failed\","
              "\"linkType\":\"conf usg manage\",\"oprType\":\"o\",\"sequence\":\"s\","
              "\"serverIp\":\"manage.example:443\"}");
}

TEST_F(LinkPayloads, WebsocketErrorOtherLinkTypeHasNoLinkMembers) {
    for (int32_t linkType : {2, -1, 7}) {
        EXPECT_EQ(Str(BuildWebsocketErrorPayload(linkType, 3, "o", "s", 414100058, "d")),
                  "{\"errno\":414100058,\"errnoDesc\":\"d\",\"event\":\"confctrl recreate\","
                  "\"linkType\":\"unknow\",\"oprType\":\"o\",\"sequence\":\"s\"}");
    }
}

TEST_F(LinkPayloads, WebsocketRetry) {
    EXPECT_EQ(Str(BuildWebsocketRetryPayload(0, 5, 3000)),
              "{\"confId\":\"conf-1\",\"event\":\"unexpected_linkid\",\"linkType\":\"conf ctrl\","
              "\"nextTime\":3000,\"pid\":\"pid-9\",\"serverIp\":\"ctrl.example:443\"}");
    EXPECT_EQ(Str(BuildWebsocketRetryPayload(1, 0, -1)),
              "{\"event\":\"request failed\",\"linkType\":\"conf usg manage\",\"nextTime\":-1}");
    EXPECT_EQ(Str(BuildWebsocketRetryPayload(7, 0, 1)),
              "{\"event\":\"request failed\",\"linkType\":\"unknow\",\"nextTime\":1}");
}

TEST_F(LinkPayloads, HeartbeatTimeout) {
    SecureString payload;
    ASSERT_TRUE(BuildHeartbeatTimeoutPayload("WSS_CTRL", &payload));
    EXPECT_EQ(Str(payload), "{\"linkType\":\"WSS_CTRL\"}");
    EXPECT_FALSE(BuildHeartbeatTimeoutPayload(nullptr, &payload));
}

TEST_F(LinkPayloads, LinkConnectConditionalMembers) {
    EXPECT_EQ(Str(BuildWebsocketConnectPayload("WSS_CTRL", "1.2.3.4", "eu", 2, "success", 1000, "5.6.7.8",
                                               250, 4999)),
              "{\"connectReason\":2,\"connectTakenTime\":250,\"lastFailedAddr\":\"5.6.7.8\","
              "\"linkTime\":3,\"linkType\":\"WSS_CTRL\",\"localIp\":\"10.0.0.5\",\"regionName\":\"eu\","
              "\"serverIp\":\"1.2.3.4\",\"status\":\"success\"}");
    // Capital S, another link type, no start time: neither optional member.
    EXPECT_EQ(Str(BuildWebsocketConnectPayload("WSS_CTRL", "s", "r", 0, "Success", 0, "l", 250, 4999)),
              "{\"connectReason\":0,\"lastFailedAddr\":\"l\",\"linkType\":\"WSS_CTRL\","
              "\"localIp\":\"10.0.0.5\",\"regionName\":\"r\",\"serverIp\":\"s\",\"status\":\"Success\"}");
    EXPECT_EQ(Str(BuildWebsocketConnectPayload("WSS_MANAGE", "s", "r", 0, "success", 0, "l", 250, 1)),
              "{\"connectReason\":0,\"lastFailedAddr\":\"l\",\"linkType\":\"WSS_MANAGE\","
              "\"localIp\":\"10.0.0.5\",\"regionName\":\"r\",\"serverIp\":\"s\",\"status\":\"success\"}");
}

TEST_F(LinkPayloads, LinkConnectTimeRoundsTowardZeroAndNullTexts) {
    // Start 1999 ms before now: 1 s. Start after now (clock stepped back): negative, toward zero.
    EXPECT_NE(Str(BuildWebsocketConnectPayload(nullptr, nullptr, nullptr, 0, nullptr, 10000, nullptr, 0,
                                               11999))
                  .find("\"linkTime\":1,"),
              std::string::npos);
    EXPECT_EQ(Str(BuildWebsocketConnectPayload(nullptr, nullptr, nullptr, 0, nullptr, 11999, nullptr, 0,
                                               10000)),
              "{\"connectReason\":0,\"lastFailedAddr\":\"\",\"linkTime\":-1,\"linkType\":\"\","
              "\"localIp\":\"10.0.0.5\",\"regionName\":\"\",\"serverIp\":\"\",\"status\":\"\"}");
}

TEST_F(LinkPayloads, RtcErrorCarriesConfId) {
    EXPECT_EQ(Str(BuildRtcErrorPayload("StartAudio", -5, nullptr)),
              "{\"confId\":\"conf-1\",\"errno\":-5,\"errnoDesc\":\"NA\",\"rtcFunc\":\"StartAudio\"}");
    EXPECT_EQ(Str(BuildRtcErrorPayload(nullptr, 0, "x")),
              "{\"confId\":\"conf-1\",\"errno\":0,\"errnoDesc\":\"x\",\"rtcFunc\":\"NA\"}");
}

TEST_F(LinkPayloads, NullTextsOfFileAndLogEvents) {
    EXPECT_EQ(Str(BuildLogZipErrorPayload(7, nullptr)),
              "{\"errorCode\":7,\"fileType\":2,\"logFileName\":\"\"}");
    EXPECT_EQ(Str(BuildDotdataLogPayload(nullptr, nullptr)),
              "{\"content\":\"\",\"functionName\":\"\",\"platform\":0}");
    EXPECT_EQ(Str(BuildDeleteFilePayload(nullptr, 6, 400, nullptr, -1)),
              "{\"deleteFileName\":\"\",\"errorCode\":400,\"fileLength\":-1,\"fileType\":6,\"uploadUrl\":\"\"}");
    EXPECT_EQ(Str(BuildUsgWebsocketDetectPayload(1, nullptr)), "{\"address\":\"\",\"isSuccess\":1}");
}

TEST_F(LinkPayloads, NonAsciiIsEscapedAndHugeTextsSurvive) {
    EXPECT_EQ(Str(BuildParseDomainErrorPayload("\xC3\xA9", 1)), "{\"domain\":\"\\u00e9\",\"errno\":1}");
    const std::string huge(4 << 20, 'x');
    const std::string out = Str(BuildDotdataLogPayload(huge.c_str(), "f"));
    Json::Value parsed;
    std::string errs;
    Json::CharReaderBuilder rb;
    std::unique_ptr<Json::CharReader> reader(rb.newCharReader());
    ASSERT_TRUE(reader->parse(out.data(), out.data() + out.size(), &parsed, &errs));
    EXPECT_EQ(parsed["content"].asString(), huge);
}

}  // namespace
}  // namespace unified_track
