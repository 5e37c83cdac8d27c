#include "support/log_capture.h"

#include <chrono>

namespace ut_test {

unified_track::LogCaptureHook LogCapture::HookInto(std::shared_ptr<Shared> shared) {
    return [shared](const unified_track::LogRecord &r) {
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->lines.push_back(r);
        }
        shared->cv.notify_all();
    };
}

LogCapture::LogCapture() : shared_(std::make_shared<Shared>()), hook_(HookInto(shared_)) {}

std::vector<unified_track::LogRecord> LogCapture::Lines() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->lines;
}

bool LogCapture::Contains(const std::string &text) const {
    return Count(text) > 0;
}

std::vector<unified_track::LogRecord> LogCapture::Find(const std::string &module, int level,
                                                       const std::string &text) const {
    std::vector<unified_track::LogRecord> out;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    for (const auto &r : shared_->lines) {
        if (!module.empty() && r.module != module) continue;
        if (level >= 0 && r.level != level) continue;
        if (r.text.find(text) == std::string::npos) continue;
        out.push_back(r);
    }
    return out;
}

size_t LogCapture::Count(const std::string &text) const {
    return Find("", -1, text).size();
}

bool LogCapture::WaitFor(const std::string &text, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    return shared_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto &r : shared_->lines) {
            if (r.text.find(text) != std::string::npos) return true;
        }
        return false;
    });
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->lines.clear();
}

}  // namespace ut_test
