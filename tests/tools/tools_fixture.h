// Files as the library writes them, for feeding the tools.
#pragma once

#include <fstream>
#include <string>

#include "common/records.h"

namespace ut_tools_test {

// A user line with the given id, event and last argument (30 fields, newline at the end).
inline std::string UserLine(const std::string &id, const std::string &event, const std::string &arg4) {
    std::string line = "6.0";
    for (size_t i = 1; i + 5 < ut_tools::kUserFieldCount; ++i) {
        line += '|';
        line += i == 16 ? "2026-12-06 10:00:00.000 +0000" : ut_tools::kUserFieldNames[i] + std::string("-v");
    }
    return line + "|" + id + "|" + event + "|a2|a3|" + arg4 + "\n";
}

inline std::string MediaLine(const std::string &id, const std::string &payload) {
    return id + "|2026-12-06 10:00:01.000 +0000|uuid-1|a***|corp|-|{\"deviceId\":\"dev-****\",\"mNumber\":1}|" +
           payload + "\n";
}

inline std::string Envelope(const std::string &data) {
    return "{\"data\":" + ut_tools::JsonQuote(data) + ",\"user\":\"uuid-1\"}";
}

inline void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline void AppendFile(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

}  // namespace ut_tools_test
