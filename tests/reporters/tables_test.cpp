// Name tables, URL-name search order and the HTTP error descriptions at their bounds.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "interface/track_tables.h"

namespace unified_track {
namespace {

std::string KeyOf(const char *url) {
    const UrlNameRow *row = FindUrlName(url);
    return row != nullptr ? row->key : "";
}

TEST(LinkNameTables, KnownCodesAndUnknown) {
    EXPECT_STREQ(LinkTypeName(0), "conf ctrl");
    EXPECT_STREQ(LinkTypeName(1), "conf usg manage");
    EXPECT_STREQ(LinkReasonName(3), "confctrl recreate");
    EXPECT_STREQ(LinkReasonName(5), "unexpected_linkid");
    EXPECT_STREQ(LinkStatusName(2), "heart beat timeout");
    EXPECT_STREQ(LinkStatusName(7), "init");
    // Gaps and out-of-range codes.
    for (int32_t code : {-1, 2, 7, INT32_MIN, INT32_MAX}) {
        EXPECT_STREQ(LinkTypeName(code), "unknow") << code;
    }
    for (int32_t code : {-1, 4, 6, INT32_MAX}) {
        EXPECT_STREQ(LinkReasonName(code), "unknow") << code;
    }
    for (int32_t code : {-1, 3, 6, 8}) {
        EXPECT_STREQ(LinkStatusName(code), "unknow") << code;
    }
}

TEST(UrlNameTable, FirstMatchAnywhereInUrl) {
    EXPECT_EQ(KeyOf("https://h:443/v1/usg/acs/token?x=1"), "LOGIN_HTTP_RECONNECT_URL");
    EXPECT_EQ(KeyOf("https://h/v1/usg/acs/login/sc"), "LOGIN_HTTPS_AUTH_URL");
    EXPECT_EQ(KeyOf("https://h/v2/usg/acs/token"), "LOGIN_HTTP_REFRESH_TOKEN_AUTH_URL");
    EXPECT_EQ(KeyOf("x/getClientParam.action"), "LOGIN_GET_TEMPUSER_FROM_RANDOM");
    EXPECT_EQ(KeyOf("https://h/v1/usg/dcs/member/vmrinfo"), "LOGIN_HTTPS_USER_REGISTER_URL");
}

TEST(UrlNameTable, EarlierRowsShadowLaterOnes) {
    EXPECT_EQ(KeyOf("/v1/mmc/management/conferences/anonymous/authConf"),
              "LOGIN_HTTPS_ANONYMOUSE_AUTH_CONF_URL");
    EXPECT_EQ(KeyOf("/v1/usg/acs/password/reset"), "LOGIN_HTTPS_CLOUD_UHUB_CHANGE_PWD_URL");
    EXPECT_EQ(KeyOf("/v1/usg/dcs/member/corp"), "LOGIN_HTTPS_USER_REGISTER_URL");
    EXPECT_EQ(KeyOf("/v1/usg/dcs/member/vmr/1"), "LOGIN_HTTPS_USER_REGISTER_URL");
    EXPECT_EQ(KeyOf("/v1/usg/acs/auth/proxy"), "LOGIN_HTTPS_ACCESSTOKEN_AUTH_URL");
    EXPECT_EQ(KeyOf("/v1/usg/acs/auth/skipnonce"), "LOGIN_HTTPS_GET_NONCE_URL");
    // Rows that can never win keep their place in the table all the same.
    const UrlNameRow *rows = UrlNameTable();
    EXPECT_STREQ(rows[7].key, "LOGIN_HTTP_REGISTER_TOKEN_AUTH_URL");
    EXPECT_STREQ(rows[41].key, "CONFCTRL_HTTPS_GET_LINK_CONF_RANDOM");
    EXPECT_STREQ(rows[kUrlNameRowCount - 1].key, "CONFCTRL_HTTPS_GET_VMR_LIST");
}

TEST(UrlNameTable, PercentSOnlyLiterallyAndNoMatches) {
    EXPECT_EQ(KeyOf("/cms/open/rest/conferences/123/inviteWithPwd"), "");
    EXPECT_EQ(KeyOf("/cms/open/rest/conferences/%s/inviteWithPwd"), "CONFCTRL_HTTPS_ADD_ATTENDEE_WITH_PWD");
    EXPECT_EQ(FindUrlName(nullptr), nullptr);
    EXPECT_EQ(KeyOf(""), "");
    EXPECT_EQ(KeyOf("/V1/USG/ACS/TOKEN"), "");         // case-sensitive
    EXPECT_EQ(KeyOf("/v1/usg/acs/toke"), "");          // shorter than every candidate path
    // Far longer than any row, the path at the very end.
    std::string longUrl(1 << 20, 'a');
    longUrl += "/v1/usg/abs/users/list";
    EXPECT_EQ(KeyOf(longUrl.c_str()), "LOGIN_QUERY_USER_INFO_URL");
}

bool StartsWith(const char *text, const char *prefix) {
    return text != nullptr && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

TEST(HttpErrorTable, EntriesFollowLibcurlNumbering) {
    EXPECT_TRUE(StartsWith(HttpErrorDescEntry(CURLE_OK), "CURLE_OK"));
    EXPECT_TRUE(StartsWith(HttpErrorDescEntry(CURLE_COULDNT_RESOLVE_HOST), "CURLE_COULDNT_RESOLVE_HOST"));
    EXPECT_TRUE(StartsWith(HttpErrorDescEntry(CURLE_OPERATION_TIMEDOUT), "CURLE_OPERATION_TIMEDOUT"));
    EXPECT_TRUE(StartsWith(HttpErrorDescEntry(CURLE_PEER_FAILED_VERIFICATION),
                           "CURLE_PEER_FAILED_VERIFICATION"));
    EXPECT_TRUE(StartsWith(HttpErrorDescEntry(CURLE_SSL_CACERT_BADFILE), "CURLE_SSL_CACERT_BADFILE"));
    EXPECT_TRUE(StartsWith(HttpErrorDescEntry(CURLE_HTTP3), "CURLE_HTTP3"));
    EXPECT_TRUE(StartsWith(HttpErrorDescEntry(CURLE_PROXY), "CURLE_PROXY"));
    EXPECT_EQ(CURLE_PROXY, kHttpErrorDescCount - 2);
    EXPECT_STREQ(HttpErrorDescEntry(kHttpErrorDescCount - 1), "http rsp parse failed");
    EXPECT_EQ(HttpErrorDescEntry(-1), nullptr);
    EXPECT_EQ(HttpErrorDescEntry(kHttpErrorDescCount), nullptr);
    for (int32_t i = 0; i < kHttpErrorDescCount - 1; ++i) {
        EXPECT_TRUE(StartsWith(HttpErrorDescEntry(i), "CURLE_")) << i;
    }
}

TEST(HttpErrorTable, ErrnoSelectsEntryAboveOneHundred) {
    EXPECT_STREQ(HttpErrorDesc(106), HttpErrorDescEntry(CURLE_COULDNT_RESOLVE_HOST));
    EXPECT_STREQ(HttpErrorDesc(101), HttpErrorDescEntry(1));
    EXPECT_STREQ(HttpErrorDesc(197), HttpErrorDescEntry(CURLE_PROXY));
    EXPECT_STREQ(HttpErrorDesc(198), "http rsp parse failed");
    for (int32_t err : {100, 199, 5, 0, -1, -100, INT32_MIN, INT32_MAX}) {
        EXPECT_STREQ(HttpErrorDesc(err), "") << err;
    }
}

}  // namespace
}  // namespace unified_track
