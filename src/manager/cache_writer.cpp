#include "manager/cache_writer.h"

#include <chrono>
#include <exception>

#include "host/log.h"
#include "manager/manager_constants.h"

namespace unified_track {

CacheWriter::~CacheWriter() {
    Stop(kStopTimeoutMs);
}

bool CacheWriter::Post(AddConfigCacheFunc add, Batch batch) noexcept {
    if (add == nullptr || !batch) return true;
    try {
        std::lock_guard<std::mutex> threadGuard(m_threadLock);
        {
            std::lock_guard<std::mutex> guard(m_state->lock);
            if (m_state->stopped) return false;
            if (m_state->pending.size() >= kMaxPending) m_state->pending.pop_back();
            m_state->pending.emplace_back(add, std::move(batch));
            if (m_state->running) return true;
            m_state->running = true;
        }
        // The last thread has left its loop (it cleared `running`); join it before the next.
        if (m_thread.joinable()) m_thread.join();
        try {
            m_thread = std::thread(&CacheWriter::Run, m_state);
            return true;
        } catch (...) {
            std::lock_guard<std::mutex> guard(m_state->lock);
            m_state->running = false;
            m_state->pending.clear();  // nobody would ever write them
            throw;
        }
    } catch (const std::exception &e) {
        const char *what = e.what();
        if (what != nullptr) {
            UT_LOGE(kLogCreateThreadErrorWhat, what);
        } else {
            UT_LOGE(kLogCreateThreadErrorNullWhat);
        }
    } catch (...) {
        UT_LOGE(kLogCreateThreadError);
    }
    return false;
}

void CacheWriter::Run(const std::shared_ptr<State> &state) {
    std::unique_lock<std::mutex> lock(state->lock);
    while (!state->pending.empty()) {
        auto job = std::move(state->pending.front());
        state->pending.pop_front();
        lock.unlock();
        // The hook's result is not examined: the next configuration writes all ten entries again.
        try {
            job.first(job.second->data(), static_cast<int32_t>(job.second->size()));
        } catch (...) {
        }
        job.second.reset();
        lock.lock();
    }
    state->running = false;
    state->idle.notify_all();
}

bool CacheWriter::Stop(uint32_t timeoutMs) noexcept {
    try {
        std::lock_guard<std::mutex> threadGuard(m_threadLock);
        {
            std::unique_lock<std::mutex> lock(m_state->lock);
            m_state->stopped = true;
            // A hook that ends the process runs this on the writer itself; it cannot wait for itself.
            if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id()) return false;
            if (!m_state->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [this] { return !m_state->running; })) {
                m_state->pending.clear();
                lock.unlock();
                UT_LOGE(kLogCacheWriterLeftRunning, timeoutMs);
                m_thread.detach();
                return false;
            }
        }
        if (m_thread.joinable()) m_thread.join();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace unified_track
