#include "manager/upload_worker.h"

#include <chrono>
#include <thread>

#include "host/clock.h"
#include "host/pal.h"

namespace unified_track {

int UploadWorker::Start(Entry entry) {
    MutexLock guard(m_threadLock);
    if (m_started) return 0;
    m_done.store(false);
    int ret = PAL_PthreadCreate(&m_thread, nullptr, entry, nullptr);
    if (ret == 0) m_started = true;
    return ret;
}

void UploadWorker::Join(std::atomic<bool> &running) {
    PAL_Thread handle = 0;
    {
        MutexLock guard(m_threadLock);
        if (!m_started) return;
        handle = m_thread;
        m_started = false;
    }
    running.store(false);
    if (handle == PAL_PthreadSelf()) {
        PAL_PthreadDetach(handle);
        return;
    }
    // A wake that lands between the thread's flag check and its sleep would be lost, so keep
    // waking until it is out.
    while (!m_done.load()) {
        PAL_WakeSleepers();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    PAL_PthreadJoin(handle);
}

bool UploadWorker::Started() {
    MutexLock guard(m_threadLock);
    return m_started;
}

uint32_t UploadWorker::CountFailure(const std::string &name) {
    MutexLock guard(m_stateLock);
    return ++m_failCounts[name];
}

uint32_t UploadWorker::Failures(const std::string &name) {
    MutexLock guard(m_stateLock);
    auto it = m_failCounts.find(name);
    return it == m_failCounts.end() ? 0 : it->second;
}

void UploadWorker::ForgetFailures(const std::string &name) {
    MutexLock guard(m_stateLock);
    m_failCounts.erase(name);
}

bool UploadWorker::ForgetIfAtLeast(const std::string &name, uint32_t limit) {
    MutexLock guard(m_stateLock);
    auto it = m_failCounts.find(name);
    if (it == m_failCounts.end() || it->second < limit) return false;
    m_failCounts.erase(it);
    return true;
}

uint32_t UploadWorker::CountExcessDelete() {
    MutexLock guard(m_stateLock);
    return m_excessDeleteCount++;
}

uint32_t UploadWorker::CountRemoveFailure() {
    MutexLock guard(m_stateLock);
    return m_removeFailCount++;
}

}  // namespace unified_track
