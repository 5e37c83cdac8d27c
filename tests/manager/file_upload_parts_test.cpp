// The dot-file layout and the upload worker's state, through their own interfaces.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "host/clock.h"
#include "host/pal.h"
#include "manager/dot_files.h"
#include "manager/upload_worker.h"

namespace unified_track {
namespace {

TEST(DotFilesTest, LaysTheFilesOutBelowTheRoot) {
    const std::string sep(1, kPathSep);
    struct Case {
        DotKind kind;
        const char *file;
        const char *folder;
    };
    const Case cases[] = {{DotKind::kUser, "user_dot_data.dat", "user"},
                          {DotKind::kMedia, "media_dot_data.dat", "media"},
                          {DotKind::kMmr, "mmr_dot_data.dat", "mmr"}};
    for (const std::string &root : {"/r" + sep + "dot", "/r" + sep + "dot" + sep}) {
        DotFiles files;
        files.SetRoot(root);
        EXPECT_EQ(files.Root(), root);
        for (const Case &c : cases) {
            EXPECT_EQ(files.DotFile(c.kind), "/r" + sep + "dot" + sep + c.file) << root;
            EXPECT_EQ(files.ZipFolder(c.kind), "/r" + sep + "dot" + sep + c.folder) << root;
        }
    }
}

TEST(DotFilesTest, EachKindHasItsOwnProcessWideLock) {
    EXPECT_EQ(&DotFiles::LockOf(DotKind::kUser), &DotFiles::UserLock());
    EXPECT_EQ(&DotFiles::LockOf(DotKind::kMedia), &DotFiles::MediaLock());
    EXPECT_EQ(&DotFiles::LockOf(DotKind::kMmr), &DotFiles::MmrLock());
    EXPECT_NE(&DotFiles::UserLock(), &DotFiles::MediaLock());
    EXPECT_NE(&DotFiles::MediaLock(), &DotFiles::MmrLock());
}

TEST(DotFilesTest, PackTimesPackUuidAndLongestMmrRecord) {
    DotFiles files;
    EXPECT_EQ(files.LastPack(DotKind::kMedia), 0u);
    files.MarkPacked(DotKind::kMedia, 42);
    EXPECT_EQ(files.LastPack(DotKind::kMedia), 42u);
    EXPECT_EQ(files.LastPack(DotKind::kUser), 0u);

    EXPECT_EQ(files.PackUuid(nullptr), "");
    const std::string uuid = "u-1";
    EXPECT_EQ(files.PackUuid(&uuid), "u-1");
    EXPECT_EQ(files.PackUuid(nullptr), "u-1");  // the one seen last

    EXPECT_TRUE(files.NoteMmrLength(10));
    EXPECT_FALSE(files.NoteMmrLength(10));
    EXPECT_FALSE(files.NoteMmrLength(3));
    EXPECT_TRUE(files.NoteMmrLength(11));
}

TEST(UploadWorkerTest, RetryCountersPerZipFile) {
    UploadWorker worker;
    EXPECT_EQ(worker.CountFailure("a.gz"), 1u);
    EXPECT_EQ(worker.CountFailure("a.gz"), 2u);
    EXPECT_EQ(worker.CountFailure("b.gz"), 1u);
    EXPECT_FALSE(worker.ForgetIfAtLeast("a.gz", 3));
    EXPECT_EQ(worker.CountFailure("a.gz"), 3u);
    EXPECT_TRUE(worker.ForgetIfAtLeast("a.gz", 3));
    EXPECT_EQ(worker.Failures("a.gz"), 0u);
    EXPECT_FALSE(worker.ForgetIfAtLeast("missing.gz", 0));
    worker.ForgetFailures("b.gz");
    EXPECT_EQ(worker.Failures("b.gz"), 0u);

    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(worker.CountExcessDelete(), i);
    for (uint32_t i = 0; i < 2; ++i) EXPECT_EQ(worker.CountRemoveFailure(), i);
    worker.SetSleepMs(1200);
    EXPECT_EQ(worker.SleepMs(), 1200u);
}

UploadWorker *g_worker = nullptr;
std::atomic<bool> g_running{false};
std::atomic<int> g_runs{0};

void *Loop(void *) {
    ++g_runs;
    while (g_running.load()) PAL_SleepMs(50);
    g_worker->MarkDone();
    return nullptr;
}

TEST(UploadWorkerTest, StartsOnceAndJoinStopsTheThread) {
    UploadWorker worker;
    g_worker = &worker;
    g_running.store(true);
    ASSERT_EQ(worker.Start(&Loop), 0);
    EXPECT_EQ(worker.Start(&Loop), 0);  // already running: no second thread
    EXPECT_TRUE(worker.Started());
    worker.Join(g_running);
    EXPECT_FALSE(g_running.load());
    EXPECT_FALSE(worker.Started());
    EXPECT_EQ(g_runs.load(), 1);
    worker.Join(g_running);  // a second join is harmless
}

}  // namespace
}  // namespace unified_track
