#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "log/track_trace.h"
#include "support/temp_dir.h"
#include "test_helpers.h"

namespace fs = std::filesystem;
using namespace ut_core_test;

TEST(TraceLog, FirstUpdateStartsTheApiLogInTheFolderEndingInOneSeparator) {
    ut_test::TempDir dir;
    LogCapture capture;
    const std::string folder = dir.file("logs");
    // A final separator is not doubled; a folder without one gets one (see the 228-byte case).
    Track_TraceUpdateLogParams(2, 512, 5, (folder + "/").c_str());
    EXPECT_EQ(Track_GetLogFolder(), folder + "/");
    char buffer[300] = "";
    Track_GetLogPath(buffer, sizeof(buffer));
    EXPECT_EQ(std::string(buffer), folder + "/");

    auto started = capture.Records();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].module, "sdk_api_info");
    EXPECT_EQ(started[0].function, "track");
    EXPECT_EQ(started[0].file, "api");
    EXPECT_EQ(started[0].line, 1);
    EXPECT_EQ(started[0].text.rfind("log started, builded in: ", 0), 0u);
    EXPECT_EQ(started[1].text.rfind("build at version: ", 0), 0u);
    // The library's own trace file follows the host's log folder.
    UT_LOGE("trace line for the test");
    unified_track::FlushLogs();
    EXPECT_TRUE(fs::is_regular_file(folder + "/sdk_api_info.txt"));
    EXPECT_TRUE(fs::is_regular_file(folder + "/unified_track.log"));
    // The compression-error callback is registered on the command thread.
    Drain();
    EXPECT_EQ(LogStream::GetZipDataFuncCallback(), &track_log_zip_error);

    // Buffers without room for the terminator, or none at all, get the copy error.
    capture.Clear();
    std::string shortBuffer(folder.size() + 1, 'z');
    Track_GetLogPath(&shortBuffer[0], static_cast<int32_t>(shortBuffer.size()));
    EXPECT_EQ(shortBuffer[0], '\0');
    Track_GetLogPath(nullptr, 64);
    Track_GetLogPath(buffer, 0);
    Track_GetLogPath(buffer, -1);
    EXPECT_EQ(capture.CountPrefix("secure func return err:"), 4u);
}

TEST(TraceLog, FolderOf228BytesIsAccepted229RefusedAndLaterUpdatesCapTheSize) {
    ut_test::TempDir dir;
    LogCapture capture;
    const std::string ok = FolderOfLength(dir.path(), 228);
    const std::string tooLong = ok + "c";
    ASSERT_EQ(tooLong.size(), 229u);

    Track_TraceUpdateLogParams(2, 512, 5, tooLong.c_str());
    EXPECT_EQ(capture.Count("config param error"), 1u);
    EXPECT_EQ(Track_GetLogFolder(), "");

    Track_TraceUpdateLogParams(2, 512, 5, ok.c_str());
    EXPECT_EQ(Track_GetLogFolder(), ok + "/");
    EXPECT_EQ(capture.Count("config param error"), 1u);
    EXPECT_EQ(capture.CountPrefix("secure func return err:"), 0u);

    // Once started, an unusable folder leaves the configuration as it was.
    Track_TraceUpdateLogParams(2, 512, 5, tooLong.c_str());
    Track_TraceUpdateLogParams(2, 512, 5, "");
    EXPECT_EQ(capture.Count("config param error"), 3u);
    Track_TraceUpdateLogParams(2, 512, 5, nullptr);
    EXPECT_EQ(capture.Count("input logpath is NULL"), 1u);
    EXPECT_EQ(Track_GetLogFolder(), ok + "/");

    Track_TraceUpdateLogParams(1, 2048, 5, dir.file("moved").c_str());
    Track_TraceUpdateLogParams(3, 100, 5, dir.file("moved").c_str());
    EXPECT_EQ(capture.Count("log params is changed to [level:1, maxsizeKB:512 KB]"), 1u);
    EXPECT_EQ(capture.Count("log params is changed to [level:3, maxsizeKB:100 KB]"), 1u);
    EXPECT_EQ(capture.CountPrefix("log started"), 1u);  // the first update's only
    EXPECT_EQ(Track_GetLogFolder(), dir.file("moved") + "/");
    unified_track::FlushLogs();
    EXPECT_TRUE(fs::is_regular_file(dir.file("moved/sdk_api_info.txt")));
}

TEST(TrackUpdateLogPath, ChecksLevelAndPathThenUpdates) {
    ut_test::TempDir dir;
    LogCapture capture;
    const std::string folder = dir.file("api");
    EXPECT_EQ(Track_UpdateLogPath(4, 0, 0, folder.c_str()), kFailed);
    EXPECT_EQ(Track_UpdateLogPath(2, 0, 0, nullptr), kFailed);
    EXPECT_EQ(Track_UpdateLogPath(2, 0, 0, ""), kFailed);
    EXPECT_TRUE(capture.Records().empty());
    EXPECT_EQ(Track_GetLogFolder(), "");
    EXPECT_FALSE(fs::exists(folder));

    EXPECT_EQ(Track_UpdateLogPath(3, 7, 9, folder.c_str()), kOk);
    EXPECT_EQ(Track_GetLogFolder(), folder + "/");

    // The length rule is the set-up's business: the export still succeeds.
    const std::string tooLong = "/" + std::string(228, 'x');
    EXPECT_EQ(Track_UpdateLogPath(3, 0, 0, tooLong.c_str()), kOk);
    EXPECT_EQ(capture.Count("config param error"), 1u);
    EXPECT_EQ(Track_GetLogFolder(), folder + "/");
}

TEST(TraceLog, ConcurrentFirstUpdatesStartTheApiLogOnce) {
    ut_test::TempDir dir;
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&dir, i] {
            const std::string folder = dir.file("t" + std::to_string(i));
            EXPECT_EQ(Track_UpdateLogPath(2, 0, 0, folder.c_str()), kOk);
            char buffer[300];
            Track_GetLogPath(buffer, sizeof(buffer));
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(capture.CountPrefix("log started, builded in: "), 1u);
    EXPECT_EQ(capture.CountPrefix("log params is changed to "), 3u);
}
