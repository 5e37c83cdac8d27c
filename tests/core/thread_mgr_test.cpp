#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/pal.h"
#include "manager/UTManager.h"
#include "test_helpers.h"

using namespace ut_core_test;
using unified_track::UTManager;
using unified_track::UTThreadMgr;

namespace {
// Commands counted so far, read on the command thread: every earlier command has been counted,
// the reading one not yet.
uint32_t ExecutedCount() {
    uint32_t n = 0;
    Sync([&n] { return n = UTManager::GetInstance().Counters().Get(9), kOk; });
    return n;
}
}  // namespace

TEST(CommandThread, SyncRunsOnTheCommandThreadANestedOneAtOnceAndStopEndsTheIdleThread) {
    uint64_t outerOn = 0, innerOn = 0;
    OST_UT_RESULT r = Sync([&] {
        outerOn = PAL_GetTID();
        return Sync([&] { return innerOn = PAL_GetTID(), static_cast<OST_UT_RESULT>(UT_NOT_INITED); });
    });
    EXPECT_EQ(r, static_cast<OST_UT_RESULT>(UT_NOT_INITED));
    EXPECT_EQ(outerOn, UTThreadMgr::CommandThreadId());
    EXPECT_EQ(innerOn, outerOn);
    ASSERT_TRUE(ThreadAlive(outerOn));
    UTThreadMgr::GetInstance().Stop();  // the thread waits for work: Stop must wake it
    EXPECT_TRUE(WaitFor([&] { return !ThreadAlive(outerOn); }));
}

TEST(CommandThread, CommandsRunInPushOrderAndOnePushedFromACommandAfterThoseQueued) {
    std::vector<std::string> order;  // touched by the command thread only until a sync returns
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    Async([opened] { opened.wait(); });
    Async([&order] {
        order.push_back("A");
        Async([&order] { order.push_back("C"); });
    });
    for (int i = 0; i < 5; ++i) Async([&order, i] { order.push_back("B" + std::to_string(i)); });
    gate.set_value();
    Drain();  // A has run once this returns, so C is queued before the count is read
    // Every command run is counted once: the gate, A, five B, the drain and C.
    EXPECT_EQ(ExecutedCount(), 9u);
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B0", "B1", "B2", "B3", "B4", "C"}));
}

TEST(CommandThread, PushesFromManyThreadsAllRunOncePerThreadInOrder) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::vector<int>> seen(kThreads);  // command thread only
    std::vector<std::thread> pushers;
    for (int t = 0; t < kThreads; ++t) {
        pushers.emplace_back([&seen, t] {
            for (int i = 0; i < kPerThread; ++i) {
                if (i % 50 == 49)
                    Sync([&seen, t, i] { return seen[t].push_back(i), kOk; });
                else
                    Async([&seen, t, i] { seen[t].push_back(i); });
            }
        });
    }
    for (auto &p : pushers) p.join();
    Drain();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<size_t>(kPerThread));
        for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(seen[t][i], i);
    }
}

TEST(CommandThread, EmptyCommandsAreRefusedAndAThrowingOneFailsItsCallerOnly) {
    LogCapture capture;
    uint32_t before = ExecutedCount();
    EXPECT_EQ(Sync(std::function<OST_UT_RESULT()>()), kFailed);
    Async(std::function<void()>());
    EXPECT_EQ(UTThreadMgr::GetInstance().PendingCount(), 0u);
    EXPECT_EQ(ExecutedCount(), before + 1);  // the first count's own command only
    EXPECT_EQ(capture.Count("start ut PushCmd sync param null"), 1u);
    EXPECT_EQ(capture.Count("start ut PushCmd async param null"), 1u);

    EXPECT_EQ(Sync([]() -> OST_UT_RESULT { throw std::runtime_error("boom"); }), kFailed);
    Async([] { throw std::runtime_error("boom"); }, "_Track_Throwing");
    EXPECT_EQ(Sync([] { return kOk; }), kOk);
    EXPECT_EQ(capture.Count("command failed with an exception: _Track_Throwing"), 1u);
}

TEST(CommandThread, AfterStopQueuedCommandsAreDroppedAndSyncFailsWithoutBlocking) {
    UTThreadMgr &mgr = UTThreadMgr::GetInstance();
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::atomic<bool> asyncRan{false}, syncRan{false};

    Async([opened] { opened.wait(); });
    ASSERT_TRUE(WaitFor([&] { return mgr.PendingCount() == 0; }));  // the gate command is running
    Async([&] { asyncRan = true; });
    OST_UT_RESULT waited = UT_SUCCESS;
    std::thread caller([&] { waited = Sync([&] { return syncRan = true, kOk; }); });
    ASSERT_TRUE(WaitFor([&] { return mgr.PendingCount() == 2; }));
    uint64_t tid = UTThreadMgr::CommandThreadId();

    mgr.Stop();
    gate.set_value();
    caller.join();  // a broken promise, not a hang
    EXPECT_EQ(waited, kFailed);
    EXPECT_FALSE(asyncRan.load());
    EXPECT_FALSE(syncRan.load());
    EXPECT_TRUE(WaitFor([&] { return !ThreadAlive(tid); }));

    // Later pushes: sync fails at once, async is dropped, nothing runs or stays queued.
    bool ranLater = false;
    EXPECT_EQ(Sync([&] { return ranLater = true, kOk; }), kFailed);
    Async([&] { ranLater = true; });
    EXPECT_EQ(mgr.PendingCount(), 0u);
    EXPECT_FALSE(ranLater);
}
