#include "manager/timed_events.h"

namespace unified_track {

void TimedEvents::Start(const std::string &name, uint64_t startTime) {
    auto event = std::make_shared<EventTrack>();
    event->startTime = startTime;
    MutexLock guard(m_lock);
    m_table[name] = std::move(event);
}

std::shared_ptr<EventTrack> TimedEvents::Find(const std::string &name) {
    MutexLock guard(m_lock);
    auto it = m_table.find(name);
    return it == m_table.end() ? nullptr : it->second;
}

std::shared_ptr<EventTrack> TimedEvents::Take(const std::string &name) {
    MutexLock guard(m_lock);
    auto it = m_table.find(name);
    if (it == m_table.end()) return nullptr;
    std::shared_ptr<EventTrack> event = std::move(it->second);
    m_table.erase(it);
    return event;
}

size_t TimedEvents::Count() {
    MutexLock guard(m_lock);
    return m_table.size();
}

void TimedEvents::Clear() {
    MutexLock guard(m_lock);
    m_table.clear();
}

}  // namespace unified_track
