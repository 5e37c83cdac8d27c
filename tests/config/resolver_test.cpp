// The c-ares resolver against a name server of the test's own, and through the system's
// configuration for "localhost".
#include <cstring>

#include "config_fixture.h"
#include "dns_responder.h"

namespace {

using namespace ut_test;
using unified_track::CaresResolver;
using unified_track::Ipv4Address;

CaresResolver::Options At(const DnsResponder &server, uint32_t timeoutMs) {
    CaresResolver::Options o;
    o.servers = server.Server();
    o.timeoutMs = timeoutMs;
    return o;
}

TEST(CaresResolver, AnswersFromTheNameServer) {
    DnsResponder server;
    ASSERT_NE(server.Port(), 0);
    server.SetAddress(198, 51, 100, 23);
    CaresResolver resolver(At(server, 5000));
    ut_test::ScopedDnsResolver scoped(&resolver);
    char ip[16] = "";
    EXPECT_EQ(GetIpByDNS("svc.example.test", ip, sizeof(ip)), 0u);
    EXPECT_STREQ(ip, "198.51.100.23");
    EXPECT_GE(server.Queries(), 1);
}

TEST(CaresResolver, ErrorsAndEmptyAnswersFail) {
    DnsResponder server;
    ASSERT_NE(server.Port(), 0);
    CaresResolver resolver(At(server, 5000));
    std::vector<Ipv4Address> out;
    server.SetMode(DnsResponder::Mode::ServerFailure);
    EXPECT_EQ(resolver.ResolveIpv4("svc.example.test", &out), static_cast<uint32_t>(UT_DNS_ERR_SERVER));
    server.SetMode(DnsResponder::Mode::NameError);
    EXPECT_EQ(resolver.ResolveIpv4("svc.example.test", &out), static_cast<uint32_t>(UT_DNS_ERR_NOT_FOUND));
    server.SetMode(DnsResponder::Mode::NoAnswerRecord);
    EXPECT_EQ(resolver.ResolveIpv4("svc.example.test", &out), static_cast<uint32_t>(UT_DNS_ERR_NO_IPV4));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(resolver.ResolveIpv4("", &out), static_cast<uint32_t>(UT_DNS_ERR_PARAM));
    EXPECT_EQ(resolver.ResolveIpv4(std::string("a\0b", 3), &out), static_cast<uint32_t>(UT_DNS_ERR_PARAM));
    EXPECT_EQ(resolver.ResolveIpv4("svc.example.test", nullptr), static_cast<uint32_t>(UT_DNS_ERR_PARAM));
}

TEST(CaresResolver, SilentServerEndsAtTheDeadline) {
    DnsResponder server;
    ASSERT_NE(server.Port(), 0);
    server.SetMode(DnsResponder::Mode::Silent);
    CaresResolver resolver(At(server, 300));
    ut_test::ScopedDnsResolver scoped(&resolver);
    ut_test::LogCapture log;
    char ip[16] = "keep";
    EXPECT_EQ(GetIpByDNS("svc.example.test", ip, sizeof(ip)), static_cast<uint32_t>(UT_DNS_ERR_TIMEOUT));
    EXPECT_STREQ(ip, "keep");
    EXPECT_TRUE(log.Contains("dns fail, uiRet = 4"));
    EXPECT_EQ(CaresResolver::kDefaultTimeoutMs, 5000u);
}

TEST(CaresResolver, UnreachableServerFailsWithinTheDeadline) {
    CaresResolver::Options o;  // nothing listens on port 1
    o.servers = "127.0.0.1:1";
    o.timeoutMs = 300;
    CaresResolver resolver(o);
    std::vector<Ipv4Address> out;
    EXPECT_NE(resolver.ResolveIpv4("svc.example.test", &out), 0u);
    CaresResolver::Options bad;
    bad.servers = "not a server";
    EXPECT_EQ(CaresResolver(bad).ResolveIpv4("svc.example.test", &out), static_cast<uint32_t>(UT_DNS_ERR_PARAM));
}

TEST(DnsSeam, RecordsCarryTheAddressInBytesFourToSeven) {
    ut_test::FakeResolver fake;
    fake.Answer({{192, 0, 2, 1}, {192, 0, 2, 2}});
    ut_test::ScopedDnsResolver scoped(&fake);
    ZSP_NETB_DNS_RECORD records[3];
    std::memset(records, 0xAB, sizeof(records));
    uint32_t count = 3;
    uint32_t extra = 0;
    ASSERT_EQ(ZSP_NETB_DnsGetIpBySynResolve("h", 0, records, &count, &extra, 0), 0u);
    EXPECT_EQ(count, 2u);
    const uint8_t *raw = reinterpret_cast<const uint8_t *>(&records[1]);
    EXPECT_EQ(raw[4], 192);
    EXPECT_EQ(raw[7], 2);
    EXPECT_EQ(raw[19], 0);
    count = 0;
    EXPECT_EQ(ZSP_NETB_DnsGetIpBySynResolve("h", 0, records, &count, &extra, 0),
              static_cast<uint32_t>(UT_DNS_ERR_PARAM));
    EXPECT_EQ(ZSP_NETB_DnsGetIpBySynResolve("h", 0, nullptr, &count, &extra, 0),
              static_cast<uint32_t>(UT_DNS_ERR_PARAM));
}

TEST(CaresResolver, DefaultResolverFindsLocalhostAndLiterals) {
    CaresResolver resolver;  // the system's hosts file and name servers
    std::vector<Ipv4Address> out;
    ASSERT_EQ(resolver.ResolveIpv4("localhost", &out), 0u);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0][0], 127);
    char ip[16] = "";
    EXPECT_EQ(GetIpByDNS("192.0.2.77", ip, sizeof(ip)), 0u);  // through the installed default
    EXPECT_STREQ(ip, "192.0.2.77");
}

}  // namespace
