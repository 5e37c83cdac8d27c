// The API log gate: flood and noise drops, shortening, normalising, masking, one line out.
#include "log/TrackApiLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "host/clock.h"
#include "host/log.h"
#include "log/TrackApiLogConstants.h"
#include "log/track_trace_constants.h"

using namespace apilog;

namespace {

struct AbandonRecord {
    int32_t count = 0;
    uint64_t lastTime = 0;
};

// Shared by every caller thread; the masking steps work on the caller's own copy of the text.
struct FloodState {
    std::recursive_mutex lock;
    std::deque<std::string> recent;                  // guarded by lock, oldest first
    std::map<std::string, AbandonRecord> abandoned;  // guarded by lock
};

FloodState &Flood() {
    static FloodState state;
    return state;
}

const std::string kQuote = "\"";

bool Contains(const std::string &text, const char *word) { return text.find(word) != std::string::npos; }

void WriteApiText(const std::string &text) {
    DoLog(kApiLogModule, LOG_INFO, 0, kApiFunction, kApiFile, kApiLineNumber, "%s", text.c_str());
}

// Records one drop of `prefix`; returns the summary line when this drop completes a round.
std::string RecordDrop(FloodState &state, const std::string &prefix) {
    AbandonRecord &record = state.abandoned[prefix];
    record.count += 1;
    record.lastTime = PAL_GetSystemTime();
    if (record.count < kAbandonSummaryAt) {
        if (state.abandoned.size() > kAbandonedMax) {
            auto oldest = std::min_element(state.abandoned.begin(), state.abandoned.end(),
                                           [](const auto &a, const auto &b) { return a.second.lastTime < b.second.lastTime; });
            state.abandoned.erase(oldest);
        }
        return std::string();
    }
    std::string summary = kSummaryHead;
    for (const auto &entry : state.abandoned) {
        summary += entry.first;
        summary += kSummaryCount;
        summary += std::to_string(entry.second.count);
        summary += kSummaryTail;
    }
    state.abandoned.erase(prefix);
    return summary;
}

// The value behind an extended-field key ends just behind its matching '}' when it is an
// object, else at its closing quote; the text's end when either is missing.
size_t ExtendedValueEnd(const std::string &text, size_t value) {
    if (text[value] != '{') {
        size_t quote = text.find('"', value);
        return quote == std::string::npos ? text.size() : quote;
    }
    int depth = 0;
    for (size_t i = value; i < text.size(); ++i) {
        if (text[i] == '{') {
            ++depth;
        } else if (text[i] == '}' && --depth == 0) {
            return i + 1;
        }
    }
    return text.size();
}

void MaskExtendedFields(std::string &text) {
    for (const char *key : kExtendedFieldKeys) {
        const std::string pattern = kQuote + key + kQuote;
        for (size_t p = text.find(pattern); p != std::string::npos; p = text.find(pattern, p + 1)) {
            const size_t after = p + pattern.size();
            size_t value;
            // An object value right behind the colon is masked whole, not up to its first key.
            size_t next = text.find_first_not_of(": \t", after);
            if (next != std::string::npos && next > after && text[next] == '{' &&
                text.find(':', after) < next) {
                value = next;
            } else {
                size_t quote = text.find('"', after);
                if (quote == std::string::npos || quote + 1 >= text.size()) break;
                value = quote + 1;
            }
            LogStream::ReplaceSensitiveWord(text, p, ExtendedValueEnd(text, value), true, true);
        }
    }
}

void MaskTokens(std::string &text) {
    for (const char *key : kTokenKeys) {
        const std::string pattern = kQuote + key + kQuote;
        for (size_t p = text.find(pattern); p != std::string::npos; p = text.find(pattern, p + 1)) {
            size_t quote = text.find('"', p + pattern.size());
            if (quote == std::string::npos) break;
            size_t start = quote + 1;
            size_t end = text.find('"', start);
            if (end == std::string::npos) break;  // no later value is closed either
            // An empty value masks nothing, and later occurrences are still looked at.
            if (end <= start) continue;
            if (end - start >= kLongTokenLength) start += kLongTokenKept;
            LogStream::ReplaceSensitiveWord(text, start, end, false, false);
        }
    }
}

void MaskParticipantIds(std::string &text) {
    for (size_t p = text.find(kParticipantIdMarker); p != std::string::npos;
         p = text.find(kParticipantIdMarker, p + 1)) {
        const size_t from = p + kParticipantIdMarkerLength + 1;
        size_t to = text.find('"', from);
        if (to == std::string::npos) {
            to = text.size();
        } else if (to - from > 2) {
            to -= 2;
        }
        LogStream::ReplaceSensitiveWord(text, from, to, false, false);
    }
}

template <size_t N>
void FilterKeys(std::string &text, const char *const (&keys)[N], bool quoteBefore, bool hideLength, bool hideAll) {
    for (const char *key : keys) {
        const std::string pattern = (quoteBefore ? kQuote : std::string()) + key + kQuote;
        LogStream::FilterWithSpecifiedWord(text, pattern, kQuote, kQuote, hideLength, hideAll);
    }
}

}  // namespace

const char *TrackApiLog::ModuleName(int32_t id) {
    constexpr int32_t count = static_cast<int32_t>(sizeof(kModuleNames) / sizeof(kModuleNames[0]));
    return (id >= 0 && id < count) ? kModuleNames[id] : "";
}

void TrackApiLog::AddApiLogWithParam(int32_t from, int32_t to, const char *format, va_list args) {
    if (format == nullptr) {
        UT_LOGE(kParamNull);
        return;
    }
    std::vector<char> buffer(kFormatBufferSize, '\0');
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    // Output that does not fit is cut; like a failed format, it is reported and logged anyway.
    if (n < 0 || static_cast<size_t>(n) >= buffer.size()) UT_LOGW(kSecFunError, n < 0 ? n : -1);
    Pipeline(from, to, std::string(buffer.data(), strnlen(buffer.data(), buffer.size() - 1)));
}

void TrackApiLog::AddApiLogStr(int32_t from, int32_t to, const char *text) {
    if (text == nullptr) {
        UT_LOGE(kParamNull);
        return;
    }
    Pipeline(from, to, text);
}

void TrackApiLog::Pipeline(int32_t from, int32_t to, std::string text) {
    if (IsAbandoned(text) || IsNoise(text)) return;
    Shorten(text);
    Normalise(text, from, to);
    Mask(text, from, to);
    DoLog(kApiLogModule, LOG_INFO, 0, kApiFunction, kApiFile, kApiLineNumber, kApiLine, ModuleName(from),
          ModuleName(to), text.c_str());
}

bool TrackApiLog::IsAbandoned(const std::string &text) {
    const size_t called = text.find(kCallMarker);
    if (called == std::string::npos || called == 0) return false;
    const std::string prefix = text.substr(0, called);

    FloodState &state = Flood();
    bool abandoned = false;
    std::string summary;
    {
        std::lock_guard<std::recursive_mutex> guard(state.lock);
        const size_t seen = static_cast<size_t>(std::count(state.recent.begin(), state.recent.end(), prefix));
        if (seen > state.recent.size() / 3) {
            abandoned = true;
            summary = RecordDrop(state, prefix);
        }
        state.recent.push_back(prefix);
        if (state.recent.size() > kRecentPrefixMax) state.recent.pop_front();
    }
    if (!summary.empty()) WriteApiText(summary);
    return abandoned;
}

bool TrackApiLog::IsNoise(const std::string &text) {
    return text.empty() || (Contains(text, "HeartBeat") && !Contains(text, "JOIN_LIVE_WEBINAR")) ||
           Contains(text, "PONG") || Contains(text, "voice_data") ||
           (Contains(text, "RealTimeSubtitleNotify") && !Contains(text, "Subscribe")) ||
           Contains(text, "<conf_pass>") || Contains(text, "<confpwd>");
}

void TrackApiLog::Shorten(std::string &text) {
    if (text.size() <= kMaxTextLength) return;
    text = text.substr(0, kKeptHead) + kShortenMarker + text.substr(text.size() - kKeptTail);
}

void TrackApiLog::Normalise(std::string &text, int32_t from, int32_t to) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (from == kModuleSbc || to == kModuleSbc) std::replace(text.begin(), text.end(), '\r', ' ');
    if (from == kModuleCms || to == kModuleCms) text.erase(std::remove(text.begin(), text.end(), '\\'), text.end());
}

void TrackApiLog::Mask(std::string &text, int32_t from, int32_t to) {
    if (from == kModuleCms || to == kModuleCms) {
        FilterKeys(text, kCmsNameKeys, false, false, false);
        MaskParticipantIds(text);
        FilterKeys(text, kPasswordKeys, true, true, true);
    } else if (from == kModuleUsg || to == kModuleUsg) {
        FilterKeys(text, kUsgAccountKeys, true, false, false);
        FilterKeys(text, kPasswordKeys, true, true, true);
    }
    MaskExtendedFields(text);
    MaskTokens(text);
    for (const UrlRule &rule : kUrlRules) {
        if (Contains(text, rule.marker)) {
            LogStream::FilterWithSpecifiedWord(text, rule.marker, rule.valueStart, rule.valueEnd, true, false);
        }
    }
}

void TrackApiLog::ClearFloodState() {
    FloodState &state = Flood();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    state.recent.clear();
    state.abandoned.clear();
}
