#include "host/log_sink.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <tuple>

#include "host/pal.h"
#include "host/path.h"

namespace unified_track {
namespace {

spdlog::file_event_handlers PrivateFileHandlers() {
    spdlog::file_event_handlers handlers;
    // Log files may name accounts and hosts: owner-only, like every file of the library.
    handlers.after_open = [](const spdlog::filename_t &, std::FILE *file) {
        if (file != nullptr) ::fchmod(::fileno(file), 0600);
    };
    return handlers;
}

std::string FolderOf(const std::string &path) {
    size_t pos = LastPathSep(path);
    return pos == std::string::npos ? std::string(".") : path.substr(0, pos);
}

bool EndsWith(const std::string &text, const std::string &tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

constexpr size_t kCounterDigits = 6;
constexpr unsigned long kCounterMax = 999999;

std::string Counter(unsigned long n) {
    char digits[16];
    std::snprintf(digits, sizeof(digits), "%06lu", n);
    return digits;
}

// Orders rotation, pruning and compression across every sink of the process.
std::mutex &RotationLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

RotatingLogSink::RotatingLogSink(const std::string &path, size_t maxBytes, size_t fileCount)
    : path_(path), maxBytes_(maxBytes == 0 ? 1 : maxBytes), fileCount_(fileCount), file_(PrivateFileHandlers()) {
    file_.open(path_, false);
    currentSize_ = file_.size();
}

RotatingLogSink::~RotatingLogSink() = default;

std::vector<std::string> RotatingLogSink::TakeRotated() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    out.swap(rotated_);
    hasRotated_.store(false, std::memory_order_release);
    return out;
}

void RotatingLogSink::sink_it_(const spdlog::details::log_msg &msg) {
    spdlog::memory_buf_t formatted;
    formatter_->format(msg, formatted);
    size_t newSize = currentSize_ + formatted.size();
    if (newSize > maxBytes_) {
        file_.flush();
        if (file_.size() > 0) {
            Rotate();
            newSize = formatted.size();
        }
    }
    file_.write(formatted);
    // Written through: a line is in the file when its call returns, so neither a crash nor a
    // stop right after it loses it, and no flushing thread outlives the library.
    file_.flush();
    currentSize_ = newSize;
}

void RotatingLogSink::flush_() {
    file_.flush();
}

std::string RotatingLogSink::KeyOf(const std::string &fileName) const {
    std::string stem;
    std::string ext;
    std::tie(stem, ext) = spdlog::details::file_helper::split_by_extension(FileNameOf(path_));
    std::string rest = fileName;
    if (EndsWith(rest, ".gz")) rest.resize(rest.size() - 3);
    const size_t head = stem.size() + 1;
    if (rest.size() < head + ext.size() || !EndsWith(rest, ext)) return std::string();
    return rest.substr(head, rest.size() - head - ext.size());
}

std::string RotatingLogSink::NextArchiveKey(const std::string &stamp, const std::string &newest) {
    if (newest.empty() || stamp > newest) return stamp;
    // Same millisecond, or the clock went back: count on from the newest name. "S" < "S_000001"
    // < "S_000002" < any later stamp, so name order stays age order.
    const size_t bar = newest.rfind('_');
    if (bar != std::string::npos && newest.size() - bar - 1 == kCounterDigits) {
        const std::string digits = newest.substr(bar + 1);
        const unsigned long n = std::strtoul(digits.c_str(), nullptr, 10);
        if (n < kCounterMax) return newest.substr(0, bar + 1) + Counter(n + 1);
    }
    return newest + "_" + Counter(1);
}

std::string RotatingLogSink::NextArchiveName() const {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t secs = system_clock::to_time_t(now);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    struct tm local {};
    ::localtime_r(&secs, &local);
    char stamp[40];
    std::snprintf(stamp, sizeof(stamp), "%04d%02d%02d%02d%02d%02d%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms);
    std::vector<std::string> rotated = ListRotated(path_);
    const std::string newest = rotated.empty() ? std::string() : KeyOf(FileNameOf(rotated.back()));
    std::string stem;
    std::string ext;
    std::tie(stem, ext) = spdlog::details::file_helper::split_by_extension(path_);
    return stem + "." + NextArchiveKey(stamp, newest) + ext;
}

void RotatingLogSink::Rotate() {
    file_.close();
    {
        std::lock_guard<std::mutex> order(RotationLock());
        if (fileCount_ == 0) {
            PAL_Remove(path_.c_str());
        } else {
            std::string archive = NextArchiveName();
            if (PAL_Rename(path_.c_str(), archive.c_str()) == 0) {
                rotated_.push_back(archive);
                hasRotated_.store(true, std::memory_order_release);
            }
            Prune();
        }
    }
    // Truncate even when the rename failed, so the file cannot grow past its limit.
    file_.open(path_, true);
}

void RotatingLogSink::Prune() {
    // An archive and its not yet compressed file share one name and count once.
    std::vector<std::string> rotated = ListRotated(path_);
    std::vector<std::string> keys;
    for (const auto &p : rotated) {
        std::string key = KeyOf(FileNameOf(p));
        if (keys.empty() || keys.back() != key) keys.push_back(key);
    }
    if (keys.size() <= fileCount_) return;
    const std::string &keep = keys[keys.size() - fileCount_];  // oldest one kept
    for (const auto &p : rotated) {
        if (KeyOf(FileNameOf(p)) >= keep) break;
        PAL_Remove(p.c_str());
        for (auto it = rotated_.begin(); it != rotated_.end(); ++it) {
            if (*it == p) {
                rotated_.erase(it);
                break;
            }
        }
    }
}

int RotatingLogSink::CompressRotated(const std::string &path) {
    std::lock_guard<std::mutex> order(RotationLock());
    if (!PAL_IsFileExist(path.c_str())) return 0;  // pruned by a later rotation
    return GzipLogFile(path);
}

std::vector<std::string> RotatingLogSink::ListRotated(const std::string &path) {
    std::string stem;
    std::string ext;
    std::tie(stem, ext) = spdlog::details::file_helper::split_by_extension(FileNameOf(path));
    const std::string prefix = stem + ".";
    auto isRotated = [&](const PAL_DirEntry &e) {
        if (e.isDir || e.name.compare(0, prefix.size(), prefix) != 0) return false;
        std::string rest = e.name.substr(prefix.size());
        if (EndsWith(rest, ".gz")) rest.resize(rest.size() - 3);
        if (!EndsWith(rest, ext)) return false;
        rest.resize(rest.size() - ext.size());
        if (rest.size() < 17) return false;
        for (char c : rest) {
            if (!((c >= '0' && c <= '9') || c == '_')) return false;
        }
        return true;
    };
    std::string folder = FolderOf(path);
    std::vector<std::string> names;
    std::vector<std::string> paths;
    if (PAL_ScanDir(folder.c_str(), &names, isRotated) <= 0) return paths;
    for (const auto &n : names) paths.push_back(PathJoin(folder, n));
    return paths;
}

}  // namespace unified_track
