// Payloads of the link and transport reporters: each builds the JSON text of one event from the
// reporter's arguments (and the link state where the event carries it). Pure apart from reading
// the link state; the values the exports take from the clock or the OS are passed in.
#pragma once

#include <cstdint>

#include "interface/secure_string.h"

namespace unified_track {

// False (nothing to report) when the URL is null or matches no URL-name row.
bool BuildHttpErrorPayload(const char *url, const char *requestId, int32_t err, int32_t httpRsp,
                           const char *httpRspBody, int32_t lastOsError, SecureString *payload);
SecureString BuildWebsocketErrorPayload(int32_t linkType, int32_t reason, const char *oprType, const char *sequence,
                                        int32_t err, const char *errnoDesc);
SecureString BuildWebsocketRetryPayload(int32_t linkType, int32_t reason, int32_t nextTime);
// False when linkType is null.
bool BuildHeartbeatTimeoutPayload(const char *linkType, SecureString *payload);
// nowMs: the wall clock at the call, for the link time.
SecureString BuildWebsocketConnectPayload(const char *linkType, const char *serverIp, const char *regionName,
                                          int32_t connectReason, const char *status, uint64_t linkStartTime,
                                          const char *lastFailedAddr, int32_t connectTakenTime, uint64_t nowMs);
SecureString BuildRtcErrorPayload(const char *rtcFunc, int32_t err, const char *errnoDesc);
SecureString BuildDeleteFilePayload(const char *deleteFileName, int32_t fileType, int32_t errorCode,
                                    const char *uploadUrl, int32_t fileLength);
SecureString BuildZipfileGenerateErrorPayload(const char *zipFilePath, int32_t errorCode, int32_t zipError);
SecureString BuildLogZipErrorPayload(int32_t errorCode, const char *logFileName);
SecureString BuildDotdataLogPayload(const char *content, const char *functionName);
SecureString BuildParseDomainErrorPayload(const char *domain, int32_t err);
SecureString BuildSetDeployModePayload(int32_t mode);
SecureString BuildSwitchDeployModePayload(int32_t mode, int32_t reason);
SecureString BuildUsgWebsocketDetectPayload(int32_t isSuccess, const char *address);

}  // namespace unified_track
