// Module names, key tables and texts of the API log.
#pragma once

#include <cstddef>
#include <cstdint>

namespace apilog {

// Indexed by module id; three names end in a blank so that most have three characters.
constexpr const char *kModuleNames[] = {"LUM", "CMS", "UI ", "RTC", "OST", "SBC", "USG", "WS ", "MS ", "CONF"};
constexpr int32_t kModuleCms = 1;
constexpr int32_t kModuleSbc = 5;
constexpr int32_t kModuleUsg = 6;

constexpr size_t kFormatBufferSize = 3000;  // formatted text: at most 2999 characters
constexpr size_t kMaxTextLength = 3000;     // longer texts keep their head and tail
constexpr size_t kKeptHead = 2000;
constexpr size_t kKeptTail = 1000;
constexpr char kShortenMarker[] = " ...... ";

constexpr size_t kRecentPrefixMax = 10;
constexpr size_t kAbandonedMax = 10;      // entries kept after an insert
constexpr int32_t kAbandonSummaryAt = 6;  // drops of one prefix that produce the summary line

// Long token values keep this many leading characters readable.
constexpr size_t kLongTokenLength = 40;
constexpr size_t kLongTokenKept = 11;

constexpr char kCallMarker[] = "called";
// The line is "[<from>]------>[<to>]: <text>".
constexpr char kApiLineArrow[] = "]------>[";
constexpr char kApiLineColon[] = "]: ";
constexpr char kApiFunction[] = "track";
constexpr char kApiFile[] = "api";
constexpr int kApiLineNumber = 1;
constexpr char kSummaryHead[] = "abandom interface: ";
constexpr char kSummaryCount[] = ", abandom count: ";
constexpr char kSummaryTail[] = "; ";
constexpr char kParamNull[] = "param is null";
constexpr char kSecFunError[] = "sec fun error: %d";

constexpr const char *kPasswordKeys[] = {"password",         "pwd",           "paidPassword",    "confpwd",
                                         "audiencePWD",      "chairmanPwd",   "connectionPwd",   "stunKey",
                                         "authPwd",          "guestPwd",      "signature",       "url",
                                         "joinUrl",          "event_url",     "breakoutConfPWD", "textContent",
                                         "targetConfPwd",    "bindEmail",     "nonce",           "hostKey",
                                         "cryptKey",         "confKey",       "confPwd",         "confPass",
                                         "meeting_password", "brio_password", "meeing_password", "callNumber",
                                         "accessNumber"};

constexpr const char *kExtendedFieldKeys[] = {"extendedField", "EXTENDED_FIELD"};

constexpr char kParticipantIdMarker[] = "participantID\":\"";
constexpr size_t kParticipantIdMarkerLength = sizeof(kParticipantIdMarker) - 1;

// Conference-control name keys. Duplicates and the three already-masked entries are kept: the
// table is matched as it is.
constexpr const char *kCmsNameKeys[] = {"TEL",
                                        "ACCOUNT",
                                        "THIRDACCOUNT",
                                        "thirdAccount",
                                        "accountId",
                                        "name",
                                        "NAME",
                                        "phone",
                                        "title",
                                        "owner",
                                        "subject",
                                        "scheduserName",
                                        "deptName",
                                        "deptFullName",
                                        "callNumber",
                                        "otherHost",
                                        "name",
                                        "phone",
                                        "sms",
                                        "newName",
                                        "nickName",
                                        "number",
                                        "userUri",
                                        "userUUID",
                                        "ACCOUNT_ID",
                                        "REAL_NAME",
                                        "userName",
                                        "userId",
                                        "userID",
                                        "translateText",
                                        "domainIP",
                                        "deviceID",
                                        "RTC_USER_ID",
                                        "id",
                                        "participantSecureConfNum",
                                        "accessCode",
                                        "chairJoinUri",
                                        "guestJoinUri",
                                        "email",
                                        "sensitiveWords",
                                        "audienceJoinUri",
                                        "coverPageUri",
                                        "siteUrl",
                                        "scheduler",
                                        "invitor",
                                        "scheduler",
                                        "shadowImage",
                                        "url",
                                        "random",
                                        "NAME ...... ",
                                        "ow ...... ner",
                                        "signature",
                                        "url",
                                        "joinUrl",
                                        "event_url",
                                        "domainUrl",
                                        "backupIp",
                                        "internalBackupIp",
                                        "deptUUID",
                                        "vmrName",
                                        "moveToBCName",
                                        "breakoutName",
                                        "jwtToken",
                                        "ALIAS_CN",
                                        "ALIAS_EN",
                                        "aliasCN",
                                        "aliasEN",
                                        "senderName",
                                        "senderAliasCN",
                                        "senderAliasEN",
                                        "oldChairName",
                                        "oldChairAliasCN",
                                        "oldChairAliasEN",
                                        "newChairName",
                                        "siteName",
                                        "newChairAliasCN",
                                        "newChairAliasEN",
                                        "askerName",
                                        "askerAliasCN",
                                        "askerAliasEN",
                                        "inviteNumber",
                                        "digitalAccount",
                                        "digitalName",
                                        "presenterAccount",
                                        "presenterRealNameAccount",
                                        "presenterName",
                                        "localAuthInfo",
                                        "localAuthAppId",
                                        "account",
                                        "pr ...... ",
                                        "REAL_NAME_ACCOUNT",
                                        "realNameAccount",
                                        "confResourceName",
                                        "jobNumber",
                                        "invitorAliasCN",
                                        "invitorAliasEN",
                                        "confName",
                                        "dialContent"};

struct UrlRule {
    const char *marker;
    const char *valueStart;
    const char *valueEnd;
};
constexpr UrlRule kUrlRules[] = {{"url: ", "http", ","}, {"\"openCustomPara", ":", "n}"}};

constexpr const char *kTokenKeys[] = {"confToken",        "token",        "tmpWsToken", "addressToken", "accessToken",
                                      "proxyAccessToken", "refreshToken", "authToken",  "tmpToken"};

constexpr const char *kUsgAccountKeys[] = {"name",           "tokenIp",
                                           "ucloginAccount", "serviceAccount",
                                           "numberHA1",      "companyId",
                                           "thirdAccount",   "paidAccount",
                                           "weChatName",     "impu",
                                           "impi",           "connectionAccount",
                                           "shadowImage",    "authAccount",
                                           "address",        "url",
                                           "result",         "responseBody",
                                           "signature",      "url",
                                           "joinUrl",        "event_url",
                                           "email",          "phone",
                                           "deptName",       "number",
                                           "deptFullName",   "activation_credential",
                                           "qr_code_url",    "account",
                                           "jwtToken",       "agent_id",
                                           "ios_wx_schema",  "android_wx_schema",
                                           "subject",        "app_id"};

// Key names ending in one of these words (any case) are masked like the lists above, wherever
// they come from: "newPassword", "oldPwd", "ssoToken", "appSecret".
constexpr const char *kPasswordSuffixes[] = {"password", "passwd", "pwd", "secret"};
constexpr const char *kTokenSuffixes[] = {"token"};
constexpr char kParticipantIdKey[] = "participantID";
// Longest key name looked up (bytes); longer quoted texts are not keys.
constexpr size_t kMaxKeyLength = 64;

static_assert(sizeof(kPasswordKeys) / sizeof(kPasswordKeys[0]) == 29, "password keys");
static_assert(sizeof(kCmsNameKeys) / sizeof(kCmsNameKeys[0]) == 98, "conference-control name keys");
static_assert(sizeof(kTokenKeys) / sizeof(kTokenKeys[0]) == 9, "token keys");
static_assert(sizeof(kUsgAccountKeys) / sizeof(kUsgAccountKeys[0]) == 36, "gateway account keys");
static_assert(kParticipantIdMarkerLength == 16, "participant-id marker");

}  // namespace apilog
