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
#include "manager/UTMask.h"
#include "manager/UTRecordConstants.h"

namespace unified_track {
namespace {
using ParamGuard = std::lock_guard<RecursiveLock>;

std::string Text(const char *text) { return text == nullptr ? std::string() : std::string(text); }
const char *BoolText(bool value) { return value ? "true" : "false"; }

void EraseNewlines(std::string &text) { text.erase(std::remove(text.begin(), text.end(), '\n'), text.end()); }
}  // namespace

void UTManager::PackAllDotFilesForUpload()
{
    if (!IsInited()) return;  // no folders yet, so nothing was collected
    {
        std::lock_guard<RecursiveLock> guard(UserFileLock());
        CompressDotFileToZip(UserFileLock(), m_userZipFolder, m_userDotFile);
    }
    {
        std::lock_guard<RecursiveLock> guard(MediaFileLock());
        CompressDotFileToZip(MediaFileLock(), m_mediaZipFolder, m_mediaDotFile);
    }
    {
        std::lock_guard<RecursiveLock> guard(MmrFileLock());
        CompressMMRDotFileToZip();
    }
}

OST_UT_RESULT UTManager::ConfigUploadParam(const tagUTTransferParam *param)
{
    UT_LOGI("start ConfigUploadParam");
    if (param == nullptr) return UT_FAILED;

    ParamGuard guard(ParamLock());
    const bool hadToken = !m_uploadParam.token.empty();
    const bool hadJwtToken = !m_uploadParam.jwtToken.empty();
    m_uploadParam.firstText = Text(param->reserved);
    m_uploadParam.token = Text(param->token);
    m_uploadParam.jwtToken = Text(param->jwtToken);
    m_uploadParam.serverAddr = Text(param->serverAddr);
    m_uploadParam.isProxyOff = param->isProxyOff != 0;
    m_uploadParam.port = param->port;
    if (!m_uploadParam.serverAddr.empty()) ost_http_add_crl_check_url(m_uploadParam.serverAddr.c_str());

    tagUTProxyParam proxy;
    memset_s(&proxy, sizeof(proxy), 0, sizeof(proxy));
    proxy.proxyPort = param->proxyPort;
    int ret = strcpy_s(proxy.proxyAddr, sizeof(proxy.proxyAddr), param->proxyAddr ? param->proxyAddr : "");
    ret += strcpy_s(proxy.proxyUser, sizeof(proxy.proxyUser), param->proxyUser ? param->proxyUser : "");
    ret += strcpy_s(proxy.proxyPassword, sizeof(proxy.proxyPassword),
                    param->proxyPassword ? param->proxyPassword : "");
    if (ret != 0) UT_LOGI(UT_SECURE_ERR_D, ret);
    if (proxy.proxyAddr[0] == '\0') {
        m_uploadParam.proxy.blob.clear();  // no proxy
    } else if (ost_http_encrypt_proxy_param(&proxy, &m_uploadParam.proxy) != 0) {
        UT_LOGE("protect proxy param failed, proxy not used");
        m_uploadParam.proxy.blob.clear();
    }
    // The credentials must not linger in the clear on the stack.
    memset_s(&proxy, sizeof(proxy), 0, sizeof(proxy));

    if ((!hadToken && !m_uploadParam.token.empty()) || (!hadJwtToken && !m_uploadParam.jwtToken.empty())) {
        // What was collected without credentials becomes uploadable now.
        UT_LOGI("token setted upload user track");
        PackAllDotFilesForUpload();
    }
    UT_LOGI("update upload param, token is %s, serverAddr: [%s]",
            m_uploadParam.token.empty() ? "empty" : "setted", MiddleMask(m_uploadParam.serverAddr).c_str());
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigCustomParam(bool upload)
{
    UT_LOGI("upload = %s", BoolText(upload));
    // The parameter lock makes the first-configuration test and its effect one step when two
    // host threads configure at once.
    ParamGuard guard(ParamLock());
    if (m_bIsUploadSeted.load()) {
        if (!upload) {
            UT_LOGI("upload user track. m_bIsUploadSeted: %d, upload: %d", 1, 0);
            PackAllDotFilesForUpload();
        }
    } else if (upload) {
        UT_LOGI("upload user track. m_bIsUploadSeted: %d, upload: %d", 0, 1);
        PackAllDotFilesForUpload();
    } else {
        UT_LOGI("user set upload false. clear old dot data");
        std::lock_guard<RecursiveLock> userGuard(UserFileLock());
        std::lock_guard<RecursiveLock> mediaGuard(MediaFileLock());
        std::lock_guard<RecursiveLock> mmrGuard(MmrFileLock());
        for (const std::string *file : {&m_userDotFile, &m_mediaDotFile, &m_mmrDotFile}) {
            if (!file->empty()) PAL_Remove(file->c_str());
        }
    }
    {
        std::lock_guard<std::mutex> switchGuard(m_switchLock);
        m_uploadSwitch = upload;
        m_dotSwitch = upload && m_appDotSwitch.load();
    }
    m_bIsUploadSeted = true;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigDotSwitch(bool open)
{
    UT_LOGI("bOpen = %s", BoolText(open));
    // The effective switch is derived from two switches that different threads set; deriving it
    // under one small lock keeps a concurrent ConfigCustomParam from leaving it stale.
    std::lock_guard<std::mutex> switchGuard(m_switchLock);
    m_appDotSwitch = open;
    m_dotSwitch = m_uploadSwitch.load() && open;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetMeetingSDKDotSwitch(bool open)
{
    UT_LOGI("isOpen = %s", BoolText(open));
    m_meetingSdkDotSwitch = open;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigPublicSdkParam(const tagUTPublicSdkParam *param)
{
    if (param == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    UT_LOGI("IN. empty:%d", uuid.empty() ? 1 : 0);
    struct Slot {
        const char *text;
        std::string *field;
    };
    const Slot slots[] = {
        {param->account, &account},   {param->uuid, &uuid},         {param->cloudusgIp, &cloudusgIp},
        {param->sbcIp, &sbcIp},       {param->reserve1, &reserve1}, {param->reserve2, &reserve2},
        {param->reserve3, &reserve3}, {param->reserve4, &reserve4}, {param->reserve5, &reserve5},
    };
    for (const Slot &slot : slots) {
        if (slot.text == nullptr || slot.text[0] == '\0') continue;  // keep what was there
        *slot.field = slot.text;
        EraseNewlines(*slot.field);
        if (slot.field == &reserve1) UT_LOGI("SetData reserve1: %s", reserve1.c_str());
    }
    BuildReserves();
    if (!uuid.empty() && !PersistPublicSdkParams()) {
        UT_LOGE("new error!");
        return UT_FAILED;
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ClearConfigPublicSdkParam()
{
    UT_LOGI("clear");
    LumConfigCache entries[kPublicSdkEntryCount];
    {
        ParamGuard guard(ParamLock());
        for (std::string *field : {&uuid, &account, &cloudusgIp, &sbcIp, &reserve1, &reserve2, &reserve3,
                                   &reserve4, &reserve5, &reserves}) {
            field->clear();
        }
        FillPublicSdkEntries(entries, kPublicSdkEntryCount);
    }
    AddConfigCacheFunc add = m_addCacheFunc.load();
    if (add != nullptr) {
        int32_t ret = add(entries, kPublicSdkEntryCount);
        if (ret != 0) UT_LOGE("BatchAddConfigCache failed. errorCode:%d", ret);
    }
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigContextPublicParam(const tagUTContextPublicParam *param)
{
    if (param == nullptr) return UT_FAILED;
    UT_LOGI("IN");
    const char *const texts[14] = {param->context1,  param->context2,  param->context3,  param->context4,
                                   param->context5,  param->context6,  param->context7,  param->context8,
                                   param->context9,  param->context10, param->context11, param->context12,
                                   param->context13, param->context14};
    ParamGuard guard(ParamLock());
    for (size_t i = 0; i < 14; ++i) m_context[i] = Text(texts[i]);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::ConfigBrioContextPublicParam(const tagUTBrioContextPublicParam *param)
{
    const uint64_t start = PAL_GetSystemTime();
    if (param == nullptr || param->context15 == nullptr) return UT_FAILED;
    const char *const texts[14] = {param->context1,  param->context2,  param->context3,  param->context4,
                                   param->context5,  param->context6,  param->context7,  param->context8,
                                   param->context9,  param->context10, param->context11, param->context12,
                                   param->context13, param->context14};
    ParamGuard guard(ParamLock());
    for (size_t i = 0; i < 14; ++i) m_context[i] = Text(texts[i]);
    m_suite[0] = Text(param->context15);
    m_suite[1] = Text(param->context16);
    m_suite[2] = Text(param->context17);
    m_contextConfigured = true;
    BuildReserves();
    // Held-back records go out now, under the parameter lock, so they precede any later record.
    if (!m_userCache.empty()) {
        FlushUserCache();
        m_userCache.clear();
        AddCacheMediaTrack();
        m_mediaCache.clear();
    }
    UT_LOGI("use time: %llu", static_cast<unsigned long long>(PAL_GetSystemTime() - start));
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetConfInfo(const tagUTConfInfoParam *param)
{
    if (param == nullptr) {
        UT_LOGE("pConfInfo is null");
        return UT_FAILED;
    }
    ParamGuard guard(ParamLock());
    if (param->confuuid != nullptr) m_confuuid = param->confuuid;
    if (param->pid != nullptr) m_pid = param->pid;
    UT_LOGI("confuuid:%s, pid:%s", m_confuuid.c_str(), m_pid.c_str());
    BuildReserves();
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetParticipantInfo(const tagUTParticipantInfo *param)
{
    if (param == nullptr) return UT_FAILED;
    std::string participantId = Text(param->participantId);
    UT_LOGI("M%uT%u, participantId(%s)", param->mNumber, param->tNumber, participantId.c_str());
    ParamGuard guard(ParamLock());
    m_mNumber = param->mNumber;
    m_tNumber = param->tNumber;
    m_participantId = std::move(participantId);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetStunInfo(const char *address, uint16_t port)
{
    if (address == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    m_stunAddr = address;
    m_stunPort = port;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::UpdateOpsAddress(const char *address, bool isProxyOff)
{
    if (address == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    UT_LOGI("opsAddr: [%s]", MiddleMask(address).c_str());
    m_uploadParam.serverAddr = address;
    m_uploadParam.isProxyOff = isProxyOff;
    if (!m_uploadParam.serverAddr.empty()) ost_http_add_crl_check_url(address);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::UpdateAccessDesc(const char *desc)
{
    if (desc == nullptr) return UT_FAILED;
    UT_LOGI("desc: %s", desc);
    ParamGuard guard(ParamLock());
    m_context[11] = desc;
    m_context[12] = desc;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetCertInfo(const tagUTCertInfo *param)
{
    if (param == nullptr) return UT_FAILED;
    size_t length = strnlen(param->certInfo, sizeof(param->certInfo));
    if (length == sizeof(param->certInfo)) {
        // No terminator inside the array: a cut certificate would be worse than none.
        UT_LOGE("certInfo is not terminated within %zu bytes", sizeof(param->certInfo));
        return UT_FAILED;
    }
    ParamGuard guard(ParamLock());
    m_uploadParam.certInfo.assign(param->certInfo, length);
    m_uploadParam.certNumber = param->certNumber;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::GetCertInfo(tagUTCertInfo *param)
{
    if (param == nullptr) return UT_FAILED;
    ParamGuard guard(ParamLock());
    int ret = strcpy_s(param->certInfo, sizeof(param->certInfo), m_uploadParam.certInfo.c_str());
    if (ret != 0) UT_LOGE(UT_SECURE_ERR_D, ret);
    param->certNumber = m_uploadParam.certNumber;
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::GetVersion(char *buffer, int32_t size)
{
    if (buffer == nullptr || size <= 0) {
        UT_LOGE(UT_SECURE_ERR_D, -1);
        return UT_SUCCESS;
    }
    ParamGuard guard(ParamLock());
    int ret = strcpy_s(buffer, static_cast<size_t>(size), m_context[0].c_str());
    if (ret != 0) UT_LOGE(UT_SECURE_ERR_D, ret);
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::SetTerminalType(const std::string &terminalType)
{
    ParamGuard guard(ParamLock());
    m_terminalType = terminalType;
    return UT_SUCCESS;
}

void UTManager::BuildReserves()
{
    ParamGuard guard(ParamLock());
    // Plain concatenation, values inserted as they are: the server reads this exact shape.
    std::string text;
    text.reserve(64 + m_terminalType.size() + m_confuuid.size() + m_pid.size() + m_context[13].size());
    text += "{\"";
    text += kReservesTerminalType;
    text += "\":\"" + m_terminalType + "\",\"";
    text += kReservesConfuuid;
    text += "\":\"" + m_confuuid + "\",\"";
    text += kReservesPid;
    text += "\":\"" + m_pid + "\",\"";
    text += kReservesThirdAppVersion;
    text += "\":\"" + m_context[13] + "\"}";
    reserves = std::move(text);
}

UpLoadParam UTManager::GetUploadParamCopy()
{
    ParamGuard guard(ParamLock());
    return m_uploadParam;
}

}  // namespace unified_track
