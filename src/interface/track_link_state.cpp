// The link state record of the link reporters.
#include "interface/track_link_state.h"

#include <string>

#include "interface/track_tables.h"

namespace unified_track {

namespace {

void Assign(std::recursive_mutex &lock, SecureString &field, const char *text) {
    if (text == nullptr) {
        return;
    }
    SecureString value(text);  // copied before the lock: texts may be long
    std::lock_guard<std::recursive_mutex> guard(lock);
    field.swap(value);
}

Json::Value JsonText(const SecureString &text) {
    return Json::Value(text.data(), text.data() + text.size());
}

}  // namespace

// Made at load, so it outlives the library's threads (see track_json.cpp).
LinkState LinkState::s_instance;

LinkState &LinkState::Instance() {
    return s_instance;
}

void LinkState::SetLocalAddr(const char *addr) {
    Assign(m_lock, m_state.localAddr, addr);
}
void LinkState::SetConfCtrlAddr(const char *addr) {
    Assign(m_lock, m_state.confCtrlAddr, addr);
}
void LinkState::SetConfManageAddr(const char *addr) {
    Assign(m_lock, m_state.confManageAddr, addr);
}
void LinkState::SetConfId(const char *confId) {
    Assign(m_lock, m_state.confId, confId);
}
void LinkState::SetSelfParticipantId(const char *pid) {
    Assign(m_lock, m_state.selfPid, pid);
}

void LinkState::SetMediaAddr(const char *ip, int32_t port) {
    if (ip == nullptr) {
        return;
    }
    SecureString value(ip);
    value += ':';
    const std::string portText = std::to_string(port);
    value.append(portText.data(), portText.size());
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_state.mediaAddr.swap(value);
}

void LinkState::SetWebsocketLinkStatus(int32_t linkType, int32_t status, const char *desc) {
    if (linkType != kLinkConfCtrl && linkType != kLinkConfUsgManage) {
        return;
    }
    SecureString text(desc != nullptr ? desc : "");
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const bool ctrl = linkType == kLinkConfCtrl;
    int32_t &linkStatus = ctrl ? m_state.ctrlStatus : m_state.manageStatus;
    SecureString &linkDesc = ctrl ? m_state.ctrlDesc : m_state.manageDesc;
    uint32_t &failed = ctrl ? m_state.ctrlFailedTimes : m_state.manageFailedTimes;
    linkStatus = status;
    linkDesc.swap(text);
    // Counts consecutive failures; unsigned so that it wraps instead of overflowing.
    failed = status == kStatusSuccess ? 0u : failed + 1u;
}

SecureString LinkState::LocalAddr() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_state.localAddr;
}

SecureString LinkState::ConfId() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_state.confId;
}

void LinkState::AddWebsocketErrorMembers(int32_t linkType, int32_t err, Json::Value &obj) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (linkType == kLinkConfCtrl) {
        obj["serverIp"] = JsonText(m_state.confCtrlAddr);
        obj["confId"] = JsonText(m_state.confId);
        obj["pid"] = JsonText(m_state.selfPid);
        if (err == kLinkFailedErr) {
            obj["linkStatus"] = LinkStatusName(m_state.ctrlStatus);
            obj["linkErrDesc"] = JsonText(m_state.ctrlDesc);
            obj["failedTimes"] = Json::Value(static_cast<Json::UInt>(m_state.ctrlFailedTimes));
        }
    } else if (linkType == kLinkConfUsgManage) {
        obj["serverIp"] = JsonText(m_state.confManageAddr);
        if (err == kLinkFailedErr) {
            obj["linkStatus"] = LinkStatusName(m_state.manageStatus);
            obj["linkErrDesc"] = JsonText(m_state.manageDesc);
            obj["failedTimes"] = Json::Value(static_cast<Json::UInt>(m_state.manageFailedTimes));
        }
    }
}

void LinkState::AddWebsocketRetryMembers(int32_t linkType, Json::Value &obj) {
    if (linkType != kLinkConfCtrl) {
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    obj["serverIp"] = JsonText(m_state.confCtrlAddr);
    obj["confId"] = JsonText(m_state.confId);
    obj["pid"] = JsonText(m_state.selfPid);
}

LinkState::Snapshot LinkState::Get() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_state;
}

}  // namespace unified_track
