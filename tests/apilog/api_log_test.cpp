// The API log gate through its exports: what reaches "sdk_api_info", masked as expected.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "log/TrackApiLog.h"
#include "manager/UTThreadMgr.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

class ApiLog : public ::testing::Test {
protected:
    void SetUp() override { TrackApiLog::ClearFloodState(); }

    // Texts of the API-log lines, in order.
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (const auto &r : capture_.Find("sdk_api_info", -1, "")) out.push_back(r.text);
        return out;
    }
    // The text logged for one call (empty when it was dropped).
    std::string Logged(int32_t from, int32_t to, const std::string &text) {
        capture_.Clear();
        Track_AddTraceApiLogStr(from, to, text.c_str());
        std::vector<std::string> lines = Lines();
        if (lines.empty()) return std::string();
        EXPECT_EQ(lines.size(), 1u);
        const std::string head =
            std::string("[") + TrackApiLog::ModuleName(from) + "]------>[" + TrackApiLog::ModuleName(to) + "]: ";
        EXPECT_EQ(lines[0].compare(0, head.size(), head), 0) << lines[0];
        return lines[0].substr(head.size());
    }

    ut_test::LogCapture capture_;
};

}  // namespace

TEST_F(ApiLog, LineFormatModuleAndNames) {
    EXPECT_EQ(Track_AddTraceApiLog(2, 3, "join %s code %d", "room", 7), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_EQ(Track_AddTraceApiLogStr(42, 9, "hello"), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    Track_AddTraceApiLogStr(7, 8, "ws");
    auto records = capture_.Find("sdk_api_info", -1, "");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].text, "[UI ]------>[RTC]: join room code 7");
    EXPECT_EQ(records[0].level, 2);
    EXPECT_EQ(records[0].function, "track");
    EXPECT_EQ(records[0].file, "api");
    EXPECT_EQ(records[0].line, 1);
    EXPECT_EQ(records[1].text, "[]------>[CONF]: hello");
    EXPECT_EQ(records[2].text, "[WS ]------>[MS ]: ws");
}

TEST_F(ApiLog, ConferenceControlMasksNamesIdsPasswordsAndTokens) {
    const std::string in = R"({"name":"Alexander Smith","password":"p@ss","participantID":"abcdef123456",)"
                           R"("confToken":"tok12345","id":12345,"msg":"a\b"})";
    EXPECT_EQ(Logged(1, 2, in), R"({"name":"**************h","password":" ...... ","participantID":"a********456",)"
                                R"("confToken":"*******5","id":*****,"msg":"ab"})");
    // Keys are matched by their ending and case-sensitively.
    EXPECT_EQ(Logged(3, 1, R"({"userName":"Bob","Name":"Al","confPwd":"1"})"),
              R"({"userName":"***","Name":"Al","confPwd":" ...... "})");
}

TEST_F(ApiLog, GatewayMasksAccountsPasswordsTokensAndExtendedFields) {
    const std::string in = R"({"name":"bob","impi":"sip:1234@ims.example.com","pwd":"x1",)"
                           R"("authToken":"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd",)"
                           R"("extendedField":"{\"a\":{\"b\":1}}","n":1})";
    EXPECT_EQ(Logged(6, 3, in), R"({"name":"***","impi":"***********************m","pwd":" ...... ",)"
                                R"("authToken":"ABCDEFGHIJK****************************d", ...... ","n":1})");
}

TEST_F(ApiLog, OtherModulesKeepNamesButNotPasswordsTokensExtendedFieldsOrUrls) {
    const std::string in = R"({"name":"Bob","password":"p@ss","token":"t0ken-value","id":7})";
    EXPECT_EQ(Logged(2, 3, in), R"({"name":"Bob","password":" ...... ","token":"**********e","id":7})");
    // An object value is masked whole.
    EXPECT_EQ(Logged(2, 3, R"({"EXTENDED_FIELD":{"k":"secret","n":{"x":1}},"z":2})"), R"({ ...... ,"z":2})");
    // An unclosed object masks to the end.
    EXPECT_EQ(Logged(2, 3, R"({"a":1,"extendedField":"{\"k\":\"v\")"), R"({"a":1, ...... )");
    EXPECT_EQ(Logged(2, 3, "join url: http://x.example.com/join?k=v, next"), "join url: http ...... v, next");
    EXPECT_EQ(Logged(2, 3, R"({"openCustomPara":"{lang:cn}"})"), R"({"openCustomPara": ...... cn}"})");
}

TEST_F(ApiLog, TokensOfFortyCharactersKeepTheirFirstEleven) {
    const std::string t39 = "0123456789abcdefghijklmnopqrstuvwxyzABC";
    const std::string t40 = t39 + "D";
    EXPECT_EQ(Logged(2, 3, "{\"accessToken\":\"" + t39 + "\"}"), "{\"accessToken\":\"" + std::string(38, '*') + "C\"}");
    EXPECT_EQ(Logged(2, 3, "{\"accessToken\":\"" + t40 + "\"}"),
              "{\"accessToken\":\"0123456789a" + std::string(28, '*') + "D\"}");
    // An empty token does not stop the masking of a later one.
    EXPECT_EQ(Logged(2, 3, R"({"token":"","token":"abc"})"), R"({"token":"","token":"***"})");
}

TEST_F(ApiLog, NoiseIsDropped) {
    for (const char *noise :
         {"", "HeartBeat", "x PONG", "voice_data", "RealTimeSubtitleNotify", "a<conf_pass>1", "<confpwd>"}) {
        EXPECT_EQ(Logged(2, 3, noise), "") << noise;
    }
    for (const char *kept : {"HeartBeat JOIN_LIVE_WEBINAR", "RealTimeSubtitleNotify Subscribe", "heartbeat pong"}) {
        EXPECT_EQ(Logged(2, 3, kept), kept);
    }
}

TEST_F(ApiLog, LongTextsAreShortenedAndFormattedTextsCut) {
    const std::string exact(3000, 'x');
    EXPECT_EQ(Logged(2, 3, exact), exact);
    const std::string longer = std::string(2000, 'h') + "m" + std::string(1000, 't');
    EXPECT_EQ(Logged(2, 3, longer), std::string(2000, 'h') + " ...... " + std::string(1000, 't'));
    const std::string huge(1 << 20, 'y');
    EXPECT_EQ(Logged(2, 3, huge).size(), 3008u);

    capture_.Clear();
    Track_AddTraceApiLog(2, 3, "%s", huge.c_str());
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "[UI ]------>[RTC]: " + std::string(2999, 'y'));
    EXPECT_EQ(capture_.Find("native_sdk", 1, "sec fun error: -1").size(), 1u);
}

TEST_F(ApiLog, LineBreaksAndBackslashesByModule) {
    EXPECT_EQ(Logged(1, 2, "a\\b\nc\r"), "ab c\\r");
    EXPECT_EQ(Logged(7, 5, "x\r\ny\\z"), "x  y\\z");
    // A carriage return left in the text is escaped when written: one call, one line.
    EXPECT_EQ(Logged(2, 3, "x\r\ny\\z"), "x\\r y\\z");
}

TEST_F(ApiLog, NullTextsAreRefused) {
    const char *noFormat = nullptr;
    EXPECT_EQ(Track_AddTraceApiLog(2, 3, noFormat), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_EQ(Track_AddTraceApiLogStr(2, 3, nullptr), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_TRUE(Lines().empty());
    auto errors = capture_.Find("native_sdk", 0, "param is null");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].function, "TrackApiLog::AddApiLogWithParam");
}

TEST_F(ApiLog, NothingFormattedIsWrittenOnceStopped) {
    unified_track::UTThreadMgr::GetInstance().Stop();
    Track_AddTraceApiLog(2, 3, "after %s", "stop");
    EXPECT_TRUE(Lines().empty());
    Track_AddTraceApiLogStr(2, 3, "ready text");
    EXPECT_EQ(Lines(), std::vector<std::string>{"[UI ]------>[RTC]: ready text"});
}

// Nothing waits in a buffer: what was logged before Track_Uninit returned is in both files then,
// info lines included (a crash right after loses nothing either).
TEST(ApiLogFiles, EveryLineIsInItsFileWhenTrackUninitReturns) {
    ut_test::TempDir dir;
    ASSERT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("data").c_str()),
              static_cast<OST_UT_RESULT>(UT_SUCCESS));
    Track_AddTraceApiLogStr(2, 3, "info line before stop");
    UT_LOGI("trace line %s", "before stop");
    EXPECT_EQ(Track_Uninit(), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_NE(ut_test::ReadFile(dir.file("log/sdk_api_info.txt")).find("[UI ]------>[RTC]: info line before stop\n"),
              std::string::npos);
    EXPECT_NE(ut_test::ReadFile(dir.file("log/unified_track.log")).find("trace line before stop\n"), std::string::npos);
}
