// Look-ups, adjustments and list replacements from several threads at once (run under TSan).
#include <atomic>
#include <thread>

#include "config_fixture.h"

namespace {

using namespace ut_test;

TEST_F(ConfigTest, ConcurrentLookupsAdjustmentsAndReplacements) {
    Write("sdkDomainIp.json", DomainIpJson({{"d.example.com", "203.0.113.1;203.0.113.2;203.0.113.3"}}));
    Write("sdkCommonConfig.json", "{\"lum_domain_identity\":\"idn\"}");
    Write("sdkDetectUrl.json", "{\"Domains\":[{\"domain\":\"a.idn.com\"}]}");
    Write("offlineJoinIp.json", "{\"Domains\":{\"httpProxyUri\":\"192.0.2.50:8443\"}}");
    FakeResolver resolver;
    resolver.Fail(UT_DNS_ERR_TIMEOUT);
    ut_test::ScopedDnsResolver scoped(&resolver);

    constexpr int kRounds = 150;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {  // replaces the guaranteed lists
        for (int i = 0; i < kRounds; ++i) {
            tagDOMAIN_IP_LIST list = MakeGuaranteedList({{"g.example.com", "198.51.100.1;198.51.100.2"}});
            if (SetGlobalGuaranteedIpAddressesList(&list) != 0) ++failures;
            SetGuaranteedIpAddressesList(i % 2 ? "192.0.2.1;192.0.2.2" : "");
            Ost_SetServerDomainStrategy(i % 2 ? "net" : "cn", i % 3 != 0);
        }
    });
    threads.emplace_back([&] {  // looks up
        for (int i = 0; i < kRounds; ++i) {
            char ip[32] = "";
            GetIpByHost("d.example.com", ip, sizeof(ip));
            std::vector<std::string> ips;
            DnsGetIpFromBuffer("g.example.com", ips);
            std::vector<tagADDR_INFO> addrs;
            GetLocalRegionAddrListByServer("https://conf.example.net", addrs);
        }
    });
    threads.emplace_back([&] {  // adjusts both lists
        for (int i = 0; i < kRounds; ++i) {
            DnsAdjustIpList("g.example.com", i % 2 ? "198.51.100.2" : "198.51.100.1");
            DnsAdjustConnectedIpToFirst("d.example.com", i % 2 ? "203.0.113.2" : "203.0.113.3", false);
            DnsAdjustConnectedIpToFirst("g.example.com", "198.51.100.2", true);
        }
    });
    threads.emplace_back([&] {  // reads files and rewrites domains
        for (int i = 0; i < kRounds; ++i) {
            std::vector<std::string> domains;
            GetNetDetectIps(domains, false);
            std::string d = "svc.idn.com";
            GetRightServerDomain(d);
            DnsUpdateDomainIpList();
            if (i % 10 == 0) SetConfigFilePath(dir_.path().c_str());
        }
    });
    for (auto &t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    std::vector<std::string> ips;
    EXPECT_EQ(DnsGetIpFromSetList("g.example.com", ips), 0u);
    EXPECT_EQ(ips.size(), 2u);
}

}  // namespace
