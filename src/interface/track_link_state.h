// The link state that the link reporters carry: addresses, conference and participant ids, and
// the state of the two signalling links. One process-wide record, set by the track_set_* exports
// on any SDK thread and read by the reporters. Every field is guarded by m_lock (recursive, so a
// reporter may call a setter while it holds the lock). Never reset while the process runs.
#pragma once

#include <cstdint>
#include <mutex>

#include <json/value.h>

#include "interface/secure_string.h"

namespace unified_track {

class LinkState {
public:
    static LinkState &Instance();

    // A null text leaves the field as it is.
    void SetLocalAddr(const char *addr);
    void SetConfCtrlAddr(const char *addr);
    void SetConfManageAddr(const char *addr);
    void SetConfId(const char *confId);
    void SetSelfParticipantId(const char *pid);
    void SetMediaAddr(const char *ip, int32_t port);
    // Link types 0 (conf ctrl) and 1 (conf usg manage); others change nothing. Status 5 is
    // "success" and clears the failure count, any other status adds one.
    void SetWebsocketLinkStatus(int32_t linkType, int32_t status, const char *desc);

    SecureString LocalAddr();
    SecureString ConfId();
    // The link members of a websocket error report; the status members only for the error
    // that means the link itself failed.
    void AddWebsocketErrorMembers(int32_t linkType, int32_t err, Json::Value &obj);
    // The link members of a websocket retry report (conf ctrl link only).
    void AddWebsocketRetryMembers(int32_t linkType, Json::Value &obj);

    static constexpr int32_t kLinkConfCtrl = 0;
    static constexpr int32_t kLinkConfUsgManage = 1;
    static constexpr int32_t kStatusSuccess = 5;
    static constexpr int32_t kStatusInit = 7;
    // The error number that makes a websocket error report carry the link status.
    static constexpr int32_t kLinkFailedErr = 414100058;

    // A copy of every field, for tests and diagnostics.
    struct Snapshot {
        SecureString localAddr, confCtrlAddr, confManageAddr, mediaAddr, confId, selfPid;
        int32_t ctrlStatus = kStatusInit;
        int32_t manageStatus = kStatusInit;
        SecureString ctrlDesc, manageDesc;
        uint32_t ctrlFailedTimes = 0;
        uint32_t manageFailedTimes = 0;
    };
    Snapshot Get();

private:
    LinkState() = default;
    static LinkState s_instance;
    std::recursive_mutex m_lock;
    Snapshot m_state;  // guarded by m_lock
};

}  // namespace unified_track
