// The manual clock of the tests.
#include "support/manual_clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ut_test {

struct ManualClock::Impl {
    std::mutex mutex;
    std::condition_variable cv;  // sleepers wait for time or wake; WaitForSleepers for arrivals
    uint64_t systemMs = 0;
    uint64_t runMs = 0;
    uint64_t generation = 0;
    int sleepers = 0;
    uint32_t lastSleepMs = 0;
    bool dying = false;  // a sleep that races with destruction returns at once
};

ManualClock::ManualClock(uint64_t systemMs, uint64_t runMs) : impl_(new Impl) {
    impl_->systemMs = systemMs;
    impl_->runMs = runMs;
}

ManualClock::~ManualClock() {
    {
        std::unique_lock<std::mutex> lock(impl_->mutex);
        ++impl_->generation;
        impl_->dying = true;
        impl_->cv.notify_all();
        // A sleeper still inside must leave before the state goes away.
        impl_->cv.wait(lock, [&] { return impl_->sleepers == 0; });
    }
    delete impl_;
}

uint64_t ManualClock::SystemTimeMs() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->systemMs;
}

uint64_t ManualClock::RunTimeMs() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->runMs;
}

void ManualClock::SleepMs(uint32_t ms) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->lastSleepMs = ms;
    uint64_t end = impl_->runMs + ms;
    uint64_t gen = impl_->generation;
    ++impl_->sleepers;
    impl_->cv.notify_all();
    impl_->cv.wait(lock, [&] { return impl_->runMs >= end || impl_->generation != gen || impl_->dying; });
    --impl_->sleepers;
    impl_->cv.notify_all();
}

void ManualClock::WakeAll() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    ++impl_->generation;
    impl_->cv.notify_all();
}

void ManualClock::Advance(uint64_t ms) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->runMs += ms;
    impl_->systemMs += ms;
    impl_->cv.notify_all();
}

void ManualClock::SetSystemTimeMs(uint64_t ms) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->systemMs = ms;
}

int ManualClock::Sleepers() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->sleepers;
}

uint32_t ManualClock::LastSleepMs() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->lastSleepMs;
}

bool ManualClock::WaitForSleepers(int n, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return impl_->sleepers >= n; });
}

}  // namespace ut_test
