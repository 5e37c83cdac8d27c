// Log modules, level filter, capture hook and the line writer.
#include "host/log.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "host/log_sink.h"
#include "host/pal.h"
#include "host/path.h"

namespace unified_track {
namespace {

constexpr const char *kTraceFileName = "unified_track.log";
constexpr size_t kTraceMaxBytes = 10u * 1024u * 1024u;
constexpr size_t kTraceFileCount = 5;
constexpr const char *kLinePattern = "[%Y-%m-%d %H:%M:%S.%e]%v";

struct ModuleLog {
    std::shared_ptr<RotatingLogSink> sink;
    std::string path;
    int maxSizeKB = 0;
    int fileCount = 0;
    int level = LOG_DEBUG;
};

struct LogState {
    std::mutex mutex;
    std::map<std::string, ModuleLog> modules;  // guarded by mutex
    std::shared_ptr<RotatingLogSink> trace;    // guarded by mutex
    std::mutex hookMutex;
    std::shared_ptr<const LogCaptureHook> hook;  // guarded by hookMutex
};

LogState &State() {
    static LogState state;
    return state;
}

std::atomic<int> g_level{LOG_DEBUG};
std::atomic<bool> g_hasHook{false};

const char *LevelName(int level) {
    switch (level) {
        case LOG_ERROR:
            return "ERROR";
        case LOG_WARN:
            return "WARN";
        case LOG_INFO:
            return "INFO";
        default:
            return "DEBUG";
    }
}

spdlog::level::level_enum SpdLevel(int level) {
    switch (level) {
        case LOG_ERROR:
            return spdlog::level::err;
        case LOG_WARN:
            return spdlog::level::warn;
        case LOG_INFO:
            return spdlog::level::info;
        default:
            return spdlog::level::debug;
    }
}

int ClampLevel(int level) {
    return level < LOG_ERROR ? LOG_ERROR : (level > LOG_DEBUG ? LOG_DEBUG : level);
}

std::shared_ptr<RotatingLogSink> MakeSink(const std::string &path, size_t maxBytes, size_t fileCount) {
    auto sink = std::make_shared<RotatingLogSink>(path, maxBytes, fileCount);
    sink->set_pattern(kLinePattern);
    return sink;
}

std::string FormatText(const char *format, va_list args) {
    if (format == nullptr) return std::string();
    // The API log and the streams hand over ready text: no formatting pass over it.
    if (format[0] == '%' && format[1] == 's' && format[2] == '\0') {
        va_list copy;
        va_copy(copy, args);
        const char *text = va_arg(copy, const char *);
        va_end(copy);
        return text != nullptr ? std::string(text) : std::string("(null)");
    }
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof(small), format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof(small)) return std::string(small, static_cast<size_t>(n));
    std::string text(static_cast<size_t>(n) + 1, '\0');
    va_copy(copy, args);
    std::vsnprintf(&text[0], text.size(), format, copy);
    va_end(copy);
    text.resize(static_cast<size_t>(n));
    return text;
}

// One call writes one line: a line break or another control byte inside a logged value (an
// event name, a server's answer) must not forge a line of its own. Tabs stay as they are.
void EscapeControlCharacters(std::string &text) {
    auto isControl = [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u < 0x20 && u != '\t';
    };
    size_t i = 0;
    while (i < text.size() && !isControl(text[i])) ++i;
    if (i == text.size()) return;
    std::string out(text, 0, i);
    out.reserve(text.size() + 16);
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (!isControl(c)) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            static const char kHex[] = "0123456789abcdef";
            const unsigned char u = static_cast<unsigned char>(c);
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0x0F];
        }
    }
    text.swap(out);
}

// Writes one formatted line and compresses what the write rotated out. The compression runs
// here, outside every lock, because its failure callback may log again.
void WriteLine(const std::shared_ptr<RotatingLogSink> &sink, int level, const std::string &line) {
    spdlog::details::log_msg msg(spdlog::string_view_t(), SpdLevel(level),
                                 spdlog::string_view_t(line.data(), line.size()));
    sink->log(msg);  // written through (see RotatingLogSink)
    if (sink->HasRotated()) {
        for (const std::string &path : sink->TakeRotated()) {
            int err = RotatingLogSink::CompressRotated(path);
            if (err != 0) ReportLogCompressFailure(err, path);
        }
    }
}

}  // namespace

std::string ReduceFunctionName(const char *func) {
    if (func == nullptr) return std::string();
    std::string text(func);
    // The parameter list starts at the first '(' outside template brackets.
    size_t end = text.size();
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '<') {
            ++depth;
        } else if (c == '>' && depth > 0) {
            --depth;
        } else if (c == '(' && depth == 0) {
            // "operator()" names a function whose own list follows it.
            if (text.compare(i, 2, "()") == 0 && i >= 8 && text.compare(i - 8, 8, "operator") == 0) {
                ++i;
                continue;
            }
            end = i;
            break;
        }
    }
    // The name is the last space-separated token before it (the return type comes first).
    size_t start = 0;
    depth = 0;
    for (size_t i = 0; i < end; ++i) {
        char c = text[i];
        if (c == '<') {
            ++depth;
        } else if (c == '>' && depth > 0) {
            --depth;
        } else if (c == ' ' && depth == 0) {
            start = i + 1;
        }
    }
    while (start < end && (text[start] == '*' || text[start] == '&')) ++start;
    return text.substr(start, end - start);
}

std::string ReduceFileName(const char *file) {
    if (file == nullptr) return std::string();
    std::string text(file);
    size_t slash = text.find_last_of("/\\");
    if (slash != std::string::npos) text.erase(0, slash + 1);
    size_t dot = text.find_last_of('.');
    if (dot != std::string::npos && dot > 0) text.resize(dot);
    return text;
}

void SetLogLevel(int level) {
    g_level.store(ClampLevel(level), std::memory_order_relaxed);
}
int GetLogLevel() {
    return g_level.load(std::memory_order_relaxed);
}

void SetTraceFolder(const std::string &folder) {
    try {
        std::shared_ptr<RotatingLogSink> sink;
        if (!folder.empty()) {
            sink = MakeSink(PathJoin(folder, kTraceFileName), kTraceMaxBytes, kTraceFileCount);
        }
        LogState &s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.trace = std::move(sink);
    } catch (...) {
        // An unusable folder leaves the trace file off.
        LogState &s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.trace.reset();
    }
}

void FlushLogs() {
    try {
        std::vector<std::shared_ptr<RotatingLogSink>> sinks;
        {
            LogState &s = State();
            std::lock_guard<std::mutex> lock(s.mutex);
            for (auto &m : s.modules) sinks.push_back(m.second.sink);
            if (s.trace) sinks.push_back(s.trace);
        }
        for (auto &sink : sinks) sink->flush();
    } catch (...) {
    }
}

LogCaptureHook ExchangeLogCaptureHook(LogCaptureHook hook) {
    LogState &s = State();
    std::shared_ptr<const LogCaptureHook> holder;
    if (hook) holder = std::make_shared<const LogCaptureHook>(std::move(hook));
    std::shared_ptr<const LogCaptureHook> previous;
    {
        std::lock_guard<std::mutex> lock(s.hookMutex);
        previous = std::move(s.hook);
        s.hook = std::move(holder);
        g_hasHook.store(s.hook != nullptr, std::memory_order_release);
    }
    return previous ? *previous : LogCaptureHook();
}

}  // namespace unified_track

using namespace unified_track;

void DoLog(const char *module, int level, int flag, const char *func, const char *file, int line, const char *format,
           ...) {
    va_list args;
    va_start(args, format);
    DoLogV(module, level, flag, func, file, line, format, args);
    va_end(args);
}

void DoLogV(const char *module, int level, int flag, const char *func, const char *file, int line, const char *format,
            va_list args) {
    (void)flag;
    try {
        level = ClampLevel(level);
        if (level > g_level.load(std::memory_order_relaxed)) return;
        const char *mod = module != nullptr ? module : "";
        LogState &s = State();
        std::shared_ptr<RotatingLogSink> sink;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            auto it = s.modules.find(mod);
            if (it != s.modules.end()) {
                if (level > it->second.level) return;
                sink = it->second.sink;
            } else {
                sink = s.trace;
            }
        }
        std::shared_ptr<const LogCaptureHook> hook;
        if (g_hasHook.load(std::memory_order_acquire)) {
            std::lock_guard<std::mutex> lock(s.hookMutex);
            hook = s.hook;
        }
        if (!sink && !hook) return;  // nobody listens: skip the formatting

        LogRecord record;
        record.module = mod;
        record.level = level;
        record.function = ReduceFunctionName(func);
        record.file = ReduceFileName(file);
        record.line = line;
        record.text = FormatText(format, args);
        if (!record.text.empty() && record.text.back() == '\n') record.text.pop_back();
        EscapeControlCharacters(record.text);

        if (hook) (*hook)(record);
        if (sink) {
            std::string out;
            out.reserve(record.text.size() + record.module.size() + record.function.size() + 48);
            out += '[';
            out += LevelName(level);
            out += "][";
            out += record.module;
            out += "][";
            out += record.function;
            out += "][";
            out += record.file;
            out += ':';
            out += std::to_string(line);
            out += "] ";
            out += record.text;
            WriteLine(sink, level, out);
        }
    } catch (...) {
        // A log line is never worth an exception in the caller.
    }
}

int InitLog(const char *module, const char *filePath, int maxSizeKB, int fileCount, int level) {
    try {
        if (module == nullptr || module[0] == '\0' || filePath == nullptr || filePath[0] == '\0') return -1;
        if (maxSizeKB <= 0) maxSizeKB = 1;
        if (fileCount < 0) fileCount = 0;
        ModuleLog m;
        m.sink = MakeSink(filePath, static_cast<size_t>(maxSizeKB) * 1024u, static_cast<size_t>(fileCount));
        m.path = filePath;
        m.maxSizeKB = maxSizeKB;
        m.fileCount = fileCount;
        m.level = ClampLevel(level);
        LogState &s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.modules[module] = std::move(m);
        return 0;
    } catch (...) {
        return -1;
    }
}

int UpdateLogConfig(const char *module, const char *filePath, int maxSizeKB, int level) {
    try {
        if (module == nullptr || filePath == nullptr || filePath[0] == '\0') return -1;
        if (maxSizeKB <= 0) maxSizeKB = 1;
        LogState &s = State();
        int fileCount = 0;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            auto it = s.modules.find(module);
            if (it == s.modules.end()) return -1;
            fileCount = it->second.fileCount;
        }
        ModuleLog m;
        // Opened outside the lock; the old sink closes when its last writer lets go of it.
        m.sink = MakeSink(filePath, static_cast<size_t>(maxSizeKB) * 1024u, static_cast<size_t>(fileCount));
        m.path = filePath;
        m.maxSizeKB = maxSizeKB;
        m.fileCount = fileCount;
        m.level = ClampLevel(level);
        std::lock_guard<std::mutex> lock(s.mutex);
        s.modules[module] = std::move(m);
        return 0;
    } catch (...) {
        return -1;
    }
}

int UnInitLog(const char *module) {
    try {
        if (module == nullptr) return -1;
        std::shared_ptr<RotatingLogSink> old;
        LogState &s = State();
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            auto it = s.modules.find(module);
            if (it == s.modules.end()) return 0;
            old = std::move(it->second.sink);
            s.modules.erase(it);
        }
        old->flush();
        return 0;
    } catch (...) {
        return -1;
    }
}
