// The table of timed events in progress, by name.
//
// Owns: the table, guarded by m_lock (taken briefly, after the parameter lock). The events
// themselves are shared: an operation keeps its event alive after it left the table.
// Threads: the command thread (start, sub-event, finish).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "host/thread_annotations.h"
#include "manager/timed_event.h"
#include "manager/ut_locks.h"

namespace unified_track {

class TimedEvents {
public:
    // A new event under name; a restart drops the earlier clock and sub-events.
    void Start(const std::string &name, uint64_t startTime) EXCLUDES(m_lock);
    std::shared_ptr<EventTrack> Find(const std::string &name) EXCLUDES(m_lock);
    // Removes the event from the table and returns it (null when there is none).
    std::shared_ptr<EventTrack> Take(const std::string &name) EXCLUDES(m_lock);
    size_t Count() EXCLUDES(m_lock);
    void Clear() EXCLUDES(m_lock);

private:
    Mutex m_lock;
    std::map<std::string, std::shared_ptr<EventTrack>> m_table GUARDED_BY(m_lock);
};

}  // namespace unified_track
