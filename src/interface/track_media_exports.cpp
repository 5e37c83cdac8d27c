// Exports of the media and MMR records and of the message counters.
// The records are copied before the call returns and handed to the command thread.
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <utility>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "host/export_guard.h"
#include "host/log.h"
#include "host/securec.h"
#include "interface/text_limits.h"
#include "manager/UTManager.h"
#include "manager/media_constants.h"
#include "manager/UTThreadMgr.h"

using unified_track::ContextSpecialParam;
using unified_track::GuardExport;
using unified_track::Text;
using unified_track::UTManager;
using unified_track::UTThreadMgr;

namespace {

// The MMR text belongs to the queued command; a command that never runs still frees it.
struct OwnedText {
    explicit OwnedText(char *text) : data(text) {}
    ~OwnedText() { delete[] data; }
    OwnedText(const OwnedText &) = delete;
    OwnedText &operator=(const OwnedText &) = delete;
    char *Release() { return std::exchange(data, nullptr); }
    char *data;
};
}  // namespace

extern "C" UT_API OST_UT_RESULT Track_AddMediaTrack(const tagUTContextSpecialParam *param, int32_t uploadNow) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_FAILED), [&]() -> OST_UT_RESULT {
        if (param == nullptr) {
            UT_LOGE("param is null");
            return UT_FAILED;
        }
        if (!unified_track::TextsFitRecord({param->eventId, param->event, param->arg2, param->arg3, param->arg4})) {
            UT_LOGE(unified_track::kLogTextTooLong, unified_track::kMaxRecordBytes);
            return UT_FAILED;
        }
        ContextSpecialParam record;
        record.eventId = Text(param->eventId);
        record.event = Text(param->event);
        record.arg2 = Text(param->arg2);
        record.arg3 = Text(param->arg3);
        record.arg4 = Text(param->arg4);
        record.m = param->m;
        record.t = param->t;
        record.time = PAL_GetSysRunTimeEx();
        const bool now = uploadNow != 0;
        std::function<void()> cmd = [record = std::move(record), now]() {
            (void)UTManager::GetInstance().AddMediaTrack(record, now);
        };
        UTThreadMgr::GetInstance().PushCmd(std::move(cmd), unified_track::media::kCmdAddMediaTrack);
        return UT_SUCCESS;
    });
}

extern "C" UT_API OST_UT_RESULT Track_AddMMRTrack(const char *trackData, int32_t dataLen, int32_t isReportImmediately) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_FAILED), [&]() -> OST_UT_RESULT {
        if (isReportImmediately == 1) {
            std::function<void()> cmd = []() { (void)UTManager::GetInstance().AddMMRTrack(nullptr, 0, 1); };
            UTThreadMgr::GetInstance().PushCmd(std::move(cmd), unified_track::media::kCmdAddMMRTrack);
            return UT_SUCCESS;
        }
        if (dataLen <= 0) {
            UT_LOGE(UT_MMR_LOG_LEN_ERR);
            return UT_FAILED;
        }
        if (trackData == nullptr) {
            UT_LOGE("trackData is null");
            return UT_FAILED;
        }
        // dataLen counts the NUL. A bound past the largest record could hide a text that no
        // file can hold, and is never needed.
        if (static_cast<size_t>(dataLen) - 1 > unified_track::kMaxRecordBytes) {
            UT_LOGE(unified_track::kLogTextTooLong, unified_track::kMaxRecordBytes);
            return UT_FAILED;
        }
        // Only the text itself is kept: a dataLen far beyond the text must not cost a block of
        // that size. A text without a NUL inside dataLen bytes keeps the bound, and the copy
        // below refuses it.
        const size_t limit = static_cast<size_t>(dataLen);
        const size_t length = strnlen(trackData, limit);
        const size_t copyMax = length < limit ? length + 1 : limit;
        std::unique_ptr<char[]> block(new (std::nothrow) char[copyMax + 1]);
        if (!block) {
            UT_LOGE(UT_MMR_LOG_MEM_ERR);
            return UT_FAILED;
        }
        std::memset(block.get(), 0, copyMax + 1);
        int ret = strcpy_s(block.get(), copyMax, trackData);
        if (ret != 0) {
            UT_LOGE(UT_MMR_LOG_COPY_ERR, ret);
            return UT_FAILED;
        }
        auto owned = std::make_shared<OwnedText>(block.release());
        std::function<void()> cmd = [owned, dataLen, isReportImmediately]() {
            (void)UTManager::GetInstance().AddMMRTrack(owned->Release(), dataLen, isReportImmediately);
        };
        UTThreadMgr::GetInstance().PushCmd(std::move(cmd), unified_track::media::kCmdAddMMRTrack);
        return UT_SUCCESS;
    });
}

extern "C" UT_API OST_UT_RESULT Track_MsgDotCount(uint32_t index) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_FAILED),
                       [&]() -> OST_UT_RESULT { return UTManager::GetInstance().MsgDotCount(index); });
}
