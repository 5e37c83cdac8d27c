// Masks of the log library: sensitive values are cut out of log lines before they are written.
#include <cstring>
#include <string>

#include "host/log.h"

namespace {

// A range of 8 or more characters may keep its last one (hideAll false).
constexpr size_t kKeepTailMinChars = 8;

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Masks count UTF-16 code units: a 4-byte sequence counts twice.
size_t CharCount(const std::string &text, size_t from, size_t to) {
    size_t n = 0;
    for (size_t i = from; i < to; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(text[i])) n += c >= 0xF0 ? 2 : 1;
    }
    return n;
}

// Start of the last character of text[from, to) (to > from), or `to` when that character is not
// a sequence of at most four bytes (invalid text keeps nothing readable).
size_t LastCharStart(const std::string &text, size_t from, size_t to) {
    size_t i = to - 1;
    while (i > from && IsContinuation(text[i])) {
        --i;
        if (to - i > 4) return to;
    }
    return i;
}

// Appends the masked form of text[from, to) (from at a character start) to out.
void AppendMaskedForm(std::string &out, const std::string &text, size_t from, size_t to, bool hideLength,
                      bool hideAll) {
    if (from >= to) return;
    size_t masked = to;
    if (!hideAll && CharCount(text, from, to) >= kKeepTailMinChars) masked = LastCharStart(text, from, to);
    if (hideLength) {
        out += LogStream::kMaskMarker;
    } else {
        out.append(CharCount(text, from, masked), '*');
    }
    out.append(text, masked, to - masked);
}

// Masks text[from, to) and returns where the masked range now ends.
size_t MaskRange(std::string &text, size_t from, size_t to, bool hideLength, bool hideAll) {
    if (to > text.size()) to = text.size();
    if (from >= to) return from;
    // Whole characters only: a split UTF-8 sequence would leave stray bytes in the line.
    while (from > 0 && IsContinuation(text[from])) --from;
    while (to < text.size() && IsContinuation(text[to])) ++to;

    std::string replacement;
    AppendMaskedForm(replacement, text, from, to, hideLength, hideAll);
    text.replace(from, to - from, replacement);
    return from + replacement.size();
}

// Where a bare value (`"key": 123`) starts behind keyEnd, or npos when the value is not bare.
size_t BareValueStart(const std::string &text, size_t keyEnd, const std::string &valueStart) {
    size_t i = text.find_first_not_of(" \t", keyEnd);
    if (i == std::string::npos || text[i] != ':') return std::string::npos;
    i = text.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos) return std::string::npos;
    if (text.compare(i, valueStart.size(), valueStart) == 0) return std::string::npos;
    if (std::strchr("\"\\{[,}]\r\n", text[i]) != nullptr) return std::string::npos;
    return i;
}

bool IsListSeparator(char c) {
    return c == ',' || c == ';' || c == '|' || c == ' ' || c == '\t';
}

void MaskAddress(std::string &address) {
    size_t first = address.find_first_of(".:");
    if (first == std::string::npos) {
        if (!address.empty()) MaskRange(address, 1, address.size(), false, true);
        return;
    }
    size_t last = address.find_last_of(".:");
    // Two groups: the second one is the rest of the address (often its host part).
    if (last == first) last = address.size();
    for (size_t i = first + 1; i < last; ++i) {
        if (address[i] != '.' && address[i] != ':') address[i] = '*';
    }
}

std::string FilterIpList(const std::string &text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (IsListSeparator(text[i])) {
            out += text[i++];
            continue;
        }
        size_t end = i;
        while (end < text.size() && !IsListSeparator(text[end])) ++end;
        std::string address = text.substr(i, end - i);
        MaskAddress(address);
        out += address;
        i = end;
    }
    return out;
}

std::string FilterPath(const std::string &text) {
    size_t name = text.find_last_of("/\\");
    if (name == std::string::npos) return text;
    std::string out;
    size_t start = 0;
    while (start <= name) {
        size_t sep = text.find_first_of("/\\", start);
        if (sep > start) out += '*';
        out += text[sep];
        start = sep + 1;
    }
    out.append(text, name + 1, std::string::npos);
    return out;
}

}  // namespace

void LogStream::AppendMasked(std::string &out, const std::string &text, size_t from, size_t to, bool hideLength,
                             bool hideAll) {
    if (to > text.size()) to = text.size();
    // Bytes that continue the character before `from` belong to it and stay.
    while (from < to && IsContinuation(text[from])) out += text[from++];
    AppendMaskedForm(out, text, from, to, hideLength, hideAll);
}

void LogStream::ReplaceSensitiveWord(std::string &text, size_t from, size_t to, bool hideLength, bool hideAll) {
    MaskRange(text, from, to, hideLength, hideAll);
}

void LogStream::FilterWithSpecifiedWord(std::string &text, const std::string &key, const std::string &valueStart,
                                        const std::string &valueEnd, bool hideLength, bool hideAll) {
    if (key.empty() || valueStart.empty() || valueEnd.empty()) return;
    size_t pos = 0;
    size_t k;
    while ((k = text.find(key, pos)) != std::string::npos) {
        const size_t keyEnd = k + key.size();
        size_t bare = BareValueStart(text, keyEnd, valueStart);
        if (bare != std::string::npos) {
            size_t end = text.find_first_of(",}] \t\r\n", bare);
            pos = MaskRange(text, bare, end == std::string::npos ? text.size() : end, hideLength, hideAll);
            continue;
        }
        size_t start = text.find(valueStart, keyEnd);
        if (start == std::string::npos) break;  // no later key has a value either
        const size_t value = start + valueStart.size();
        size_t end = text.find(valueEnd, value);
        if (end == std::string::npos) end = text.size();
        pos = MaskRange(text, value, end, hideLength, hideAll);
        if (pos <= k) pos = keyEnd;
    }
}

std::string LogStream::FilterWord(const std::string &text, int rule) {
    if (text.empty()) return text;
    switch (rule) {
        case LOG_FILTER_IP:
            return FilterIpList(text);
        case LOG_FILTER_PATH:
            return FilterPath(text);
        default:
            return kMaskMarker;
    }
}
