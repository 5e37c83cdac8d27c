// A size-rotating log file whose rotated files are compressed. spdlog's own rotating sink is final
// and shifts numbered files, which would overwrite earlier archives once they are compressed; this
// one names each rotated file by its rotation time instead ("<stem>.<yyyymmddhhmmssmmm><ext>"), so
// archives never collide, and keeps the newest `fileCount` of them. A name always sorts after every
// archive already on disk: a rotation in the same millisecond (or after the clock went back) takes
// the newest name plus "_NNNNNN", so pruning by name order removes the oldest, never the newest.
// Thread use: any logging thread; spdlog's sink mutex guards the file and the pending list; one
// process-wide lock orders rotations, pruning and compression of every sink (two sinks may share
// a folder, or even a path, while a re-configuration hands over).
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
    // The archive name that follows `newest` (a name's time part, "" for none) at time `stamp`
    // (17 digits): the stamp when it sorts after `newest`, else `newest` with its counter raised.
    static std::string NextArchiveKey(const std::string &stamp, const std::string &newest);
    // Compresses a file this sink rotated out, unless a later rotation pruned it meanwhile.
    // Returns 0, or the error for the compression-failure callback.
    static int CompressRotated(const std::string &path);

protected:
    void sink_it_(const spdlog::details::log_msg &msg) override;
    void flush_() override;

private:
    void Rotate();
    std::string NextArchiveName() const;
    void Prune();
    // Time part of a rotated file's name ("" when it is not one of this sink's).
    std::string KeyOf(const std::string &fileName) const;

    const std::string path_;
    const size_t maxBytes_;
    const size_t fileCount_;
    spdlog::details::file_helper file_;  // guarded by mutex_
    size_t currentSize_ = 0;             // guarded by mutex_
    std::vector<std::string> rotated_;   // guarded by mutex_
    std::atomic<bool> hasRotated_{false};
};

// Compression of a rotated file (log_stream.cpp): GzipLogFile writes <path>.gz and removes the
// file (0, or an errno/zlib error, never leaving a partial archive); the failure report calls the
// host's zip-data callback with the file's name only.
int GzipLogFile(const std::string &path);
void ReportLogCompressFailure(int error, const std::string &path);

}  // namespace unified_track
