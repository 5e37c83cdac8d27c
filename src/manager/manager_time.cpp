// Server time base of the manager: forwards to TimeBase, with the login's log line.
#include "host/log.h"
#include "manager/UTManager.h"

namespace unified_track {

OST_UT_RESULT UTManager::RecordUtcTimeByLogin(uint64_t serverUtcMs) {
    uint64_t serverTime = 0;
    int64_t baseTime = 0;
    m_time.RecordLogin(serverUtcMs, &serverTime, &baseTime);
    UT_LOGI("login server utcTime: %llu, m_serverTimeMs: %llu, m_baseTimeMs ms: %lld",
            static_cast<unsigned long long>(serverUtcMs), static_cast<unsigned long long>(serverTime),
            static_cast<long long>(baseTime));
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::GetServerUtcTimeAndBaseTime(uint64_t *serverTime, uint64_t *baseTime) {
    if (serverTime == nullptr || baseTime == nullptr) {
        UT_LOGE("pUtcTime or pBaseTime is null!");
        return UT_FAILED;
    }
    int64_t base = 0;
    m_time.Get(serverTime, &base);
    *baseTime = static_cast<uint64_t>(base);
    return UT_SUCCESS;
}

std::string UTManager::GetDiffTimeStamp(uint64_t captureTime) {
    return m_time.DiffTimeStamp(captureTime);
}

}  // namespace unified_track
