// Timed events: started by name, marked with sub-events, finished with a user record whose arg3
// carries the duration and whose arg4 JSON object gains one member per finished sub-event.
// All three operations run on the command thread under the parameter lock.
#include <json/json.h>

#include <limits>
#include <memory>

#include "host/clock.h"
#include "host/log.h"
#include "host/securec.h"
#include "manager/UTManager.h"
#include "manager/record_constants.h"
#include "manager/timed_event.h"

namespace unified_track {
namespace {
using ParamGuard = RecursiveGuard;

size_t FinishedCount(EventTrack &event) {
    MutexLock guard(event.finishedLock);
    return event.finished.size();
}
}  // namespace

OST_UT_RESULT UTManager::StartEvent(const std::string &eventName) {
    ParamGuard guard(ParamLock());
    if (!IsInited()) {
        UT_LOGE("start event while not inited");
        return UT_NOT_INITED;
    }
    m_events.Start(eventName, PAL_GetSystemTime());  // a restart drops the earlier clock and sub-events
    return UT_SUCCESS;
}

void UTManager::AddSubEvent(const std::string &eventName, const ContextSubEventParam &param) {
    ParamGuard guard(ParamLock());
    if (!IsInited()) {
        UT_LOGE("start event while not inited");
        return;
    }
    std::shared_ptr<EventTrack> event = m_events.Find(eventName);
    if (!event) {
        UT_LOGE("no start event, %s", eventName.c_str());
        return;
    }
    MutexLock runningGuard(event->runningLock);
    auto it = event->running.find(param.name);
    if (it == event->running.end()) {
        event->running.emplace(param.name, param.time);  // an end mark of an unknown sub-event starts it
        return;
    }
    if (param.isEnd == 0) {
        it->second = param.time;
        return;
    }
    uint64_t duration = param.time >= it->second ? param.time - it->second : std::numeric_limits<uint64_t>::max();
    {
        MutexLock finishedGuard(event->finishedLock);
        event->finished.emplace_back(param.name, duration);
    }
    event->running.erase(it);
}

void UTManager::FinishEvent(const std::string &eventName, ContextSpecialParam param) {
    ParamGuard guard(ParamLock());
    if (!IsInited()) {
        UT_LOGE("finish event while not inited");
        return;
    }
    std::shared_ptr<EventTrack> event = m_events.Take(eventName);
    if (!event) {
        UT_LOGE("no start event, %s", eventName.c_str());
        return;
    }
    if (event->startTime != 0 && param.arg3.empty()) {
        const uint64_t endTime = PAL_GetSystemTime();
        const unsigned long long end = endTime;
        const unsigned long long begin = event->startTime;
        const int64_t interval = static_cast<int64_t>(endTime - event->startTime);
        if (interval < 0) {
            param.arg3 = kClockWentBack;
            UT_LOGE("endTime error: endTime: %llu, startTime:%llu", end, begin);
        } else if (param.m != 0 && interval > static_cast<int64_t>(param.m)) {
            UT_LOGE("max interval error: endTime: %llu, startTime:%llu", end, begin);
            return;
        } else if (param.t != 0 && interval < static_cast<int64_t>(param.t)) {
            UT_LOGI("min interval: %u, interval:%lld, endTime: %llu, startTime:%llu, index:%s", param.t,
                    static_cast<long long>(interval), end, begin, eventName.c_str());
            return;
        } else {
            char buffer[kIntervalBufferSize] = {};
            int ret = sprintf_s(buffer, sizeof(buffer), "%llu", static_cast<unsigned long long>(interval));
            if (ret <= 0) UT_LOGE(UT_SECURE_ERR_U, static_cast<unsigned>(ret));
            param.arg3 = buffer;
        }
    }
    if (FinishedCount(*event) != 0) {
        std::string arg4 = BuildSubEventJson(event, param.arg4);
        if (!arg4.empty()) param.arg4 = std::move(arg4);
    }
    DoAddUserTrack(param);
}

std::string UTManager::BuildSubEventJson(const std::shared_ptr<EventTrack> &event, const std::string &text) {
    if (!event) return std::string();
    Json::CharReaderBuilder readerBuilder;
    readerBuilder["collectComments"] = true;
    std::unique_ptr<Json::CharReader> reader(readerBuilder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors) || !root.isObject()) {
        return std::string();
    }
    for (;;) {
        std::pair<std::string, uint64_t> item;
        {
            MutexLock guard(event->finishedLock);
            if (event->finished.empty()) break;
            item = std::move(event->finished.front());
            event->finished.pop_front();
        }
        root[item.first] = Json::Value(static_cast<Json::UInt64>(item.second));
    }
    {
        MutexLock guard(event->runningLock);
        event->running.clear();
    }
    Json::StreamWriterBuilder writerBuilder;
    writerBuilder["indentation"] = "";
    return Json::writeString(writerBuilder, root);
}

}  // namespace unified_track
