// ut-dump as a user runs it: dot files, zip files, whole data folders, damaged input, --follow.
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "support/https_collector.h"
#include "support/temp_dir.h"
#include "tool_process.h"
#include "tools_fixture.h"

using namespace ut_tools_test;

namespace {

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

class DumpTest : public ::testing::Test {
protected:
    // A data folder as the library leaves it: dot files beside zip folders, older records packed.
    std::string MakeDataFolder() {
        const std::string root = dir_.path() + "/data/dotdata";
        for (const char *f : {"user", "media", "mmr"}) std::filesystem::create_directories(root + "/" + f);
        WriteFile(root + "/user/1700000000000.gz",
                  ut_test::GzipBytes(Envelope(UserLine("1001", "ut_event_packed", "{}"))));
        WriteFile(root + "/user_dot_data.dat",
                  UserLine("1002", "ut_event_a", R"({"k":"x|y"})") + UserLine("1003", "ut_event_long_name_here", ""));
        WriteFile(root + "/media_dot_data.dat", MediaLine("30014", "conf-1|{\"loss\":0}"));
        WriteFile(root + "/mmr/1700000000001.gz", ut_test::GzipBytes(R"([{"m":1},{"m":2}])"));
        WriteFile(root + "/mmr_dot_data.dat", R"({"m":3},)");
        return dir_.path() + "/data";
    }
    ut_test::TempDir dir_;
};

TEST_F(DumpTest, DataFolderPrintsEveryRecordInAnAlignedTable) {
    const Result r = RunTool(UT_DUMP_PATH, {MakeDataFolder()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1u + 3 + 1 + 3) << r.out;
    // Packed records come before the dot file's; each column starts where its heading does.
    const size_t idColumn = lines[0].find("ID"), eventColumn = lines[0].find("EVENT");
    const char *const ids[] = {"1001", "1002", "1003", "30014"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i + 1].find(ids[i]), idColumn) << lines[i + 1];
        EXPECT_EQ(lines[i + 1].compare(0, 5, i < 3 ? "user " : "media"), 0) << lines[i + 1];
    }
    EXPECT_EQ(lines[2].find("ut_event_a"), eventColumn);
    EXPECT_NE(lines[2].find(R"(a2 | a3 | {"k":"x|y"})"), std::string::npos);
    EXPECT_NE(lines[4].find("conf-1|{\"loss\":0}"), std::string::npos);
    EXPECT_NE(lines[5].find(R"({"m":1})"), std::string::npos);
    EXPECT_NE(lines[7].find(R"({"m":3})"), std::string::npos);
}

TEST_F(DumpTest, JsonGivesUserLinesTheirThirtyNamedFieldsInLineOrder) {
    MakeDataFolder();
    const Result r = RunTool(UT_DUMP_PATH, {"--json", dir_.path() + "/data/dotdata/user_dot_data.dat",
                                            dir_.path() + "/data/dotdata/media_dot_data.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    Json::Value user;
    ASSERT_TRUE(Json::Reader().parse(lines[0], user)) << lines[0];
    EXPECT_EQ(user["kind"].asString(), "user");
    EXPECT_EQ(user.size(), ut_tools::kUserFieldCount + 1);
    for (const char *name : ut_tools::kUserFieldNames) EXPECT_TRUE(user.isMember(name)) << name;
    EXPECT_EQ(user["arg4"].asString(), R"({"k":"x|y"})");  // a "|" inside the last field stays
    EXPECT_EQ(user["time"].asString(), "2026-12-06 10:00:00.000 +0000");
    // Field order is the line's, not alphabetical.
    EXPECT_LT(lines[0].find("\"version\""), lines[0].find("\"context1\""));
    EXPECT_LT(lines[0].find("\"eventId\""), lines[0].find("\"arg2\""));

    Json::Value media;
    ASSERT_TRUE(Json::Reader().parse(lines[2], media)) << lines[2];
    EXPECT_EQ(media["eventId"].asString(), "30014");
    EXPECT_EQ(media["trackReserves"]["mNumber"].asInt(), 1);
    EXPECT_EQ(media["payload"].asString(), "conf-1|{\"loss\":0}");
}

struct Damage {
    const char *name;
    std::string bytes;
    const char *message;  // expected on stderr after "<path>: "
};

TEST_F(DumpTest, DamagedInputIsNamedWithFileAndLineAndExitsOne) {
    const std::string zip = ut_test::GzipBytes(Envelope(UserLine("1", "e", "{}")));
    const Damage cases[] = {
        {"1700.gz", zip.substr(0, zip.size() / 2), "truncated gzip stream"},
        {"1701.gz", "PK\x03\x04 not gzip", "not a gzip stream"},
        {"1702.gz", "", "empty file"},
        {"1703.gz", zip + "junk", "bytes after the end of the gzip stream"},
        {"1704.gz", ut_test::GzipBytes("{\"data\":\"x\""), "line 1: not valid JSON"},
        {"1705.gz", ut_test::GzipBytes(R"({"x":1})"), "not an upload envelope"},
        {"1706.gz", ut_test::GzipBytes(Envelope(UserLine("1", "e", "{}") + "6.0|short\n")),
         "record line 2 of \"data\": user record with 2 fields, 30 expected"},
        {"user_dot_data.dat", UserLine("1", "e", "") + UserLine("2", "e", "") + "6.0|a|b\n",
         "line 3: user record with 3 fields, 30 expected"},
        {"media_dot_data.dat", MediaLine("x1", "p"), "line 1: media record whose event id \"x1\" is not a number"},
        {"mmr_dot_data.dat", "{\"a\":1},\n{\"b\":", "line 2: not valid JSON"},
        {"notes.txt", "hello\n", "line 1: neither a user nor a media record"},
    };
    for (const Damage &c : cases) {
        const std::string path = dir_.file(c.name);
        WriteFile(path, c.bytes);
        const Result r = RunTool(UT_DUMP_PATH, {path});
        EXPECT_EQ(r.signal, 0) << c.name;
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_NE(r.err.find("ut-dump: " + path + ": " + c.message), std::string::npos) << c.name << ": " << r.err;
        std::filesystem::remove(path);
    }
    // What comes before the damage is still shown.
    WriteFile(dir_.file("user_dot_data.dat"), UserLine("1", "ut_event_ok", "") + "6.0|a\n");
    const Result r = RunTool(UT_DUMP_PATH, {"--json", dir_.file("user_dot_data.dat")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ut_event_ok"), std::string::npos);
}

TEST_F(DumpTest, ArgumentsAUserGetsWrong) {
    Result r = RunTool(UT_DUMP_PATH, {dir_.file("absent.dat")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("absent.dat: no such file or folder"), std::string::npos) << r.err;
    r = RunTool(UT_DUMP_PATH, {"--tabel", dir_.path()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
    r = RunTool(UT_DUMP_PATH, {});
    EXPECT_EQ(r.status, 2);
    r = RunTool(UT_DUMP_PATH, {dir_.path()});  // a folder with nothing of the library in it
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no dot files or zip files"), std::string::npos);
}

TEST_F(DumpTest, FollowPrintsAppendedLinesAndStartsOverWhenTheFileIsPacked) {
    const std::string dot = dir_.file("user_dot_data.dat");
    WriteFile(dot, UserLine("1001", "ut_event_first", ""));
    RunningTool tool(UT_DUMP_PATH, {"--follow", "--json", dot});
    EXPECT_NE(tool.WaitForLine("ut_event_first"), "");
    AppendFile(dot, UserLine("1002", "ut_event_second", ""));
    EXPECT_NE(tool.WaitForLine("ut_event_second"), "");
    // A half-written line waits for its end.
    const std::string third = UserLine("1003", "ut_event_third", "");
    AppendFile(dot, third.substr(0, 20));
    AppendFile(dot, third.substr(20));
    EXPECT_NE(tool.WaitForLine("ut_event_third"), "");
    // Packing removes the file; the next append makes a new one.
    std::filesystem::remove(dot);
    WriteFile(dot, UserLine("1004", "ut_event_after_pack", ""));
    EXPECT_NE(tool.WaitForLine("ut_event_after_pack"), "");
    AppendFile(dot, "6.0|broken\n" + UserLine("1005", "ut_event_last", ""));
    EXPECT_NE(tool.WaitForLine("ut_event_last"), "");
    const Result r = tool.Stop(SIGINT);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);  // the broken line is reported
    EXPECT_NE(r.err.find(dot + ": line 2: user record with 2 fields"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("ut_event_first", r.out.find("ut_event_first") + 1), std::string::npos);  // once only
}

}  // namespace
