// Collects the library's log lines for one test.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "host/log.h"

namespace ut_core_test {

class LogCapture {
public:
    LogCapture() {
        unified_track::SetLogCaptureHook([this](const unified_track::LogRecord &r) {
            std::lock_guard<std::mutex> lock(mutex_);
            records_.push_back(r);
        });
    }
    ~LogCapture() { unified_track::SetLogCaptureHook(nullptr); }

    std::vector<unified_track::LogRecord> Records() {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }
    // Lines whose text equals `text` exactly.
    std::vector<unified_track::LogRecord> With(const std::string &text) {
        std::vector<unified_track::LogRecord> out;
        for (auto &r : Records())
            if (r.text == text) out.push_back(r);
        return out;
    }
    size_t Count(const std::string &text) { return With(text).size(); }
    // Lines whose text starts with `prefix`.
    size_t CountPrefix(const std::string &prefix) {
        size_t n = 0;
        for (auto &r : Records())
            if (r.text.compare(0, prefix.size(), prefix) == 0) ++n;
        return n;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<unified_track::LogRecord> records_;
};

}  // namespace ut_core_test
