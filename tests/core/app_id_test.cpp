#include <cstring>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "test_helpers.h"
#include "manager/UTManager.h"

using namespace ut_core_test;
using unified_track::UTManager;

namespace {
constexpr char kStoredId[] = "Kp4RwT8zLq2NvB6xHd9JmC3fYs7Ge";

unsigned LowBits(DotdataFunc f) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(f) & 0xFFFFu); }

int32_t Check(const std::string &appId) {
    int32_t isBrio = -1;
    EXPECT_EQ(CheckAppIdAndSetDotData(appId.c_str(), &isBrio), kOk) << appId;
    return isBrio;
}
}  // namespace

TEST(CheckAppId, OnlySuiteIdentifiersRegisterTheDotDataCallback) {
    LogCapture capture;
    int32_t isBrio = -1;
    EXPECT_EQ(CheckAppIdAndSetDotData(nullptr, &isBrio), kFailed);
    EXPECT_EQ(isBrio, 0);
    EXPECT_EQ(CheckAppIdAndSetDotData("BrioMeeting", nullptr), kFailed);
    std::string oneByteOff = kStoredId;
    oneByteOff[13] = 'x';
    const std::string longer = std::string(kStoredId) + "A";
    for (const std::string &id : {oneByteOff, longer, std::string(kStoredId).substr(0, 28), std::string("brioMeeting"),
                                  std::string("")}) {
        EXPECT_EQ(Check(id), 0) << id;
    }
    EXPECT_EQ(LogStream::GetDotdataFuncCallback(), nullptr);
    EXPECT_EQ(capture.CountPrefix("start, "), 0u);
    EXPECT_EQ(capture.Count("isBrio: 0, appId: " + longer), 1u);

    for (const char *id : {"xxBrioMeetingyy", "1BrioBoard", kStoredId}) EXPECT_EQ(Check(id), 1) << id;
    EXPECT_EQ(LogStream::GetDotdataFuncCallback(), &track_dotdata_log);
    EXPECT_EQ(capture.Count("isBrio: 1, appId: xxBrioMeetingyy"), 1u);
    // The registration log shows only the low bits of the callback's address.
    EXPECT_GE(capture.Count("start, 1, func: " + std::to_string(LowBits(&track_dotdata_log))), 1u);
}

TEST(CorpTrustAppId, CopiesContextField7AndRejectsBadBuffers) {
    {
        std::lock_guard<unified_track::RecursiveLock> lock(UTManager::ParamLock());
        UTManager::GetInstance().m_context[6] = "corp-trust-4711";
    }
    LogCapture capture;
    char buffer[32];
    std::memset(buffer, 'z', sizeof(buffer));
    GetOrignalCorpTrustAppId(buffer, 0);
    EXPECT_EQ(buffer[0], 'z') << "a zero size writes nothing";
    GetOrignalCorpTrustAppId(buffer, 15);  // one short of the terminator
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(capture.CountPrefix("strcpy_s failed! ret:"), 2u);
    for (auto &r : capture.Records()) EXPECT_EQ(r.level, LOG_ERROR);
    capture.Clear();
    GetOrignalCorpTrustAppId(nullptr, 16);
    GetOrignalCorpTrustAppId(buffer, 16);  // exactly enough
    EXPECT_STREQ(buffer, "corp-trust-4711");
    EXPECT_TRUE(capture.Records().empty());
}

TEST(PalMsgLog, LevelsMapToLogLevelsOfTheFrequencyModuleAndNullTextsAreIgnored) {
    LogCapture capture;
    PalMsgLogCallback(4, nullptr, "f", 1, "m");
    PalMsgLogCallback(4, "e", nullptr, 1, "m");
    PalMsgLogCallback(4, "e", "f", 1, nullptr);
    EXPECT_TRUE(capture.Records().empty());
    const std::pair<int, std::string> expected[] = {
        {LOG_DEBUG, "pal info, errno:E0, file: bus.c, line:0, msg:m0"},
        {LOG_INFO, "pal info, errno:E1, file: bus.c, line:1, msg:m1"},
        {LOG_DEBUG, "pal info, errno:E2, file: bus.c, line:2, msg:m2"},
        {LOG_WARN, "pal warn, errno:E3, file: bus.c, line:3, msg:m3"},
        {LOG_ERROR, "pal error, errno:E4, file: bus.c, line:4, msg:m4"},
    };
    for (int level = 0; level <= 4; ++level) {
        const std::string n = std::to_string(level);
        PalMsgLogCallback(level, ("E" + n).c_str(), "bus.c", level, ("m" + n).c_str());
        ASSERT_EQ(capture.Records().size(), static_cast<size_t>(level + 1));
        const unified_track::LogRecord r = capture.Records().back();
        EXPECT_EQ(r.module, "native_sdk_frequency");
        EXPECT_EQ(r.level, expected[level].first);
        EXPECT_EQ(r.text, expected[level].second);
    }
}
