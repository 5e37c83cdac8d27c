#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/log.h"
#include "host/log_sink.h"
#include "host/pal.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/test_env.h"

namespace unified_track {
struct Probe {
    static int Run(const char *text) {
        UT_LOGW("probe %s %d", text, 7);
        return 0;
    }
};
}  // namespace unified_track

namespace {

using ut_test::LogCapture;
using ut_test::ReadFile;
using ut_test::TempDir;

std::string Gunzip(const std::string &path) {
    if (!std::filesystem::exists(path)) return "<cannot open>";
    return ut_test::GunzipFile(path);
}

std::vector<std::string> GzFiles(const std::string &folder) {
    std::vector<std::string> names;
    PAL_ScanDir(folder.c_str(), &names, [](const PAL_DirEntry &e) {
        return e.name.size() > 3 && e.name.compare(e.name.size() - 3, 3, ".gz") == 0;
    });
    return names;
}

int g_zipCalls = 0, g_zipError = 0;
std::string g_zipName;
void OnZipFailure(int errorCode, const char *fileName) {
    ++g_zipCalls;
    g_zipError = errorCode;
    g_zipName = fileName != nullptr ? fileName : "<null>";
}

TEST(Log, NamesAreReduced) {
    using unified_track::ReduceFunctionName;
    const std::pair<const char *, const char *> functions[] = {
        {"int32_t unified_track::UTManager::Init(const char*, int)", "unified_track::UTManager::Init"},
        {"unified_track::UTManager::Init", "unified_track::UTManager::Init"},
        {"track", "track"},
        {"static void TrackApiLog::AddApiLogWithParam(const std::string&)", "TrackApiLog::AddApiLogWithParam"},
        {"std::map<int, int> ns::Make(std::map<int, int>)", "ns::Make"},
        {"const char* ns::Name()", "ns::Name"},
        {"void ns::C::Run()::<lambda()>", "ns::C::Run"},
        {"void ns::Functor::operator()(int) const", "ns::Functor::operator()"},
    };
    for (const auto &f : functions) EXPECT_EQ(ReduceFunctionName(f.first), f.second) << f.first;
    EXPECT_EQ(ReduceFunctionName(nullptr), "");
    for (const char *file : {"/src/log/track_trace.cpp", "C:\\src\\log\\track_trace.cpp", "track_trace"}) {
        EXPECT_EQ(unified_track::ReduceFileName(file), "track_trace") << file;
    }
}

TEST(Log, CaptureAndLogStreamSeeTheRecordAndLevelFiltersDropLines) {
    LogCapture cap;
    unified_track::Probe::Run("one");
    auto lines = cap.Find("native_sdk", LOG_WARN, "probe one 7");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].function, "unified_track::Probe::Run");
    EXPECT_EQ(lines[0].file, "log_test");
    // A stream writes its one line when it is destroyed, unless its level is below the stream's.
    LogStream::GetLogStream("native_sdk", LOG_INFO, LOG_DEBUG, "void ns::F()", "/x/y.cpp", 5) << "a=" << 1 << ", b";
    lines = cap.Find("native_sdk", LOG_INFO, "a=1, b");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].function, "ns::F");
    EXPECT_EQ(lines[0].file, "y");
    LogStream::GetLogStream("native_sdk", LOG_DEBUG, LOG_INFO, "f", "g", 1) << "too detailed";
    EXPECT_FALSE(cap.Contains("too detailed"));

    unified_track::SetLogLevel(LOG_ERROR);
    unified_track::Probe::Run("two");
    UT_LOGE("kept %s", "error");
    unified_track::SetLogLevel(LOG_DEBUG);
    EXPECT_FALSE(cap.Contains("probe two"));
    EXPECT_TRUE(cap.Contains("kept error"));

    std::string longText(20000, 'q');
    UT_LOGD("%s", longText.c_str());
    EXPECT_EQ(cap.Find("", LOG_DEBUG, longText).size(), 1u);
    DoLog(nullptr, 9, 0, nullptr, nullptr, 0, nullptr);  // never crashes
}

TEST(Log, NestedCapturesPutTheOuterHookBackWhenTheInnerEnds) {
    LogCapture outer;
    {
        LogCapture inner;
        UT_LOGI("seen by the inner");
        EXPECT_TRUE(inner.Contains("seen by the inner"));
    }
    UT_LOGI("seen by the outer");
    EXPECT_FALSE(outer.Contains("seen by the inner"));
    EXPECT_TRUE(outer.Contains("seen by the outer"));
}

TEST(Log, AModuleWritesItsOwnFileWithItsLevelOthersTheTraceFileOnceItsFolderIsKnown) {
    TempDir dir;
    std::string path = dir.file("sdk_api_info.txt");
    ASSERT_EQ(InitLog("sdk_api_info", path.c_str(), 512, 5, LOG_INFO), 0);
    DoLog("sdk_api_info", LOG_INFO, 0, "track", "api", 1, "log started, builded in: %s", "today");
    DoLog("sdk_api_info", LOG_DEBUG, 0, "track", "api", 2, "debug line");
    UT_LOGI("ordinary line");
    unified_track::FlushLogs();
    std::string text = ReadFile(path);
    EXPECT_NE(text.find("][INFO][sdk_api_info][track][api:1] log started, builded in: today\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.rfind('[', 0), 0u);
    EXPECT_EQ(text[24], ']');  // "[yyyy-mm-dd hh:mm:ss.mmm]"
    EXPECT_EQ(text.find("debug line"), std::string::npos);
    EXPECT_EQ(text.find("ordinary line"), std::string::npos);

    EXPECT_EQ(UnInitLog("sdk_api_info"), 0);
    DoLog("sdk_api_info", LOG_INFO, 0, "track", "api", 3, "after uninit");
    EXPECT_EQ(ReadFile(path).find("after uninit"), std::string::npos);
    EXPECT_NE(InitLog(nullptr, path.c_str(), 1, 1, 0), 0);
    ASSERT_GE(PAL_AppendFile(dir.file("plain").c_str(), "x", 1), 0);
    EXPECT_NE(InitLog("m", dir.file("plain/a.txt").c_str(), 1, 1, 0), 0);  // a file where the folder should be
    EXPECT_NE(UpdateLogConfig("never_opened", path.c_str(), 1, 0), 0);

    // Other modules reach the trace file only once its folder is known.
    std::string trace = dir.file("unified_track.log");
    UT_LOGI("before folder");
    EXPECT_FALSE(PAL_IsFileExist(trace.c_str()));
    unified_track::SetTraceFolder(dir.path());
    UT_LOGI("after folder");
    DoLog("native_sdk_frequency", LOG_INFO, 0, "f", "g", 1, "frequency line");
    unified_track::FlushLogs();
    text = ReadFile(trace);
    EXPECT_EQ(text.find("before folder"), std::string::npos);
    EXPECT_NE(text.find("[INFO][native_sdk]"), std::string::npos);
    EXPECT_NE(text.find("after folder"), std::string::npos);
    EXPECT_NE(text.find("[native_sdk_frequency][f][g:1] frequency line"), std::string::npos);
    unified_track::SetTraceFolder("");
    UT_LOGI("stopped");
    EXPECT_EQ(ReadFile(trace).find("stopped"), std::string::npos);
}

// A value with line breaks or other control bytes (an event name, a server's answer) cannot
// forge a line: each call writes exactly one line, and it is in the file when the call returns.
TEST(Log, EachCallWritesOneLineOnDiskAtOnceWithControlBytesEscaped) {
    TempDir dir;
    unified_track::SetTraceFolder(dir.path());
    const std::string trace = dir.file("unified_track.log");
    const std::pair<const char *, const char *> values[] = {
        {"evt\n[2026-01-01 00:00:00.000][ERROR][native_sdk] forged",
         "evt\\n[2026-01-01 00:00:00.000][ERROR][native_sdk] forged"},
        {"a\r\nb", "a\\r\\nb"},
        {"bell\a nul-free\x01\x1f tab\tkept", "bell\\x07 nul-free\\x01\\x1f tab\tkept"},
        {"plain", "plain"},
    };
    size_t lines = 0;
    for (const auto &v : values) {
        UT_LOGI("event name: %s", v.first);
        const std::string text = ReadFile(trace);  // no flush: written through
        EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), ++lines) << text;
        EXPECT_NE(text.find(std::string("event name: ") + v.second + "\n"), std::string::npos) << text;
    }
    // Info lines of a module file are on disk at once too, not only errors.
    const std::string api = dir.file("api.txt");
    ASSERT_EQ(InitLog("oneline", api.c_str(), 64, 1, LOG_DEBUG), 0);
    DoLog("oneline", LOG_INFO, 0, "track", "api", 1, "%s", "x\ny");
    EXPECT_NE(ReadFile(api).find("] x\\ny\n"), std::string::npos);
    UnInitLog("oneline");
    unified_track::SetTraceFolder("");
}

TEST(Log, RotationCompressesKeepsTheFileCountAndReportsCompressFailures) {
    TempDir dir;
    LogStream::SetZipDataFuncCallback(OnZipFailure);
    std::string path = dir.file("api.txt");
    ASSERT_EQ(InitLog("rot", path.c_str(), 1, 2, LOG_DEBUG), 0);
    std::string filler(100, 'f');
    for (int i = 0; i < 60; ++i) DoLog("rot", LOG_INFO, 0, "f", "g", i, "line %03d %s", i, filler.c_str());
    unified_track::FlushLogs();

    uint64_t size = 0;
    ASSERT_EQ(PAL_GetFileSize(path.c_str(), &size), 0);
    EXPECT_LE(size, 1024u);
    EXPECT_NE(ReadFile(path).find("line 059"), std::string::npos);
    std::vector<std::string> archives = GzFiles(dir.path());
    ASSERT_EQ(archives.size(), 2u);
    EXPECT_EQ(archives[0].rfind("api.", 0), 0u);
    // Oldest first; the newest archive holds the lines just before the current file.
    std::string newest = Gunzip(dir.file(archives[1]));
    std::string older = Gunzip(dir.file(archives[0]));
    EXPECT_NE(newest.find("line 05"), std::string::npos);
    EXPECT_LT(older.substr(older.find("line ")), newest.substr(newest.find("line ")));
    EXPECT_EQ(g_zipCalls, 0);

    // A new size and folder; the file count of the first set-up stays.
    TempDir dir2;
    std::string path2 = dir2.file("api.txt");
    ASSERT_EQ(UpdateLogConfig("rot", path2.c_str(), 1, LOG_WARN), 0);
    for (int i = 0; i < 60; ++i) DoLog("rot", LOG_WARN, 0, "f", "g", i, "moved %03d %s", i, filler.c_str());
    DoLog("rot", LOG_INFO, 0, "f", "g", 0, "info dropped");
    unified_track::FlushLogs();
    EXPECT_EQ(GzFiles(dir2.path()).size(), 2u);
    EXPECT_EQ(ReadFile(path2).find("info dropped"), std::string::npos);
    EXPECT_EQ(ReadFile(path).find("moved"), std::string::npos);
    UnInitLog("rot");

    // A failure reports the file's name only, never its folder.
    std::string missing = dir.file("gone.txt");
    EXPECT_NE(LogStream::CompressLogFile(missing), 0);
    EXPECT_EQ(g_zipCalls, 1);
    EXPECT_NE(g_zipError, 0);
    EXPECT_EQ(g_zipName, "gone.txt");
    EXPECT_FALSE(PAL_IsFileExist((missing + ".gz").c_str()));
    LogStream::SetZipDataFuncCallback(nullptr);
    EXPECT_NE(LogStream::CompressLogFile(missing), 0);
    EXPECT_EQ(g_zipCalls, 1);
}

TEST(Log, ArchiveNamesKeepAgeOrderWithinOneMillisecondAndAfterTheClockWentBack) {
    using unified_track::RotatingLogSink;
    const std::string s = "20261206101010123";
    const std::pair<std::pair<std::string, std::string>, std::string> cases[] = {
        {{s, ""}, s},
        {{"20261206101010124", s}, "20261206101010124"},
        {{s, s}, s + "_000001"},
        {{s, s + "_000001"}, s + "_000002"},
        {{s, s + "_000009"}, s + "_000010"},
        {{"20261206101010122", s + "_000002"}, s + "_000003"},  // clock went back
        {{s, s + "_999999"}, s + "_999999_000001"},
    };
    for (const auto &c : cases) {
        const std::string next = RotatingLogSink::NextArchiveKey(c.first.first, c.first.second);
        EXPECT_EQ(next, c.second) << c.first.first << " after " << c.first.second;
        EXPECT_GT(next + ".txt", c.first.second + ".txt");
        EXPECT_GT(next + ".txt", c.first.second + ".txt.gz");
    }

    // An archive from the future (a clock set back since) forces every rotation onto the counter:
    // the kept archives are still the newest ones, and the future one is pruned first.
    TempDir dir;
    const std::string path = dir.file("order.txt");
    const std::string future = dir.file("order.29991231235959999.txt.gz");
    ASSERT_GE(PAL_AppendFile(future.c_str(), "x", 1), 0);
    ASSERT_EQ(InitLog("order", path.c_str(), 1, 3, LOG_DEBUG), 0);
    const std::string filler(200, 'f');
    for (int i = 0; i < 40; ++i) DoLog("order", LOG_INFO, 0, "f", "g", i, "line %03d %s", i, filler.c_str());
    UnInitLog("order");
    EXPECT_FALSE(PAL_IsFileExist(future.c_str()));
    std::vector<std::string> archives = GzFiles(dir.path());
    ASSERT_EQ(archives.size(), 3u);
    std::string previous;
    for (const auto &name : archives) {
        EXPECT_EQ(name.rfind("order.29991231235959999_", 0), 0u) << name;
        std::string text = Gunzip(dir.file(name));
        ASSERT_NE(text.find("line "), std::string::npos) << name;
        const std::string first = text.substr(text.find("line "), 8);
        EXPECT_GT(first, previous) << name;
        previous = first;
    }
    EXPECT_NE(Gunzip(dir.file(archives.back())).find("line 03"), std::string::npos);
}

// Writers, a re-configuration and hook changes at once: every line lands somewhere whole,
// and the sanitizer builds see no race.
TEST(Log, ConcurrentWritersRotationAndReconfiguration) {
    TempDir dir;
    std::string path = dir.file("conc.txt");
    ASSERT_EQ(InitLog("conc", path.c_str(), 2, 3, LOG_DEBUG), 0);
    unified_track::SetTraceFolder(dir.path());
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 300; ++i) {
                DoLog("conc", LOG_INFO, 0, "w", "w", t, "writer %d line %d %s", t, i,
                      "................................");
                UT_LOGD("trace %d %d", t, i);
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        LogCapture cap;
        if (i == 10) UpdateLogConfig("conc", dir.file("conc2.txt").c_str(), 2, LOG_DEBUG);
    }
    for (auto &w : writers) w.join();
    unified_track::FlushLogs();
    EXPECT_NE(ReadFile(dir.file("conc2.txt")).find("writer "), std::string::npos);
    EXPECT_LE(unified_track::RotatingLogSink::ListRotated(dir.file("conc2.txt")).size(), 3u);
    for (const auto &name : GzFiles(dir.path())) {
        std::string text = Gunzip(dir.file(name));
        EXPECT_FALSE(text.empty()) << name;
        EXPECT_EQ(text.back(), '\n') << name;
    }
    UnInitLog("conc");
    unified_track::SetTraceFolder("");
}

}  // namespace
