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
    const char *reserved;      /* kept, not used by the request */
    const char *token;         /* "X-Auth-token" */
    const char *jwtToken;      /* "X-JWT-Authorization" */
    const char *serverAddr;
    int32_t isProxyOff;        /* non-zero: do not use the proxy */
    uint16_t port;             /* appended as ":port" when non-zero */
    uint8_t unused[8];
    uint16_t proxyPort;
    const char *proxyAddr;
    const char *proxyUser;
    const char *proxyPassword;
} tagUTTransferParam;

typedef struct tagUTContextPublicParam {
    const char *context1;  /* application version */
    const char *context2;  /* device id */
    const char *context3;
    const char *context4;
    const char *context5;
    const char *context6;
    const char *context7;  /* corp-trust application id */
    const char *context8;
    const char *context9;  /* operating system */
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

UT_API OST_UT_RESULT InitUnifiedTrack(uint32_t logLevel, uint32_t reserved1, uint32_t reserved2,
                                      const char *logPath, const char *dataPath);
UT_API OST_UT_RESULT Track_Uninit(void);
UT_API OST_UT_RESULT CheckAppIdAndSetDotData(const char *appId, int32_t *isBrio);
UT_API void GetOrignalCorpTrustAppId(char *buffer, uint32_t bufferSize);
UT_API void PalMsgLogCallback(int32_t level, const char *errNo, const char *file, int32_t line,
                              const char *msg);
UT_API OST_UT_RESULT Track_UpdateLogPath(uint32_t level, uint32_t reserved1, uint32_t reserved2,
                                         const char *logPath);
UT_API OST_UT_RESULT Track_ConfigKeyLogSwitch(int32_t bOpen);

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

UT_API OST_UT_RESULT Track_MsgDotCount(uint32_t index);

/* ---- MediaTrack family (media issue adds its exports here) -------------------------------- */

/* ---- diagnostic reporters ------------------------------------------------------------------ */

UT_API void track_dotdata_delete_file(const char *deleteFileName, int32_t fileType, int32_t errorCode,
                                      const char *uploadUrl, int32_t fileLength);
UT_API void track_zipfile_generate_error(const char *zipFilePath, int32_t errorCode, int32_t zipError);
UT_API void track_log_zip_error(int32_t errorCode, const char *logFileName);
UT_API void track_dotdata_log(const char *content, const char *functionName);

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
