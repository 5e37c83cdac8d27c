// One timed event in progress. Shared between the event table and the operation that works on
// it; the two sub-event containers have a lock each, taken briefly and always after the
// parameter lock.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

#include "host/thread_annotations.h"
#include "manager/ut_locks.h"

namespace unified_track {

struct EventTrack {
    uint64_t startTime = 0;  // wall-clock ms when the event was started
    Mutex finishedLock;
    std::list<std::pair<std::string, uint64_t>> finished GUARDED_BY(finishedLock);  // (name, ms)
    Mutex runningLock;
    std::map<std::string, uint64_t> running GUARDED_BY(runningLock);  // name -> start ms
};

}  // namespace unified_track
