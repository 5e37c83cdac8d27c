// Lookup tables of the link and transport reporters.
#include "interface/track_tables.h"

#include <cstring>

#include "interface/track_reporter_texts.h"

namespace unified_track {

const char *LinkTypeName(int32_t linkType) {
    switch (linkType) {
        case 0:
            return "conf ctrl";
        case 1:
            return "conf usg manage";
        default:
            return reporter_text::kUnknown;
    }
}

const char *LinkReasonName(int32_t reason) {
    switch (reason) {
        case 0:
            return "request failed";
        case 1:
            return "recv err";
        case 2:
            return "closed";
        case 3:
            return "confctrl recreate";
        case 5:
            return "unexpected_linkid";
        default:
            return reporter_text::kUnknown;
    }
}

const char *LinkStatusName(int32_t status) {
    switch (status) {
        case 0:
            return "connect failed";
        case 1:
            return "be close";
        case 2:
            return "heart beat timeout";
        case 4:
            return "auth failed";
        case 5:
            return "success";
        case 7:
            return "init";
        default:
            return reporter_text::kUnknown;
    }
}

namespace {

// Search order matters: several paths repeat or contain one another, and the first match wins.
const UrlNameRow kUrlNames[] = {
    {"LOGIN_HTTPS_AUTH_URL", "/v1/usg/acs/login/sc"},
    {"LOGIN_HTTPS_LOGOUT_URL", "/v1/usg/acs/logout/sc"},
    {"LOGIN_HTTP_APPID_AUTH_URL", "v2/usg/acs/auth/appauth"},
    {"LOGIN_HTTPS_AUTHCODE_AUTH_URL", "/v1/usg/acs/login/proxy"},
    {"LOGIN_HTTPS_ACCESSTOKEN_AUTH_URL", "/v1/usg/acs/auth/proxy"},
    {"LOGIN_HTTPS_VERIFYCODE_AUTH_URL", "/v1/usg/acs/auth/verify-code-auth"},
    {"LOGIN_HTTP_RECONNECT_URL", "/v1/usg/acs/token"},
    {"LOGIN_HTTP_REGISTER_TOKEN_AUTH_URL", "/v1/usg/acs/token"},
    {"LOGIN_HTTP_REFRESH_TOKEN_AUTH_URL", "v2/usg/acs/token"},
    {"LOGIN_HTTP_GET_USERSERVICEDATA_URL", "/v1/usg/acs/ap/userservicedata"},
    {"LOGIN_HTTPS_REFRESH_STG_TOKEN_URL", "/v1/usg/acs/ap/stgtoken"},
    {"LOGIN_HTTPS_GET_NONCE_URL", "/v1/usg/acs/auth/skipnonce"},
    {"LOGIN_HTTPS_ANONYMOUSE_AUTH_CONF_URL", "/v1/mmc/management/conferences/anonymous/auth"},
    {"LOGIN_GET_CFGFILE", "/v1/usg/tms/softterm/cfgfile/new-obspath"},
    {"LOGIN_UHUB_QUERY_VERSION_QUERY_URL", "/v1/usg/tms/softterm/version/query"},
    {"LOGIN_UHUB_QUERY_VERSION_CHECK_URL", "/v1/usg/tms/softterm/version/check"},
    {"LOGIN_HTTPS_REG_REQUEST_VERIFY_CODE_URL", "/v1/usg/acs/user-verify-code/send"},
    {"LOGIN_HTTPS_REG_REQUEST_SLIDER_URL", "/v1/usg/acs/auth/slideverifycode/send"},
    {"LOGIN_HTTPS_CLOUD_UHUB_CHANGE_PWD_URL", "/v1/usg/acs/password"},
    {"LOGIN_HTTPS_REG_CHECK_SLIDER_URL", "/v1/usg/acs/auth/slideverifycode/check"},
    {"LOGIN_HTTPS_MEMBER_PRE_VERIFY_URL", "/v1/usg/dcs/member/pre-verify"},
    {"LOGIN_HTTPS_USER_REGISTER_URL", "/v1/usg/dcs/member"},
    {"LOGIN_UHUB_RESET_PASS_WORD", "/v1/usg/acs/password/reset"},
    {"LOGIN_UHUB_SEND_VERIFY_CODE", "/v1/usg/acs/verifycode/send"},
    {"LOGIN_UHUB_CHECK_VERIFY_CODE", "/v1/usg/acs/verifycode/check"},
    {"LOGIN_UHUB_REGISTER_CORP", "/v1/usg/dcs/member/corp"},
    {"LOGIN_QUERY_USER_INFO_URL", "/v1/usg/abs/users/list"},
    {"LOGIN_UHUB_REQUEST_UPLOAD_INFO_URL", "/v1/usg/tms/softterm/logfile/new-obspath"},
    {"LOGIN_HTTPS_AUTH_PROXY_URL", "/v1/usg/acs/auth/proxy"},
    {"LOGIN_HTTPS_AUTH_SKIPNONCE_URL", "/v1/usg/acs/auth/skipnonce"},
    {"LOGIN_HTTPS_BINDING_USER_INFO_URL", "/v1/usg/acs/binding-user-info"},
    {"LOGIN_HTTPS_REFRESH_DETECT_TOKEN_URL", "/v1/usg/acs/ap/detectiontoken"},
    {"LOGIN_GET_TEMPUSER_FROM_RANDOM", "getClientParam.action"},
    {"LOGIN_GET_PROJECTION_CODE_URL", "eua/wireless-projection-code/refresh"},
    {"LOGIN_GET_PAIR_CODE_URL", "eua/wireless-projection-code/rest/refresh"},
    {"CONFCTRL_HTTPS_ANONYMOUSE_AUTH_CONF_URL", "/v1/mmc/management/conferences/anonymous/authConf"},
    {"CONFCTRL_HTTPS_ANONYMOUSE_SERVER_ADDR", "/v1/mmc/management/conferences/anonymous/accessAddress"},
    {"CONFCTRL_HTTPS_ANONYMOUSE_SEND_SMS_URL", "/v1/mmc/management/conferences/anonymous/sms"},
    {"CONFCTRL_HTTPS_ANONYMOUSE_GET_SLIDER_URL", "/v1/mmc/management/conferences/slideverifycode/get"},
    {"CONFCTRL_HTTPS_ANONYMOUSE_CHECK_SLIDER_URL", "/v1/mmc/management/conferences/slideverifycode/check"},
    {"CONFCTRL_HTTPS_ANONYMOUSE_GET_CONF_INFO_URL", "/v1/mmc/management/conferences/anonymous/clientParams"},
    {"CONFCTRL_HTTPS_GET_LINK_CONF_RANDOM", "/v1/mmc/management/conferences/anonymous/auth"},
    {"CONFCTRL_HTTPS_ADD_ATTENDEE_WITH_PWD", "/cms/open/rest/conferences/%s/inviteWithPwd"},
    {"CONFCTRL_HTTPS_CHANGE_VMR_INFO", "/v1/usg/dcs/member/vmr/"},
    {"CONFCTRL_HTTPS_GET_VMR_LIST", "/v1/usg/dcs/member/vmrinfo"},
};
static_assert(sizeof(kUrlNames) / sizeof(kUrlNames[0]) == kUrlNameRowCount, "45 URL names");

// Index = CURLcode (libcurl 7.88 numbering), then the HTTP layer's own parse failure.
const char *const kHttpErrorDescs[] = {
    "CURLE_OK",
    "CURLE_UNSUPPORTED_PROTOCOL - protocol not supported",
    "CURLE_FAILED_INIT - initialisation failed",
    "CURLE_URL_MALFORMAT - malformed URL",
    "CURLE_NOT_BUILT_IN - feature not built in",
    "CURLE_COULDNT_RESOLVE_PROXY - could not resolve proxy",
    "CURLE_COULDNT_RESOLVE_HOST - could not resolve host",
    "CURLE_COULDNT_CONNECT - could not connect to server",
    "CURLE_WEIRD_SERVER_REPLY - weird server reply",
    "CURLE_REMOTE_ACCESS_DENIED - access denied by server",
    "CURLE_FTP_ACCEPT_FAILED - FTP accept failed",
    "CURLE_FTP_WEIRD_PASS_REPLY - FTP weird PASS reply",
    "CURLE_FTP_ACCEPT_TIMEOUT - FTP accept timed out",
    "CURLE_FTP_WEIRD_PASV_REPLY - FTP weird PASV reply",
    "CURLE_FTP_WEIRD_227_FORMAT - FTP weird 227 format",
    "CURLE_FTP_CANT_GET_HOST - FTP cannot get host",
    "CURLE_HTTP2 - HTTP/2 framing error",
    "CURLE_FTP_COULDNT_SET_TYPE - FTP could not set type",
    "CURLE_PARTIAL_FILE - transferred a partial file",
    "CURLE_FTP_COULDNT_RETR_FILE - FTP could not retrieve file",
    "CURLE_OBSOLETE20",
    "CURLE_QUOTE_ERROR - quote command failed",
    "CURLE_HTTP_RETURNED_ERROR - HTTP server returned an error",
    "CURLE_WRITE_ERROR - failed writing received data",
    "CURLE_OBSOLETE24",
    "CURLE_UPLOAD_FAILED - upload failed",
    "CURLE_READ_ERROR - failed reading the data to send",
    "CURLE_OUT_OF_MEMORY - out of memory",
    "CURLE_OPERATION_TIMEDOUT - operation timed out",
    "CURLE_OBSOLETE29",
    "CURLE_FTP_PORT_FAILED - FTP PORT failed",
    "CURLE_FTP_COULDNT_USE_REST - FTP REST failed",
    "CURLE_OBSOLETE32",
    "CURLE_RANGE_ERROR - range request not supported",
    "CURLE_HTTP_POST_ERROR - HTTP POST failed",
    "CURLE_SSL_CONNECT_ERROR - SSL connect error",
    "CURLE_BAD_DOWNLOAD_RESUME - could not resume download",
    "CURLE_FILE_COULDNT_READ_FILE - could not read file",
    "CURLE_LDAP_CANNOT_BIND - LDAP cannot bind",
    "CURLE_LDAP_SEARCH_FAILED - LDAP search failed",
    "CURLE_OBSOLETE40",
    "CURLE_FUNCTION_NOT_FOUND - function not found",
    "CURLE_ABORTED_BY_CALLBACK - aborted by callback",
    "CURLE_BAD_FUNCTION_ARGUMENT - bad function argument",
    "CURLE_OBSOLETE44",
    "CURLE_INTERFACE_FAILED - network interface failed",
    "CURLE_OBSOLETE46",
    "CURLE_TOO_MANY_REDIRECTS - too many redirects",
    "CURLE_UNKNOWN_OPTION - unknown option",
    "CURLE_SETOPT_OPTION_SYNTAX - malformed option",
    "CURLE_OBSOLETE50",
    "CURLE_OBSOLETE51",
    "CURLE_GOT_NOTHING - server returned nothing",
    "CURLE_SSL_ENGINE_NOTFOUND - SSL engine not found",
    "CURLE_SSL_ENGINE_SETFAILED - cannot set SSL engine",
    "CURLE_SEND_ERROR - failed sending data",
    "CURLE_RECV_ERROR - failed receiving data",
    "CURLE_OBSOLETE57",
    "CURLE_SSL_CERTPROBLEM - local certificate problem",
    "CURLE_SSL_CIPHER - cannot use cipher",
    "CURLE_PEER_FAILED_VERIFICATION - peer certificate verification failed",
    "CURLE_BAD_CONTENT_ENCODING - bad content encoding",
    "CURLE_OBSOLETE62",
    "CURLE_FILESIZE_EXCEEDED - maximum file size exceeded",
    "CURLE_USE_SSL_FAILED - requested SSL level failed",
    "CURLE_SEND_FAIL_REWIND - send needs a rewind that failed",
    "CURLE_SSL_ENGINE_INITFAILED - SSL engine initialisation failed",
    "CURLE_LOGIN_DENIED - login denied",
    "CURLE_TFTP_NOTFOUND - file not found on server",
    "CURLE_TFTP_PERM - permission problem on server",
    "CURLE_REMOTE_DISK_FULL - out of disk space on server",
    "CURLE_TFTP_ILLEGAL - illegal TFTP operation",
    "CURLE_TFTP_UNKNOWNID - unknown transfer id",
    "CURLE_REMOTE_FILE_EXISTS - file already exists",
    "CURLE_TFTP_NOSUCHUSER - no such user",
    "CURLE_OBSOLETE75",
    "CURLE_OBSOLETE76",
    "CURLE_SSL_CACERT_BADFILE - cannot load CA certificate file",
    "CURLE_REMOTE_FILE_NOT_FOUND - remote file not found",
    "CURLE_SSH - SSH layer error",
    "CURLE_SSL_SHUTDOWN_FAILED - SSL shutdown failed",
    "CURLE_AGAIN - socket not ready, try again",
    "CURLE_SSL_CRL_BADFILE - cannot load CRL file",
    "CURLE_SSL_ISSUER_ERROR - issuer check failed",
    "CURLE_FTP_PRET_FAILED - FTP PRET failed",
    "CURLE_RTSP_CSEQ_ERROR - RTSP CSeq mismatch",
    "CURLE_RTSP_SESSION_ERROR - RTSP session id mismatch",
    "CURLE_FTP_BAD_FILE_LIST - cannot parse FTP file list",
    "CURLE_CHUNK_FAILED - chunk callback failed",
    "CURLE_NO_CONNECTION_AVAILABLE - no connection available",
    "CURLE_SSL_PINNEDPUBKEYNOTMATCH - pinned public key mismatch",
    "CURLE_SSL_INVALIDCERTSTATUS - invalid certificate status",
    "CURLE_HTTP2_STREAM - HTTP/2 stream error",
    "CURLE_RECURSIVE_API_CALL - API called from inside a callback",
    "CURLE_AUTH_ERROR - authentication failed",
    "CURLE_HTTP3 - HTTP/3 layer error",
    "CURLE_QUIC_CONNECT_ERROR - QUIC connection error",
    "CURLE_PROXY - proxy handshake error",
    "http rsp parse failed",
};
static_assert(sizeof(kHttpErrorDescs) / sizeof(kHttpErrorDescs[0]) == kHttpErrorDescCount,
              "one description per CURLcode up to CURLE_PROXY, then the parse failure");

constexpr int32_t kHttpErrBase = 100;

}  // namespace

const UrlNameRow *UrlNameTable() {
    return kUrlNames;
}

const UrlNameRow *FindUrlName(const char *url) {
    if (url == nullptr) {
        return nullptr;
    }
    const size_t urlLen = std::strlen(url);
    for (const UrlNameRow &row : kUrlNames) {
        if (std::strlen(row.path) > urlLen) {
            continue;
        }
        if (std::strstr(url, row.path) != nullptr) {
            return &row;
        }
    }
    return nullptr;
}

const char *HttpErrorDescEntry(int32_t index) {
    if (index < 0 || index >= kHttpErrorDescCount) {
        return nullptr;
    }
    return kHttpErrorDescs[index];
}

const char *HttpErrorDesc(int32_t err) {
    // Written without err - 100 on the far side so that INT32_MIN cannot overflow.
    if (err > kHttpErrBase && err < kHttpErrBase + kHttpErrorDescCount) {
        return kHttpErrorDescs[err - kHttpErrBase];
    }
    return "";
}

}  // namespace unified_track
