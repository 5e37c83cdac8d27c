// Exact-text views over the shared log capture.
#pragma once

#include <string>
#include <vector>

#include "support/log_capture.h"

namespace ut_core_test {

class LogCapture {
public:
    std::vector<unified_track::LogRecord> Records() const { return capture_.Lines(); }
    // Lines whose text equals `text` exactly.
    std::vector<unified_track::LogRecord> With(const std::string &text) const {
        std::vector<unified_track::LogRecord> out;
        for (auto &r : Records())
            if (r.text == text) out.push_back(r);
        return out;
    }
    size_t Count(const std::string &text) const { return With(text).size(); }
    // Lines whose text starts with `prefix`.
    size_t CountPrefix(const std::string &prefix) const {
        size_t n = 0;
        for (auto &r : Records())
            if (r.text.compare(0, prefix.size(), prefix) == 0) ++n;
        return n;
    }
    void Clear() { capture_.Clear(); }

private:
    ut_test::LogCapture capture_;
};

}  // namespace ut_core_test
