// Small helpers shared by the core tests.
#pragma once

#include <chrono>
#include <dirent.h>
#include <unistd.h>
#include <functional>
#include <string>
#include <thread>

#include "manager/UTThreadMgr.h"

namespace ut_core_test {

inline OST_UT_RESULT Sync(std::function<OST_UT_RESULT()> f, const std::string &name = "_test_sync") {
    return unified_track::UTThreadMgr::GetInstance().PushCmd(std::move(f), name);
}
inline void Async(std::function<void()> f, const std::string &name = "_test_async") {
    unified_track::UTThreadMgr::GetInstance().PushCmd(std::move(f), name);
}
// Waits for every command queued so far.
inline void Drain() { Sync([] { return static_cast<OST_UT_RESULT>(UT_SUCCESS); }, "_test_drain"); }

// Polls `cond` until it holds or five seconds have passed (a bound, not a timing assertion).
inline bool WaitFor(const std::function<bool()> &cond) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

inline int ThreadCount() {
    int n = 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

// The thread count to compare against. A first thread start can make runtime helpers start their
// own thread (ThreadSanitizer does), so one is started and joined before counting.
inline int ThreadBaseline() {
    std::thread([] {}).join();
    return ThreadCount();
}

inline bool ThreadAlive(uint64_t tid) {
    return access(("/proc/self/task/" + std::to_string(tid)).c_str(), F_OK) == 0;
}

}  // namespace ut_core_test
