// Cost of handing work to the command thread: the caller's side of an asynchronous push, and the
// full round trip of a synchronous push, from one and from several host threads.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "manager/UTData.h"
#include "manager/UTThreadMgr.h"

using unified_track::ContextSpecialParam;
using unified_track::UTThreadMgr;

namespace {
const std::string kAsyncName = "_Track_AddUserTrack";
const std::string kSyncName = "_Track_GetVersion";

OST_UT_RESULT Drain() {
    return UTThreadMgr::GetInstance().PushCmd(
        std::function<OST_UT_RESULT()>([] { return static_cast<OST_UT_RESULT>(UT_SUCCESS); }), kSyncName);
}

// An asynchronous push carrying a record the size of a typical user event.
void BM_AsyncPush(benchmark::State &state) {
    UTThreadMgr &mgr = UTThreadMgr::GetInstance();
    ContextSpecialParam param;
    param.eventId = "ut_event_sdk_bench";
    param.event = "{\"result\":0,\"cost\":12}";
    param.arg2 = "arg2";
    size_t pushed = 0;
    for (auto _ : state) {
        mgr.PushCmd(std::function<void()>([param] { benchmark::DoNotOptimize(param.time); }), kAsyncName);
        if (++pushed % 8192 == 0) {
            // Keeps the queue (and the memory it holds) bounded; not measured.
            state.PauseTiming();
            Drain();
            state.ResumeTiming();
        }
    }
    // Queued commands are not part of the next measurement.
    if (state.thread_index() == 0) Drain();
    state.SetItemsProcessed(state.iterations());
}

// A synchronous push and its wait for the result.
void BM_SyncRoundTrip(benchmark::State &state) {
    UTThreadMgr &mgr = UTThreadMgr::GetInstance();
    int counter = 0;
    for (auto _ : state) {
        OST_UT_RESULT r = mgr.PushCmd(std::function<OST_UT_RESULT()>([&counter] {
                                          ++counter;
                                          return static_cast<OST_UT_RESULT>(UT_SUCCESS);
                                      }),
                                      kSyncName);
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations());
}
}  // namespace

BENCHMARK(BM_AsyncPush)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_SyncRoundTrip)->Threads(1)->Threads(4)->UseRealTime();

BENCHMARK_MAIN();
