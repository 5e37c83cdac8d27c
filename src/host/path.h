// Path text: the separator, joining, and the size of the fixed path buffers handed across the
// exports. The only place that knows which characters separate folders.
#pragma once

#include <cstddef>
#include <string>

#ifdef _WIN32
constexpr char kPathSep = '\\';
#else
constexpr char kPathSep = '/';
#endif

namespace unified_track {

// Fixed path buffers (folders handed between the exports and the parts) hold this many bytes,
// the terminating NUL included.
constexpr size_t kPathBufferBytes = 260;

// "/" everywhere; "\" too on Windows, where both separate folders.
inline bool IsPathSep(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// Position of the last separator, or std::string::npos.
size_t LastPathSep(const std::string &path);
// The folder with a separator at its end (kept when it already has one; none added to "").
std::string WithTrailingSep(std::string folder);
// folder + separator + name, without doubling a separator the folder already ends with.
std::string PathJoin(const std::string &folder, const std::string &name);
// What follows the last separator (the whole text when there is none).
std::string FileNameOf(const std::string &path);

}  // namespace unified_track
