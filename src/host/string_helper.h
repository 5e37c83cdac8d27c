// String helpers of the common library. Conversions work on UTF-16 code units on every platform
// (a character outside the BMP is two units); invalid UTF-8 never crashes a conversion: each bad
// byte becomes U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class StringHelper {
public:
    static std::u16string UTF8ToWstring(const std::string &text);
    static std::string WstringToUTF8(const std::u16string &text);
    // Pieces between the separators; empty pieces are kept except a trailing one.
    static std::vector<std::string> Split(const std::string &text, const std::string &separator);

    // Address texts: "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address (no port).
    // The host comes back without brackets; port 0 means none. Nothing is trimmed.
    // Lenient: a port that is not a decimal number from 0 to 65535 reads as none, and a text that
    // does not fit the grammar comes back whole as the host.
    static void ParseIpAndPort(const std::string &addr, std::string &host, int32_t &port);
    // Strict: a text that does not fit the grammar, or has a bad port, gives an empty host.
    static void ParseIpAndPortV2(const std::string &addr, std::string &host, int32_t &port);
    // A bare IPv6 address enclosed in "[" and "]"; any other text comes back unchanged.
    static std::string Ipv6AddrCheckAndAddBrackets(const std::string &addr);
};
