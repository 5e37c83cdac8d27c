// Parameters and switches configured by the host: upload endpoint and credentials, public SDK
// parameters, context, conference, participant, STUN and certificate data, and the switches
// that decide whether records are taken and uploaded.
//
// Host threads call most of these directly; the command thread runs ConfigPublicSdkParam,
// SetConfInfo, SetCertInfo, GetVersion and SetTerminalType. Every read or write of a parameter
// field happens under the parameter lock, whichever thread it is on.
#include <algorithm>
#include <cstring>

#include "host/clock.h"
#include "host/http_proxy.h"
#include "host/log.h"
#include "host/pal.h"
#include "host/securec.h"
#include "manager/UTManager.h"
#include "manager/masks.h"
#include "manager/record_constants.h"

namespace unified_track {
namespace {
using ParamGuard = RecursiveGuard;

std::string Text(const char *text) {
    return text == nullptr ? std::string() : std::string(text);
}
const char *BoolText(bool value) {
    return value ? "true" : "false";
}

void EraseNewlines(std::string &text) {
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
}
}  // namespace

void UTManager::PackAllDotFilesForUpload() {
    if (!IsInited()) return;  // no folders yet, so nothing was collected
    {
        RecursiveGuard guard(UserFileLock());
        CompressDotFileToZip(UserFileLock(), m_files.ZipFolder(DotKind::kUser), m_files.DotFile(DotKind::kUser));
    }
    {
        RecursiveGuard guard(MediaFileLock());
        CompressDotFileToZip(MediaFileLock(), m_files.ZipFolder(DotKind::kMedia), m_files.DotFile(DotKind::kMedia));
    }
    {
        RecursiveGuard guard(MmrFileLock());
        CompressMMRDotFileToZip();
    }
}

OST_UT_RESULT UTManager::ConfigUploadParam(const tagUTTransferParam *param) {
    UT_LOGI("start ConfigUploadParam");
    if (param == nullptr) return UT_FAILED;

    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    const bool hadToken = !p.m_uploadParam.token.empty();
    const bool hadJwtToken = !p.m_uploadParam.jwtToken.empty();
    p.m_uploadParam.firstText = Text(param->reserved);
    p.m_uploadParam.token = Text(param->token);
    p.m_uploadParam.jwtToken = Text(param->jwtToken);
    p.m_uploadParam.serverAddr = Text(param->serverAddr);
    p.m_uploadParam.isProxyOff = param->isProxyOff != 0;
    p.m_uploadParam.port = param->port;
    if (!p.m_uploadParam.serverAddr.empty()) ost_http_add_crl_check_url(p.m_uploadParam.serverAddr.c_str());

    tagUTProxyParam proxy;
    memset_s(&proxy, sizeof(proxy), 0, sizeof(proxy));
    proxy.proxyPort = param->proxyPort;
    int ret = strcpy_s(proxy.proxyAddr, sizeof(proxy.proxyAddr), param->proxyAddr ? param->proxyAddr : "");
    ret += strcpy_s(proxy.proxyUser, sizeof(proxy.proxyUser), param->proxyUser ? param->proxyUser : "");
    ret += strcpy_s(proxy.proxyPassword, sizeof(proxy.proxyPassword), param->proxyPassword ? param->proxyPassword : "");
    if (ret != 0) UT_LOGI(UT_SECURE_ERR_D, ret);
    if (proxy.proxyAddr[0] == '\0') {
        p.m_uploadParam.proxy.blob.clear();  // no proxy
    } else if (ost_http_encrypt_proxy_param(&proxy, &p.m_uploadParam.proxy) != 0) {
        UT_LOGE("protect proxy param failed, proxy not used");
        p.m_uploadParam.proxy.blob.clear();
    }
    // The credentials must not linger in the clear on the stack.
    memset_s(&proxy, sizeof(proxy), 0, sizeof(proxy));

    if ((!hadToken && !p.m_uploadParam.token.empty()) || (!hadJwtToken && !p.m_uploadParam.jwtToken.empty())) {
        // What was collected without credentials becomes uploadable now.
        UT_LOGI("token setted upload user track");
        PackAllDotFilesForUpload();
    }
    UT_LOGI("update upload param, token is %s, serverAddr: [%s]", p.m_uploadParam.token.empty() ? "empty" : "setted",
            MiddleMask(p.m_uploadParam.serverAddr).c_str());
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigCustomParam(bool upload) {
    UT_LOGI("upload = %s", BoolText(upload));
    // The parameter lock makes the first-configuration test and its effect one step when two
    // host threads configure at once.
    ParamGuard guard(ParamLock());
    if (m_params.UploadSet()) {
        if (!upload) {
            UT_LOGI("upload user track. m_bIsUploadSeted: %d, upload: %d", 1, 0);
            PackAllDotFilesForUpload();
        }
    } else if (upload) {
        UT_LOGI("upload user track. m_bIsUploadSeted: %d, upload: %d", 0, 1);
        PackAllDotFilesForUpload();
    } else {
        UT_LOGI("user set upload false. clear old dot data");
        RecursiveGuard userGuard(UserFileLock());
        RecursiveGuard mediaGuard(MediaFileLock());
        RecursiveGuard mmrGuard(MmrFileLock());
        for (DotKind kind : {DotKind::kUser, DotKind::kMedia, DotKind::kMmr}) {
            const std::string &file = m_files.DotFile(kind);
            if (!file.empty()) PAL_Remove(file.c_str());
        }
    }
    m_params.SetUploadSwitch(upload);
    m_params.MarkUploadSet();
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigDotSwitch(bool open) {
    UT_LOGI("bOpen = %s", BoolText(open));
    // The effective switch is derived from two switches that different threads set; the store
    // derives it under one small lock so a concurrent ConfigCustomParam cannot leave it stale.
    m_params.SetAppSwitch(open);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetMeetingSDKDotSwitch(bool open) {
    UT_LOGI("isOpen = %s", BoolText(open));
    m_params.SetMeetingSdkSwitch(open);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigPublicSdkParam(const tagUTPublicSdkParam *param) {
    if (param == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    UT_LOGI("IN. empty:%d", p.uuid.empty() ? 1 : 0);
    struct Slot {
        const char *text;
        std::string *field;
    };
    const Slot slots[] = {
        {param->account, &p.account},   {param->uuid, &p.uuid},         {param->cloudusgIp, &p.cloudusgIp},
        {param->sbcIp, &p.sbcIp},       {param->reserve1, &p.reserve1}, {param->reserve2, &p.reserve2},
        {param->reserve3, &p.reserve3}, {param->reserve4, &p.reserve4}, {param->reserve5, &p.reserve5},
    };
    for (const Slot &slot : slots) {
        if (slot.text == nullptr || slot.text[0] == '\0') continue;  // keep what was there
        *slot.field = slot.text;
        EraseNewlines(*slot.field);
        if (slot.field == &p.reserve1) UT_LOGI("SetData reserve1: %s", p.reserve1.c_str());
    }
    BuildReserves();
    if (!p.uuid.empty() && !PersistPublicSdkParams()) {
        UT_LOGE("new error!");
        return UT_FAILED;
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ClearConfigPublicSdkParam() {
    UT_LOGI("clear");
    LumConfigCache entries[kPublicSdkEntryCount];
    {
        ParamGuard guard(ParamLock());
        ParamFields &p = m_params.Locked();
        for (std::string *field : {&p.uuid, &p.account, &p.cloudusgIp, &p.sbcIp, &p.reserve1, &p.reserve2, &p.reserve3,
                                   &p.reserve4, &p.reserve5, &p.reserves}) {
            field->clear();
        }
        FillPublicSdkEntries(entries, kPublicSdkEntryCount);
    }
    AddConfigCacheFunc add = m_cacheHooks.Add();
    if (add != nullptr) {
        int32_t ret = add(entries, kPublicSdkEntryCount);
        if (ret != 0) UT_LOGE("BatchAddConfigCache failed. errorCode:%d", ret);
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigContextPublicParam(const tagUTContextPublicParam *param) {
    if (param == nullptr) return UT_FAILED;
    UT_LOGI("IN");
    const char *const texts[14] = {param->context1,  param->context2,  param->context3,  param->context4,
                                   param->context5,  param->context6,  param->context7,  param->context8,
                                   param->context9,  param->context10, param->context11, param->context12,
                                   param->context13, param->context14};
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    for (size_t i = 0; i < 14; ++i) p.m_context[i] = Text(texts[i]);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigBrioContextPublicParam(const tagUTBrioContextPublicParam *param) {
    const uint64_t start = PAL_GetSystemTime();
    if (param == nullptr || param->context15 == nullptr) return UT_FAILED;
    const char *const texts[14] = {param->context1,  param->context2,  param->context3,  param->context4,
                                   param->context5,  param->context6,  param->context7,  param->context8,
                                   param->context9,  param->context10, param->context11, param->context12,
                                   param->context13, param->context14};
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    for (size_t i = 0; i < 14; ++i) p.m_context[i] = Text(texts[i]);
    p.m_suite[0] = Text(param->context15);
    p.m_suite[1] = Text(param->context16);
    p.m_suite[2] = Text(param->context17);
    m_params.SetContextConfigured(true);
    BuildReserves();
    // Held-back records go out now, under the parameter lock, so they precede any later record.
    if (m_caches.UserCount() != 0) {
        FlushUserCache();
        m_caches.ClearUser();
        AddCacheMediaTrack();
        m_caches.ClearMedia();
    }
    UT_LOGI("use time: %llu", static_cast<unsigned long long>(PAL_GetSystemTime() - start));
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetConfInfo(const tagUTConfInfoParam *param) {
    if (param == nullptr) {
        UT_LOGE("pConfInfo is null");
        return UT_FAILED;
    }
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    if (param->confuuid != nullptr) p.m_confuuid = param->confuuid;
    if (param->pid != nullptr) p.m_pid = param->pid;
    UT_LOGI("confuuid:%s, pid:%s", p.m_confuuid.c_str(), p.m_pid.c_str());
    BuildReserves();
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetParticipantInfo(const tagUTParticipantInfo *param) {
    if (param == nullptr) return UT_FAILED;
    std::string participantId = Text(param->participantId);
    UT_LOGI("M%uT%u, participantId(%s)", param->mNumber, param->tNumber, participantId.c_str());
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    p.m_mNumber = param->mNumber;
    p.m_tNumber = param->tNumber;
    p.m_participantId = std::move(participantId);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetStunInfo(const char *address, uint16_t port) {
    if (address == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    p.m_stunAddr = address;
    p.m_stunPort = port;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::UpdateOpsAddress(const char *address, bool isProxyOff) {
    if (address == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    UT_LOGI("opsAddr: [%s]", MiddleMask(address).c_str());
    p.m_uploadParam.serverAddr = address;
    p.m_uploadParam.isProxyOff = isProxyOff;
    if (!p.m_uploadParam.serverAddr.empty()) ost_http_add_crl_check_url(address);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::UpdateAccessDesc(const char *desc) {
    if (desc == nullptr) return UT_FAILED;
    UT_LOGI("desc: %s", desc);
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    p.m_context[11] = desc;
    p.m_context[12] = desc;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetCertInfo(const tagUTCertInfo *param) {
    if (param == nullptr) return UT_FAILED;
    size_t length = strnlen(param->certInfo, sizeof(param->certInfo));
    if (length == sizeof(param->certInfo)) {
        // No terminator inside the array: a cut certificate would be worse than none.
        UT_LOGE("certInfo is not terminated within %zu bytes", sizeof(param->certInfo));
        return UT_FAILED;
    }
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    p.m_uploadParam.certInfo.assign(param->certInfo, length);
    p.m_uploadParam.certNumber = param->certNumber;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::GetCertInfo(tagUTCertInfo *param) {
    if (param == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    int ret = strcpy_s(param->certInfo, sizeof(param->certInfo), p.m_uploadParam.certInfo.c_str());
    if (ret != 0) UT_LOGE(UT_SECURE_ERR_D, ret);
    param->certNumber = p.m_uploadParam.certNumber;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::GetVersion(char *buffer, int32_t size) {
    if (buffer == nullptr || size <= 0) {
        UT_LOGE(UT_SECURE_ERR_D, -1);
        return UT_SUCCESS;
    }
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    int ret = strcpy_s(buffer, static_cast<size_t>(size), p.m_context[0].c_str());
    if (ret != 0) UT_LOGE(UT_SECURE_ERR_D, ret);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetTerminalType(const std::string &terminalType) {
    ParamGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    p.m_terminalType = terminalType;
    return UT_SUCCESS;
}

void UTManager::BuildReserves() {
    m_params.BuildReserves();
}

UpLoadParam UTManager::GetUploadParamCopy() {
    return m_params.UploadParam();
}

}  // namespace unified_track
