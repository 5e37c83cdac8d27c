// A string whose bytes are overwritten with zeros before its memory is given back. The reporters
// carry addresses, conference and participant ids and server answers; none of that should stay
// readable in freed heap blocks or on the stack after a report is done.
//
// Two paths are covered: heap blocks (the allocator wipes every block it frees, which also covers
// the old block of a growing string) and the short-string buffer inside the object (the destructor
// wipes it).
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <string>
#include <string_view>

namespace unified_track {

// Zeroes n bytes in a way the optimiser may not drop (the stores go through a volatile pointer).
inline void SecureWipe(void *data, size_t n) {
    volatile unsigned char *p = static_cast<volatile unsigned char *>(data);
    while (n-- > 0) {
        *p++ = 0;
    }
}

template <typename T>
class SecureAllocator {
public:
    using value_type = T;

    SecureAllocator() noexcept = default;
    template <typename U>
    SecureAllocator(const SecureAllocator<U> &) noexcept {}

    T *allocate(size_t n) {
        if (n > std::numeric_limits<size_t>::max() / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T *>(::operator new(n * sizeof(T)));
    }
    void deallocate(T *p, size_t n) noexcept {
        if (p != nullptr) {
            SecureWipe(p, n * sizeof(T));
        }
        ::operator delete(p);
    }

    template <typename U>
    bool operator==(const SecureAllocator<U> &) const noexcept {
        return true;
    }
    template <typename U>
    bool operator!=(const SecureAllocator<U> &) const noexcept {
        return false;
    }
};

// Wipes the whole capacity of any std::basic_string, including the bytes past size() left by
// earlier, longer contents. resize() to the capacity keeps the buffer in place and makes every
// byte addressable without undefined behaviour.
template <typename Str>
void WipeString(Str &s) noexcept {
    s.resize(s.capacity());
    if (!s.empty()) {
        SecureWipe(&s[0], s.size() * sizeof(typename Str::value_type));
    }
    s.clear();
}

using SecureStringBase = std::basic_string<char, std::char_traits<char>, SecureAllocator<char>>;

class SecureString : public SecureStringBase {
public:
    using SecureStringBase::SecureStringBase;
    SecureString() = default;
    SecureString(const SecureString &) = default;
    SecureString(SecureString &&) = default;
    SecureString &operator=(const SecureString &) = default;
    SecureString &operator=(SecureString &&other) noexcept {
        WipeString(static_cast<SecureStringBase &>(*this));
        SecureStringBase::operator=(std::move(other));
        return *this;
    }
    explicit SecureString(std::string_view text) : SecureStringBase(text.data(), text.size()) {}
    ~SecureString() { WipeString(static_cast<SecureStringBase &>(*this)); }

    std::string_view view() const noexcept { return std::string_view(data(), size()); }
};

}  // namespace unified_track
