// Records of the track manager.
#pragma once

#include <cstdint>
#include <string>

#include "host/http_proxy.h"
#include "transport/upload_param.h"

namespace unified_track {

// One track record as the manager receives it (user, timed and media records).
struct ContextSpecialParam {
    std::string eventId;
    std::string event;
    std::string arg2;
    std::string arg3;
    std::string arg4;
    uint32_t m = 0;
    uint32_t t = 0;
    uint64_t time = 0;  // monotonic ms taken when the exported call was made
};

// One sub-event mark of a timed event.
struct ContextSubEventParam {
    std::string name;
    uint8_t isEnd = 0;
    uint64_t time = 0;
};

}  // namespace unified_track
