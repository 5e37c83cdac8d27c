// The host layer's address-text helpers used by the configuration code.
#include <gtest/gtest.h>

#include "host/string_helper.h"

namespace {

TEST(AddressParse, LenientAndStrictGrammars) {
    struct Case {
        std::string in;
        std::string host1;  // ParseIpAndPort
        int32_t port1;
        std::string host2;  // ParseIpAndPortV2 ("" = refused)
        int32_t port2;
    } cases[] = {
        {"192.0.2.1", "192.0.2.1", 0, "192.0.2.1", 0},
        {"192.0.2.1:8443", "192.0.2.1", 8443, "192.0.2.1", 8443},
        {"conf.example.net:5061", "conf.example.net", 5061, "conf.example.net", 5061},
        {"[2001:db8::1]:443", "2001:db8::1", 443, "2001:db8::1", 443},
        {"[2001:db8::1]", "2001:db8::1", 0, "2001:db8::1", 0},
        {"2001:db8::1", "2001:db8::1", 0, "2001:db8::1", 0},
        {"192.0.2.1:", "192.0.2.1", 0, "192.0.2.1", 0},
        {"192.0.2.1:0", "192.0.2.1", 0, "192.0.2.1", 0},
        {"192.0.2.1:65535", "192.0.2.1", 65535, "192.0.2.1", 65535},
        {"192.0.2.1:65536", "192.0.2.1", 0, "", 0},
        {"192.0.2.1:-5", "192.0.2.1", 0, "", 0},
        {"192.0.2.1:80x", "192.0.2.1", 0, "", 0},
        {"192.0.2.1:000080", "192.0.2.1", 0, "", 0},
        {"[2001:db8::1", "[2001:db8::1", 0, "", 0},
        {"[2001:db8::1]x", "[2001:db8::1]x", 0, "", 0},
        {"[]:80", "[]:80", 0, "", 0},
        {":80", ":80", 0, "", 0},
        {"a:b:c", "a:b:c", 0, "", 0},
        {"", "", 0, "", 0},
    };
    for (const Case &c : cases) {
        std::string host = "junk";
        int32_t port = -1;
        StringHelper::ParseIpAndPort(c.in, host, port);
        EXPECT_EQ(host, c.host1) << c.in;
        EXPECT_EQ(port, c.port1) << c.in;
        host = "junk";
        port = -1;
        StringHelper::ParseIpAndPortV2(c.in, host, port);
        EXPECT_EQ(host, c.host2) << c.in;
        EXPECT_EQ(port, c.port2) << c.in;
    }
    std::string host;
    int32_t port = 0;
    StringHelper::ParseIpAndPortV2(std::string(100000, 'a') + ":1", host, port);
    EXPECT_EQ(host.size(), 100000u);
    EXPECT_EQ(port, 1);
}

TEST(AddressParse, OnlyBareIpv6GetsBrackets) {
    EXPECT_EQ(StringHelper::Ipv6AddrCheckAndAddBrackets("2001:db8::1"), "[2001:db8::1]");
    EXPECT_EQ(StringHelper::Ipv6AddrCheckAndAddBrackets("::1"), "[::1]");
    EXPECT_EQ(StringHelper::Ipv6AddrCheckAndAddBrackets("[2001:db8::1]"), "[2001:db8::1]");
    EXPECT_EQ(StringHelper::Ipv6AddrCheckAndAddBrackets("192.0.2.1"), "192.0.2.1");
    EXPECT_EQ(StringHelper::Ipv6AddrCheckAndAddBrackets("conf.example.net"), "conf.example.net");
    EXPECT_EQ(StringHelper::Ipv6AddrCheckAndAddBrackets(""), "");
    EXPECT_EQ(StringHelper::Ipv6AddrCheckAndAddBrackets(std::string("::1\0x", 5)), std::string("::1\0x", 5));
}

}  // namespace
