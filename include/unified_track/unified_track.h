/*
 * unified_track: the tracking ("dot data") library of the client SDK.
 *
 * Plain C interface. Every text is a NUL-terminated 8-bit (UTF-8) string; every pointer may be
 * null (a null record is rejected with UT_FAILED where a result exists). Records are copied
 * before a call returns, so the caller may reuse its memory at once. Callable from any thread.
 */
#ifndef UNIFIED_TRACK_H
#define UNIFIED_TRACK_H

#include <stdint.h>
#include "export.h"

#ifdef __cplusplus
#include <stdbool.h>
extern "C" {
#else
#include <stdbool.h>
#endif

typedef enum {
    UT_SUCCESS = 0,
    UT_FAILED = 1,
    UT_NOT_INITED = 2,
    UT_UPLOAD_ERROR = 4,
    UT_DOT_SWITCH_OFF = 5
} OST_UT_RESULT_ENUM;
typedef uint32_t OST_UT_RESULT;

/* ---- records ------------------------------------------------------------------------------ */

/* One event (user, timed or media record). */
typedef struct tagUTContextSpecialParam {
    const char *eventId;
    const char *event;
    const char *arg2;
    const char *arg3;
    const char *arg4;
    uint32_t m;
    uint32_t t;
} tagUTContextSpecialParam;

/* One sub-event mark: isEnd 0 starts the sub-event, anything else ends it. */
typedef struct tagUTContextSubEventParam {
    const char *name;
    uint8_t isEnd;
} tagUTContextSubEventParam;

typedef struct tagUTPublicSdkParam {
    const char *uuid;
    const char *account;
    const char *cloudusgIp;
    const char *sbcIp;
    const char *reserve1;
    const char *reserve2;
    const char *reserve3;
    const char *reserve4;
    const char *reserve5;
} tagUTPublicSdkParam;

typedef struct tagUTConfInfoParam {
    const char *confuuid;
    const char *pid;
} tagUTConfInfoParam;

#define UT_CERT_INFO_LEN 512
typedef struct tagUTCertInfo {
    char certInfo[UT_CERT_INFO_LEN];
    uint32_t certNumber;
} tagUTCertInfo;

typedef struct tagUTTransferParam {
    const char *reserved; /* kept, not used by the request */
    const char *token;    /* "X-Auth-token" */
    const char *jwtToken; /* "X-JWT-Authorization" */
    const char *serverAddr;
    int32_t isProxyOff; /* non-zero: do not use the proxy */
    uint16_t port;      /* appended as ":port" when non-zero */
    uint8_t unused[8];
    uint16_t proxyPort;
    const char *proxyAddr;
    const char *proxyUser;
    const char *proxyPassword;
} tagUTTransferParam;

typedef struct tagUTContextPublicParam {
    const char *context1; /* application version */
    const char *context2; /* device id */
    const char *context3;
    const char *context4;
    const char *context5;
    const char *context6;
    const char *context7; /* corp-trust application id */
    const char *context8;
    const char *context9; /* operating system */
    const char *context10;
    const char *context11;
    const char *context12; /* access description */
    const char *context13; /* access description */
    const char *context14; /* host application version */
} tagUTContextPublicParam;

typedef struct tagUTBrioContextPublicParam {
    const char *context1;
    const char *context2;
    const char *context3;
    const char *context4;
    const char *context5;
    const char *context6;
    const char *context7;
    const char *context8;
    const char *context9;
    const char *context10;
    const char *context11;
    const char *context12;
    const char *context13;
    const char *context14;
    const char *context15; /* required */
    const char *context16;
    const char *context17;
} tagUTBrioContextPublicParam;

typedef struct tagUTParticipantInfo {
    uint32_t mNumber;
    uint32_t tNumber;
    const char *participantId;
} tagUTParticipantInfo;

#if defined(__i386__) || defined(_M_IX86)
_Static_assert(sizeof(tagUTTransferParam) == 48, "transfer record layout");
#endif

/* ---- start and stop ----------------------------------------------------------------------- */

UT_API OST_UT_RESULT InitUnifiedTrack(uint32_t logLevel, uint32_t reserved1, uint32_t reserved2, const char *logPath,
                                      const char *dataPath);
UT_API OST_UT_RESULT Track_Uninit(void);
UT_API OST_UT_RESULT CheckAppIdAndSetDotData(const char *appId, int32_t *isBrio);
UT_API void GetOrignalCorpTrustAppId(char *buffer, uint32_t bufferSize);
UT_API void PalMsgLogCallback(int32_t level, const char *errNo, const char *file, int32_t line, const char *msg);
UT_API OST_UT_RESULT Track_UpdateLogPath(uint32_t level, uint32_t reserved1, uint32_t reserved2, const char *logPath);
UT_API OST_UT_RESULT Track_ConfigKeyLogSwitch(int32_t bOpen);

/* API log of the SDK's modules ("sdk_api_info"): from and to are module ids (0 LUM, 1 CMS, 2 UI,
 * 3 RTC, 4 OST, 5 SBC, 6 USG, 7 WS, 8 MS, 9 CONF). Floods and noise are dropped, long texts
 * shortened, passwords, tokens and personal values masked. Always UT_SUCCESS. */
#if defined(__GNUC__)
#define UT_PRINTF_LIKE(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define UT_PRINTF_LIKE(fmt, first)
#endif
/* Formatted (at most 2999 characters); nothing is written once the library is stopping. */
UT_API OST_UT_RESULT Track_AddTraceApiLog(int32_t from, int32_t to, const char *format, ...) UT_PRINTF_LIKE(3, 4);
/* A ready text of any length. */
UT_API OST_UT_RESULT Track_AddTraceApiLogStr(int32_t from, int32_t to, const char *text);

/* ---- track operations --------------------------------------------------------------------- */

UT_API OST_UT_RESULT Track_AddUserTrack(const tagUTContextSpecialParam *param);
UT_API OST_UT_RESULT Track_StartEvent(const char *eventName);
UT_API OST_UT_RESULT Track_AddSubEvent(const char *eventName, const tagUTContextSubEventParam *param);
UT_API OST_UT_RESULT Track_FinishEvent(const char *eventName, const tagUTContextSpecialParam *param);
UT_API OST_UT_RESULT Track_UploadUserTrack(void);
UT_API OST_UT_RESULT Track_DelDotData(void);
UT_API OST_UT_RESULT Track_ConfigPublicSdkParam(const tagUTPublicSdkParam *param);
UT_API OST_UT_RESULT Track_ClearConfigPublicSdkParam(void);
UT_API OST_UT_RESULT Track_SetConfInfoParam(const tagUTConfInfoParam *param);
UT_API OST_UT_RESULT Track_SetCertInfo(const tagUTCertInfo *param);
UT_API OST_UT_RESULT Track_GetCertInfo(tagUTCertInfo *param);
UT_API OST_UT_RESULT Track_GetVersion(char *buffer, int32_t size);
UT_API OST_UT_RESULT Track_SetTerminalType(const char *terminalType);
UT_API OST_UT_RESULT Track_ConfigUploadParam(const tagUTTransferParam *param);
UT_API OST_UT_RESULT Track_ConfigCustomParam(int32_t upload);
UT_API OST_UT_RESULT Track_ConfigDotSwitch(bool open);
UT_API OST_UT_RESULT Track_SetMeetingSDKDotSwitch(bool open);
UT_API OST_UT_RESULT Track_ConfigContextPublicParam(const tagUTContextPublicParam *param);
UT_API OST_UT_RESULT Track_ConfigBrioContextPublicParam(const tagUTBrioContextPublicParam *param);
UT_API OST_UT_RESULT Track_SetParticipantInfo(const tagUTParticipantInfo *param);
UT_API OST_UT_RESULT Track_SetStunInfo(const char *address, uint16_t port);
UT_API OST_UT_RESULT Track_UpdateOpsAddress(const char *address, int32_t isProxyOff);
UT_API OST_UT_RESULT Track_UpdateAccessDesc(const char *desc);
UT_API OST_UT_RESULT Track_RecordUtcTimeByLogin(uint64_t serverUtcMs);
UT_API OST_UT_RESULT Track_GetServerUtcTimeAndBaseTime(uint64_t *serverTime, uint64_t *baseTime);
UT_API OST_UT_RESULT Track_DelUserInfo(void);

/* ---- media and MMR records ---------------------------------------------------------------- */

/* Queues one media record (eventId: a decimal event number; arg4: the payload). uploadNow
 * non-zero packs the media file right after the record. 0 once queued; 1 for a null record. */
UT_API OST_UT_RESULT Track_AddMediaTrack(const tagUTContextSpecialParam *param, int32_t uploadNow);
/* Queues one MMR text. dataLen counts the text with its terminating NUL (a text that does not
 * fit in dataLen bytes is refused). isReportImmediately 1 packs the MMR file now and reads no
 * text. 0 once queued; 1 on a bad length, a null text or a text that does not fit. */
UT_API OST_UT_RESULT Track_AddMMRTrack(const char *trackData, int32_t dataLen, int32_t isReportImmediately);
/* Message counters 0 to 10: bumps one; 0xFFFFFFFF clears all; anything else is refused (1). */
UT_API OST_UT_RESULT Track_MsgDotCount(uint32_t index);

/* ---- MediaTrack family ----------------------------------------------------------------------- */

#define UT_MEDIA_CPU_MEM_TEXT_LEN 256   /* inline text of tagMediaCpuMemInfo, NUL included */
#define UT_MEDIA_PARTICIPANT_ID_LEN 128 /* inline participant id of tagMediaParticipantInfo */
#define UT_MEDIA_SYS_INFO_LEN 64        /* block filled by MediaTrack_GetSysInfo */

/* CPU and memory figures of the call, reported in this order. A number of 0 keeps the one
 * stored before; an empty text keeps the stored text; a text that does not fit (no NUL within
 * the array) empties it. */
typedef struct tagMediaCpuMemInfo {
    uint32_t number1;
    uint32_t number2;
    uint32_t number3;
    char text[UT_MEDIA_CPU_MEM_TEXT_LEN];
} tagMediaCpuMemInfo;

/* Participant numbers with the participant id held inside the record (NUL-terminated; an id
 * without a NUL is cut at the array's end). */
typedef struct tagMediaParticipantInfo {
    uint32_t mNumber;
    uint32_t tNumber;
    char participantId[UT_MEDIA_PARTICIPANT_ID_LEN];
} tagMediaParticipantInfo;

/* Sends one media record: eventId = eventNumber in unsigned decimal, arg4 = conference id (or
 * "-") + "|" + content. 0 once queued; 1 when content is null. */
UT_API OST_UT_RESULT MediaTrack_AddDataConfDotData(int32_t eventNumber, const char *content, int32_t uploadNow);
/* Sends the "Call Start" show information (event 30001) and packs the media file. */
UT_API void MediaTrack_AddStaticShowInfo(void);
/* The stored conference id; valid until the next MediaTrack_SetConfId. */
UT_API const char *MediaTrack_GetConfId(void);
/* Fills UT_MEDIA_SYS_INFO_LEN bytes at block and returns block (null gives null). */
UT_API void *MediaTrack_GetSysInfo(void *block);
/* Decoder name of at most 31 bytes (longer empties it); a sampleRate of 0 keeps the stored one. */
UT_API void MediaTrack_SetAudioDecoderNameAndSample(const char *name, int32_t sampleRate);
UT_API void MediaTrack_SetConfId(const char *confId);
UT_API void MediaTrack_SetConfServeType(const char *type);
UT_API void MediaTrack_SetCpuAndMemoryInfo(const tagMediaCpuMemInfo *info);
/* Same as Track_SetParticipantInfo with the record's numbers and id; 1 for a null record. */
UT_API OST_UT_RESULT MediaTrack_SetPaticipantInfo(const tagMediaParticipantInfo *info);

/* ---- diagnostic reporters ------------------------------------------------------------------ */

/*
 * Each reporter turns its arguments into one user event ("ut_event_..." with event id "1" and a
 * one-line JSON object in arg4) and queues it; none of them fails towards its caller. Texts may be
 * null: optional ones are written as "NA" (or "" where noted), required ones as "".
 * The setters store the link state that later reports carry and return 0; a null text leaves the
 * stored value as it is.
 */

/* Link and transport errors. */
UT_API void track_http_error(const char *url, const char *requestId, int32_t errNo, int32_t httpRsp,
                             const char *httpRspBody);
UT_API void track_websocket_error(int32_t linkType, int32_t reason, const char *oprType, const char *sequence,
                                  int32_t errNo, const char *errnoDesc);
UT_API void track_websocket_retry(int32_t linkType, int32_t reason, int32_t nextTime);
/* A null linkType sends nothing. */
UT_API void track_websocket_heartbeat_timeout(const char *linkType);
/* linkStartTime: wall-clock ms since the epoch; 0 when unknown. */
UT_API void track_websocket_link_connect(const char *linkType, const char *serverIp, const char *regionName,
                                         int32_t connectReason, const char *status, uint64_t linkStartTime,
                                         const char *lastFailedAddr, int32_t connectTakenTime);
UT_API void track_rtc_error(const char *rtcFunc, int32_t errNo, const char *errnoDesc);
UT_API void track_dotdata_delete_file(const char *deleteFileName, int32_t fileType, int32_t errorCode,
                                      const char *uploadUrl, int32_t fileLength);
UT_API void track_zipfile_generate_error(const char *zipFilePath, int32_t errorCode, int32_t zipError);
/* The log library's compression-error callback; a null file name is written as "". */
UT_API void track_log_zip_error(int32_t errorCode, const char *logFileName);
/* The log library's dot-data callback. */
UT_API void track_dotdata_log(const char *content, const char *functionName);
UT_API void track_dotdata_parse_domain_error(const char *domain, int32_t errNo);
UT_API void track_set_deploy_mode(int32_t mode);
UT_API void track_switch_deploy_mode(int32_t mode, int32_t reason);
UT_API void track_usg_websocket_detect_result(int32_t isSuccess, const char *address);

/* Link state. linkType 0 is the conference-control link, 1 the conference-management link. */
UT_API int32_t track_set_local_addr(const char *addr);
UT_API int32_t track_set_confctrl_addr(const char *addr);
UT_API int32_t track_set_confmanage_addr(const char *addr);
UT_API int32_t track_set_confid(const char *confId);
UT_API int32_t track_set_self_participant_id(const char *pid);
UT_API int32_t track_set_media_addr(const char *ip, int32_t port);
/* status 5 is success and clears the link's failure count; any other status counts one failure. */
UT_API int32_t track_set_websocket_link_status(int32_t linkType, int32_t status, const char *desc);

/* Timing, blocking and analysis reports. */

#define UT_TIME_TAKEN_DATA_LEN 2048     /* bytes of tagUTTimeTakenRecord.data, NUL included */
#define UT_TIME_TAKEN_FUNC_NAME_LEN 256 /* bytes of tagUTTimeTakenRecord.funcName, NUL included */

/* How long an SDK function took. Texts are read up to their NUL or the end of their array.
 * Size: 2324 bytes on 32-bit x86 (GCC and Clang; MSVC pads to 2328), 2328 on 64-bit. */
typedef struct tagUTTimeTakenRecord {
    uint32_t blockedNotify; /* non-zero: call the blocked callback registered for funcName */
    int32_t blockedCount;
    uint64_t useTime; /* milliseconds */
    int32_t line;
    char data[UT_TIME_TAKEN_DATA_LEN];
    char funcName[UT_TIME_TAKEN_FUNC_NAME_LEN];
} tagUTTimeTakenRecord;

#define UT_PAL_MSG_APP_NAME_LEN 32 /* bytes of the application names, NUL included */

/* One message delivered by the message bus, as handed to PalMsgDotData. Size: 84 bytes. */
typedef struct tagUTPalMsgRecord {
    uint32_t reserved; /* not read */
    uint32_t seqId;
    uint32_t appMsgId;
    char sendApp[UT_PAL_MSG_APP_NAME_LEN];
    uint32_t sendMid;
    char recvApp[UT_PAL_MSG_APP_NAME_LEN];
    uint32_t recvMid;
} tagUTPalMsgRecord;

#if defined(__i386__) || defined(_M_IX86)
#if !defined(_MSC_VER)
_Static_assert(sizeof(tagUTTimeTakenRecord) == 2324, "time-taken record layout");
#endif
_Static_assert(sizeof(tagUTPalMsgRecord) == 84, "bus message record layout");
#endif

typedef void (*UTBlockedNotifyFunc)(void);

/* Reports the record; then, when blockedNotify is set, calls the callback registered for its
 * function name on this thread. */
UT_API void Track_TimeTakenDotData(const tagUTTimeTakenRecord *record);
/* Registers (or replaces) the blocked callback of a function name; null removes its effect. */
UT_API void Track_SetBlockedNotifyCB(const char *funcName, UTBlockedNotifyFunc callback);
/* 1 within 30000 ms after the last main-thread delay report, else 0. */
UT_API uint32_t Track_IsMainThreadDelay(void);
/* The payload is the two texts put into {"type":"...","errorInfo":"..."} as they are, unescaped. */
UT_API void Track_ErrorAnalyze(const char *type, const char *errorInfo);
UT_API void Track_AnonymousAuth(const char *serverIp, const char *confId, uint32_t result);
/* The message bus's per-message callback; msg points to a tagUTPalMsgRecord. At most one report
 * per 30 seconds of run time. */
UT_API void PalMsgDotData(const void *msg);

#ifdef __cplusplus
} /* extern "C" */

/* C++ only: the host's configuration cache. */
#include <string>

struct LumConfigCache {
    int32_t reserved = 0;
    std::string key;
    std::string value;
};
using AddConfigCacheFunc = int32_t (*)(LumConfigCache *entries, int32_t count);
using QueryConfigCacheFunc = int32_t (*)(const char *key, LumConfigCache *entry, int32_t *count);
using DelConfigCacheFunc = int32_t (*)(const char *key);

UT_API OST_UT_RESULT setAddCacheFun(AddConfigCacheFunc addFunc, QueryConfigCacheFunc queryFunc,
                                    DelConfigCacheFunc delFunc);
#endif

#endif /* UNIFIED_TRACK_H */
