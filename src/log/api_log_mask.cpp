// One-pass key masking of API-log texts (see api_log_mask.h).
#include "log/api_log_mask.h"

#include <cstring>
#include <vector>

#include "host/log.h"
#include "log/track_api_log_constants.h"

namespace apilog {
namespace {

enum KeyFlag : uint16_t {
    kExactPassword = 1 << 0,
    kExactToken = 1 << 1,
    kExactExtended = 1 << 2,
    kSuffixPassword = 1 << 3,
    kSuffixToken = 1 << 4,
    kSuffixCmsName = 1 << 5,
    kExactUsgAccount = 1 << 6,
    kExactParticipant = 1 << 7,
};
constexpr uint16_t kExactFlags = kExactPassword | kExactToken | kExactExtended | kExactUsgAccount | kExactParticipant;

enum class KeyClass { None, Password, Token, Extended, Name, Participant };

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Key names stored back to front, so one walk from a name's last character answers both "is it
// this key" and "does it end in this key" in time linear in the name.
class ReverseTrie {
public:
    ReverseTrie() { nodes_.emplace_back(); }

    void Add(const char *key, uint16_t flag, bool lower) {
        size_t node = 0;
        for (size_t i = std::strlen(key); i > 0; --i) {
            const char c = lower ? Lower(key[i - 1]) : key[i - 1];
            int child = Child(node, c);
            if (child < 0) {
                child = static_cast<int>(nodes_.size());
                nodes_[node].chars += c;
                nodes_[node].children.push_back(child);
                nodes_.emplace_back();
            }
            node = static_cast<size_t>(child);
        }
        nodes_[node].flags |= flag;
    }

    // Flags of keys that `name` ends in (suffix flags) or equals (exact flags).
    uint16_t Match(const char *name, size_t length, bool lower) const {
        uint16_t flags = 0;
        size_t node = 0;
        for (size_t i = length; i > 0; --i) {
            const int child = Child(node, lower ? Lower(name[i - 1]) : name[i - 1]);
            if (child < 0) return flags;
            node = static_cast<size_t>(child);
            flags |= static_cast<uint16_t>(nodes_[node].flags & ~kExactFlags);
        }
        return static_cast<uint16_t>(flags | nodes_[node].flags);
    }

private:
    struct Node {
        uint16_t flags = 0;
        std::string chars;          // the children's characters, searched with memchr
        std::vector<int> children;  // parallel to chars
    };
    int Child(size_t node, char c) const {
        const Node &n = nodes_[node];
        const void *hit = n.chars.empty() ? nullptr : std::memchr(n.chars.data(), c, n.chars.size());
        return hit == nullptr ? -1 : n.children[static_cast<size_t>(static_cast<const char *>(hit) - n.chars.data())];
    }
    std::vector<Node> nodes_;
};

struct KeyTables {
    ReverseTrie anyCase;    // password, token and extended-field keys and suffixes, lower case
    ReverseTrie exactCase;  // the module lists and the participant id, as written

    KeyTables() {
        for (const char *k : kPasswordKeys) anyCase.Add(k, kExactPassword, true);
        for (const char *k : kTokenKeys) anyCase.Add(k, kExactToken, true);
        for (const char *k : kExtendedFieldKeys) anyCase.Add(k, kExactExtended, true);
        for (const char *k : kPasswordSuffixes) anyCase.Add(k, kSuffixPassword, true);
        for (const char *k : kTokenSuffixes) anyCase.Add(k, kSuffixToken, true);
        for (const char *k : kCmsNameKeys) exactCase.Add(k, kSuffixCmsName, false);
        for (const char *k : kUsgAccountKeys) exactCase.Add(k, kExactUsgAccount, false);
        exactCase.Add(kParticipantIdKey, kExactParticipant, false);
    }
};

const KeyTables &Tables() {
    static const KeyTables tables;
    return tables;
}

struct Modules {
    bool cms;
    bool usg;
};

KeyClass Classify(const char *name, size_t length, Modules modules) {
    const KeyTables &t = Tables();
    const uint16_t any = t.anyCase.Match(name, length, true);
    if (any & kExactExtended) return KeyClass::Extended;
    if (any & kExactPassword) return KeyClass::Password;
    if (any & kExactToken) return KeyClass::Token;
    if (modules.cms || modules.usg) {
        const uint16_t exact = t.exactCase.Match(name, length, false);
        if (modules.cms && (exact & kExactParticipant)) return KeyClass::Participant;
        if (modules.cms && (exact & kSuffixCmsName)) return KeyClass::Name;
        if (modules.usg && (exact & kExactUsgAccount)) return KeyClass::Name;
    }
    if (any & kSuffixPassword) return KeyClass::Password;
    if (any & kSuffixToken) return KeyClass::Token;
    return KeyClass::None;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

// Characters a long token may show in its readable head; anything else (quotes, braces, escapes)
// means the value is not a plain token and nothing of it stays readable.
bool IsTokenChar(char c) {
    return IsWordChar(c) || c == '~' || c == '+' || c == '/' || c == '=';
}

// A quote preceded by r backslashes belongs to the JSON text of depth "number of trailing one
// bits of r": " is depth 0, \" depth 1, \\\" depth 2, and \\" (an escaped backslash, then a
// quote) is depth 0 again.
unsigned DepthOf(size_t backslashes) {
    unsigned depth = 0;
    while ((backslashes & 1u) != 0) {
        ++depth;
        backslashes >>= 1;
    }
    return depth;
}

// One value: text[from, to) is what gets masked. A value that the text's end (or the end of the
// string holding it) cut off has no known last character, so none is left readable.
struct Value {
    size_t from;
    size_t to;
    bool isString;
    bool cut;
};

class Masker {
public:
    Masker(const std::string &text, Modules modules) : text_(text), n_(text.size()), modules_(modules) {
        out_.reserve(n_ + 16);
    }

    std::string Run() {
        size_t i = 0;
        while (i < n_) {
            const char c = text_[i];
            if (c == '"') {
                i = AtQuote(i);
            } else if (c == '=') {
                i = AtEquals(i);
            } else {
                ++i;
            }
        }
        out_.append(text_, copied_, std::string::npos);
        return std::move(out_);
    }

private:
    size_t BackslashesBefore(size_t i) const {
        size_t j = i;
        while (j > copied_ && text_[j - 1] == '\\') --j;
        return i - j;
    }

    // Position of the next quote at or after `i` whose depth is at most `depth`; n_ when none.
    // Sets *runStart to where the quote's backslashes begin.
    size_t EndQuote(size_t i, unsigned depth, size_t *runStart) const {
        size_t run = 0;
        for (; i < n_; ++i) {
            const char c = text_[i];
            if (c == '\\') {
                ++run;
                continue;
            }
            if (c == '"' && DepthOf(run) <= depth) {
                *runStart = i - run;
                return i;
            }
            run = 0;
        }
        *runStart = n_;
        return n_;
    }

    // A quote at `q`: masks the value when it opens a known key; returns where to go on.
    size_t AtQuote(size_t q) {
        const size_t open = BackslashesBefore(q);
        const unsigned depth = DepthOf(open);
        const size_t nameFrom = q + 1;
        size_t j = nameFrom;
        while (j < n_ && j - nameFrom <= kMaxKeyLength && text_[j] != '"' && text_[j] != '\\') ++j;
        if (j >= n_ || j - nameFrom > kMaxKeyLength) return j;
        size_t close = j;
        size_t run = 0;
        while (close < n_ && text_[close] == '\\') {
            ++close;
            ++run;
        }
        if (close >= n_) return close;
        if (text_[close] != '"' || DepthOf(run) != depth) return j;
        size_t colon = close + 1;
        while (colon < n_ && IsBlank(text_[colon])) ++colon;
        if (colon >= n_ || text_[colon] != ':') return j;  // not a key: the closing quote may open one
        size_t v = colon + 1;
        while (v < n_ && IsBlank(text_[v])) ++v;
        const KeyClass cls = Classify(text_.data() + nameFrom, j - nameFrom, modules_);
        if (cls == KeyClass::None) return v;  // its value may hold keys of its own
        const Value value = ValueAt(v, depth);
        Emit(cls, value, q - open);
        return value.to > v ? value.to : v;
    }

    // `name=value` in plain text (a query string, a "k=v, k=v" list).
    size_t AtEquals(size_t e) {
        size_t start = e;
        while (start > copied_ && e - start <= kMaxKeyLength && IsWordChar(text_[start - 1])) --start;
        if (start == e || e - start > kMaxKeyLength) return e + 1;
        const KeyClass cls = Classify(text_.data() + start, e - start, modules_);
        if (cls == KeyClass::None) return e + 1;
        Value value;
        size_t v = e + 1;
        size_t run = 0;
        while (v + run < n_ && text_[v + run] == '\\') ++run;
        if (v + run < n_ && text_[v + run] == '"') {
            value = StringAt(v + run, DepthOf(run));
        } else {
            value = Value{v, v, false, false};
            while (value.to < n_ && std::strchr(" \t\r\n&,;\"'", text_[value.to]) == nullptr &&
                   !QuoteFollowsBackslashes(value.to)) {
                ++value.to;
            }
            value.cut = value.to >= n_;
        }
        Emit(cls, value, start);
        return value.to > e ? value.to : e + 1;
    }

    bool QuoteFollowsBackslashes(size_t i) const {
        if (text_[i] != '\\') return false;
        while (i < n_ && text_[i] == '\\') ++i;
        return i < n_ && text_[i] == '"';
    }

    // The string opened by the quote at `q` (of depth `depth`): up to the next quote of that depth
    // or less (a shallower one ends the text that held it), or the end.
    Value StringAt(size_t q, unsigned depth) const {
        size_t runStart = n_;
        const size_t end = EndQuote(q + 1, depth, &runStart);
        return Value{q + 1, runStart, true, end >= n_ || DepthOf(end - runStart) < depth};
    }

    Value ValueAt(size_t v, unsigned depth) const {
        if (v >= n_) return Value{v, v, false, true};
        size_t run = 0;
        while (v + run < n_ && text_[v + run] == '\\') ++run;
        if (v + run < n_ && text_[v + run] == '"') return StringAt(v + run, DepthOf(run));
        const char c = text_[v];
        if (c == '{' || c == '[') return ContainerAt(v, depth);
        size_t end = v;
        while (end < n_ && std::strchr(",}] \t\r\n\"", text_[end]) == nullptr && !QuoteFollowsBackslashes(end)) ++end;
        return Value{v, end, false, end >= n_};
    }

    // An object or array: up to its matching bracket, strings of its own depth skipped whole; a
    // quote of a shallower depth ends it (the string holding it ended), as does the end of text.
    Value ContainerAt(size_t v, unsigned depth) const {
        size_t nesting = 0;
        size_t run = 0;
        for (size_t i = v; i < n_; ++i) {
            const char c = text_[i];
            if (c == '\\') {
                ++run;
                continue;
            }
            const size_t backslashes = run;
            run = 0;
            if (c == '"') {
                const unsigned d = DepthOf(backslashes);
                if (d < depth) return Value{v, i - backslashes, false, true};
                if (d > depth) continue;
                size_t runStart = n_;
                const size_t end = EndQuote(i + 1, depth, &runStart);
                if (end >= n_) return Value{v, n_, false, true};
                if (DepthOf(end - runStart) < depth) return Value{v, runStart, false, true};
                i = end;
            } else if (c == '{' || c == '[') {
                ++nesting;
            } else if ((c == '}' || c == ']') && --nesting == 0) {
                return Value{v, i + 1, false, false};
            }
        }
        return Value{v, n_, false, true};
    }

    void CopyUpTo(size_t pos) {
        if (pos > copied_) out_.append(text_, copied_, pos - copied_);
        if (pos > copied_) copied_ = pos;
    }

    void Emit(KeyClass cls, const Value &value, size_t keyStart) {
        size_t from = value.from < copied_ ? copied_ : value.from;
        const size_t to = value.to;
        if (from >= to) return;
        const bool keepLast = !value.cut;
        switch (cls) {
            case KeyClass::Password:
                Mask(from, to, true, true);
                break;
            case KeyClass::Token: {
                if (value.isString && to - from >= kLongTokenLength) {
                    size_t k = 0;
                    while (k < kLongTokenKept && IsTokenChar(text_[from + k])) ++k;
                    if (k == kLongTokenKept) from += kLongTokenKept;
                }
                Mask(from, to, false, !keepLast);
                break;
            }
            case KeyClass::Extended:
                Mask(keyStart < copied_ ? copied_ : keyStart, to, true, true);
                break;
            case KeyClass::Name:
                Mask(from, to, false, !keepLast);
                break;
            case KeyClass::Participant: {
                // The first character and the last three stay (the last one by the mask itself).
                size_t first = from + 1;
                while (first < to && (static_cast<unsigned char>(text_[first]) & 0xC0) == 0x80) ++first;
                size_t end = to;
                if (keepLast && end > first && end - first > 2) end -= 2;
                Mask(first, end, false, !keepLast);
                break;
            }
            case KeyClass::None:
                break;
        }
    }

    void Mask(size_t from, size_t to, bool hideLength, bool hideAll) {
        if (from >= to) return;
        CopyUpTo(from);
        LogStream::AppendMasked(out_, text_, from, to, hideLength, hideAll);
        copied_ = to;
    }

    const std::string &text_;
    const size_t n_;
    const Modules modules_;
    std::string out_;
    size_t copied_ = 0;  // text_[0, copied_) is in out_
};

}  // namespace

std::string MaskKeys(const std::string &text, int32_t from, int32_t to) {
    const Modules modules{from == kModuleCms || to == kModuleCms, from == kModuleUsg || to == kModuleUsg};
    return Masker(text, modules).Run();
}

}  // namespace apilog
