// Writes batches of configuration-cache entries through the host's add hook on a thread of its
// own, so that the command thread never waits for the host's cache. The thread runs while there
// is work and is always joined: before the next one starts, and at stop (library unload or
// process exit), so no thread of the library is left inside the host's hook once it is gone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <unified_track/unified_track.h>

namespace unified_track {

class CacheWriter {
public:
    using Batch = std::shared_ptr<std::vector<LumConfigCache>>;

    CacheWriter() = default;
    ~CacheWriter();
    CacheWriter(const CacheWriter &) = delete;
    CacheWriter &operator=(const CacheWriter &) = delete;

    // Queues one batch for `add`; starts the thread when none runs. False when stopped or when
    // the thread cannot be started (the batch is then dropped). Throws nothing.
    bool Post(AddConfigCacheFunc add, Batch batch) noexcept;
    // Takes no more work, lets the thread finish what is queued and joins it, waiting at most
    // `timeoutMs`. False when the thread was still in the host's hook at the deadline.
    bool Stop(uint32_t timeoutMs) noexcept;

    // Batches waiting beyond this are superseded by the newest (each batch is a full snapshot).
    static constexpr size_t kMaxPending = 8;
    static constexpr uint32_t kStopTimeoutMs = 2000;

private:
    // Shared with the thread, so a thread left behind by a timed-out stop never touches freed memory.
    struct State {
        std::mutex lock;
        std::condition_variable idle;
        std::deque<std::pair<AddConfigCacheFunc, Batch>> pending;  // guarded by lock
        bool running = false;                                      // a thread takes work; guarded by lock
        bool stopped = false;                                      // guarded by lock
    };
    static void Run(const std::shared_ptr<State> &state);

    std::shared_ptr<State> m_state = std::make_shared<State>();
    std::mutex m_threadLock;  // taken before m_state->lock
    std::thread m_thread;     // guarded by m_threadLock
};

}  // namespace unified_track
