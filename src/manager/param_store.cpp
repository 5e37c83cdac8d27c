#include "manager/param_store.h"

#include "manager/record_constants.h"

namespace unified_track {

// Namespace-scope lifetime: made at load, destroyed after the threads that use it are joined.
RecursiveLock ParamStore::s_lock;

RecursiveLock &ParamStore::Lock() {
    return s_lock;
}

void ParamStore::BuildReserves() {
    RecursiveGuard guard(Lock());
    const ParamFields &f = m_fields;
    // Plain concatenation, values inserted as they are: the server reads this exact shape.
    std::string text;
    text.reserve(64 + f.m_terminalType.size() + f.m_confuuid.size() + f.m_pid.size() + f.m_context[13].size());
    text += "{\"";
    text += kReservesTerminalType;
    text += "\":\"" + f.m_terminalType + "\",\"";
    text += kReservesConfuuid;
    text += "\":\"" + f.m_confuuid + "\",\"";
    text += kReservesPid;
    text += "\":\"" + f.m_pid + "\",\"";
    text += kReservesThirdAppVersion;
    text += "\":\"" + f.m_context[13] + "\"}";
    m_fields.reserves = std::move(text);
}

UpLoadParam ParamStore::UploadParam() {
    RecursiveGuard guard(Lock());
    return m_fields.m_uploadParam;
}

std::string ParamStore::Context(size_t index) {
    RecursiveGuard guard(Lock());
    return index < 14 ? m_fields.m_context[index] : std::string();
}

void ParamStore::SetUploadSwitch(bool upload) {
    MutexLock guard(m_switchLock);
    m_upload.store(upload);
    m_dot.store(upload && m_app.load());
}

void ParamStore::SetAppSwitch(bool open) {
    MutexLock guard(m_switchLock);
    m_app.store(open);
    m_dot.store(m_upload.load() && open);
}

SwitchState ParamStore::Switches() {
    MutexLock guard(m_switchLock);
    SwitchState s;
    s.dot = m_dot.load();
    s.upload = m_upload.load();
    s.app = m_app.load();
    s.meetingSdk = m_meetingSdk.load();
    s.uploadSet = m_uploadSet.load();
    s.contextConfigured = m_contextConfigured.load();
    return s;
}

void ParamStore::RestoreSwitches(const SwitchState &s) {
    MutexLock guard(m_switchLock);
    m_dot.store(s.dot);
    m_upload.store(s.upload);
    m_app.store(s.app);
    m_meetingSdk.store(s.meetingSdk);
    m_uploadSet.store(s.uploadSet);
    m_contextConfigured.store(s.contextConfigured);
}

}  // namespace unified_track
