#include <cstring>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "log_capture.h"
#include "manager/UTManager.h"

using namespace ut_core_test;
using unified_track::UTManager;

namespace {
constexpr char kStoredId[] = "Kp4RwT8zLq2NvB6xHd9JmC3fYs7Ge";

unsigned LowBits(DotdataFunc f) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(f) & 0xFFFFu); }

int32_t Check(const char *appId, OST_UT_RESULT expected) {
    int32_t isBrio = -1;
    EXPECT_EQ(CheckAppIdAndSetDotData(appId, &isBrio), expected) << appId;
    return isBrio;
}
}  // namespace

TEST(CheckAppId, SuiteIdentifiersRegisterTheDotDataCallback) {
    LogCapture capture;
    EXPECT_EQ(Check("xxBrioMeetingyy", UT_SUCCESS), 1);
    EXPECT_EQ(LogStream::GetDotdataFuncCallback(), &track_dotdata_log);
    EXPECT_EQ(capture.Count("isBrio: 1, appId: xxBrioMeetingyy"), 1u);
    auto reg = capture.With("start, 1, func: " + std::to_string(LowBits(&track_dotdata_log)));
    ASSERT_EQ(reg.size(), 1u);
    EXPECT_EQ(reg[0].function, "unified_track::UTManager::SetDotdataFuncCallback");

    EXPECT_EQ(Check("1BrioBoard", UT_SUCCESS), 1);
    EXPECT_EQ(Check(kStoredId, UT_SUCCESS), 1);
}

TEST(CheckAppId, OtherIdentifiersLeaveTheCallbackAsItWas) {
    LogCapture capture;
    std::string oneByteOff = kStoredId;
    oneByteOff[13] = 'x';
    const std::string longer = std::string(kStoredId) + "A";
    const std::string shorter = std::string(kStoredId).substr(0, 28);
    for (const std::string &id : {oneByteOff, longer, shorter, std::string("brioMeeting"), std::string("")}) {
        EXPECT_EQ(Check(id.c_str(), UT_SUCCESS), 0) << id;
    }
    EXPECT_EQ(LogStream::GetDotdataFuncCallback(), nullptr);
    EXPECT_EQ(capture.Count("isBrio: 0, appId: " + longer), 1u);
    EXPECT_EQ(capture.CountPrefix("start, "), 0u);
}

TEST(CheckAppId, NullArgumentsAreRejected) {
    int32_t isBrio = -1;
    EXPECT_EQ(CheckAppIdAndSetDotData(nullptr, &isBrio), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(isBrio, 0);
    EXPECT_EQ(CheckAppIdAndSetDotData("BrioMeeting", nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(CheckAppIdAndSetDotData(nullptr, nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(LogStream::GetDotdataFuncCallback(), nullptr);
}

TEST(CheckAppId, UninitUnregistersTheCallback) {
    EXPECT_EQ(Check("BrioBoard", UT_SUCCESS), 1);
    ASSERT_NE(LogStream::GetDotdataFuncCallback(), nullptr);
    LogCapture capture;
    EXPECT_EQ(Track_Uninit(), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_EQ(LogStream::GetDotdataFuncCallback(), nullptr);
    EXPECT_EQ(capture.Count("start, 0, func: 0"), 1u);
}

TEST(CorpTrustAppId, CopiesContextField7AndRejectsBadBuffers) {
    {
        std::lock_guard<unified_track::RecursiveLock> lock(UTManager::ParamLock());
        UTManager::GetInstance().m_context[6] = "corp-trust-4711";
    }
    char buffer[32];
    std::memset(buffer, 'z', sizeof(buffer));
    GetOrignalCorpTrustAppId(buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "corp-trust-4711");

    LogCapture capture;
    std::memset(buffer, 'z', sizeof(buffer));
    GetOrignalCorpTrustAppId(buffer, 0);
    EXPECT_EQ(buffer[0], 'z') << "a zero size writes nothing";
    GetOrignalCorpTrustAppId(buffer, 15);  // one short of the terminator
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(capture.CountPrefix("strcpy_s failed! ret:"), 2u);
    for (auto &r : capture.Records()) EXPECT_EQ(r.level, LOG_ERROR);

    capture.Clear();
    GetOrignalCorpTrustAppId(nullptr, 16);
    GetOrignalCorpTrustAppId(nullptr, 0);
    EXPECT_TRUE(capture.Records().empty());
}

TEST(PalMsgLog, LevelsMapToLogLevelsOfTheFrequencyModule) {
    LogCapture capture;
    PalMsgLogCallback(4, "E4", "bus.c", 11, "m4");
    PalMsgLogCallback(3, "E3", "bus.c", 12, "m3");
    PalMsgLogCallback(1, "E1", "bus.c", 13, "m1");
    PalMsgLogCallback(2, "E2", "bus.c", 14, "m2");
    PalMsgLogCallback(0, "E0", "bus.c", 15, "m0");
    auto records = capture.Records();
    ASSERT_EQ(records.size(), 5u);
    const std::pair<int, std::string> expected[] = {
        {LOG_ERROR, "pal error, errno:E4, file: bus.c, line:11, msg:m4"},
        {LOG_WARN, "pal warn, errno:E3, file: bus.c, line:12, msg:m3"},
        {LOG_INFO, "pal info, errno:E1, file: bus.c, line:13, msg:m1"},
        {LOG_DEBUG, "pal info, errno:E2, file: bus.c, line:14, msg:m2"},
        {LOG_DEBUG, "pal info, errno:E0, file: bus.c, line:15, msg:m0"},
    };
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].module, "native_sdk_frequency");
        EXPECT_EQ(records[i].level, expected[i].first);
        EXPECT_EQ(records[i].text, expected[i].second);
    }
}

TEST(PalMsgLog, NullTextsAreIgnored) {
    LogCapture capture;
    PalMsgLogCallback(4, nullptr, "f", 1, "m");
    PalMsgLogCallback(4, "e", nullptr, 1, "m");
    PalMsgLogCallback(4, "e", "f", 1, nullptr);
    EXPECT_TRUE(capture.Records().empty());
}
