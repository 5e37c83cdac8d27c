// Secrets in API-log texts, by shape: after each call the file "sdk_api_info.txt" must not hold
// the secret's middle anywhere, and the text around the secret must still be there.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "host/pal.h"
#include "log/TrackApiLog.h"
#include "support/temp_dir.h"

namespace {

constexpr int32_t kLum = 0, kCms = 1, kUi = 2, kRtc = 3, kSbc = 5, kUsg = 6, kWs = 7;

struct Shape {
    const char *name;
    int32_t from;
    int32_t to;
    std::string text;               // "$S" stands for the secret
    std::vector<std::string> kept;  // must still be in the line
    std::string secret = "Xq7RwZt2Lm";
};

std::string Plant(std::string text, const std::string &secret) {
    for (size_t p = text.find("$S"); p != std::string::npos; p = text.find("$S", p + secret.size())) {
        text.replace(p, 2, secret);
    }
    return text;
}

class ApiLogMasking : public ::testing::Test {
protected:
    void SetUp() override {
        TrackApiLog::ClearFloodState();
        path_ = dir_.file("sdk_api_info.txt");
        ASSERT_EQ(InitLog("sdk_api_info", path_.c_str(), 512, 5, LOG_DEBUG), 0);
    }
    void TearDown() override { UnInitLog("sdk_api_info"); }

    // What the calls made since the last look appended to the file (no flush: lines are on disk
    // when the call returns).
    std::string Appended() {
        std::string all = ut_test::ReadFile(path_);
        std::string fresh = all.size() >= seen_ ? all.substr(seen_) : all;
        seen_ = all.size();
        return fresh;
    }

    void ExpectMasked(const Shape &shape, const std::string &written) {
        const std::string middle = shape.secret.substr(1, shape.secret.size() - 2);
        EXPECT_EQ(written.find(middle), std::string::npos) << shape.name << ": " << written;
        for (const auto &k : shape.kept) EXPECT_NE(written.find(k), std::string::npos) << shape.name << ": " << k;
        EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1) << shape.name;
    }

    ut_test::TempDir dir_;
    std::string path_;
    size_t seen_ = 0;
};

}  // namespace

TEST_F(ApiLogMasking, EverySecretShapeIsMaskedAndTheTextAroundItStays) {
    const std::vector<Shape> shapes = {
        // A key word ending a value must not make the next key's name the masked "value".
        {"value is a key word",
         kCms,
         kUi,
         R"({"loginType":"account","password":"$S","n":1})",
         {R"("loginType":"account")", R"("password":")", R"(","n":1})"}},
        {"value is a list word",
         kCms,
         kRtc,
         R"({"clientType":"Android","confPwd":"$S"})",
         {R"("clientType":"Android","confPwd":")"}},
        {"token type then token",
         kUi,
         kRtc,
         R"({"tokenType":"token","refreshToken":"$S"})",
         {R"("tokenType":"token","refreshToken":")"}},
        // Escapes inside the value, and JSON escaped inside strings at any depth.
        {"escaped quote in value", kRtc, kUi, R"({"pwd":"ab\"$S","x":2})", {R"({"pwd":")", R"(","x":2})"}},
        {"gateway answer",
         kUi,
         kRtc,
         R"({"responseBody":"{\"accessToken\":\"$S\",\"expires\":3600}"})",
         {R"({"responseBody":"{\"accessToken\":\")", R"(\",\"expires\":3600}"})"}},
        {"gateway answer from USG",
         kUsg,
         kUi,
         R"({"responseBody":"{\"accessToken\":\"$S\"}","code":0})",
         {R"({"responseBody":")", R"(","code":0})"}},
        {"doubly escaped",
         kLum,
         kRtc,
         R"({"a":"{\"b\":\"{\\\"password\\\":\\\"$S\\\"}\"}","z":1})",
         {R"({"a":"{\"b\":\"{\\\"password\\\":\\\")", R"("z":1})"}},
        // Values of every type.
        {"object value", kUi, kRtc, R"({"password":{"v":"$S","w":[1,2]},"next":1})", {R"("next":1})"}},
        {"array value", kUi, kRtc, R"({"token":["x","$S"],"next":1})", {R"({"token":)", R"(,"next":1})"}},
        {"bare number", kUi, kRtc, R"({"pwd":$S,"next":1})", {R"({"pwd":)", R"(,"next":1})"}, "918273645501"},
        {"blank after the colon", kUi, kRtc, R"({"password": "$S", "b": 2})", {R"(", "b": 2})"}},
        {"blanks and a line break", kUi, kRtc, "{\"password\" :\n \"$S\"}", {"\"password\""}},
        {"unterminated at the end", kUi, kRtc, R"(login {"token":"$S)", {R"(login {"token":")"}},
        {"brackets inside strings", kUi, kRtc, R"({"password":{"a":"}]","b":"$S"},"c":3})", {R"(,"c":3})"}},
        // Letter case, and module pairs outside CMS and USG.
        {"capitalised key", kUi, kRtc, R"({"Password":"$S"})", {R"({"Password":")"}},
        {"upper-case token key", kSbc, kWs, R"({"ACCESSTOKEN":"$S"})", {R"({"ACCESSTOKEN":")"}},
        {"SBC to WS password", kSbc, kWs, R"({"confPwd":"$S"})", {R"({"confPwd":")"}},
        {"names ending in a secret word",
         kUi,
         kRtc,
         R"({"newPassword":"$S","ssoToken":"$S","appSecret":"$S"})",
         {R"("ssoToken":")", R"("appSecret":")"}},
        // key=value text.
        {"query string", kUi, kRtc, "GET /join?pwd=$S&x=1 HTTP/1.1", {"GET /join?pwd=", "&x=1 HTTP/1.1"}},
        {"plain pair", kRtc, kUi, "refresh token=$S done", {"refresh token=", " done"}},
        {"quoted pair", kRtc, kUi, "password=\"$S\" ok", {"password=\"", "\" ok"}},
        // Keys at the very start and end, and a key repeated.
        {"key at the start", kUi, kRtc, R"("pwd":"$S" tail)", {R"("pwd":")", R"(" tail)"}},
        {"key at the end", kUi, kRtc, R"(head "pwd":$S)", {R"(head "pwd":)"}},
        {"repeated key", kUi, kRtc, R"({"pwd":"$S","pwd":"$S","pwd":$S})", {R"({"pwd":")"}},
        // Module lists keep their module rules.
        {"CMS name", kCms, kUi, R"({"userName":"$S","title":"Weekly"})", {R"({"userName":")"}},
        {"USG account", kUsg, kRtc, R"({"impi":"$S@ims","other":"x"})", {R"("other":"x")"}},
        {"extended field", kUi, kRtc, R"({"extendedField":{"k":"$S"},"z":2})", {R"(,"z":2})"}},
        {"long token keeps its head only",
         kUi,
         kRtc,
         R"({"accessToken":"eyJhbGciOiJ$S$S$S$S$S"})",
         {R"({"accessToken":"eyJhbGciOiJ)"}},
    };
    for (const Shape &shape : shapes) {
        Track_AddTraceApiLogStr(shape.from, shape.to, Plant(shape.text, shape.secret).c_str());
        ExpectMasked(shape, Appended());
    }
}

TEST_F(ApiLogMasking, NamesOutsideTheirModulesAndPlainValuesStay) {
    Track_AddTraceApiLogStr(kUi, kRtc, R"({"userName":"Bob Smith","impi":"sip:1","pwdHint":"colour","n":"pwd"})");
    const std::string written = Appended();
    EXPECT_NE(written.find(R"({"userName":"Bob Smith","impi":"sip:1","pwdHint":"colour","n":"pwd"})"),
              std::string::npos)
        << written;
    // A participant id keeps its first character and its last three.
    Track_AddTraceApiLogStr(kCms, kUi, R"({"participantID":"abcdef123456"})");
    EXPECT_NE(Appended().find(R"({"participantID":"a********456"})"), std::string::npos);
}

TEST_F(ApiLogMasking, MaskingRunsBeforeShorteningAndOnTheFormatCut) {
    // The key sits in the part that shortening cuts out; its value reaches into the kept tail.
    Shape cutMiddle{"key in the cut-out middle", kUi, kRtc, "", {"head ", "\"}"}};
    cutMiddle.secret.clear();
    for (int i = 0; cutMiddle.secret.size() < 1600; ++i) cutMiddle.secret += "Sx" + std::to_string(i) + ";";
    std::string text = "head " + std::string(2500, 'h') + "{\"password\":\"" + cutMiddle.secret + "\"}";
    Track_AddTraceApiLogStr(kUi, kRtc, text.c_str());
    std::string written = Appended();
    ExpectMasked(cutMiddle, written);
    EXPECT_EQ(written.find(cutMiddle.secret.substr(cutMiddle.secret.size() - 500, 20)), std::string::npos);

    // The format limit (2999 characters) cuts a token before its closing quote.
    Shape formatCut{"format cut", kUi, kRtc, "", {"{\"token\":\""}, "ABCDEFGHIJKLMNOPQRST"};
    const std::string pad(2999 - 9 - 10, 'p');
    Track_AddTraceApiLog(kUi, kRtc, "%s{\"token\":\"%s\"}", pad.c_str(), formatCut.secret.c_str());
    written = Appended();
    EXPECT_EQ(written.find("BCDEFGHI"), std::string::npos) << written.substr(written.size() - 60);
    ExpectMasked(formatCut, written);
}

TEST_F(ApiLogMasking, TheFloodSummaryShowsPrefixesMasked) {
    const std::string secret = "Fl00dS3cretZ";
    const std::string call = "{\"pwd\":\"" + secret + "\"} login called";
    for (int i = 0; i < 7; ++i) Track_AddTraceApiLogStr(kUi, kRtc, call.c_str());
    const std::string written = Appended();
    EXPECT_NE(written.find("abandom interface: {\"pwd\":\""), std::string::npos) << written;
    EXPECT_EQ(written.find(secret.substr(1, 10)), std::string::npos) << written;
}

TEST_F(ApiLogMasking, BadInputNeverBreaksTheLineOrLeaksAValue) {
    std::vector<std::string> inputs = {
        std::string(1 << 20, '{'),
        std::string(1 << 20, '\\') + "\"pwd\":\"x\"",
        "\"pwd\":\"" + std::string(100000, '\\'),
        "{\"a\":\"" + std::string(5000, '"') + "}",
        "{\"pwd\":\"\xff\xfe\x80\x80secret\xe4\"} \xc3",
        "\"pwd\"",
        "\"pwd\":",
        "pwd=",
        "=x=",
        std::string(70, 'a') + "token=abc",
    };
    std::string repeated;
    for (int i = 0; i < 10000; ++i) repeated += "\"token\":\"T" + std::to_string(i) + "\",";
    inputs.push_back(repeated);
    for (const auto &input : inputs) {
        std::string text = input;
        TrackApiLog::Mask(text, kCms, kUsg);
        Track_AddTraceApiLogStr(kCms, kUsg, input.c_str());
        const std::string written = Appended();
        EXPECT_LE(std::count(written.begin(), written.end(), '\n'), 1);
    }
    // Every one of the 10,000 values was masked, not just the first.
    std::string text = repeated;
    TrackApiLog::Mask(text, kUi, kRtc);
    EXPECT_EQ(text.find("\"T"), std::string::npos);
    EXPECT_EQ(text.find("\"token\":\"**\",\"token\":\"**\","), 0u);
}
