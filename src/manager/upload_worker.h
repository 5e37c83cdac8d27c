// The upload thread's own state: its handle and lifetime, the back-off between passes, and the
// counters of its retry policy (failures per zip file, failed removals, excess deletions).
//
// Owns: the thread handle (guarded by m_threadLock), the policy counters (guarded by
// m_stateLock), the back-off and the done flag (atomics). Neither lock is held while another
// lock is taken.
// Threads: Init and the unload hook start and join the thread; the upload thread uses the rest
// (tests may read it while it runs, hence the lock).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "host/thread_annotations.h"
#include "manager/ut_locks.h"

namespace unified_track {

class UploadWorker {
public:
    using Entry = void *(*)(void *);
    // Starts the thread unless it runs already; the thread library's error code, 0 when the
    // thread runs.
    int Start(Entry entry) EXCLUDES(m_threadLock);
    // Clears running and joins the thread (a call from the thread itself detaches it); safe to
    // call more than once.
    void Join(std::atomic<bool> &running) EXCLUDES(m_threadLock);
    bool Started() EXCLUDES(m_threadLock);
    void MarkDone() { m_done.store(true); }

    uint32_t SleepMs() const { return m_sleepMs.load(); }
    void SetSleepMs(uint32_t ms) { m_sleepMs.store(ms); }

    // Counts one more failure of the zip file name; returns the new count.
    uint32_t CountFailure(const std::string &name) EXCLUDES(m_stateLock);
    uint32_t Failures(const std::string &name) EXCLUDES(m_stateLock);
    void ForgetFailures(const std::string &name) EXCLUDES(m_stateLock);
    // Forgets name and returns true when it has failed at least limit times.
    bool ForgetIfAtLeast(const std::string &name, uint32_t limit) EXCLUDES(m_stateLock);
    // Counts one removal of a zip beyond the folder cap; returns the count before it.
    uint32_t CountExcessDelete() EXCLUDES(m_stateLock);
    // Counts one zip that could not be removed after its upload; returns the count before it.
    uint32_t CountRemoveFailure() EXCLUDES(m_stateLock);

private:
    Mutex m_threadLock;
    uint64_t m_thread GUARDED_BY(m_threadLock) = 0;
    bool m_started GUARDED_BY(m_threadLock) = false;
    std::atomic<bool> m_done{false};  // set by the thread as it ends

    std::atomic<uint32_t> m_sleepMs{200};  // back-off between passes

    Mutex m_stateLock;
    std::map<std::string, uint32_t> m_failCounts GUARDED_BY(m_stateLock);  // zip name -> failures
    uint32_t m_removeFailCount GUARDED_BY(m_stateLock) = 0;
    uint32_t m_excessDeleteCount GUARDED_BY(m_stateLock) = 0;
};

}  // namespace unified_track
