// The MediaTrack family: the media engine's facts about the current call, and the media records
// it sends through Track_AddMediaTrack. Runs on the caller's thread; the call state is guarded
// by its own recursive lock, released before a record is handed over.
#include <cstring>
#include <mutex>
#include <string>

#include <unified_track/unified_track.h>

#include "host/export_guard.h"
#include "host/log.h"
#include "host/securec.h"
#include "interface/text_limits.h"
#include "manager/media_constants.h"
#include "manager/media_format.h"

using namespace unified_track::media;
using unified_track::GuardExport;

namespace {

// Lives for the process; a new call keeps the previous call's values until they are set again.
struct MediaCallState {
    std::recursive_mutex lock;
    std::string confId;                                 // guarded by lock
    std::string confServeType = kDefaultConfServeType;  // guarded by lock
    char decoderName[kDecoderNameSize] = {0};           // guarded by lock
    uint32_t sampleRate = 0;                            // guarded by lock
    uint32_t cpuMemNumbers[3] = {0, 0, 0};              // guarded by lock
    char cpuMemText[kCpuMemTextSize] = {0};             // guarded by lock
    uint8_t sysInfo[kSysInfoSize] = {0};                // nothing sets it
};

// Made at load, so it outlives the library's threads (see track_json.cpp).
MediaCallState g_state;

MediaCallState &State() {
    return g_state;
}

// Log lines of this family carry the family's source name, also from helpers elsewhere.
#define MEDIA_LOG(level, func, ...) DoLog("native_sdk", (level), 0, (func), kMediaDotDataFile, __LINE__, __VA_ARGS__)

OST_UT_RESULT MediaAddData(int32_t eventNumber, const std::string &content, bool uploadNow) {
    char eventId[kEventNumberSize] = {0};
    int ret = sprintf_s(eventId, sizeof(eventId), "%u", static_cast<unsigned>(eventNumber));
    if (ret < 0) MEDIA_LOG(LOG_ERROR, kLogNameMediaAddData, UT_SECURE_ERR_U, static_cast<unsigned>(ret));
    std::string payload;
    {
        std::lock_guard<std::recursive_mutex> lock(State().lock);
        payload = Dash(State().confId);
    }
    payload += '|';
    payload += content;
    tagUTContextSpecialParam record = {eventId, nullptr, nullptr, nullptr, payload.c_str(), 0, 0};
    return Track_AddMediaTrack(&record, uploadNow ? 1 : 0);
}

}  // namespace

extern "C" {

UT_API OST_UT_RESULT MediaTrack_AddDataConfDotData(int32_t eventNumber, const char *content, int32_t uploadNow) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_FAILED), [&]() -> OST_UT_RESULT {
        if (content == nullptr) {
            MEDIA_LOG(LOG_ERROR, __PRETTY_FUNCTION__, "content is null");
            return UT_FAILED;
        }
        if (!unified_track::TextsFitRecord({content})) {
            MEDIA_LOG(LOG_ERROR, __PRETTY_FUNCTION__, unified_track::kLogTextTooLong, unified_track::kMaxRecordBytes);
            return UT_FAILED;
        }
        return MediaAddData(eventNumber, std::string(content), uploadNow != 0);
    });
}

UT_API void MediaTrack_AddStaticShowInfo(void) {
    GuardExport([&] {
        ShowInfo info;
        {
            MediaCallState &state = State();
            std::lock_guard<std::recursive_mutex> lock(state.lock);
            info.decoderName = state.decoderName;
            for (int i = 0; i < 3; ++i) info.numbers[i] = state.cpuMemNumbers[i];
            info.cpuMemText = state.cpuMemText;
            info.sampleRate = state.sampleRate;
        }
        (void)MediaAddData(static_cast<int32_t>(kShowInfoEventNumber), BuildShowInfoArray(info), true);
    });
}

UT_API const char *MediaTrack_GetConfId(void) {
    return GuardExport(nullptr, static_cast<const char *>(""), [&]() -> const char * {
        MediaCallState &state = State();
        std::lock_guard<std::recursive_mutex> lock(state.lock);
        return state.confId.c_str();
    });
}

UT_API void *MediaTrack_GetSysInfo(void *block) {
    if (block == nullptr) return nullptr;
    try {
        MediaCallState &state = State();
        std::lock_guard<std::recursive_mutex> lock(state.lock);
        std::memcpy(block, state.sysInfo, sizeof(state.sysInfo));
    } catch (...) {
        std::memset(block, 0, kSysInfoSize);
    }
    return block;
}

UT_API void MediaTrack_SetAudioDecoderNameAndSample(const char *name, int32_t sampleRate) {
    GuardExport([&] {
        MEDIA_LOG(LOG_INFO, __PRETTY_FUNCTION__, UT_MEDIA_LOG_DECODER, name != nullptr ? name : "null");
        if (name == nullptr) return;
        MediaCallState &state = State();
        std::lock_guard<std::recursive_mutex> lock(state.lock);
        int ret = strcpy_s(state.decoderName, sizeof(state.decoderName), name);
        if (sampleRate != 0) state.sampleRate = static_cast<uint32_t>(sampleRate);
        if (ret != 0) MEDIA_LOG(LOG_ERROR, __PRETTY_FUNCTION__, UT_SECURE_ERR_U, static_cast<unsigned>(ret));
    });
}

UT_API void MediaTrack_SetConfId(const char *confId) {
    GuardExport([&] {
        if (confId == nullptr) {
            MEDIA_LOG(LOG_INFO, __PRETTY_FUNCTION__, UT_MEDIA_LOG_CONF_ID_NULL);
            return;
        }
        MEDIA_LOG(LOG_INFO, __PRETTY_FUNCTION__, UT_MEDIA_LOG_CONF_ID, confId);
        MediaCallState &state = State();
        std::lock_guard<std::recursive_mutex> lock(state.lock);
        state.confId = confId;
    });
}

UT_API void MediaTrack_SetConfServeType(const char *type) {
    GuardExport([&] {
        if (type == nullptr) {
            MEDIA_LOG(LOG_INFO, __PRETTY_FUNCTION__, UT_MEDIA_LOG_CONF_TYPE_NULL);
            return;
        }
        MEDIA_LOG(LOG_INFO, __PRETTY_FUNCTION__, UT_MEDIA_LOG_CONF_TYPE, type);
        MediaCallState &state = State();
        std::lock_guard<std::recursive_mutex> lock(state.lock);
        state.confServeType = type;
    });
}

UT_API void MediaTrack_SetCpuAndMemoryInfo(const tagMediaCpuMemInfo *info) {
    if (info == nullptr) return;
    GuardExport([&] {
        MediaCallState &state = State();
        std::lock_guard<std::recursive_mutex> lock(state.lock);
        const uint32_t numbers[3] = {info->number1, info->number2, info->number3};
        for (int i = 0; i < 3; ++i) {
            if (numbers[i] != 0) state.cpuMemNumbers[i] = numbers[i];
        }
        if (info->text[0] == '\0') return;
        // The text is read up to its NUL or the end of its array, never further.
        int ret = strcpy_s(state.cpuMemText, sizeof(state.cpuMemText), info->text);
        if (ret != 0) MEDIA_LOG(LOG_ERROR, __PRETTY_FUNCTION__, UT_SECURE_ERR_U, static_cast<unsigned>(ret));
    });
}

UT_API OST_UT_RESULT MediaTrack_SetPaticipantInfo(const tagMediaParticipantInfo *info) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_FAILED), [&]() -> OST_UT_RESULT {
        if (info == nullptr) {
            MEDIA_LOG(LOG_ERROR, __PRETTY_FUNCTION__, "participant info is null");
            return UT_FAILED;
        }
        const std::string participantId(info->participantId, strnlen(info->participantId, sizeof(info->participantId)));
        tagUTParticipantInfo param = {info->mNumber, info->tNumber, participantId.c_str()};
        return Track_SetParticipantInfo(&param);
    });
}

}  // extern "C"
