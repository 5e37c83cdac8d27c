// The API log gate: flood and noise drops, masking, normalising, shortening, one line out.
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
#include "log/track_api_log_constants.h"
#include "log/api_log_mask.h"
#include "log/track_trace_constants.h"

using namespace apilog;

namespace {

struct AbandonRecord {
    int32_t count = 0;
    uint64_t lastTime = 0;
    std::string shown;  // the prefix as the summary line shows it: masked
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

bool Contains(const std::string &text, const char *word) {
    return text.find(word) != std::string::npos;
}

// A marker that opens with a quote is looked for by its second character on: a JSON text has a
// quote every few bytes, and each would start a comparison.
bool ContainsMarker(const std::string &text, const char *marker) {
    if (marker[0] != '"' || marker[1] == '\0') return Contains(text, marker);
    for (size_t p = text.find(marker + 1, 1); p != std::string::npos; p = text.find(marker + 1, p + 1)) {
        if (text[p - 1] == '"') return true;
    }
    return false;
}

void WriteApiText(const std::string &text) {
    DoLog(kApiLogModule, LOG_INFO, 0, kApiFunction, kApiFile, kApiLineNumber, "%s", text.c_str());
}

// Records one drop of `prefix`; returns the summary line when this drop completes a round.
std::string RecordDrop(FloodState &state, const std::string &prefix, std::string shown) {
    AbandonRecord &record = state.abandoned[prefix];
    record.count += 1;
    record.shown = std::move(shown);
    record.lastTime = PAL_GetSystemTime();
    if (record.count < kAbandonSummaryAt) {
        if (state.abandoned.size() > kAbandonedMax) {
            auto oldest =
                std::min_element(state.abandoned.begin(), state.abandoned.end(),
                                 [](const auto &a, const auto &b) { return a.second.lastTime < b.second.lastTime; });
            state.abandoned.erase(oldest);
        }
        return std::string();
    }
    std::string summary = kSummaryHead;
    for (const auto &entry : state.abandoned) {
        summary += entry.second.shown;
        summary += kSummaryCount;
        summary += std::to_string(entry.second.count);
        summary += kSummaryTail;
    }
    state.abandoned.erase(prefix);
    return summary;
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
    if (IsAbandoned(text, from, to) || IsNoise(text)) return;
    // Masking sees the whole text with its escapes intact: shortening first could cut a key off
    // its value, and removing backslashes first would break the strings of escaped JSON.
    Mask(text, from, to);
    Normalise(text, from, to);
    Shorten(text);
    // The line "[%s]------>[%s]: %s", put together here: the log library then takes it as ready
    // text instead of formatting up to 3 KB through printf.
    std::string line;
    line.reserve(text.size() + 24);
    line += '[';
    line += ModuleName(from);
    line += kApiLineArrow;
    line += ModuleName(to);
    line += kApiLineColon;
    line += text;
    WriteApiText(line);
}

bool TrackApiLog::IsAbandoned(const std::string &text, int32_t from, int32_t to) {
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
            std::string shown = prefix;
            Mask(shown, from, to);
            summary = RecordDrop(state, prefix, std::move(shown));
        }
        state.recent.push_back(prefix);
        if (state.recent.size() > kRecentPrefixMax) state.recent.pop_front();
    }
    if (!summary.empty()) {
        Normalise(summary, from, to);
        Shorten(summary);
        WriteApiText(summary);
    }
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
    const bool sbc = from == kModuleSbc || to == kModuleSbc;
    const bool cms = from == kModuleCms || to == kModuleCms;
    // One pass: line feeds (and for SBC carriage returns) become blanks, CMS loses backslashes.
    size_t out = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n' || (sbc && c == '\r')) c = ' ';
        if (cms && c == '\\') continue;
        text[out++] = c;
    }
    text.resize(out);
}

void TrackApiLog::Mask(std::string &text, int32_t from, int32_t to) {
    text = apilog::MaskKeys(text, from, to);
    for (const UrlRule &rule : kUrlRules) {
        if (ContainsMarker(text, rule.marker)) {
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
