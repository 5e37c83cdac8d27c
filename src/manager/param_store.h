// Parameters and switches set by the host: public SDK parameters, upload endpoint and
// credentials, context, conference, participant and STUN data, and the switches that decide
// whether records are taken.
//
// Owns: the process-wide parameter lock and every parameter field (ParamFields, guarded by it),
// and the switches (atomics; their derivation serialised by m_switchLock).
// Threads: host threads configure, the command thread reads while building records, the upload
// thread copies the upload parameters. Lock order: the parameter lock before any file lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "host/thread_annotations.h"
#include "manager/UTData.h"
#include "manager/ut_locks.h"

namespace unified_track {

// The fields behind the parameter lock. A plain struct: callers holding the lock read and write
// several fields as one step.
struct ParamFields {
    // public SDK parameters (persisted through the host's configuration cache)
    std::string uuid, account, cloudusgIp, sbcIp, reserve1, reserve2, reserve3, reserve4, reserve5;
    std::string reserves;  // JSON built from the terminal type, conference, pid and context 14
    UpLoadParam m_uploadParam;
    std::string m_context[14];  // context fields 1..14
    uint32_t m_mNumber = 0;
    uint32_t m_tNumber = 0;
    std::string m_participantId;
    std::string m_suite[3];  // context fields 15..17
    std::string m_stunAddr;
    uint16_t m_stunPort = 0;
    std::string m_terminalType;
    std::string m_confuuid;
    std::string m_pid;
};

// The switches as one value, for restoring a known state.
struct SwitchState {
    bool dot = true;  // effective: upload && app
    bool upload = false;
    bool app = false;
    bool meetingSdk = false;
    bool uploadSet = false;  // ConfigCustomParam has been called once
    bool contextConfigured = false;
};

class ParamStore {
public:
    // The process-wide parameter lock (recursive).
    static RecursiveLock &Lock() RETURN_CAPABILITY(s_lock);

    // The fields, for a caller that holds the parameter lock for the whole use.
    ParamFields &Locked() REQUIRES(s_lock) { return m_fields; }

    // Runs f(fields) under the parameter lock and returns its result.
    template <class F>
    auto With(F f) {
        RecursiveGuard guard(Lock());
        return f(m_fields);
    }

    // Rebuilds fields.reserves from the fields it is made of (takes the lock).
    void BuildReserves();
    // Copies the upload parameters (takes the lock).
    UpLoadParam UploadParam();
    // Context field i (0-based, below 14), copied under the lock.
    std::string Context(size_t index);

    // ---- switches ----
    bool DotSwitch() const { return m_dot.load(); }
    bool MeetingSdkSwitch() const { return m_meetingSdk.load(); }
    bool UploadSet() const { return m_uploadSet.load(); }
    bool ContextConfigured() const { return m_contextConfigured.load(); }
    void SetUploadSwitch(bool upload);  // and the effective switch from it
    void SetAppSwitch(bool open);       // and the effective switch from it
    void SetMeetingSdkSwitch(bool open) { m_meetingSdk.store(open); }
    void MarkUploadSet() { m_uploadSet.store(true); }
    void SetContextConfigured(bool configured) { m_contextConfigured.store(configured); }
    SwitchState Switches();
    void RestoreSwitches(const SwitchState &state);

private:
    static RecursiveLock s_lock;
    ParamFields m_fields GUARDED_BY(s_lock);

    Mutex m_switchLock;  // serialises deriving m_dot from m_upload and m_app
    std::atomic<bool> m_dot{true};
    std::atomic<bool> m_upload{false};
    std::atomic<bool> m_app{false};
    std::atomic<bool> m_meetingSdk{false};
    std::atomic<bool> m_uploadSet{false};
    std::atomic<bool> m_contextConfigured{false};
};

}  // namespace unified_track
