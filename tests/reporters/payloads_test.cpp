// Payload variants the end-to-end events do not reach: null texts, escapes, conditional members
// and values at the edges of their types.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "interface/track_link_payloads.h"
#include "interface/track_link_state.h"
#include "interface/track_timing_payloads.h"

namespace unified_track {
namespace {

std::string Str(const SecureString &s) {
    return std::string(s.data(), s.size());
}

struct Row {
    std::string built, expected;
};

void ExpectRows(const std::vector<Row> &rows) {
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].built, rows[i].expected) << "row " << i;
}

TEST(Payloads, VariantsByteForByte) {
    LinkState &state = LinkState::Instance();
    state.SetLocalAddr("10.0.0.5");
    state.SetConfCtrlAddr("ctrl.example:443");
    state.SetConfManageAddr("manage.example:443");
    state.SetConfId("conf-1");
    state.SetSelfParticipantId("pid-9");
    state.SetWebsocketLinkStatus(0, 5, "ok");  // failure counts start from zero
    state.SetWebsocketLinkStatus(0, 2, "hb lost");
    state.SetWebsocketLinkStatus(1, 5, "ok");
    SecureString http;
    EXPECT_FALSE(BuildHttpErrorPayload("/v1/usg/acs/token", "r", 106, 0, "b", 0, nullptr));
    ASSERT_TRUE(BuildHttpErrorPayload("/v1/usg/acs/token", "a\"b", 198, 500, "line\n\\", -3, &http));
    ExpectRows({
        {Str(http),
         "{\"errno\":198,\"errnoDesc\":\"http rsp parse failed\",\"event\":\"LOGIN_HTTP_RECONNECT_URL\","
         "\"httpRsp\":500,\"httpRspBody\":\"line\\n\\\\\",\"requestId\":\"a\\\"b\","
         "\"uri\":\"/v1/usg/acs/token\",\"winLastError\":-3}"},
        // Link members only on the two known links, failure members only for the link-failed errno.
        {Str(BuildWebsocketErrorPayload(0, 1, "join", "7", 12, "boom")),
         "{\"confId\":\"conf-1\",\"errno\":12,\"errnoDesc\":\"boom\",\"event\":\"recv err\","
         "\"linkType\":\"conf ctrl\",\"oprType\":\"join\",\"pid\":\"pid-9\",\"sequence\":\"7\","
         "\"serverIp\":\"ctrl.example:443\"}"},
        {Str(BuildWebsocketErrorPayload(0, 2, nullptr, nullptr, 414100058, nullptr)),
         "{\"confId\":\"conf-1\",\"errno\":414100058,\"errnoDesc\":\"NA\",\"event\":\"closed\","
         "\"failedTimes\":1,\"linkErrDesc\":\"hb lost\",\"linkStatus\":\"heart beat timeout\","
         "\"linkType\":\"conf ctrl\",\"oprType\":\"NA\",\"pid\":\"pid-9\",\"sequence\":\"NA\","
         "\"serverIp\":\"ctrl.example:443\"}"},
        {Str(BuildWebsocketErrorPayload(1, 0, "o", "s", 414100057, "d")),
         "{\"errno\":414100057,\"errnoDesc\":\"d\",\"event\":\"request failed\","
         "\"linkType\":\"conf usg manage\",\"oprType\":\"o\",\"sequence\":\"s\","
         "\"serverIp\":\"manage.example:443\"}"},
        {Str(BuildWebsocketErrorPayload(-1, 3, "o", "s", 414100058, "d")),
         "{\"errno\":414100058,\"errnoDesc\":\"d\",\"event\":\"confctrl recreate\","
         "\"linkType\":\"unknow\",\"oprType\":\"o\",\"sequence\":\"s\"}"},
        {Str(BuildWebsocketRetryPayload(1, 0, -1)),
         "{\"event\":\"request failed\",\"linkType\":\"conf usg manage\",\"nextTime\":-1}"},
        // Capital S, another link type: neither optional member.
        {Str(BuildWebsocketConnectPayload("WSS_CTRL", "s", "r", 0, "Success", 0, "l", 250, 4999)),
         "{\"connectReason\":0,\"lastFailedAddr\":\"l\",\"linkType\":\"WSS_CTRL\","
         "\"localIp\":\"10.0.0.5\",\"regionName\":\"r\",\"serverIp\":\"s\",\"status\":\"Success\"}"},
        {Str(BuildWebsocketConnectPayload("WSS_MANAGE", "s", "r", 0, "success", 0, "l", 250, 1)),
         "{\"connectReason\":0,\"lastFailedAddr\":\"l\",\"linkType\":\"WSS_MANAGE\","
         "\"localIp\":\"10.0.0.5\",\"regionName\":\"r\",\"serverIp\":\"s\",\"status\":\"success\"}"},
        // Start after now (clock stepped back): negative, rounded toward zero.
        {Str(BuildWebsocketConnectPayload(nullptr, nullptr, nullptr, 0, nullptr, 11999, nullptr, 0, 10000)),
         "{\"connectReason\":0,\"lastFailedAddr\":\"\",\"linkTime\":-1,\"linkType\":\"\","
         "\"localIp\":\"10.0.0.5\",\"regionName\":\"\",\"serverIp\":\"\",\"status\":\"\"}"},
        {Str(BuildRtcErrorPayload("StartAudio", -5, nullptr)),
         "{\"confId\":\"conf-1\",\"errno\":-5,\"errnoDesc\":\"NA\",\"rtcFunc\":\"StartAudio\"}"},
        {Str(BuildLogZipErrorPayload(7, nullptr)), "{\"errorCode\":7,\"fileType\":2,\"logFileName\":\"\"}"},
        {Str(BuildDotdataLogPayload(nullptr, nullptr)), "{\"content\":\"\",\"functionName\":\"\",\"platform\":0}"},
        {Str(BuildDeleteFilePayload(nullptr, 6, 400, nullptr, -1)),
         "{\"deleteFileName\":\"\",\"errorCode\":400,\"fileLength\":-1,\"fileType\":6,\"uploadUrl\":\"\"}"},
        {Str(BuildUsgWebsocketDetectPayload(1, nullptr)), "{\"address\":\"\",\"isSuccess\":1}"},
        {Str(BuildParseDomainErrorPayload("\xC3\xA9", 1)), "{\"domain\":\"\\u00e9\",\"errno\":1}"},
        // Passed through unescaped, so such a payload is no longer JSON.
        {Str(BuildErrorAnalyzePayload("a\"b", "c\\")), "{\"type\":\"a\"b\",\"errorInfo\":\"c\\\"}"},
        {Str(BuildAnonymousAuthPayload("192.0.2.7", "c9", 4294967295u)),
         "{\"confId\":\"c9\",\"result\":4294967295,\"serverIp\":\"192.0.2.7\"}"},
    });
    const std::string huge(4 << 20, 'x');
    EXPECT_TRUE(Str(BuildDotdataLogPayload(huge.c_str(), "f")) ==
                "{\"content\":\"" + huge + "\",\"functionName\":\"f\",\"platform\":0}");
}

TEST(TimingPayloads, RecordFieldsAtTheirLimits) {
    tagUTTimeTakenRecord r{1, -2, 5000000000ULL, 77, "slow \"dns\"", "Conf::Join"};
    EXPECT_EQ(Str(BuildTimeTakenPayload(r)),
              "{\"blockedCount\":-2,\"blockedNotify\":1,\"data\":\"slow \\\"dns\\\"\","
              "\"funcName\":\"Conf::Join\",\"line\":77,\"useTime\":5000000000}");
    // Arrays without a terminator are read up to their end.
    std::memset(r.data, 'd', sizeof(r.data));
    std::memset(r.funcName, 'f', sizeof(r.funcName));
    const std::string funcName(UT_TIME_TAKEN_FUNC_NAME_LEN, 'f');
    EXPECT_EQ(Str(TimeTakenFuncName(r)), funcName);
    EXPECT_EQ(Str(BuildTimeTakenPayload(r)), "{\"blockedCount\":-2,\"blockedNotify\":1,\"data\":\"" +
                                                 std::string(UT_TIME_TAKEN_DATA_LEN, 'd') + "\",\"funcName\":\"" +
                                                 funcName + "\",\"line\":77,\"useTime\":5000000000}");

    tagUTPalMsgRecord m{0xDEAD, 3000000000u, 12, "conf", 1, "", 2};
    std::memset(m.recvApp, 'r', sizeof(m.recvApp));
    EXPECT_EQ(Str(BuildPalMsgPayload(m)),
              "{\"appMsgId\":12,\"recvApp\":\"" + std::string(sizeof(m.recvApp), 'r') +
                  "\",\"recvMid\":2,\"sendApp\":\"conf\",\"sendMid\":1,\"seqId\":3000000000}");
}

}  // namespace
}  // namespace unified_track
