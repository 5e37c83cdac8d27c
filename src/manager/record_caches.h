// Records held back until the host has configured the context: user events and media records,
// each list bounded by the caller's limit.
//
// Owns: the two lists, guarded by m_lock. Callers that need "check the context switch, then
// hold" as one step hold the parameter lock around it (parameter lock before m_lock).
// Threads: the command thread holds and flushes; the host thread configuring the context flushes.
#pragma once

#include <cstddef>
#include <vector>

#include "host/thread_annotations.h"
#include "manager/UTData.h"
#include "manager/ut_locks.h"

namespace unified_track {

class RecordCaches {
public:
    using Records = std::vector<ContextSpecialParam>;
    // Appends when the list holds at most limit records; false when it is full.
    bool HoldUser(const ContextSpecialParam &record, size_t limit) EXCLUDES(m_lock);
    bool HoldMedia(const ContextSpecialParam &record, size_t limit) EXCLUDES(m_lock);
    Records UserRecords() EXCLUDES(m_lock);
    Records MediaRecords() EXCLUDES(m_lock);
    size_t UserCount() EXCLUDES(m_lock);
    size_t MediaCount() EXCLUDES(m_lock);
    void ClearUser() EXCLUDES(m_lock);
    void ClearMedia() EXCLUDES(m_lock);

private:
    Mutex m_lock;
    Records m_user GUARDED_BY(m_lock);
    Records m_media GUARDED_BY(m_lock);
};

}  // namespace unified_track
