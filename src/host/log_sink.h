// A size-rotating log file whose rotated files are compressed. spdlog's own rotating sink is final
// and shifts numbered files, which would overwrite earlier archives once they are compressed; this
// one names each rotated file by its rotation time instead, so archives never collide and sort by
// age, and keeps the newest `fileCount` of them.
// Thread use: any logging thread; spdlog's sink mutex guards the file and the pending list.
#pragma once

#include <spdlog/details/file_helper.h>
#include <spdlog/sinks/base_sink.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace unified_track {

class RotatingLogSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    // Opens (creates) the file owner-only; throws spdlog::spdlog_ex when it cannot.
    RotatingLogSink(const std::string &path, size_t maxBytes, size_t fileCount);
    ~RotatingLogSink() override;

    // Files rotated out since the last call. The writer compresses them after its write, outside
    // the sink lock, because a failure calls the host's callback, which may log again.
    std::vector<std::string> TakeRotated();
    bool HasRotated() const { return hasRotated_.load(std::memory_order_acquire); }

    // Rotated files of `path` (archives and not yet compressed ones), oldest first, as full paths.
    static std::vector<std::string> ListRotated(const std::string &path);

protected:
    void sink_it_(const spdlog::details::log_msg &msg) override;
    void flush_() override;

private:
    void Rotate();
    std::string NextArchiveName() const;
    void Prune();

    const std::string path_;
    const size_t maxBytes_;
    const size_t fileCount_;
    spdlog::details::file_helper file_;  // guarded by mutex_
    size_t currentSize_ = 0;             // guarded by mutex_
    std::vector<std::string> rotated_;   // guarded by mutex_
    std::atomic<bool> hasRotated_{false};
};

}  // namespace unified_track
