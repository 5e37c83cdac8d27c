// The upload thread against the local HTTPS collector, driven by the manual clock: order, the
// per-folder cap, the retry policy with its back-off, bad files, stops and the pack timer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "delivery_fixture.h"
#include "host/log.h"
#include "host/pal.h"

namespace ut_delivery {
namespace {

class UploadThreadTest : public ManagerFixture {
protected:
    void SetUp() override {
        ManagerFixture::SetUp();
        PointAt(server_.Port(), server_.CaFile());
    }
    std::string User(const std::string &name) { return ZipFolderOf(DotKind::kUser) + "/" + name; }

    // The deletion reports, as they reached the record path (held in the user cache).
    std::vector<Json::Value> DeleteReports() {
        DrainCommands();
        std::vector<Json::Value> out;
        std::lock_guard<RecursiveLock> lock(UTManager::ParamLock());
        for (const auto &e : mgr().Caches().UserRecords()) {
            Json::Value v;
            if (e.event == "ut_event_dotdata_delete_zip" && (std::istringstream(e.arg4) >> v) &&
                v.isMember("deleteFileName"))
                out.push_back(v);
        }
        return out;
    }

    ut_test::HttpsCollector server_;
};

TEST_F(UploadThreadTest, AFolderOf1005KeepsTheNewest1000AndUploadsThemOldestFirst) {
    ut_test::LogCapture log;
    std::vector<std::string> names;
    for (int i = 0; i < 1005; ++i) {
        names.push_back(std::to_string(1700000000000ull + static_cast<uint64_t>(i) * 7) + ".gz");
        PutZip(ZipFolderOf(DotKind::kUser), names.back(), names.back());
    }
    StartThread();
    ASSERT_EQ(200u, clock_.NextSleep());
    ASSERT_TRUE(server_.WaitForCompleted(1000));
    auto reqs = server_.Requests();
    ASSERT_EQ(1000u, reqs.size());
    for (size_t i = 0; i < reqs.size(); ++i) {
        ASSERT_TRUE(reqs[i].envelopeOk);
        ASSERT_EQ(names[i + 5], reqs[i].envelope["data"].asString()) << i;
        ASSERT_EQ("/v1/ops/client/report/product", reqs[i].path);
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(1u, log.Count("delete zip file: " + names[i]));
    EXPECT_TRUE(ListDir(ZipFolderOf(DotKind::kUser)).empty());
    auto reports = DeleteReports();
    ASSERT_EQ(1u, reports.size());  // the first deletion of the process, then every 512th
    EXPECT_EQ(names[0], reports[0]["deleteFileName"].asString());
    EXPECT_EQ(4, reports[0]["fileType"].asInt());
    EXPECT_EQ("127.0.0.1", reports[0]["uploadUrl"].asString());
    EXPECT_EQ(-1, reports[0]["fileLength"].asInt());
}

TEST_F(UploadThreadTest, RejectionsDeleteOnTheThirdNetworkErrorsBackOffUntilAGoodPass) {
    ut_test::LogCapture log;
    // Each pass sends all three, user files oldest first: a is rejected three times, b twice and
    // then taken; the MMR file meets a 503 once.
    const std::string a = PutZip(ZipFolderOf(DotKind::kUser), "1700000000000.gz", "a");
    const std::string b = PutZip(ZipFolderOf(DotKind::kUser), "1700000000001.gz", "b");
    const std::string mmr = ZipFolderOf(DotKind::kMmr) + "/1700000000002.gz";
    WriteFile(mmr, ut_test::GzipBytes("[{\"m\":1}]"));
    server_.Script({{400}, {400}, {503}, {400}, {400}, {200}, {400}, {200}});
    StartThread();
    ASSERT_EQ(1200u, clock_.NextSleep());
    EXPECT_TRUE(log.Contains("upload failed cause network error, sleep time ms: 1200"));
    EXPECT_TRUE(Exists(a) && Exists(b) && Exists(mmr));
    clock_.Advance(1200);
    ASSERT_EQ(200u, clock_.NextSleep());  // a rejection is no network trouble: no back-off
    EXPECT_TRUE(Exists(a) && Exists(b) && !Exists(mmr));
    clock_.Advance(200);
    ASSERT_EQ(200u, clock_.NextSleep());
    EXPECT_TRUE(ListDir(ZipFolderOf(DotKind::kUser)).empty());
    ASSERT_TRUE(server_.WaitForCompleted(8));
    const auto reqs = server_.Requests();
    ASSERT_EQ(8u, reqs.size());
    EXPECT_EQ("/v1/ops/das/mmr/report", reqs[5].path);
    EXPECT_TRUE(reqs[5].envelope.isArray());
    EXPECT_EQ("b", reqs[7].envelope["data"].asString());
    EXPECT_TRUE(log.Contains("upload failed cause file error, delete file: 1700000000000.gz"));
    auto reports = DeleteReports();
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ("1700000000000.gz", reports[0]["deleteFileName"].asString());
    EXPECT_EQ(6, reports[0]["fileType"].asInt());
    EXPECT_EQ(400, reports[0]["errorCode"].asInt());
}

TEST_F(UploadThreadTest, FailuresBackOffUpToTheLimitAndTheHundredthDeletes) {
    ut_test::LogCapture log;
    const std::string zip = PutZip(ZipFolderOf(DotKind::kMedia), "1700000000000.gz", "m");
    server_.Script(std::vector<ut_test::Answer>(100, ut_test::Answer{500, false}));
    StartThread();
    uint32_t expected = 200;
    for (int pass = 1; pass <= 100; ++pass) {
        if (expected < 60000) expected += 1000;
        ASSERT_EQ(expected, clock_.NextSleep()) << pass;
        EXPECT_EQ(pass < 100, Exists(zip)) << pass;
        clock_.Advance(expected);
    }
    EXPECT_TRUE(log.Contains("upload failed more than 100 ,  delete file: 1700000000000.gz"));
    auto reports = DeleteReports();
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ(5, reports[0]["fileType"].asInt());
    EXPECT_EQ(500, reports[0]["errorCode"].asInt());
}

TEST_F(UploadThreadTest, BadFilesAreRetriedThreeTimesWithoutHoldingUpGoodOnes) {
    ut_test::LogCapture log;
    WriteFile(User("1700000000001.gz"), "");                 // empty
    WriteFile(User("1700000000002.gz"), "not gzip at all");  // not gzip
    const std::string full = ut_test::GzipBytes(Envelope("cut"));
    WriteFile(User("1700000000003.gz"), full.substr(0, full.size() / 2));              // truncated
    ASSERT_EQ(0, ::symlink("/nonexistent/target", User("1700000000004.gz").c_str()));  // unreadable
    PutZip(ZipFolderOf(DotKind::kUser), "1700000000005.gz", "good");
    StartThread();
    for (int pass = 1; pass <= 3; ++pass) {
        ASSERT_EQ(200u, clock_.NextSleep()) << pass;
        clock_.Advance(200);
    }
    EXPECT_TRUE(ListDir(ZipFolderOf(DotKind::kUser)).empty());
    // Only the two that reached the server were sent, three times each; the good one once.
    ASSERT_TRUE(server_.WaitForCompleted(7));
    auto reqs = server_.Requests();
    EXPECT_EQ(7u, reqs.size());
    for (const auto &r : reqs) EXPECT_EQ(r.envelopeOk ? 200 : 400, r.status);
    EXPECT_EQ(1, std::count_if(reqs.begin(), reqs.end(), [](const auto &r) { return r.envelopeOk; }));
    EXPECT_EQ(3u, log.Count("zip file is empty, len: [0]"));
    // Folders masked, the file name kept.
    const std::string unreadable = LogStream::FilterWord(User("1700000000004.gz"), LOG_FILTER_PATH);
    EXPECT_EQ(3u, log.Count("open zip file failed : " + unreadable));
    EXPECT_EQ(4u, DeleteReports().size());
}

TEST_F(UploadThreadTest, MissingResetAndSlowServersKeepTheFileAndTheRetryRepeatsTheRequestId) {
    const std::string zip = PutZip(ZipFolderOf(DotKind::kUser), "1700000000000.gz", "x");
    {
        std::lock_guard<RecursiveLock> lock(UTManager::ParamLock());
        mgr().Params().Locked().m_uploadParam.serverAddr.clear();
    }
    StartThread();
    ASSERT_EQ(1000u, clock_.NextSleep());  // without an address it only polls
    ut_test::ResettingServer reset;
    PointAt(reset.Port(), server_.CaFile());
    clock_.Advance(1000);
    ASSERT_EQ(1200u, clock_.NextSleep());
    EXPECT_TRUE(Exists(zip));
    EXPECT_EQ(1u, reset.Accepted());

    // Now a server that answers too late for the (shortened) time-out.
    ost_http_set_test_timeouts_ms(5000, 1500);
    server_.Script({{200, true}});
    PointAt(server_.Port(), server_.CaFile());
    clock_.Advance(1200);
    ASSERT_EQ(2200u, clock_.NextSleep());
    EXPECT_TRUE(Exists(zip));
    server_.Release();
    clock_.Advance(2200);
    ASSERT_EQ(200u, clock_.NextSleep());
    EXPECT_FALSE(Exists(zip));
    ASSERT_TRUE(server_.WaitForCompleted(2));
    auto reqs = server_.Requests();
    ASSERT_EQ(2u, reqs.size());
    // The retry of the same bytes repeats the request the server may have seen.
    EXPECT_EQ(reqs[0].Header("X-Request-ID"), reqs[1].Header("X-Request-ID"));
    EXPECT_EQ(0u, unified_track::UTUploader::RequestIdCount());
}

TEST_F(UploadThreadTest, OnlyA200DeletesA204KeepsTheFileAndBacksOff) {
    const std::string zip = PutZip(ZipFolderOf(DotKind::kUser), "1700000000000.gz", "x");
    server_.Script({{204}});
    StartThread();
    ASSERT_EQ(1200u, clock_.NextSleep());
    EXPECT_TRUE(Exists(zip));
    clock_.Advance(1200);
    ASSERT_EQ(200u, clock_.NextSleep());
    EXPECT_FALSE(Exists(zip));
    ASSERT_TRUE(server_.WaitForCompleted(2));
    EXPECT_EQ(2u, server_.Requests().size());
}

// A data folder that refuses every removal of a zip file (read-only for this process).
class NoZipRemoval : public unified_track::FileOps {
public:
    int Remove(const char *path) override {
        const std::string p(path);
        if (p.size() > 3 && p.compare(p.size() - 3, 3, ".gz") == 0) {
            errno = EACCES;
            return -1;
        }
        return FileOps::Remove(path);
    }
};

TEST_F(UploadThreadTest, ABodyTheServerTookIsNotSentAgainWhenItsFileCannotBeRemoved) {
    ut_test::LogCapture log;
    NoZipRemoval readOnly;
    ut_test::ScopedFileOps guard(&readOnly);
    const std::string zip = PutZip(ZipFolderOf(DotKind::kUser), "1700000000000.gz", "taken");
    StartThread();
    for (int pass = 1; pass <= 3; ++pass) {
        ASSERT_EQ(200u, clock_.NextSleep()) << pass;
        // A new body in the same folder still goes out.
        if (pass == 3) PutZip(ZipFolderOf(DotKind::kUser), "1700000000001.gz", "new");
        clock_.Advance(200);
    }
    ASSERT_EQ(200u, clock_.NextSleep());
    StopThread();
    EXPECT_TRUE(Exists(zip));
    ASSERT_TRUE(server_.WaitForCompleted(2));
    const auto reqs = server_.Requests();
    ASSERT_EQ(2u, reqs.size());
    EXPECT_EQ("taken", reqs[0].envelope["data"].asString());
    EXPECT_EQ("new", reqs[1].envelope["data"].asString());
    // The failed removal is logged with folders masked and the file name kept.
    const std::string masked = LogStream::FilterWord(zip, LOG_FILTER_PATH);
    EXPECT_EQ(1u, log.Count("remove zip file failed!, zip:[" + masked +
                            "], ret:-1, lastErrno:" + std::to_string(EACCES) + ", count:0"));
}

TEST_F(UploadThreadTest, StoppingAbortsARequestInFlightAndKeepsTheFile) {
    const std::string zip = PutZip(ZipFolderOf(DotKind::kUser), "1700000000000.gz", "x");
    server_.Script({{200, true}});
    StartThread();
    ASSERT_TRUE(server_.WaitForArrivals(1));
    UTManager::UploadRunning().store(false);
    // Well within the 60 s transfer time-out: only the abort check can end it this soon.
    EXPECT_TRUE(WaitUntil([this] { return done_.load(); }, 10));
    StopThread();
    EXPECT_TRUE(Exists(zip));
    server_.Release();
}

TEST_F(UploadThreadTest, TheTimerPacksOnlyKindsPackedBefore) {
    WriteFile(DotFileOf(DotKind::kUser), "u1\n");
    WriteFile(DotFileOf(DotKind::kMedia), "m1\n");
    mgr().Files().MarkPacked(DotKind::kUser, 0);
    mgr().Files().MarkPacked(DotKind::kMedia, clock_.SystemTimeMs());
    StartThread();
    ASSERT_EQ(200u, clock_.NextSleep());
    EXPECT_EQ(0u, server_.Arrivals());  // not yet a minute
    clock_.Advance(60001);
    ASSERT_EQ(200u, clock_.NextSleep());
    EXPECT_TRUE(Exists(DotFileOf(DotKind::kUser)));
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kMedia)));
    ASSERT_TRUE(server_.WaitForCompleted(1));
    EXPECT_EQ(Envelope("m1\n"), server_.Requests().at(0).body);
    EXPECT_EQ(clock_.SystemTimeMs(), mgr().Files().LastPack(DotKind::kMedia));
}

}  // namespace
}  // namespace ut_delivery
