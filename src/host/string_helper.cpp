// UTF-8 / UTF-16 conversions and splitting.
#include "host/string_helper.h"

#include <cstdint>

#include "host/pal.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

inline bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Decodes one well-formed sequence at text[i]; returns its length, or 0 when the byte at i does
// not start one (overlong forms, encoded surrogates and values past U+10FFFF are rejected).
size_t DecodeOne(const std::string &text, size_t i, uint32_t *cp) {
    const size_t n = text.size();
    unsigned char c0 = static_cast<unsigned char>(text[i]);
    if (c0 < 0x80) {
        *cp = c0;
        return 1;
    }
    size_t len = 0;
    uint32_t value = 0;
    uint32_t min = 0;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        len = 2;
        value = c0 & 0x1F;
        min = 0x80;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        len = 3;
        value = c0 & 0x0F;
        min = 0x800;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        len = 4;
        value = c0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (n - i < len) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char c = static_cast<unsigned char>(text[i + k]);
        if (!IsContinuation(c)) return 0;
        value = (value << 6) | (c & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return len;
}

void AppendUtf8(std::string *out, uint32_t cp) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::u16string StringHelper::UTF8ToWstring(const std::string &text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        uint32_t cp = 0;
        size_t len = DecodeOne(text, i, &cp);
        if (len == 0) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string StringHelper::WstringToUTF8(const std::u16string &text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            AppendUtf8(&out, cp);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(&out, kReplacement);  // a lone surrogate has no UTF-8 form
        } else {
            AppendUtf8(&out, u);
        }
    }
    return out;
}

std::vector<std::string> StringHelper::Split(const std::string &text, const std::string &separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(separator, start);
        if (pos == std::string::npos) {
            if (start < text.size()) pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, pos - start));
        start = pos + separator.size();
    }
    return pieces;
}

namespace {

// Decimal port from 0 to 65535, at most five digits; false for anything else.
bool ReadPort(const std::string &text, int32_t *port) {
    if (text.empty() || text.size() > 5) return false;
    int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > 65535) return false;
    *port = value;
    return true;
}

// Splits per the grammar; false when the text does not fit it (host and port then untouched).
// An empty port text after ':' means none.
bool SplitHostPort(const std::string &addr, std::string *host, std::string *portText) {
    if (addr.empty()) return false;
    if (addr[0] == '[') {
        size_t close = addr.find(']');
        if (close == std::string::npos || close == 1) return false;
        std::string rest = addr.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return false;
        *host = addr.substr(1, close - 1);
        *portText = rest.empty() ? std::string() : rest.substr(1);
        return true;
    }
    size_t first = addr.find(':');
    if (first == std::string::npos) {
        *host = addr;
        portText->clear();
        return true;
    }
    if (addr.find(':', first + 1) != std::string::npos) {
        // Several colons without brackets: a bare IPv6 address, which cannot carry a port.
        if (addr.find('\0') != std::string::npos || PAL_IsIpv6(addr.c_str()) == 0) return false;
        *host = addr;
        portText->clear();
        return true;
    }
    if (first == 0) return false;
    *host = addr.substr(0, first);
    *portText = addr.substr(first + 1);
    return true;
}

}  // namespace

void StringHelper::ParseIpAndPort(const std::string &addr, std::string &host, int32_t &port) {
    std::string h;
    std::string portText;
    port = 0;
    if (!SplitHostPort(addr, &h, &portText)) {
        host = addr;
        return;
    }
    host = h;
    int32_t value = 0;
    if (!portText.empty() && ReadPort(portText, &value)) port = value;
}

void StringHelper::ParseIpAndPortV2(const std::string &addr, std::string &host, int32_t &port) {
    std::string h;
    std::string portText;
    port = 0;
    host.clear();
    if (!SplitHostPort(addr, &h, &portText)) return;
    int32_t value = 0;
    if (!portText.empty()) {
        if (!ReadPort(portText, &value)) return;
        port = value;
    }
    host = h;
}

std::string StringHelper::Ipv6AddrCheckAndAddBrackets(const std::string &addr) {
    if (addr.find('\0') == std::string::npos && PAL_IsIpv6(addr.c_str()) != 0) return "[" + addr + "]";
    return addr;
}
