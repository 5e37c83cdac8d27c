// The host configuration cache: reload of the public SDK parameters, clearing, deleting the
// user entries and the counter of dot files copied next to the trace log.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/pal.h"
#include "records_fixture.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace records_test;
using unified_track::RecursiveLock;
using unified_track::UTManager;
namespace fs = std::filesystem;

class ConfigCache : public RecordsTest {};

TEST_F(ConfigCache, ReloadStripsNewlinesStopsWithoutUuidAndRebuildsReserves)
{
    {
        std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
        M().account = "keep";
        M().m_pid = "p7";
    }
    M().GetCacheConfigSDKParamsFromDb();  // no hooks: fields stay
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"\",\"confuuid\":\"\",\"pid\":\"p7\",\"thirdAppVersion\":\"\"}");

    FakeCache::Install();
    FakeCache::Set("PublicSdkParamAccount", "acc");
    ut_test::LogCapture cap;
    M().GetCacheConfigSDKParamsFromDb();
    EXPECT_TRUE(cap.Contains("QueryConfigCacheByKey failed. key:PublicSdkParamUuid errorCode:415000002"));
    EXPECT_EQ(M().account, "keep");

    FakeCache::Set("PublicSdkParamUuid", "u-1\n");
    FakeCache::Set("PublicSdkParamReserve1", "corp\n");
    FakeCache::Set("PublicSdkParamReserves", "never read back");
    M().GetCacheConfigSDKParamsFromDb();
    std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
    EXPECT_EQ(M().uuid + " " + M().account + " " + M().reserve1, "u-1 acc corp");
    EXPECT_NE(M().reserves, "never read back");
    EXPECT_TRUE(cap.Contains("QueryDB reserve1: corp"));
}

TEST_F(ConfigCache, AddAndQueryReportFailures)
{
    ut_test::LogCapture cap;
    EXPECT_FALSE(M().AddCacheData("k", "v"));
    EXPECT_TRUE(cap.Contains("AddConfigCache is null"));
    std::string value = "unchanged";
    EXPECT_TRUE(M().QueryCacheData("k", value));  // no query hook: success, nothing read
    EXPECT_EQ(value, "unchanged");

    FakeCache::Install();
    EXPECT_TRUE(M().AddCacheData("k", "v\n"));
    EXPECT_TRUE(M().QueryCacheData("k", value));
    EXPECT_EQ(value, "v");
    FakeCache::addResult = 77;
    EXPECT_FALSE(M().AddCacheData("k2", "v"));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "k2").size(), 1u);
    FakeCache::queryResult = 9;
    EXPECT_FALSE(M().QueryCacheData("k", value));
    EXPECT_TRUE(cap.Contains("QueryConfigCacheByKey failed. key:k errorCode:9"));
}

TEST_F(ConfigCache, ClearWritesTenEmptyEntriesAndDelUserInfoDeletesUuidAndAccount)
{
    FakeCache::Install();
    tagUTPublicSdkParam sdk = {"u", "a", "c", "s", "r1", "r2", "r3", "r4", "r5"};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), 0u);
    ASSERT_TRUE(FakeCache::WaitForAddCalls(1));
    ut_test::LogCapture cap;
    FakeCache::addResult = 12;
    ASSERT_EQ(Track_ClearConfigPublicSdkParam(), 0u);
    auto calls = FakeCache::AddCalls();
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_EQ(calls[1].size(), 10u);
    for (const auto &entry : calls[1]) EXPECT_EQ(entry.second, "") << entry.first;
    EXPECT_TRUE(cap.Contains("BatchAddConfigCache failed. errorCode:12"));
    EXPECT_EQ(M().uuid + Reserves(), "");

    {
        std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
        M().uuid = "still";
    }
    FakeCache::delResult = 3;
    EXPECT_EQ(Track_DelUserInfo(), 0u);
    EXPECT_EQ(FakeCache::Deleted(), (std::vector<std::string>{"PublicSdkParamUuid", "PublicSdkParamAccount"}));
    EXPECT_TRUE(cap.Contains("delete uuid. ret:3"));
    EXPECT_TRUE(cap.Contains("delete account. ret:3"));
    EXPECT_EQ(M().uuid, "still");
    setAddCacheFun(nullptr, nullptr, nullptr);
    EXPECT_EQ(Track_DelUserInfo(), 0u);
    EXPECT_TRUE(cap.Contains("DelConfigFunc is null."));
}

TEST_F(ConfigCache, ErrorFileCopiesCountUpToElevenWhateverTheStoredCounter)
{
    ut_test::TempDir dir;
    std::string failed = dir.file("1714979289010.gz");
    PAL_AppendFile(failed.c_str(), "dot data", 8);
    const std::string copy = LogFolder() + "error_dotdata" + kPathSep + "1714979289010.gz";
    const char *const key = "ErrorDotDataFileToLogsCount";
    struct Row {
        const char *stored;  // null: not in the cache
        const char *after;
        bool copied;
        const char *log;
    };
    const Row rows[] = {
        {nullptr, "1", true, "key:ErrorDotDataFileToLogsCount, count:0, lastError:"},
        {"abc", "1", true, "strtol error:abc"},
        {"3x", "4", true, "strtol error:3x"},
        {"10", "11", true, ""},
        {"11", "11", false, "count > ERROR_DOTDATA_FILE_TO_LOG_MAX_COUNT. count:11"},
        {"99999999999", "99999999999", false, "strtol error:99999999999"},  // must not lift the limit
        {"-2147483647", "1", true, ""},
    };
    FakeCache::Install();
    for (const Row &r : rows) {
        if (r.stored != nullptr) FakeCache::Set(key, r.stored);
        fs::remove(copy);
        ut_test::LogCapture cap;
        M().TryCopyErrorDotFileToLog(failed);
        EXPECT_EQ(FakeCache::Get(key), r.after) << r.after;
        EXPECT_EQ(fs::exists(copy), r.copied) << r.after;
        EXPECT_TRUE(cap.Contains(r.log)) << r.log;
    }
    EXPECT_EQ(ut_test::ReadFile(copy), "dot data");
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ConfigCache, FailingOrMissingHooksStopTheCopy)
{
    ut_test::TempDir dir;
    std::string failed = dir.file("b.gz");
    PAL_AppendFile(failed.c_str(), "x", 1);
    ut_test::LogCapture cap;
    M().TryCopyErrorDotFileToLog(failed);
    setAddCacheFun(nullptr, [](const char *, LumConfigCache *, int32_t *) { return 0; }, nullptr);
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_EQ(cap.Count("QueryConfigCache or AddConfigCache is null"), 2u);

    FakeCache::Install();
    FakeCache::queryResult = 5;
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("QueryConfigCache failed. key:ErrorDotDataFileToLogsCount errorCode:5"));
    EXPECT_FALSE(fs::exists(LogFolder() + "error_dotdata" + kPathSep + "b.gz"));
    EXPECT_TRUE(FakeCache::AddCalls().empty());
}
