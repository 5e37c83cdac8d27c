#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <unified_track/host_services.h>
#include <unified_track/unified_track.h>

#include "host/log.h"
#include "log_capture.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"
#include "support/temp_dir.h"
#include "test_helpers.h"

namespace fs = std::filesystem;
using namespace ut_core_test;
using unified_track::UTManager;

namespace {

bool IsEmptyDir(const std::string &path) { return fs::is_directory(path) && fs::is_empty(path); }

// A folder path of exactly `total` characters below `base` (two components, no final separator).
std::string PathOfLength(const std::string &base, size_t total) {
    size_t n = total - base.size() - 2;
    size_t a = n / 2;
    return base + "/" + std::string(a, 'a') + "/" + std::string(n - a, 'b');
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

TEST(InitUnifiedTrack, BadArgumentsFailWithoutCreatingOrLoggingAnything) {
    ut_test::TempDir dir;
    InScratchCwd cwd;
    LogCapture capture;
    const std::string log = dir.file("log");
    const std::string data = dir.file("data");

    EXPECT_EQ(InitUnifiedTrack(4, 0, 0, log.c_str(), data.c_str()), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, nullptr, data.c_str()), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, "", data.c_str()), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), ""), static_cast<OST_UT_RESULT>(UT_FAILED));

    EXPECT_TRUE(IsEmptyDir(dir.path()));
    EXPECT_TRUE(IsEmptyDir(cwd.path()));
    EXPECT_TRUE(capture.Records().empty());
    EXPECT_FALSE(UTManager::GetInstance().IsInited());
}

class InitLayout : public ::testing::TestWithParam<bool> {};

TEST_P(InitLayout, MakesTheDotDataFoldersAndFilePathsUnderTheDataPath) {
    const bool trailingSeparator = GetParam();
    ut_test::TempDir dir;
    LogCapture capture;
    const std::string data = dir.file("data");
    fs::create_directory(data);
    const std::string given = trailingSeparator ? data + "/" : data;

    ASSERT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), given.c_str()),
              static_cast<OST_UT_RESULT>(UT_SUCCESS));

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
    // The dot files themselves are only made by the first record.
    EXPECT_FALSE(fs::exists(m.m_userDotFile));
    EXPECT_TRUE(m.m_dotSwitch.load() && m.m_uploadSwitch.load() && m.m_appDotSwitch.load() &&
                m.m_meetingSdkDotSwitch.load());
    EXPECT_TRUE(UTManager::UploadRunning().load());

    auto start = capture.With("Start Init");
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].function, "unified_track::UTManager::Init");
    EXPECT_EQ(start[0].level, LOG_INFO);
    // Both message-bus callbacks are registered.
    EXPECT_EQ(PAL_MSG_GetMsgLogCallback(), &PalMsgLogCallback);
    EXPECT_EQ(PAL_MSG_GetMsgDotDataCallback(), &PalMsgDotData);
}

INSTANTIATE_TEST_SUITE_P(TrailingSeparator, InitLayout, ::testing::Bool());

TEST(InitUnifiedTrack, DataPathOf251CharactersFits) {
    ut_test::TempDir dir;
    const std::string data = PathOfLength(dir.path(), 251);
    ASSERT_EQ(data.size(), 251u);
    fs::create_directories(data);
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), data.c_str()),
              static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_TRUE(fs::is_directory(data + "/dotdata/mmr"));
    EXPECT_EQ(UTManager::GetInstance().m_userDotFile, data + "/dotdata/user_dot_data.dat");
}

TEST(InitUnifiedTrack, DataPathOf252CharactersFailsAndCreatesNothingAnywhere) {
    ut_test::TempDir dir;
    InScratchCwd cwd;
    LogCapture capture;
    const std::string data = PathOfLength(dir.path(), 252);
    ASSERT_EQ(data.size(), 252u);
    fs::create_directories(data);
    const std::string log = dir.file("log");

    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, log.c_str(), data.c_str()), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_TRUE(IsEmptyDir(data));
    EXPECT_FALSE(fs::exists(log));
    EXPECT_TRUE(IsEmptyDir(cwd.path())) << "never a relative dotdata folder";
    EXPECT_FALSE(UTManager::GetInstance().IsInited());
    EXPECT_EQ(capture.CountPrefix("secure func return err:"), 1u);
}

TEST(InitUnifiedTrack, FoldersThatCannotBeMadeAreLoggedAndInitStillSucceeds) {
    ut_test::TempDir dir;
    LogCapture capture;
    const std::string data = dir.file("missing/deeper");
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), data.c_str()),
              static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    EXPECT_EQ(capture.Count("dot file path create failed!"), 1u);
    EXPECT_EQ(capture.Count("user dot file path create failed!"), 1u);
    EXPECT_EQ(capture.Count("meida dot file path create failed!"), 1u);
    EXPECT_EQ(capture.Count("mmr dot file path create failed!"), 1u);
    EXPECT_EQ(capture.CountPrefix("make dot data dir failed: -1, lasterr: "), 4u);
    EXPECT_TRUE(UTManager::GetInstance().IsInited());
}

TEST(InitUnifiedTrack, SecondInitReturnsSuccessWithoutASecondUploadThread) {
    ut_test::TempDir dir;
    const int base = ThreadBaseline();
    ASSERT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("a").c_str()),
              static_cast<OST_UT_RESULT>(UT_SUCCESS));
    const int afterFirst = ThreadCount();
    EXPECT_EQ(afterFirst, base + 2);  // the command thread and the upload thread

    EXPECT_EQ(InitUnifiedTrack(3, 0, 0, dir.file("log").c_str(), dir.file("b").c_str()),
              static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_EQ(ThreadCount(), afterFirst);
    EXPECT_FALSE(fs::exists(dir.file("b/dotdata")));  // initialisation happens once
    EXPECT_EQ(UTManager::GetInstance().m_userDotFile, dir.file("a/dotdata/user_dot_data.dat"));
}

TEST(InitUnifiedTrack, ManagerInitWithAnEmptyRootFailsAndALaterInitRetries) {
    ut_test::TempDir dir;
    LogCapture capture;
    UTManager &m = UTManager::GetInstance();
    EXPECT_EQ(m.Init(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(m.Init(""), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(capture.Count("dot file path is empty"), 1u);
    EXPECT_FALSE(m.IsInited());
    EXPECT_FALSE(UTManager::UploadRunning().load());

    const std::string root = dir.file("dotdata");
    EXPECT_EQ(m.Init(root.c_str()), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_TRUE(m.IsInited());
    EXPECT_TRUE(fs::is_directory(root + "/user"));
}

TEST(TrackUninit, EndsBothThreadsAndLaterSyncExportsFailAtOnce) {
    ut_test::TempDir dir;
    LogCapture capture;
    const int base = ThreadBaseline();
    ASSERT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("data").c_str()),
              static_cast<OST_UT_RESULT>(UT_SUCCESS));
    ASSERT_EQ(ThreadCount(), base + 2);

    EXPECT_EQ(Track_Uninit(), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_FALSE(UTManager::UploadRunning().load());
    EXPECT_TRUE(unified_track::UTThreadMgr::IsStopped());
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() == base; }));
    EXPECT_EQ(capture.Count("start, 0, func: 0"), 1u);

    int32_t isBrio = -1;
    EXPECT_EQ(CheckAppIdAndSetDotData("BrioMeeting", &isBrio), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("data").c_str()),
              static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_Uninit(), static_cast<OST_UT_RESULT>(UT_SUCCESS));
}

TEST(TrackUninit, BeforeInitSucceedsAndLeavesTheLibraryStopped) {
    ut_test::TempDir dir;
    EXPECT_EQ(Track_Uninit(), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log").c_str(), dir.file("data").c_str()),
              static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_FALSE(fs::exists(dir.file("data/dotdata")));
    EXPECT_FALSE(UTManager::GetInstance().IsInited());
}
