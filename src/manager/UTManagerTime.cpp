// Server time base: the login pairs the server's UTC time with the local monotonic clock, and
// record time stamps are then rendered from that pair. The pair is written and read as one
// under m_timeLock, so a reader never mixes one login's server time with another's base time.
#include <cstdlib>
#include <ctime>

#include "host/clock.h"
#include "host/log.h"
#include "host/securec.h"
#include "manager/UTManager.h"
#include "manager/UTRecordConstants.h"

namespace unified_track {

OST_UT_RESULT UTManager::RecordUtcTimeByLogin(uint64_t serverUtcMs)
{
    uint64_t serverTime = 0;
    int64_t baseTime = 0;
    {
        std::lock_guard<std::mutex> guard(m_timeLock);
        m_baseTimeMs = static_cast<int64_t>(PAL_GetSysRunTimeEx());
        m_serverTimeMs = serverUtcMs;
        serverTime = m_serverTimeMs;
        baseTime = m_baseTimeMs;
    }
    UT_LOGI("login server utcTime: %llu, m_serverTimeMs: %llu, m_baseTimeMs ms: %lld",
            static_cast<unsigned long long>(serverUtcMs), static_cast<unsigned long long>(serverTime),
            static_cast<long long>(baseTime));
    return UT_SUCCESS;
}

OST_UT_RESULT UTManager::GetServerUtcTimeAndBaseTime(uint64_t *serverTime, uint64_t *baseTime)
{
    if (serverTime == nullptr || baseTime == nullptr) {
        UT_LOGE("pUtcTime or pBaseTime is null!");
        return UT_FAILED;
    }
    std::lock_guard<std::mutex> guard(m_timeLock);
    *serverTime = m_serverTimeMs;
    *baseTime = static_cast<uint64_t>(m_baseTimeMs);
    return UT_SUCCESS;
}

std::string UTManager::GetDiffTimeStamp(uint64_t captureTime)
{
    PAL_TimeVal now;
    PAL_TimeZone zone;
    PAL_GetTimeOfDay(&now, &zone);

    uint64_t serverTime = 0;
    int64_t baseTime = 0;
    {
        std::lock_guard<std::mutex> guard(m_timeLock);
        serverTime = m_serverTimeMs;
        baseTime = m_baseTimeMs;
    }
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
    int written = sprintf_s(buffer, sizeof(buffer), "%d-%02d-%02d %02d:%02d:%02d.%03d %c%02d%02d",
                            local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                            local.tm_sec, static_cast<int>(micros / 1000), sign, absOffset / 60, absOffset % 60);
    if (written <= 0) {
        UT_LOGE(UT_SECURE_ERR_U, static_cast<unsigned>(written));
        return std::string();
    }
    return std::string(buffer);
}

}  // namespace unified_track
