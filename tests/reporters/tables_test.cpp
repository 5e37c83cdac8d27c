// Name tables, URL-name search order and the HTTP error descriptions at their bounds.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "interface/track_link_payloads.h"
#include "interface/track_link_state.h"
#include "interface/track_tables.h"

namespace unified_track {
namespace {

// The names a retry report carries for its link type and reason: the known codes by name, the
// gaps between them and values at the ends of the type as "unknow" (never a read past a table).
TEST(LinkNames, RetryReportsNameKnownCodesAndCallEveryOtherOneUnknown) {
    const struct {
        int32_t linkType, reason;
        const char *typeName, *reasonName;
    } rows[] = {
        {0, 3, "conf ctrl", "confctrl recreate"},
        {1, 5, "conf usg manage", "unexpected_linkid"},
        {-1, 4, "unknow", "unknow"},
        {2, 6, "unknow", "unknow"},
        {INT32_MIN, INT32_MAX, "unknow", "unknow"},
    };
    for (const auto &r : rows) {
        const SecureString payload = BuildWebsocketRetryPayload(r.linkType, r.reason, 1000);
        const std::string text(payload.data(), payload.size());
        EXPECT_NE(text.find(std::string("\"linkType\":\"") + r.typeName + "\""), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("\"event\":\"") + r.reasonName + "\""), std::string::npos) << text;
    }
}

TEST(LinkNames, ALinkFailureReportNamesTheLinkStatusAndCallsOtherStatusesUnknown) {
    const std::pair<int32_t, const char *> rows[] = {
        {2, "heart beat timeout"}, {7, "init"}, {-1, "unknow"}, {3, "unknow"}, {6, "unknow"}, {8, "unknow"}};
    for (const auto &r : rows) {
        LinkState::Instance().SetWebsocketLinkStatus(LinkState::kLinkConfCtrl, r.first, "d");
        const SecureString payload =
            BuildWebsocketErrorPayload(LinkState::kLinkConfCtrl, 0, "o", "s", LinkState::kLinkFailedErr, "e");
        const std::string text(payload.data(), payload.size());
        EXPECT_NE(text.find(std::string("\"linkStatus\":\"") + r.second + "\""), std::string::npos) << text;
    }
}

TEST(UrlNameTable, FirstMatchAnywhereInUrlEarlierRowsWinning) {
    std::string longUrl(1 << 20, 'a');  // far longer than any row, the path at the very end
    longUrl += "/v1/usg/abs/users/list";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"https://h:443/v1/usg/acs/token?x=1", "LOGIN_HTTP_RECONNECT_URL"},
        {"https://h/v2/usg/acs/token", "LOGIN_HTTP_REFRESH_TOKEN_AUTH_URL"},
        {"x/getClientParam.action", "LOGIN_GET_TEMPUSER_FROM_RANDOM"},
        {"/v1/mmc/management/conferences/anonymous/authConf", "LOGIN_HTTPS_ANONYMOUSE_AUTH_CONF_URL"},
        {"/v1/usg/acs/password/reset", "LOGIN_HTTPS_CLOUD_UHUB_CHANGE_PWD_URL"},
        {"/v1/usg/dcs/member/corp", "LOGIN_HTTPS_USER_REGISTER_URL"},
        {"/v1/usg/dcs/member/vmr/1", "LOGIN_HTTPS_USER_REGISTER_URL"},
        {"/v1/usg/acs/auth/proxy", "LOGIN_HTTPS_ACCESSTOKEN_AUTH_URL"},
        {"/v1/usg/acs/auth/skipnonce", "LOGIN_HTTPS_GET_NONCE_URL"},
        {"/cms/open/rest/conferences/%s/inviteWithPwd", "CONFCTRL_HTTPS_ADD_ATTENDEE_WITH_PWD"},
        {"/cms/open/rest/conferences/123/inviteWithPwd", ""},  // %s only literally
        {"", ""},
        {"/V1/USG/ACS/TOKEN", ""},  // case-sensitive
        {"/v1/usg/acs/toke", ""},   // shorter than every candidate path
        {longUrl, "LOGIN_QUERY_USER_INFO_URL"},
    };
    for (const auto &r : rows) {
        const UrlNameRow *row = FindUrlName(r.first.c_str());
        EXPECT_EQ(row != nullptr ? row->key : "", r.second) << r.first.substr(0, 80);
    }
    EXPECT_EQ(FindUrlName(nullptr), nullptr);
    // Rows that can never win keep their place in the table all the same.
    const UrlNameRow *table = UrlNameTable();
    EXPECT_STREQ(table[7].key, "LOGIN_HTTP_REGISTER_TOKEN_AUTH_URL");
    EXPECT_STREQ(table[41].key, "CONFCTRL_HTTPS_GET_LINK_CONF_RANDOM");
    EXPECT_STREQ(table[kUrlNameRowCount - 1].key, "CONFCTRL_HTTPS_GET_VMR_LIST");
}

bool StartsWith(const char *text, const char *prefix) {
    return text != nullptr && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

TEST(HttpErrorTable, EntriesFollowLibcurlNumberingAndErrnoAboveOneHundredSelects) {
    const std::vector<std::pair<int32_t, const char *>> named = {
        {CURLE_OK, "CURLE_OK"},
        {CURLE_COULDNT_RESOLVE_HOST, "CURLE_COULDNT_RESOLVE_HOST"},
        {CURLE_OPERATION_TIMEDOUT, "CURLE_OPERATION_TIMEDOUT"},
        {CURLE_SSL_CACERT_BADFILE, "CURLE_SSL_CACERT_BADFILE"},
        {CURLE_PEER_FAILED_VERIFICATION, "CURLE_PEER_FAILED_VERIFICATION"},
        {CURLE_HTTP3, "CURLE_HTTP3"},
        {CURLE_PROXY, "CURLE_PROXY"}};
    for (const auto &n : named) EXPECT_TRUE(StartsWith(HttpErrorDescEntry(n.first), n.second)) << n.second;
    EXPECT_EQ(CURLE_PROXY, kHttpErrorDescCount - 2);
    for (int32_t i = 0; i < kHttpErrorDescCount - 1; ++i) EXPECT_TRUE(StartsWith(HttpErrorDescEntry(i), "CURLE_")) << i;
    EXPECT_STREQ(HttpErrorDescEntry(kHttpErrorDescCount - 1), "http rsp parse failed");
    EXPECT_EQ(HttpErrorDescEntry(-1), nullptr);
    EXPECT_EQ(HttpErrorDescEntry(kHttpErrorDescCount), nullptr);

    EXPECT_STREQ(HttpErrorDesc(101), HttpErrorDescEntry(1));
    EXPECT_STREQ(HttpErrorDesc(197), HttpErrorDescEntry(CURLE_PROXY));
    EXPECT_STREQ(HttpErrorDesc(198), "http rsp parse failed");
    for (int32_t err : {100, 199, 5, 0, -1, -100, INT32_MIN, INT32_MAX}) EXPECT_STREQ(HttpErrorDesc(err), "") << err;
}

}  // namespace
}  // namespace unified_track
