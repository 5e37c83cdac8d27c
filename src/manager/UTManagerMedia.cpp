// Media and MMR records, message counters. Not built yet apart from the counters' bump.
#include "host/log.h"
#include "manager/UTManager.h"

namespace unified_track {
OST_UT_RESULT UTManager::MsgDotCount(uint32_t index) {
    if (index >= kMsgCounterCount) return UT_FAILED;
    m_msgCounters[index].fetch_add(1, std::memory_order_relaxed);
    return UT_SUCCESS;
}
OST_UT_RESULT UTManager::AddCacheMediaTrack() {
    UT_LOGD("media records not available yet");
    return UT_SUCCESS;
}
}  // namespace unified_track

extern "C" UT_API OST_UT_RESULT Track_MsgDotCount(uint32_t index) {
    return unified_track::UTManager::GetInstance().MsgDotCount(index);
}
