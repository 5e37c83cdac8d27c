// Small helpers shared by the core tests (they bring the command thread and the log layer along).
#pragma once

#include <chrono>
#include <iterator>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "manager/UTThreadMgr.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace ut_core_test {

inline constexpr OST_UT_RESULT kOk = UT_SUCCESS;
inline constexpr OST_UT_RESULT kFailed = UT_FAILED;

inline OST_UT_RESULT Sync(std::function<OST_UT_RESULT()> f, const std::string &name = "_test_sync") {
    return unified_track::UTThreadMgr::GetInstance().PushCmd(std::move(f), name);
}
inline void Async(std::function<void()> f, const std::string &name = "_test_async") {
    unified_track::UTThreadMgr::GetInstance().PushCmd(std::move(f), name);
}
// Waits for every command queued so far.
inline void Drain() {
    Sync([] { return kOk; }, "_test_drain");
}

// Exact-text views over the shared log capture.
class LogCapture {
public:
    std::vector<unified_track::LogRecord> Records() const { return capture_.Lines(); }
    size_t Count(const std::string &text) const {
        return CountIf([&](const std::string &t) { return t == text; });
    }
    size_t CountPrefix(const std::string &prefix) const {
        return CountIf([&](const std::string &t) { return t.compare(0, prefix.size(), prefix) == 0; });
    }
    void Clear() { capture_.Clear(); }

private:
    template <typename F>
    size_t CountIf(F match) const {
        size_t n = 0;
        for (const auto &r : Records()) n += match(r.text) ? 1 : 0;
        return n;
    }
    ut_test::LogCapture capture_;
};

// Polls `cond` until it holds or five seconds have passed (a bound, not a timing assertion).
inline bool WaitFor(const std::function<bool()> &cond) {
    return ut_test::WaitUntil(cond, 5);
}

inline int ThreadCount() {
    namespace fs = std::filesystem;
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

// The thread count to compare against. A first thread start can make runtime helpers start their
// own thread (ThreadSanitizer does), so one is started and joined before counting.
inline int ThreadBaseline() {
    std::thread([] {}).join();
    return ThreadCount();
}

// An existing folder path of exactly `total` bytes below `base` (two components, no final separator).
inline std::string FolderOfLength(const std::string &base, size_t total) {
    const size_t n = total - base.size() - 2, a = n / 2;
    const std::string path = base + "/" + std::string(a, 'a') + "/" + std::string(n - a, 'b');
    std::filesystem::create_directories(path);
    return path;
}

inline bool ThreadAlive(uint64_t tid) {
    return std::filesystem::exists("/proc/self/task/" + std::to_string(tid));
}

}  // namespace ut_core_test
