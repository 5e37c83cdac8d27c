// The host configuration cache: reload of the public SDK parameters, clearing, deleting the
// user entries and the counter of dot files copied next to the trace log.
#include <filesystem>

#include "host/pal.h"
#include "records_fixture.h"
#include "support/temp_dir.h"

using namespace records_test;
namespace fs = std::filesystem;

class ConfigCache : public RecordsTest {};

TEST_F(ConfigCache, ReloadStopsWhenTheUuidQueryFailsElseStripsNewlinesAndRebuildsReserves) {
    WithParams([](auto &m) {
        m.account = "keep";
        m.m_pid = "p7";
        m.reserves = "as before";
    });
    InstallFakeCache();
    WithCache([](FakeCache &c) { c.values["PublicSdkParamAccount"] = "acc"; });
    ut_test::LogCapture cap;
    M().GetCacheConfigSDKParamsFromDb();
    EXPECT_TRUE(cap.Contains("QueryConfigCacheByKey failed. key:PublicSdkParamUuid errorCode:415000002"));
    EXPECT_EQ(WithParams([](auto &m) { return m.account; }), "keep");
    EXPECT_EQ(Reserves(), "as before") << "a failed uuid query stops the reload";
    WithCache([](FakeCache &c) {
        c.values["PublicSdkParamUuid"] = "u-1\n";
        c.values["PublicSdkParamReserve1"] = "corp\n";
        c.values["PublicSdkParamReserves"] = "never read back";
    });
    M().GetCacheConfigSDKParamsFromDb();
    EXPECT_EQ(WithParams([](auto &m) { return m.uuid + " " + m.account + " " + m.reserve1; }), "u-1 acc corp");
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"\",\"confuuid\":\"\",\"pid\":\"p7\",\"thirdAppVersion\":\"\"}");
}

TEST_F(ConfigCache, ClearWritesTenEmptyEntriesAndDelUserInfoDeletesUuidAndAccount) {
    ut_test::LogCapture cap;
    EXPECT_EQ(Track_DelUserInfo(), 0u);
    EXPECT_TRUE(cap.Contains("DelConfigFunc is null."));
    InstallFakeCache();
    ASSERT_EQ(Track_ConfigPublicSdkParam(Tmp(tagUTPublicSdkParam{"u", "a", "c", "s", "r1", "r2", "r3", "r4", "r5"})),
              0u);
    ASSERT_TRUE(WaitForAddCalls(1));
    WithCache([](FakeCache &c) {
        c.addResult = 12;
        c.delResult = 3;
    });
    ASSERT_EQ(Track_ClearConfigPublicSdkParam(), 0u);
    auto calls = WithCache([](FakeCache &c) { return c.addCalls; });
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_EQ(calls[1].size(), 10u);
    for (const auto &entry : calls[1]) EXPECT_EQ(entry.second, "") << entry.first;
    EXPECT_TRUE(cap.Contains("BatchAddConfigCache failed. errorCode:12"));
    EXPECT_EQ(WithParams([](auto &m) { return m.uuid; }) + Reserves(), "");

    WithParams([](auto &m) { m.uuid = "still"; });
    EXPECT_EQ(Track_DelUserInfo(), 0u);
    EXPECT_EQ(WithCache([](FakeCache &c) { return c.deleted; }),
              (std::vector<std::string>{"PublicSdkParamUuid", "PublicSdkParamAccount"}));
    EXPECT_TRUE(cap.Contains("delete uuid. ret:3"));
    EXPECT_TRUE(cap.Contains("delete account. ret:3"));
    EXPECT_EQ(WithParams([](auto &m) { return m.uuid; }), "still");
}

TEST_F(ConfigCache, ErrorFileCopiesCountUpToElevenWhateverTheStoredCounter) {
    ut_test::TempDir dir;
    const std::string failed = dir.file("1714979289010.gz");
    PAL_AppendFile(failed.c_str(), "dot data", 8);
    const std::string copy = LogFolder() + "error_dotdata" + kPathSep + "1714979289010.gz";
    ut_test::LogCapture cap;
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("QueryConfigCache or AddConfigCache is null"));
    InstallFakeCache();
    WithCache([](FakeCache &c) { c.queryResult = 5; });
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("QueryConfigCache failed. key:ErrorDotDataFileToLogsCount errorCode:5"));
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(WithCache([](FakeCache &c) { return c.addCalls.empty(); }));
    WithCache([](FakeCache &c) { c.queryResult = 0; });

    // The counter stored before (null: none), after, whether the file was copied, a log line.
    const struct {
        const char *stored, *after;
        bool copied;
        const char *log;
    } rows[] = {
        {nullptr, "1", true, "key:ErrorDotDataFileToLogsCount, count:0, lastError:"},
        {"abc", "1", true, "strtol error:abc"},
        {"3x", "4", true, "strtol error:3x"},
        {"10", "11", true, ""},
        {"11", "11", false, "count > ERROR_DOTDATA_FILE_TO_LOG_MAX_COUNT. count:11"},
        {"99999999999", "99999999999", false, "strtol error:99999999999"},  // must not lift the limit
        {"-2147483647", "1", true, ""},
    };
    for (const auto &r : rows) {
        WithCache([&](FakeCache &c) {
            if (r.stored != nullptr) c.values["ErrorDotDataFileToLogsCount"] = r.stored;
        });
        fs::remove(copy);
        cap.Clear();
        M().TryCopyErrorDotFileToLog(failed);
        EXPECT_EQ(WithCache([](FakeCache &c) { return c.values["ErrorDotDataFileToLogsCount"]; }), r.after);
        EXPECT_EQ(fs::exists(copy), r.copied) << r.after;
        EXPECT_TRUE(cap.Contains(r.log)) << r.log;
    }
    EXPECT_EQ(ut_test::ReadFile(copy), "dot data");
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}
