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

namespace {
const char *const kCounterKey = "ErrorDotDataFileToLogsCount";

std::string CopyFolder() { return LogFolder() + "error_dotdata"; }

std::string MakeFailedFile(const ut_test::TempDir &dir, const std::string &name)
{
    std::string path = dir.file(name);
    PAL_AppendFile(path.c_str(), "dot data", 8);
    return path;
}
}  // namespace

class ConfigCache : public RecordsTest {
protected:
    void SetUp() override
    {
        RecordsTest::SetUp();
        std::error_code ec;
        fs::remove_all(CopyFolder(), ec);
    }
};

TEST_F(ConfigCache, WithoutHooksFieldsStayAndReservesIsRebuilt)
{
    {
        std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
        M().account = "keep";
        M().m_pid = "p7";
    }
    M().GetCacheConfigSDKParamsFromDb();
    std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
    EXPECT_EQ(M().account, "keep");
    EXPECT_EQ(M().reserves, "{\"terminalType\":\"\",\"confuuid\":\"\",\"pid\":\"p7\",\"thirdAppVersion\":\"\"}");
}

TEST_F(ConfigCache, ReloadStripsNewlinesAndStopsWhenUuidIsMissing)
{
    FakeCache::Install();
    FakeCache::Set("PublicSdkParamAccount", "acc");
    ut_test::LogCapture cap;
    M().GetCacheConfigSDKParamsFromDb();
    EXPECT_TRUE(cap.Contains("QueryConfigCacheByKey failed. key:PublicSdkParamUuid errorCode:415000002"));
    EXPECT_EQ(M().account, "");

    FakeCache::Set("PublicSdkParamUuid", "u-1\n");
    FakeCache::Set("PublicSdkParamReserve1", "corp\n");
    FakeCache::Set("PublicSdkParamReserves", "never read back");
    M().GetCacheConfigSDKParamsFromDb();
    std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
    EXPECT_EQ(M().uuid, "u-1");
    EXPECT_EQ(M().account, "acc");
    EXPECT_EQ(M().reserve1, "corp");
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

TEST_F(ConfigCache, ClearWritesTenEmptyEntriesAndLogsAFailure)
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
    std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
    EXPECT_EQ(M().uuid, "");
    EXPECT_EQ(M().reserves, "");
}

TEST_F(ConfigCache, DelUserInfoDeletesUuidAndAccountOnly)
{
    ut_test::LogCapture cap;
    EXPECT_EQ(Track_DelUserInfo(), 0u);
    EXPECT_TRUE(cap.Contains("DelConfigFunc is null."));

    FakeCache::Install();
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
}

TEST_F(ConfigCache, ErrorFileCopiesStopAfterEleven)
{
    ut_test::TempDir dir;
    std::string failed = MakeFailedFile(dir, "1714979289010.gz");
    FakeCache::Install();

    FakeCache::Set(kCounterKey, "10");
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_EQ(FakeCache::Get(kCounterKey), "11");
    std::string copy = CopyFolder() + kPathSep + "1714979289010.gz";
    EXPECT_EQ(ut_test::ReadFile(copy), "dot data");
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    ut_test::LogCapture cap;
    fs::remove(copy);
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_EQ(FakeCache::Get(kCounterKey), "11");
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(cap.Contains("count > ERROR_DOTDATA_FILE_TO_LOG_MAX_COUNT. count:11"));
}

TEST_F(ConfigCache, MissingOrGarbledCounterStartsFromZero)
{
    ut_test::TempDir dir;
    std::string failed = MakeFailedFile(dir, "a.gz");
    FakeCache::Install();
    ut_test::LogCapture cap;

    M().TryCopyErrorDotFileToLog(failed);  // not stored yet: the cache says 415000002
    EXPECT_EQ(FakeCache::Get(kCounterKey), "1");
    EXPECT_TRUE(cap.Contains("key:ErrorDotDataFileToLogsCount, count:0, lastError:"));

    FakeCache::Set(kCounterKey, "abc");
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("strtol error:abc"));
    EXPECT_EQ(FakeCache::Get(kCounterKey), "1");

    FakeCache::Set(kCounterKey, "3x");
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("strtol error:3x"));
    EXPECT_EQ(FakeCache::Get(kCounterKey), "4");

    // Out of range or negative must not lift the limit.
    FakeCache::Set(kCounterKey, "99999999999");
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("strtol error:99999999999"));
    EXPECT_EQ(FakeCache::Get(kCounterKey), "99999999999");
    FakeCache::Set(kCounterKey, "-2147483647");
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_EQ(FakeCache::Get(kCounterKey), "1");
    EXPECT_TRUE(fs::exists(CopyFolder() + kPathSep + "a.gz"));
}

TEST_F(ConfigCache, FailingOrMissingHooksStopTheCopy)
{
    ut_test::TempDir dir;
    std::string failed = MakeFailedFile(dir, "b.gz");
    ut_test::LogCapture cap;
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("QueryConfigCache or AddConfigCache is null"));
    setAddCacheFun(nullptr, &FakeCache::Query, nullptr);
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_EQ(cap.Count("QueryConfigCache or AddConfigCache is null"), 2u);

    FakeCache::Install();
    FakeCache::queryResult = 5;
    M().TryCopyErrorDotFileToLog(failed);
    EXPECT_TRUE(cap.Contains("QueryConfigCache failed. key:ErrorDotDataFileToLogsCount errorCode:5"));
    EXPECT_FALSE(fs::exists(CopyFolder() + kPathSep + "b.gz"));
    EXPECT_TRUE(FakeCache::AddCalls().empty());
}
