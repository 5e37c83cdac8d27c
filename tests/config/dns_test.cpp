// Guaranteed and stored IP lists, DNS with the lists as fall-back, connected-IP reordering.
#include <cstring>

#include "config/OstConfigFileOperation.h"
#include "config_fixture.h"

namespace {

using namespace ut_test;
using V = std::vector<std::string>;

class DnsListTest : public ConfigTest {
protected:
    void Guarantee(const std::vector<std::pair<std::string, std::string>> &rows) {
        tagDOMAIN_IP_LIST list = MakeGuaranteedList(rows);
        ASSERT_EQ(SetGlobalGuaranteedIpAddressesList(&list), 0u);
        EXPECT_EQ(list.records, nullptr);  // released by the call
    }
    std::string StoredIps(bool guaranteed, const char *host) {
        auto &st = unified_track::config::State();
        std::lock_guard<std::recursive_mutex> a(st.guaranteedLock);
        std::lock_guard<std::recursive_mutex> b(st.configLock);
        auto *rec =
            unified_track::config::FindDomainRecord(guaranteed ? st.guaranteedDomainIpList : st.domainIpList, host);
        return rec != nullptr ? rec->ips : "<none>";
    }
};

TEST_F(DnsListTest, SetListGivesAtMostFourAddresses) {
    Guarantee({{"h.example.com", "192.0.2.1;192.0.2.2;192.0.2.3;192.0.2.4;192.0.2.5"},
               {"v6.example.com", "2001:db8::1;;[2001:db8::2]"}});
    V ips;
    EXPECT_EQ(DnsGetIpFromSetList("h.example.com", ips), 0u);
    EXPECT_EQ(ips, (V{"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4"}));
    V five{"a", "b", "c", "d", "e"};
    EXPECT_EQ(DnsGetIpFromSetList("h.example.com", five), 0u);
    EXPECT_EQ(five.size(), 6u);
    EXPECT_EQ(five.back(), "192.0.2.1");
    V v6;
    EXPECT_EQ(DnsGetIpFromSetList("v6.example.com", v6), 0u);
    EXPECT_EQ(v6, (V{"[2001:db8::1]", "[2001:db8::2]"}));     // the empty piece is no address
    EXPECT_EQ(DnsGetIpFromSetList("H.example.com", v6), 1u);  // exact, case-sensitive
    EXPECT_EQ(DnsGetIpFromSetList(nullptr, v6), 1u);
    EXPECT_EQ(DnsGetIpFromSetList("", v6), 1u);
    auto lines = log_.Find("native_sdk", 2, "get ip from set list: ip:");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].text.find("192.0.2.3"), std::string::npos);
}

TEST_F(DnsListTest, BufferPrefersTheGuaranteedListWithoutReadingTheFile) {
    Guarantee({{"g.example.com", "198.51.100.1"}});
    Write("sdkDomainIp.json",
          DomainIpJson({{"g.example.com", "203.0.113.1"}, {"f.example.com", "203.0.113.2;2001:db8::5"}}));
    V ips{"old"};
    EXPECT_EQ(DnsGetIpFromBuffer("g.example.com", ips), 0u);
    EXPECT_EQ(ips, (V{"old", "198.51.100.1"}));
    EXPECT_FALSE(log_.Contains("i:0 domain:"));  // the file was not read
    EXPECT_EQ(DnsGetIpFromBuffer("f.example.com", ips), 0u);
    EXPECT_EQ(ips, (V{"203.0.113.2", "[2001:db8::5]"}));  // replaced, not appended
    EXPECT_EQ(DnsGetIpFromBuffer("none.example.com", ips), 1u);
    EXPECT_EQ(DnsGetIpFromBuffer(nullptr, ips), 1u);
    EXPECT_EQ(DnsGetIpFromBuffer("", ips), 1u);
    EXPECT_TRUE(log_.Contains("get ip from list host:f.example.com ip:"));
}

TEST_F(DnsListTest, GuaranteedListReplacementAndRefusals) {
    tagDOMAIN_IP_LIST empty{0, nullptr};
    EXPECT_EQ(SetGlobalGuaranteedIpAddressesList(nullptr), 1u);
    EXPECT_EQ(SetGlobalGuaranteedIpAddressesList(&empty), 1u);
    tagDOMAIN_IP_LIST zero = MakeGuaranteedList({{"a", "1"}});
    zero.count = 0;
    EXPECT_EQ(SetGlobalGuaranteedIpAddressesList(&zero), 1u);
    ASSERT_NE(zero.records, nullptr);  // still ours
    delete[] zero.records;

    // A domain that fills all 256 bytes has no NUL: stored empty, logged, still appended.
    tagDOMAIN_IP_LIST list = MakeGuaranteedList({{"a.example.com", "192.0.2.1"}, {"", "192.0.2.2"}});
    std::memset(list.records[1].domain, 'x', sizeof(list.records[1].domain));
    std::memset(list.records[1].ips, 'y', sizeof(list.records[1].ips));  // nothing past it is read
    EXPECT_EQ(SetGlobalGuaranteedIpAddressesList(&list), 0u);
    EXPECT_EQ(log_.Find("native_sdk", 2, "sec func failed! ret:").size(), 1u);
    EXPECT_EQ(unified_track::config::State().guaranteedDomainIpList.size(), 2u);
    EXPECT_EQ(StoredIps(true, "a.example.com"), "192.0.2.1");

    Guarantee({{"b.example.com", "192.0.2.7"}});  // a new list replaces the old one
    EXPECT_EQ(StoredIps(true, "a.example.com"), "<none>");
    EXPECT_EQ(StoredIps(true, "b.example.com"), "192.0.2.7");
}

TEST_F(DnsListTest, AdjustMovesTheConnectedAddressFirst) {
    struct Case {
        const char *stored;
        const char *connected;
        const char *after;
    } cases[] = {
        {"192.0.2.1;192.0.2.2;192.0.2.3", "192.0.2.2", "192.0.2.2;192.0.2.1;192.0.2.3"},
        {"192.0.2.1;192.0.2.2;192.0.2.3", "192.0.2.9", "192.0.2.9;192.0.2.1;192.0.2.2;192.0.2.3"},
        {"192.0.2.1;;192.0.2.2;", "192.0.2.2", "192.0.2.2;192.0.2.1"},
        {"2001:db8::1", "[2001:db8::1]", "[2001:db8::1]"},
    };
    for (const Case &c : cases) {
        Guarantee({{"h", c.stored}});
        EXPECT_EQ(DnsAdjustIpList("h", c.connected), 0u) << c.stored;
        EXPECT_EQ(StoredIps(true, "h"), c.after) << c.stored;
    }
    EXPECT_EQ(DnsAdjustIpList("", "192.0.2.1"), 1u);
    EXPECT_EQ(DnsAdjustIpList("h", ""), 1u);
    EXPECT_TRUE(log_.Contains("adjust ip host:h ip:"));
}

TEST_F(DnsListTest, AdjustKeepsAListThatWouldOverflow) {
    std::string stored;
    for (int i = 0; stored.size() + 16 < 511; ++i)
        stored += (i ? ";" : "") + std::string("198.51.100.") + std::to_string(i % 250);
    Guarantee({{"h", stored}});
    EXPECT_EQ(DnsAdjustIpList("h", "203.0.113.254"), 0u);
    std::string after = StoredIps(true, "h");
    EXPECT_LE(after.size(), 511u);
    EXPECT_EQ(after.rfind("203.0.113.254;198.51.100.0;198.51.100.1;", 0), 0u);  // nothing lost but the tail
    std::string tooLong(600, '1');
    EXPECT_EQ(DnsAdjustIpList("h", tooLong), 1u);
    EXPECT_EQ(StoredIps(true, "h"), after);
}

TEST_F(DnsListTest, AdjustChoosesTheGuaranteedListWhenItHasRecords) {
    Write("sdkDomainIp.json", DomainIpJson({{"d", "203.0.113.1;203.0.113.2"}}));
    EXPECT_EQ(DnsAdjustIpList("d", "203.0.113.2"), 1u);  // domain list not loaded yet
    DnsUpdateDomainIpList();
    EXPECT_EQ(DnsAdjustIpList("d", "203.0.113.2"), 0u);
    EXPECT_EQ(StoredIps(false, "d"), "203.0.113.2;203.0.113.1");
    Guarantee({{"g", "198.51.100.1"}});
    EXPECT_EQ(DnsAdjustIpList("d", "203.0.113.1"), 1u);  // guaranteed list lacks d: no fall-through
    EXPECT_EQ(StoredIps(false, "d"), "203.0.113.2;203.0.113.1");
    EXPECT_EQ(DnsAdjustConnectedIpToFirst("d", "203.0.113.1", false), 0u);
    EXPECT_EQ(StoredIps(false, "d"), "203.0.113.1;203.0.113.2");
    EXPECT_EQ(DnsAdjustConnectedIpToFirst("x", "203.0.113.1", false), 1u);
}

class GetIpTest : public ConfigTest {
protected:
    FakeResolver resolver_;
    ut_test::ScopedDnsResolver scoped_{&resolver_};
};

TEST_F(GetIpTest, DnsAnswerIsWrittenAsDottedText) {
    resolver_.Answer({{198, 51, 100, 23}, {192, 0, 2, 1}});
    char ip[64] = "unchanged";
    EXPECT_EQ(GetIpByDNS("svc.example.com", ip, sizeof(ip)), 0u);
    EXPECT_STREQ(ip, "198.51.100.23");
    char small[8] = "xxxxxxx";
    EXPECT_EQ(GetIpByDNS("svc.example.com", small, sizeof(small)), 0u);
    EXPECT_STREQ(small, "");
    EXPECT_TRUE(log_.Contains("secure func return err:-1"));
    EXPECT_EQ(GetIpByDNS("svc.example.com", nullptr, 16), 0u);  // nothing to write into
}

TEST_F(GetIpTest, FailuresReturnTheResolverCode) {
    char ip[16] = "keep";
    resolver_.Fail(UT_DNS_ERR_TIMEOUT);
    EXPECT_EQ(GetIpByDNS("svc.example.com", ip, sizeof(ip)), static_cast<uint32_t>(UT_DNS_ERR_TIMEOUT));
    EXPECT_STREQ(ip, "keep");
    EXPECT_TRUE(log_.Contains("dns fail, uiRet = 4"));
    resolver_.Answer({});  // success without an IPv4 address is a failure
    EXPECT_EQ(GetIpByDNS("svc.example.com", ip, sizeof(ip)), static_cast<uint32_t>(UT_DNS_ERR_NO_IPV4));
    int before = resolver_.Calls();
    EXPECT_EQ(GetIpByDNS(nullptr, ip, sizeof(ip)), static_cast<uint32_t>(UT_DNS_ERR_PARAM));
    EXPECT_EQ(GetIpByDNS("", ip, sizeof(ip)), static_cast<uint32_t>(UT_DNS_ERR_PARAM));
    EXPECT_EQ(resolver_.Calls(), before);
}

TEST_F(GetIpTest, HostFallsBackToTheStoredListsButKeepsTheDnsCode) {
    Write("sdkDomainIp.json", DomainIpJson({{"svc.example.com", "203.0.113.7;203.0.113.8"}}));
    resolver_.Fail(UT_DNS_ERR_NOT_FOUND);
    char ip[32] = "";
    EXPECT_EQ(GetIpByHost("svc.example.com", ip, sizeof(ip)), static_cast<uint32_t>(UT_DNS_ERR_NOT_FOUND));
    EXPECT_STREQ(ip, "203.0.113.7");
    auto lines = log_.Find("native_sdk", 2, "domain:svc.example.com ip:");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.find("203.0.113.7"), std::string::npos);  // masked

    char keep[32] = "keep";
    EXPECT_NE(GetIpByHost("other.example.com", keep, sizeof(keep)), 0u);
    EXPECT_STREQ(keep, "keep");
    char tiny[4] = "abc";
    EXPECT_NE(GetIpByHost("svc.example.com", tiny, sizeof(tiny)), 0u);
    EXPECT_STREQ(tiny, "");
    EXPECT_NE(GetIpByHost(nullptr, nullptr, 0), 0u);

    resolver_.Answer({{192, 0, 2, 55}});
    EXPECT_EQ(GetIpByHost("svc.example.com", ip, sizeof(ip)), 0u);
    EXPECT_STREQ(ip, "192.0.2.55");  // DNS wins over the stored list
}

}  // namespace
