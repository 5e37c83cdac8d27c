// Bounds-checking string functions. Every failure leaves an empty destination behind, so a
// caller that ignores the result still never reads a half-written or unterminated text.
#include "host/securec.h"

#if !defined(_MSC_VER)

#include <cstdio>
#include <cstring>

namespace {

// A size this large is a corrupted argument, not a buffer.
constexpr size_t kMaxBuffer = 0x7fffffffu;

inline bool BadBuffer(const void *dest, size_t destMax) {
    return dest == nullptr || destMax == 0 || destMax > kMaxBuffer;
}

inline void Empty(char *dest, size_t destMax) {
    if (dest != nullptr && destMax > 0 && destMax <= kMaxBuffer) dest[0] = '\0';
}

// Length of s, looking at no more than limit bytes.
inline size_t BoundedLen(const char *s, size_t limit) {
    const void *nul = std::memchr(s, '\0', limit);
    return nul == nullptr ? limit : static_cast<size_t>(static_cast<const char *>(nul) - s);
}

int FormatInto(char *dest, size_t destMax, size_t limit, const char *format, va_list args) {
    if (BadBuffer(dest, destMax) || format == nullptr) {
        Empty(dest, destMax);
        return -1;
    }
    if (limit >= destMax) limit = destMax - 1;  // a count past the buffer means "up to the buffer"
    int n = std::vsnprintf(dest, limit + 1, format, args);
    if (n < 0 || static_cast<size_t>(n) > limit) {
        dest[0] = '\0';
        return -1;
    }
    return n;
}

}  // namespace

int strcpy_s(char *dest, size_t destMax, const char *src) {
    if (BadBuffer(dest, destMax) || src == nullptr) {
        Empty(dest, destMax);
        return -1;
    }
    size_t len = BoundedLen(src, destMax);
    if (len >= destMax) {
        dest[0] = '\0';
        return -1;
    }
    std::memmove(dest, src, len);
    dest[len] = '\0';
    return 0;
}

int strncpy_s(char *dest, size_t destMax, const char *src, size_t count) {
    if (BadBuffer(dest, destMax) || src == nullptr) {
        Empty(dest, destMax);
        return -1;
    }
    size_t limit = count < destMax ? count : destMax;
    size_t len = BoundedLen(src, limit);
    if (len >= destMax) {
        dest[0] = '\0';
        return -1;
    }
    std::memmove(dest, src, len);
    dest[len] = '\0';
    return 0;
}

int strcat_s(char *dest, size_t destMax, const char *src) {
    if (BadBuffer(dest, destMax) || src == nullptr) {
        Empty(dest, destMax);
        return -1;
    }
    size_t have = BoundedLen(dest, destMax);
    if (have >= destMax) {  // destination not terminated inside its buffer
        dest[0] = '\0';
        return -1;
    }
    size_t room = destMax - have;
    size_t add = BoundedLen(src, room);
    if (add >= room) {
        dest[0] = '\0';
        return -1;
    }
    std::memmove(dest + have, src, add);
    dest[have + add] = '\0';
    return 0;
}

int memset_s(void *dest, size_t destMax, int c, size_t count) {
    if (BadBuffer(dest, destMax)) {
        Empty(static_cast<char *>(dest), destMax);
        return -1;
    }
    if (count > destMax) {
        std::memset(dest, 0, destMax);
        return -1;
    }
    std::memset(dest, c, count);
    return 0;
}

int memcpy_s(void *dest, size_t destMax, const void *src, size_t count) {
    if (BadBuffer(dest, destMax)) {
        Empty(static_cast<char *>(dest), destMax);
        return -1;
    }
    if (count == 0) return 0;
    if (src == nullptr || count > destMax) {
        std::memset(dest, 0, destMax);
        return -1;
    }
    std::memmove(dest, src, count);
    return 0;
}

int sprintf_s(char *dest, size_t destMax, const char *format, ...) {
    if (BadBuffer(dest, destMax)) {
        Empty(dest, destMax);
        return -1;
    }
    va_list args;
    va_start(args, format);
    int n = FormatInto(dest, destMax, destMax - 1, format, args);
    va_end(args);
    return n;
}

int vsnprintf_s(char *dest, size_t destMax, size_t count, const char *format, va_list args) {
    return FormatInto(dest, destMax, count, format, args);
}

#endif
