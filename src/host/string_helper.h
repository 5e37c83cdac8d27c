// String helpers of the common library. Conversions work on UTF-16 code units on every platform
// (a character outside the BMP is two units); invalid UTF-8 never crashes a conversion: each bad
// byte becomes U+FFFD.
#pragma once

#include <string>
#include <vector>

class StringHelper {
public:
    static std::u16string UTF8ToWstring(const std::string &text);
    static std::string WstringToUTF8(const std::u16string &text);
    // Pieces between the separators; empty pieces are kept except a trailing one.
    static std::vector<std::string> Split(const std::string &text, const std::string &separator);
};
