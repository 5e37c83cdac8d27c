// Payloads of the timing, blocking and analysis reports.
#include "interface/track_timing_payloads.h"

#include <cstring>

#include <json/value.h>

#include "interface/track_json.h"

namespace unified_track {

namespace {

// Arrays inside records filled by other modules may lack their NUL: never read past the array.
template <size_t N>
Json::Value ArrayText(const char (&text)[N]) {
    return Json::Value(text, text + strnlen(text, N));
}

}  // namespace

SecureString TimeTakenFuncName(const tagUTTimeTakenRecord &record) {
    return SecureString(record.funcName, strnlen(record.funcName, sizeof(record.funcName)));
}

SecureString BuildTimeTakenPayload(const tagUTTimeTakenRecord &record) {
    Json::Value obj(Json::objectValue);
    obj["funcName"] = ArrayText(record.funcName);
    obj["line"] = record.line;
    obj["data"] = ArrayText(record.data);
    obj["useTime"] = Json::Value(static_cast<Json::UInt64>(record.useTime));
    obj["blockedCount"] = record.blockedCount;
    obj["blockedNotify"] = Json::Value(static_cast<Json::UInt>(record.blockedNotify));
    return WriteJson(obj);
}

SecureString BuildErrorAnalyzePayload(const char *type, const char *errorInfo) {
    static constexpr char kHead[] = "{\"type\":\"";
    static constexpr char kMiddle[] = "\",\"errorInfo\":\"";
    static constexpr char kTail[] = "\"}";
    const size_t typeLen = type != nullptr ? std::strlen(type) : 0;
    const size_t infoLen = errorInfo != nullptr ? std::strlen(errorInfo) : 0;
    SecureString text;
    text.reserve(sizeof(kHead) + typeLen + sizeof(kMiddle) + infoLen + sizeof(kTail));
    text.append(kHead);
    text.append(type != nullptr ? type : "", typeLen);
    text.append(kMiddle);
    text.append(errorInfo != nullptr ? errorInfo : "", infoLen);
    text.append(kTail);
    return text;
}

SecureString BuildAnonymousAuthPayload(const char *serverIp, const char *confId, uint32_t result) {
    Json::Value obj(Json::objectValue);
    obj["serverIp"] = JsonText(serverIp, "");
    obj["confId"] = JsonText(confId, "");
    obj["result"] = Json::Value(static_cast<Json::UInt>(result));
    return WriteJson(obj);
}

SecureString BuildPalMsgPayload(const tagUTPalMsgRecord &msg) {
    Json::Value obj(Json::objectValue);
    obj["appMsgId"] = Json::Value(static_cast<Json::UInt>(msg.appMsgId));
    obj["recvApp"] = ArrayText(msg.recvApp);
    obj["recvMid"] = Json::Value(static_cast<Json::UInt>(msg.recvMid));
    obj["sendApp"] = ArrayText(msg.sendApp);
    obj["sendMid"] = Json::Value(static_cast<Json::UInt>(msg.sendMid));
    obj["seqId"] = Json::Value(static_cast<Json::UInt>(msg.seqId));
    return WriteJson(obj);
}

}  // namespace unified_track
