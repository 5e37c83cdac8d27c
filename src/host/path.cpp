#include "host/path.h"

namespace unified_track {

size_t LastPathSep(const std::string &path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsPathSep(path[i - 1])) return i - 1;
    }
    return std::string::npos;
}

std::string WithTrailingSep(std::string folder) {
    if (!folder.empty() && !IsPathSep(folder.back())) folder.push_back(kPathSep);
    return folder;
}

std::string PathJoin(const std::string &folder, const std::string &name) {
    if (folder.empty()) return name;
    return WithTrailingSep(folder) + name;
}

std::string FileNameOf(const std::string &path) {
    const size_t sep = LastPathSep(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace unified_track
