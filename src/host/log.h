// Log library: modules, levels, rotating files, a capture hook for tests.
// A module opened with InitLog writes its own rotating file. Every other module ("native_sdk",
// "native_sdk_frequency") writes to the library's own rotating trace file once the trace-log
// folder is known (SetTraceFolder), and nowhere before that.
// Line: "[yyyy-mm-dd hh:mm:ss.mmm][LEVEL][module][function][file:line] text". One call writes one
// line: control bytes in the text are escaped (LF "\n", CR "\r", others "\xhh"; tabs stay), and
// the line is in its file when the call returns (written through, no buffering to lose).
// A file past its size is renamed "<name>.<yyyymmddhhmmssmmm><ext>" and compressed to that name
// plus ".gz" (LogStream::CompressLogFile); the newest `fileCount` rotated files are kept.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>

enum UTLogLevel { LOG_ERROR = 0, LOG_WARN = 1, LOG_INFO = 2, LOG_DEBUG = 3 };

// `func` may be a plain name or __PRETTY_FUNCTION__ (return type and parameters are dropped);
// `file` may be a full path (only its base name without extension is kept).
void DoLog(const char *module, int level, int flag, const char *func, const char *file, int line, const char *format,
           ...) __attribute__((format(printf, 7, 8)));
void DoLogV(const char *module, int level, int flag, const char *func, const char *file, int line, const char *format,
            va_list args) __attribute__((format(printf, 7, 0)));

int InitLog(const char *module, const char *filePath, int maxSizeKB, int fileCount, int level);
int UpdateLogConfig(const char *module, const char *filePath, int maxSizeKB, int level);
int UnInitLog(const char *module);

namespace unified_track {
// Lines of levels above this are dropped (default: debug, i.e. everything).
void SetLogLevel(int level);
int GetLogLevel();
// The folder of the library's own trace file ("unified_track.log", rotating); empty stops it.
void SetTraceFolder(const std::string &folder);
// Flushes every open file (lines are written through already; kept for callers that want to be sure).
void FlushLogs();
// How DoLog shortens its function and file arguments:
// "int32_t unified_track::UTManager::Init(const char*)" -> "unified_track::UTManager::Init",
// "/src/manager/UTManager.cpp" -> "UTManager".
std::string ReduceFunctionName(const char *func);
std::string ReduceFileName(const char *file);

struct LogRecord {
    std::string module;
    int level = 0;
    std::string function;
    std::string file;
    int line = 0;
    std::string text;
};
// Sees every line that passes the level filter, on the logging thread. Null removes it.
// Installs `hook` and returns the one it replaces, so that a scoped installer can put it back.
using LogCaptureHook = std::function<void(const LogRecord &)>;
LogCaptureHook ExchangeLogCaptureHook(LogCaptureHook hook);
}  // namespace unified_track

enum UTLogFilterRule { LOG_FILTER_IP = 3, LOG_FILTER_PATH = 4 };

using DotdataFunc = void (*)(const char *content, const char *functionName);
using ZipDataFunc = void (*)(int errorCode, const char *logFileName);

class LogStream {
public:
    // Collects a line written when level <= checkLevel and the level filters let it pass.
    static LogStream GetLogStream(const char *module, int level, int checkLevel, const char *func, const char *file,
                                  int line);
    LogStream(LogStream &&other) noexcept;
    ~LogStream();  // writes the collected text as one line
    template <typename T>
    LogStream &operator<<(const T &value) {
        if (active_) stream_ << value;
        return *this;
    }

    static void SetDotdataFuncCallback(DotdataFunc func);
    static DotdataFunc GetDotdataFuncCallback();
    static void SetZipDataFuncCallback(ZipDataFunc func);
    static ZipDataFunc GetZipDataFuncCallback();
    // Compresses a rotated log file to <path>.gz and removes it; on failure calls the zip-data
    // callback with the error and the file name. Returns 0 on success.
    static int CompressLogFile(const std::string &path);

    // Masks for log lines (log_filter.cpp). Texts are UTF-8; a masked character is a whole
    // character, never a part of one. No mask leaves more of a value readable than stated here.
    //
    // Masks text[from, to) in place. `to` past the end means "to the end"; a range that cuts a
    // character is widened to whole characters; an empty range changes nothing.
    //   hideLength false: each masked character becomes '*' (the value's length stays visible);
    //              true:  the masked characters become kMaskMarker, whatever their number.
    //   hideAll    false: a range of 8 or more characters keeps its last character readable;
    //              true:  nothing of the range stays readable.
    // "Alexander Smith" (false,false) -> "**************h"; "secret" (true,true) -> " ...... ".
    static void ReplaceSensitiveWord(std::string &text, size_t from, size_t to, bool hideLength, bool hideAll);
    // The same mask, appended: out += masked text[from, to) (for maskers that build a new text in
    // one pass). Bytes at `from` that continue an earlier character are copied, not masked.
    static void AppendMasked(std::string &out, const std::string &text, size_t from, size_t to, bool hideLength,
                             bool hideAll);
    // For every occurrence of `key`, masks the value behind it (flags as above): the characters
    // after the next `valueStart` up to the following `valueEnd` (or the end of the text); both
    // delimiters stay. A bare JSON value (`"pwd": 123456`) is masked up to the next ',', '}', ']'
    // or blank. Nothing changes when an argument is empty.
    //   ""pwd":"abc"" with key ""pwd"", '"', '"', true, true -> ""pwd":" ...... "".
    static void FilterWithSpecifiedWord(std::string &text, const std::string &key, const std::string &valueStart,
                                        const std::string &valueEnd, bool hideLength, bool hideAll);
    // A masked copy of `text` by rule:
    //   LOG_FILTER_IP (3): every address of a list (separated by ',', ';', '|' or blanks) keeps
    //     its first and last groups ('.' or ':' separated); the groups between become '*' each
    //     character: "192.168.31.207" -> "192.***.**.207", "10.1.2.3:5061" -> "10.*.*.*:5061".
    //     An address of two groups keeps the first; one of a single group its first character.
    //   LOG_FILTER_PATH (4): the file name stays, each folder becomes one '*':
    //     "/home/bob/logs/a.zip" -> "/*/*/*/a.zip", "C:\Users\bob\a.zip" -> "*\*\*\a.zip".
    //   any other rule: the whole text becomes kMaskMarker (empty stays empty).
    static std::string FilterWord(const std::string &text, int rule);
    static constexpr const char *kMaskMarker = " ...... ";

private:
    LogStream(const char *module, int level, const char *func, const char *file, int line, bool active);
    std::string module_;
    int level_;
    std::string func_;
    std::string file_;
    int line_;
    bool active_;
    std::ostringstream stream_;
};

// Ordinary lines of the library.
#define UT_LOG(level, ...) DoLog("native_sdk", (level), 0, __PRETTY_FUNCTION__, __FILE__, __LINE__, __VA_ARGS__)
#define UT_LOGE(...) UT_LOG(LOG_ERROR, __VA_ARGS__)
#define UT_LOGW(...) UT_LOG(LOG_WARN, __VA_ARGS__)
#define UT_LOGI(...) UT_LOG(LOG_INFO, __VA_ARGS__)
#define UT_LOGD(...) UT_LOG(LOG_DEBUG, __VA_ARGS__)
