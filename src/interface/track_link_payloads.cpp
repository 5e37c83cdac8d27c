// Payloads of the link and transport reporters.
#include "interface/track_link_payloads.h"

#include <cstring>

#include <json/value.h>

#include "interface/track_json.h"
#include "interface/track_link_state.h"
#include "interface/track_reporter_texts.h"
#include "interface/track_tables.h"

namespace unified_track {

namespace {

using reporter_text::kNA;

// Texts the caller must give: a null one is written empty rather than refused.
Json::Value Required(const char *text) {
    return JsonText(text, "");
}
Json::Value Optional(const char *text) {
    return JsonText(text, kNA);
}

Json::Value SecureText(const SecureString &text) {
    return Json::Value(text.data(), text.data() + text.size());
}

bool Equals(const char *text, const char *expected) {
    return text != nullptr && std::strcmp(text, expected) == 0;
}

}  // namespace

bool BuildHttpErrorPayload(const char *url, const char *requestId, int32_t err, int32_t httpRsp,
                           const char *httpRspBody, int32_t lastOsError, SecureString *payload) {
    const UrlNameRow *row = FindUrlName(url);
    if (row == nullptr || payload == nullptr) {
        return false;
    }
    Json::Value obj(Json::objectValue);
    obj["event"] = row->key;
    obj["uri"] = row->path;
    obj["requestId"] = Optional(requestId);
    obj["errno"] = err;
    obj["errnoDesc"] = HttpErrorDesc(err);
    obj["httpRsp"] = httpRsp;
    obj["httpRspBody"] = Optional(httpRspBody);
    obj["winLastError"] = lastOsError;
    *payload = WriteJson(obj);
    return true;
}

SecureString BuildWebsocketErrorPayload(int32_t linkType, int32_t reason, const char *oprType, const char *sequence,
                                        int32_t err, const char *errnoDesc) {
    Json::Value obj(Json::objectValue);
    obj["linkType"] = LinkTypeName(linkType);
    obj["event"] = LinkReasonName(reason);
    obj["oprType"] = Optional(oprType);
    obj["sequence"] = Optional(sequence);
    obj["errno"] = err;
    obj["errnoDesc"] = Optional(errnoDesc);
    LinkState::Instance().AddWebsocketErrorMembers(linkType, err, obj);
    return WriteJson(obj);
}

SecureString BuildWebsocketRetryPayload(int32_t linkType, int32_t reason, int32_t nextTime) {
    Json::Value obj(Json::objectValue);
    obj["linkType"] = LinkTypeName(linkType);
    obj["event"] = LinkReasonName(reason);
    obj["nextTime"] = nextTime;
    LinkState::Instance().AddWebsocketRetryMembers(linkType, obj);
    return WriteJson(obj);
}

bool BuildHeartbeatTimeoutPayload(const char *linkType, SecureString *payload) {
    if (linkType == nullptr || payload == nullptr) {
        return false;
    }
    Json::Value obj(Json::objectValue);
    obj["linkType"] = linkType;
    *payload = WriteJson(obj);
    return true;
}

SecureString BuildWebsocketConnectPayload(const char *linkType, const char *serverIp, const char *regionName,
                                          int32_t connectReason, const char *status, uint64_t linkStartTime,
                                          const char *lastFailedAddr, int32_t connectTakenTime, uint64_t nowMs) {
    Json::Value obj(Json::objectValue);
    obj["linkType"] = Required(linkType);
    obj["regionName"] = Required(regionName);
    obj["serverIp"] = Required(serverIp);
    obj["connectReason"] = connectReason;
    obj["status"] = Required(status);
    obj["localIp"] = SecureText(LinkState::Instance().LocalAddr());
    obj["lastFailedAddr"] = Required(lastFailedAddr);
    if (Equals(status, reporter_text::kStatusSuccess) && Equals(linkType, reporter_text::kLinkTypeWssCtrl)) {
        obj["connectTakenTime"] = connectTakenTime;
    }
    if (linkStartTime != 0) {
        // The elapsed milliseconds as a signed 32-bit value: a start time after "now" (the wall
        // clock stepped back) gives a negative link time, not a huge one.
        const int32_t elapsedMs = static_cast<int32_t>(static_cast<uint32_t>(nowMs - linkStartTime));
        obj["linkTime"] = elapsedMs / 1000;
    }
    return WriteJson(obj);
}

SecureString BuildRtcErrorPayload(const char *rtcFunc, int32_t err, const char *errnoDesc) {
    Json::Value obj(Json::objectValue);
    obj["rtcFunc"] = Optional(rtcFunc);
    obj["confId"] = SecureText(LinkState::Instance().ConfId());
    obj["errno"] = err;
    obj["errnoDesc"] = Optional(errnoDesc);
    return WriteJson(obj);
}

SecureString BuildDeleteFilePayload(const char *deleteFileName, int32_t fileType, int32_t errorCode,
                                    const char *uploadUrl, int32_t fileLength) {
    Json::Value obj(Json::objectValue);
    obj["deleteFileName"] = Required(deleteFileName);
    obj["fileType"] = fileType;
    obj["errorCode"] = errorCode;
    obj["uploadUrl"] = Required(uploadUrl);
    obj["fileLength"] = fileLength;
    return WriteJson(obj);
}

SecureString BuildZipfileGenerateErrorPayload(const char *zipFilePath, int32_t errorCode, int32_t zipError) {
    Json::Value obj(Json::objectValue);
    obj["fileType"] = 2;
    obj["zipFilePath"] = Required(zipFilePath);
    obj["errorCode"] = errorCode;
    obj["zipError"] = zipError;
    return WriteJson(obj);
}

SecureString BuildLogZipErrorPayload(int32_t errorCode, const char *logFileName) {
    Json::Value obj(Json::objectValue);
    obj["fileType"] = 2;
    obj["errorCode"] = errorCode;
    obj["logFileName"] = Required(logFileName);
    return WriteJson(obj);
}

SecureString BuildDotdataLogPayload(const char *content, const char *functionName) {
    Json::Value obj(Json::objectValue);
    obj["platform"] = 0;
    obj["content"] = Required(content);
    obj["functionName"] = Required(functionName);
    return WriteJson(obj);
}

SecureString BuildParseDomainErrorPayload(const char *domain, int32_t err) {
    Json::Value obj(Json::objectValue);
    obj["domain"] = Required(domain);
    obj["errno"] = err;
    return WriteJson(obj);
}

SecureString BuildSetDeployModePayload(int32_t mode) {
    Json::Value obj(Json::objectValue);
    obj["mode"] = mode;
    return WriteJson(obj);
}

SecureString BuildSwitchDeployModePayload(int32_t mode, int32_t reason) {
    Json::Value obj(Json::objectValue);
    obj["mode"] = mode;
    obj["reason"] = reason;
    return WriteJson(obj);
}

SecureString BuildUsgWebsocketDetectPayload(int32_t isSuccess, const char *address) {
    Json::Value obj(Json::objectValue);
    obj["isSuccess"] = isSuccess;
    obj["address"] = Required(address);
    return WriteJson(obj);
}

}  // namespace unified_track
