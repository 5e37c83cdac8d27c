// The library entry points: start, stop, the application-identity check and the bus log.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include <unified_track/host_services.h>
#include <unified_track/unified_track.h>

#include "manager/UTManager.h"
#include "support/temp_dir.h"
#include "test_helpers.h"

namespace fs = std::filesystem;
using namespace ut_core_test;
using unified_track::DotKind;
using unified_track::UTManager;

namespace {

constexpr char kStoredId[] = "Kp4RwT8zLq2NvB6xHd9JmC3fYs7Ge";

unsigned LowBits(DotdataFunc f) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(f) & 0xFFFFu);
}

int32_t Check(const std::string &appId) {
    int32_t isBrio = -1;
    EXPECT_EQ(CheckAppIdAndSetDotData(appId.c_str(), &isBrio), kOk) << appId;
    return isBrio;
}

bool IsEmptyDir(const std::string &path) {
    return fs::is_directory(path) && fs::is_empty(path);
}

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the test body with the working directory in a scratch folder, to see relative creations.
class InScratchCwd {
public:
    InScratchCwd() : old_(fs::current_path()) { fs::current_path(dir_.path()); }
    ~InScratchCwd() { fs::current_path(old_); }
    const std::string &path() const { return dir_.path(); }

private:
    ut_test::TempDir dir_;
    fs::path old_;
};

}  // namespace

TEST(InitUnifiedTrack, MakesPrivateDotDataFoldersOnceAndASecondInitChangesNothing) {
    ut_test::TempDir dir;
    LogCapture capture;
    const int base = ThreadBaseline();
    const std::string data = dir.file("data");
    fs::create_directory(data);
    // A final separator is not doubled (the 251-character case checks the path without one).
    ASSERT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), (data + "/").c_str()), kOk);
    const std::string root = data + "/dotdata";
    for (const char *sub : {"", "/user", "/media", "/mmr"}) {
        struct stat st {};
        ASSERT_EQ(::stat((root + sub).c_str(), &st), 0) << sub;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u) << "dot data is private to its owner";
    }
    UTManager &m = UTManager::GetInstance();
    EXPECT_TRUE(m.IsInited());
    EXPECT_EQ(m.Files().ZipFolder(DotKind::kUser), root + "/user");
    EXPECT_EQ(m.Files().ZipFolder(DotKind::kMedia), root + "/media");
    EXPECT_EQ(m.Files().ZipFolder(DotKind::kMmr), root + "/mmr");
    EXPECT_EQ(m.Files().DotFile(DotKind::kUser), root + "/user_dot_data.dat");
    EXPECT_EQ(m.Files().DotFile(DotKind::kMedia), root + "/media_dot_data.dat");
    EXPECT_EQ(m.Files().DotFile(DotKind::kMmr), root + "/mmr_dot_data.dat");
    EXPECT_FALSE(fs::exists(m.Files().DotFile(DotKind::kUser)));  // made by the first record only
    EXPECT_TRUE(UTManager::UploadRunning().load());
    EXPECT_EQ(capture.Count("Start Init"), 1u);
    EXPECT_EQ(PAL_MSG_GetMsgLogCallback(), &PalMsgLogCallback);
    EXPECT_EQ(PAL_MSG_GetMsgDotDataCallback(), &PalMsgDotData);
    EXPECT_EQ(ThreadCount(), base + 2);  // the command thread and the upload thread

    EXPECT_EQ(InitUnifiedTrack(3, 0, 0, dir.file("log").c_str(), dir.file("b").c_str()), kOk);
    EXPECT_EQ(ThreadCount(), base + 2);
    EXPECT_FALSE(fs::exists(dir.file("b/dotdata")));
    EXPECT_EQ(m.Files().DotFile(DotKind::kUser), root + "/user_dot_data.dat");
}

TEST(InitUnifiedTrack, BadArgumentsOrA252CharacterDataPathFailWithoutCreatingAnything) {
    ut_test::TempDir dir;
    InScratchCwd cwd;
    LogCapture capture;
    const std::string log = dir.file("log");
    const std::string data = dir.file("data");
    EXPECT_EQ(InitUnifiedTrack(4, 0, 0, log.c_str(), data.c_str()), kFailed);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, nullptr, data.c_str()), kFailed);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), nullptr), kFailed);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, "", data.c_str()), kFailed);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), ""), kFailed);
    EXPECT_TRUE(IsEmptyDir(dir.path()));
    EXPECT_TRUE(capture.Records().empty());

    const std::string fits = FolderOfLength(dir.path(), 251);
    const std::string tooLong = FolderOfLength(dir.path(), 252);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), tooLong.c_str()), kFailed);
    EXPECT_TRUE(IsEmptyDir(tooLong));
    EXPECT_TRUE(IsEmptyDir(cwd.path())) << "never a relative dotdata folder";
    EXPECT_FALSE(UTManager::GetInstance().IsInited());
    EXPECT_EQ(capture.CountPrefix("secure func return err:"), 1u);
    // The trace log is set up first, so the reason for the failure is on disk.
    unified_track::FlushLogs();
    EXPECT_NE(ReadAll(log + "/unified_track.log").find("secure func return err:"), std::string::npos);

    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), fits.c_str()), kOk);
    EXPECT_TRUE(fs::is_directory(fits + "/dotdata/mmr"));
    EXPECT_EQ(UTManager::GetInstance().Files().DotFile(DotKind::kUser), fits + "/dotdata/user_dot_data.dat");
}

TEST(InitUnifiedTrack, AFailedManagerInitAllowsARetryAndUnmakeableFoldersAreOnlyLogged) {
    ut_test::TempDir dir;
    LogCapture capture;
    UTManager &m = UTManager::GetInstance();
    EXPECT_EQ(m.Init(nullptr), kFailed);
    EXPECT_EQ(m.Init(""), kFailed);
    EXPECT_EQ(capture.Count("dot file path is empty"), 1u);
    EXPECT_FALSE(m.IsInited());
    EXPECT_FALSE(UTManager::UploadRunning().load());

    capture.Clear();
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("missing/deeper").c_str()), kOk);
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    for (const char *line : {"dot file path create failed!", "user dot file path create failed!",
                             "meida dot file path create failed!", "mmr dot file path create failed!"}) {
        EXPECT_EQ(capture.Count(line), 1u) << line;
    }
    EXPECT_EQ(capture.CountPrefix("make dot data dir failed: -1, lasterr: "), 4u);
    EXPECT_TRUE(m.IsInited());
}

TEST(TrackUninit, EndsBothThreadsUnregistersTheCallbackAndLaterSyncExportsFailAtOnce) {
    ut_test::TempDir dir;
    LogCapture capture;
    const int base = ThreadBaseline();
    ASSERT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("data").c_str()), kOk);
    int32_t isBrio = -1;
    ASSERT_EQ(CheckAppIdAndSetDotData("BrioBoard", &isBrio), kOk);  // registers the callback

    EXPECT_EQ(Track_Uninit(), kOk);
    EXPECT_EQ(LogStream::GetDotdataFuncCallback(), nullptr);
    EXPECT_FALSE(UTManager::UploadRunning().load());
    EXPECT_TRUE(unified_track::UTThreadMgr::IsStopped());
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() == base; }));
    EXPECT_EQ(capture.Count("start, 0, func: 0"), 1u);

    EXPECT_EQ(CheckAppIdAndSetDotData("BrioMeeting", &isBrio), kFailed);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("data").c_str()), kFailed);
    EXPECT_EQ(Track_Uninit(), kOk);
}

TEST(TrackUninit, BeforeInitSucceedsAndLeavesTheLibraryStopped) {
    ut_test::TempDir dir;
    EXPECT_EQ(Track_Uninit(), kOk);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("data").c_str()), kFailed);
    EXPECT_FALSE(fs::exists(dir.file("data/dotdata")));
    EXPECT_FALSE(UTManager::GetInstance().IsInited());
}

TEST(CheckAppId, OnlySuiteIdentifiersRegisterTheDotDataCallback) {
    LogCapture capture;
    int32_t isBrio = -1;
    EXPECT_EQ(CheckAppIdAndSetDotData(nullptr, &isBrio), kFailed);
    EXPECT_EQ(isBrio, 0);
    EXPECT_EQ(CheckAppIdAndSetDotData("BrioMeeting", nullptr), kFailed);
    std::string oneByteOff = kStoredId;
    oneByteOff[13] = 'x';
    const std::string longer = std::string(kStoredId) + "A";
    for (const std::string &id :
         {oneByteOff, longer, std::string(kStoredId).substr(0, 28), std::string("brioMeeting"), std::string("")})
        EXPECT_EQ(Check(id), 0) << id;
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
        UTManager::GetInstance().Params().Locked().m_context[6] = "corp-trust-4711";
    }
    LogCapture capture;
    char buffer[32] = {'z'};
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
