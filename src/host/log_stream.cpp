// LogStream: one line per stream object, the two callback slots and the log-file compression.
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "host/log.h"
#include "host/log_sink.h"
#include "host/pal.h"

namespace {
std::atomic<DotdataFunc> g_dotdataFunc{nullptr};
std::atomic<ZipDataFunc> g_zipDataFunc{nullptr};

// Only the file's own name leaves the library: a full path would expose the user's folders.
std::string BaseName(const std::string &path) {
    size_t pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

// zlib's gz* functions write RFC 1952 gzip; returns 0 or an error code (errno or zlib's).
int GzipFile(const std::string &src, const std::string &dst) {
    PAL_FILE *in = PAL_Fopen(src.c_str(), "rb");
    if (in == nullptr) return errno != 0 ? errno : -1;
    gzFile out = gzopen(dst.c_str(), "wb");
    if (out == nullptr) {
        int err = errno != 0 ? errno : -1;
        PAL_Fclose(in);
        return err;
    }
    PAL_Chmod(dst.c_str(), 0);
    int result = 0;
    char buf[64 * 1024];
    for (;;) {
        size_t n = PAL_Fread(buf, 1, sizeof(buf), in);
        if (n > 0 && gzwrite(out, buf, static_cast<unsigned>(n)) != static_cast<int>(n)) {
            int zerr = Z_OK;
            gzerror(out, &zerr);
            result = zerr != Z_OK ? zerr : -1;
            break;
        }
        if (n < sizeof(buf)) {
            if (std::ferror(in) != 0) result = errno != 0 ? errno : -1;
            break;
        }
    }
    PAL_Fclose(in);
    int closed = gzclose(out);
    if (result == 0 && closed != Z_OK) result = closed;
    return result;
}
}  // namespace

LogStream::LogStream(const char *module, int level, const char *func, const char *file, int line, bool active)
    : module_(module != nullptr ? module : ""),
      level_(level),
      func_(func != nullptr ? func : ""),
      file_(file != nullptr ? file : ""),
      line_(line),
      active_(active) {}

LogStream::LogStream(LogStream &&other) noexcept
    : module_(std::move(other.module_)),
      level_(other.level_),
      func_(std::move(other.func_)),
      file_(std::move(other.file_)),
      line_(other.line_),
      active_(other.active_),
      stream_(std::move(other.stream_)) {
    other.active_ = false;
}

LogStream LogStream::GetLogStream(const char *module, int level, int checkLevel, const char *func, const char *file,
                                  int line) {
    bool active = level <= checkLevel && level <= unified_track::GetLogLevel();
    return LogStream(module, level, func, file, line, active);
}

LogStream::~LogStream() {
    if (!active_) return;
    try {
        std::string text = stream_.str();
        DoLog(module_.c_str(), level_, 0, func_.c_str(), file_.c_str(), line_, "%s", text.c_str());
    } catch (...) {
    }
}

void LogStream::SetDotdataFuncCallback(DotdataFunc func) {
    g_dotdataFunc.store(func, std::memory_order_release);
}
DotdataFunc LogStream::GetDotdataFuncCallback() {
    return g_dotdataFunc.load(std::memory_order_acquire);
}
void LogStream::SetZipDataFuncCallback(ZipDataFunc func) {
    g_zipDataFunc.store(func, std::memory_order_release);
}
ZipDataFunc LogStream::GetZipDataFuncCallback() {
    return g_zipDataFunc.load(std::memory_order_acquire);
}

int unified_track::GzipLogFile(const std::string &path) {
    int err = -1;
    try {
        if (!path.empty()) {
            errno = 0;
            std::string gz = path + ".gz";
            err = GzipFile(path, gz);
            if (err == 0) {
                if (PAL_Remove(path.c_str()) == 0) return 0;
                err = errno != 0 ? errno : -1;
            } else {
                PAL_Remove(gz.c_str());  // never leave a truncated archive behind
            }
        }
    } catch (...) {
    }
    return err == 0 ? -1 : err;
}

void unified_track::ReportLogCompressFailure(int error, const std::string &path) {
    ZipDataFunc cb = LogStream::GetZipDataFuncCallback();
    if (cb == nullptr) return;
    try {
        cb(error, BaseName(path).c_str());
    } catch (...) {
    }
}

int LogStream::CompressLogFile(const std::string &path) {
    int err = unified_track::GzipLogFile(path);
    if (err != 0) unified_track::ReportLogCompressFailure(err, path);
    return err;
}
