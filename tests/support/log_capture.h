// Collects the log lines of a test through the log capture hook, from any thread, while it lives.
//   ut_test::LogCapture cap;
//   ... code under test ...
//   EXPECT_TRUE(cap.Contains("config param error"));
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/log.h"

namespace ut_test {

// Installs a log capture hook for a scope and puts the previous one back when the scope ends,
// also when an assertion ends the test early; guards nest.
class ScopedLogCaptureHook {
public:
    explicit ScopedLogCaptureHook(unified_track::LogCaptureHook hook)
        : previous_(unified_track::ExchangeLogCaptureHook(std::move(hook))) {}
    ~ScopedLogCaptureHook() { unified_track::ExchangeLogCaptureHook(std::move(previous_)); }
    ScopedLogCaptureHook(const ScopedLogCaptureHook &) = delete;
    ScopedLogCaptureHook &operator=(const ScopedLogCaptureHook &) = delete;

private:
    unified_track::LogCaptureHook previous_;
};

class LogCapture {
public:
    LogCapture();  // installs its hook in place of the current one, which it puts back when it ends

    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::vector<unified_track::LogRecord> Lines() const;
    // True when some line's text contains `text`.
    bool Contains(const std::string &text) const;
    // Lines of the module (any when empty) and level (any when negative) whose text contains `text`.
    std::vector<unified_track::LogRecord> Find(const std::string &module, int level, const std::string &text) const;
    size_t Count(const std::string &text) const;
    // Waits (bounded, real time) until a line containing `text` arrives; false on time-out.
    bool WaitFor(const std::string &text, uint32_t timeoutMs = 5000) const;
    void Clear();

private:
    // Shared with the hook, so a line being delivered while the capture ends stays safe.
    struct Shared {
        std::mutex mutex;
        std::condition_variable cv;
        std::vector<unified_track::LogRecord> lines;  // guarded by mutex
    };
    static unified_track::LogCaptureHook HookInto(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    ScopedLogCaptureHook hook_;  // after shared_: installed last, removed first
};

}  // namespace ut_test
