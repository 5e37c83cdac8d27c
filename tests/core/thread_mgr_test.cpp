#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/pal.h"
#include "log_capture.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"
#include "test_helpers.h"

using namespace ut_core_test;
using unified_track::UTManager;
using unified_track::UTThreadMgr;

namespace {
// Commands counted so far, read on the command thread: every earlier command has been counted,
// the reading one not yet.
uint32_t ExecutedCount() {
    uint32_t n = 0;
    Sync([&n] {
        n = UTManager::GetInstance().m_msgCounters[9].load();
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
    return n;
}
}  // namespace

TEST(CommandThread, SyncReturnsTheResultAndRunsOnTheCommandThread) {
    uint64_t ranOn = 0;
    EXPECT_EQ(Sync([&] {
                  ranOn = PAL_GetTID();
                  return static_cast<OST_UT_RESULT>(UT_DOT_SWITCH_OFF);
              }),
              static_cast<OST_UT_RESULT>(UT_DOT_SWITCH_OFF));
    EXPECT_NE(ranOn, PAL_GetTID());
    EXPECT_EQ(ranOn, UTThreadMgr::CommandThreadId());
}

TEST(CommandThread, SyncInsideSyncRunsAtOnceOnTheCommandThread) {
    uint64_t innerOn = 0;
    OST_UT_RESULT r = Sync([&] {
        return Sync([&] {
            innerOn = PAL_GetTID();
            return static_cast<OST_UT_RESULT>(UT_NOT_INITED);
        });
    });
    EXPECT_EQ(r, static_cast<OST_UT_RESULT>(UT_NOT_INITED));
    EXPECT_EQ(innerOn, UTThreadMgr::CommandThreadId());
}

TEST(CommandThread, SyncWaitsForEveryEarlierAsyncInPushOrder) {
    std::vector<int> order;  // touched by the command thread only until the sync returns
    for (int i = 0; i < 10; ++i) Async([&order, i] { order.push_back(i); });
    size_t seen = 0;
    Sync([&] {
        seen = order.size();
        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
    });
    EXPECT_EQ(seen, 10u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // Every command run is counted once (ten async, one sync).
    EXPECT_EQ(ExecutedCount(), 11u);
}

TEST(CommandThread, PushesFromManyThreadsAllRunOncePerThreadInOrder) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::vector<int>> seen(kThreads);  // command thread only
    std::vector<std::thread> pushers;
    for (int t = 0; t < kThreads; ++t) {
        pushers.emplace_back([&seen, t] {
            for (int i = 0; i < kPerThread; ++i) {
                if (i % 50 == 49) {
                    Sync([&seen, t, i] {
                        seen[t].push_back(i);
                        return static_cast<OST_UT_RESULT>(UT_SUCCESS);
                    });
                } else {
                    Async([&seen, t, i] { seen[t].push_back(i); });
                }
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

TEST(CommandThread, AsyncPushedFromACommandRunsAfterThoseAlreadyQueued) {
    std::vector<std::string> order;  // command thread only
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    Async([opened] { opened.wait(); });
    Async([&order] {
        order.push_back("A");
        Async([&order] { order.push_back("C"); });
    });
    Async([&order] { order.push_back("B"); });
    gate.set_value();
    Drain();  // A has run once this returns, so C is queued before the next drain
    Drain();
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C"}));
}

TEST(CommandThread, EmptyFunctionObjectsAreRefusedAndNothingIsQueued) {
    LogCapture capture;
    uint32_t before = ExecutedCount();
    EXPECT_EQ(Sync(std::function<OST_UT_RESULT()>()), static_cast<OST_UT_RESULT>(UT_FAILED));
    Async(std::function<void()>());
    EXPECT_EQ(UTThreadMgr::GetInstance().PendingCount(), 0u);
    EXPECT_EQ(ExecutedCount(), before + 1);  // the first count's own command only

    auto sync = capture.With("start ut PushCmd sync param null");
    ASSERT_EQ(sync.size(), 1u);
    EXPECT_EQ(sync[0].level, LOG_INFO);
    EXPECT_EQ(sync[0].module, "native_sdk");
    EXPECT_EQ(sync[0].function, "unified_track::UTThreadMgr::PushCmd");
    auto async = capture.With("start ut PushCmd async param null");
    ASSERT_EQ(async.size(), 1u);
    EXPECT_EQ(async[0].level, LOG_INFO);
}

TEST(CommandThread, ACommandThatThrowsFailsItsCallerAndTheThreadGoesOn) {
    LogCapture capture;
    EXPECT_EQ(Sync([]() -> OST_UT_RESULT { throw std::runtime_error("boom"); }),
              static_cast<OST_UT_RESULT>(UT_FAILED));
    Async([] { throw std::runtime_error("boom"); }, "_Track_Throwing");
    EXPECT_EQ(Sync([] { return static_cast<OST_UT_RESULT>(UT_SUCCESS); }), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    EXPECT_EQ(capture.Count("command failed with an exception: _Track_Throwing"), 1u);
}

TEST(CommandThread, AfterStopQueuedCommandsAreDroppedAndSyncFailsWithoutBlocking) {
    UTThreadMgr &mgr = UTThreadMgr::GetInstance();
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::atomic<bool> asyncRan{false};
    std::atomic<bool> syncRan{false};

    Async([opened] { opened.wait(); });
    ASSERT_TRUE(WaitFor([&] { return mgr.PendingCount() == 0; }));  // the gate command is running
    Async([&] { asyncRan = true; });
    OST_UT_RESULT waited = UT_SUCCESS;
    std::thread caller([&] {
        waited = Sync([&] {
            syncRan = true;
            return static_cast<OST_UT_RESULT>(UT_SUCCESS);
        });
    });
    ASSERT_TRUE(WaitFor([&] { return mgr.PendingCount() == 2; }));
    uint64_t tid = UTThreadMgr::CommandThreadId();

    mgr.Stop();
    EXPECT_TRUE(UTThreadMgr::IsStopped());
    gate.set_value();
    caller.join();  // a broken promise, not a hang

    EXPECT_EQ(waited, static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_FALSE(asyncRan.load());
    EXPECT_FALSE(syncRan.load());
    EXPECT_TRUE(WaitFor([&] { return !ThreadAlive(tid); }));

    // Later pushes: sync fails at once, async is dropped, nothing runs or stays queued.
    bool ranLater = false;
    EXPECT_EQ(Sync([&] {
                  ranLater = true;
                  return static_cast<OST_UT_RESULT>(UT_SUCCESS);
              }),
              static_cast<OST_UT_RESULT>(UT_FAILED));
    Async([&] { ranLater = true; });
    EXPECT_EQ(mgr.PendingCount(), 0u);
    EXPECT_FALSE(ranLater);
}

TEST(CommandThread, StopWakesAnIdleThreadWhichEnds) {
    Drain();
    uint64_t tid = UTThreadMgr::CommandThreadId();
    ASSERT_TRUE(ThreadAlive(tid));
    UTThreadMgr::GetInstance().Stop();
    EXPECT_TRUE(WaitFor([&] { return !ThreadAlive(tid); }));
}
