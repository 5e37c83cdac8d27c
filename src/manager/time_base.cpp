#include "manager/time_base.h"

#include <cstdlib>
#include <ctime>

#include "host/clock.h"
#include "host/log.h"
#include "host/securec.h"
#include "manager/record_constants.h"

namespace unified_track {

void TimeBase::RecordLogin(uint64_t serverUtcMs, uint64_t *serverTime, int64_t *baseTime) {
    MutexLock guard(m_lock);
    m_baseTimeMs = static_cast<int64_t>(PAL_GetSysRunTimeEx());
    m_serverTimeMs = serverUtcMs;
    *serverTime = m_serverTimeMs;
    *baseTime = m_baseTimeMs;
}

void TimeBase::Get(uint64_t *serverTime, int64_t *baseTime) {
    MutexLock guard(m_lock);
    *serverTime = m_serverTimeMs;
    *baseTime = m_baseTimeMs;
}

void TimeBase::Set(uint64_t serverTime, int64_t baseTime) {
    MutexLock guard(m_lock);
    m_serverTimeMs = serverTime;
    m_baseTimeMs = baseTime;
}

std::string TimeBase::DiffTimeStamp(uint64_t captureTime) {
    PAL_TimeVal now;
    PAL_TimeZone zone;
    PAL_GetTimeOfDay(&now, &zone);

    uint64_t serverTime = 0;
    int64_t baseTime = 0;
    Get(&serverTime, &baseTime);
    int64_t seconds = now.tv_sec;
    int64_t micros = now.tv_usec;
    if (baseTime != 0 && serverTime != 0 && captureTime >= static_cast<uint64_t>(baseTime)) {
        uint64_t ms = serverTime - static_cast<uint64_t>(baseTime) + captureTime;
        seconds = static_cast<int64_t>(ms / 1000);
        micros = static_cast<int64_t>(ms % 1000) * 1000;
    }

    struct tm local {};
    int ret = PAL_LocalTime_S(&local, &seconds);
    if (ret != 0) {
        // A time the calendar cannot hold (a server time far out of range): no stamp.
        UT_LOGE(UT_SECURE_ERR_U, static_cast<unsigned>(ret));
        return std::string();
    }
    // The offset of the stamp's own instant: with a server-based time it may lie in another
    // season than now, and in zones whose daylight saving runs backwards the "now" zone plus
    // the stamp's daylight flag gives a wrong sign. PAL_GetTimeZoneAt reports the flag
    // consistently with its own minutes-west value.
    PAL_TimeZone stampZone = zone;
    int dst = local.tm_isdst == 1 ? 1 : 0;
    if (PAL_GetTimeZoneAt(seconds, &stampZone) == 0) dst = stampZone.tz_dsttime;
    int offset = -stampZone.tz_minuteswest + (dst != 0 ? 60 : 0);
    char sign = offset < 0 ? '-' : '+';
    int absOffset = std::abs(offset);

    char buffer[kTimeStampBufferSize] = {};
    int written = sprintf_s(buffer, sizeof(buffer), "%d-%02d-%02d %02d:%02d:%02d.%03d %c%02d%02d", local.tm_year + 1900,
                            local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                            static_cast<int>(micros / 1000), sign, absOffset / 60, absOffset % 60);
    if (written <= 0) {
        UT_LOGE(UT_SECURE_ERR_U, static_cast<unsigned>(written));
        return std::string();
    }
    return std::string(buffer);
}

}  // namespace unified_track
