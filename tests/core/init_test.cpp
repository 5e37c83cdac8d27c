#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <unified_track/host_services.h>
#include <unified_track/unified_track.h>

#include "host/log.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"
#include "support/temp_dir.h"
#include "test_helpers.h"

namespace fs = std::filesystem;
using namespace ut_core_test;
using unified_track::UTManager;

namespace {

bool IsEmptyDir(const std::string &path) { return fs::is_directory(path) && fs::is_empty(path); }

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
    EXPECT_EQ(m.m_userZipFolder, root + "/user");
    EXPECT_EQ(m.m_mediaZipFolder, root + "/media");
    EXPECT_EQ(m.m_mmrZipFolder, root + "/mmr");
    EXPECT_EQ(m.m_userDotFile, root + "/user_dot_data.dat");
    EXPECT_EQ(m.m_mediaDotFile, root + "/media_dot_data.dat");
    EXPECT_EQ(m.m_mmrDotFile, root + "/mmr_dot_data.dat");
    EXPECT_FALSE(fs::exists(m.m_userDotFile));  // made by the first record only
    EXPECT_TRUE(m.m_dotSwitch.load() && m.m_uploadSwitch.load() && m.m_appDotSwitch.load() &&
                m.m_meetingSdkDotSwitch.load());
    EXPECT_TRUE(UTManager::UploadRunning().load());
    EXPECT_EQ(capture.Count("Start Init"), 1u);
    EXPECT_EQ(PAL_MSG_GetMsgLogCallback(), &PalMsgLogCallback);
    EXPECT_EQ(PAL_MSG_GetMsgDotDataCallback(), &PalMsgDotData);
    EXPECT_EQ(ThreadCount(), base + 2);  // the command thread and the upload thread

    EXPECT_EQ(InitUnifiedTrack(3, 0, 0, dir.file("log").c_str(), dir.file("b").c_str()), kOk);
    EXPECT_EQ(ThreadCount(), base + 2);
    EXPECT_FALSE(fs::exists(dir.file("b/dotdata")));
    EXPECT_EQ(m.m_userDotFile, root + "/user_dot_data.dat");
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
    EXPECT_FALSE(fs::exists(log));
    EXPECT_TRUE(IsEmptyDir(cwd.path())) << "never a relative dotdata folder";
    EXPECT_FALSE(UTManager::GetInstance().IsInited());
    EXPECT_EQ(capture.CountPrefix("secure func return err:"), 1u);

    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), fits.c_str()), kOk);
    EXPECT_TRUE(fs::is_directory(fits + "/dotdata/mmr"));
    EXPECT_EQ(UTManager::GetInstance().m_userDotFile, fits + "/dotdata/user_dot_data.dat");
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
    ASSERT_EQ(ThreadCount(), base + 2);
    int32_t isBrio = -1;
    ASSERT_EQ(CheckAppIdAndSetDotData("BrioBoard", &isBrio), kOk);
    ASSERT_NE(LogStream::GetDotdataFuncCallback(), nullptr);

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
