// One timed event in progress. Shared between the manager's event table and the operation that
// works on it; the two sub-event containers have a lock each, taken briefly and always after
// the parameter lock.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace unified_track {

struct EventTrack {
    uint64_t startTime = 0;  // wall-clock ms when the event was started
    std::mutex finishedLock;
    std::list<std::pair<std::string, uint64_t>> finished;  // guarded by finishedLock; (name, ms)
    std::map<std::string, uint64_t> running;               // guarded by runningLock; name -> start ms
    std::mutex runningLock;
};

}  // namespace unified_track
