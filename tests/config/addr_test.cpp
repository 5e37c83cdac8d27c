// Conference-control and region addresses: the guaranteed address list, the region template of
// the host's configuration cache and "offlineJoinIp.json".
#include <map>

#include <unified_track/unified_track.h>

#include "config_fixture.h"

namespace {

using namespace ut_test;

std::mutex g_cacheMutex;
std::map<std::string, std::string> g_cache;
int32_t g_queryResult = 0;

int32_t QueryHook(const char *key, LumConfigCache *entry, int32_t *count) {
    (void)count;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    if (g_queryResult != 0) return g_queryResult;
    auto it = g_cache.find(key);
    if (it != g_cache.end()) entry->value = it->second;
    return 0;
}

class AddrTest : public ConfigTest {
protected:
    void SetUp() override {
        ConfigTest::SetUp();
        setAddCacheFun(nullptr, QueryHook, nullptr);
    }
    void Template(const std::string &url, const std::string &value) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_cache[url + "local"] = value;
    }
    static std::vector<std::pair<std::string, int32_t>> Flat(const std::vector<tagADDR_INFO> &addrs) {
        std::vector<std::pair<std::string, int32_t>> out;
        for (const auto &a : addrs) out.emplace_back(a.ip, a.port);
        return out;
    }
    using P = std::vector<std::pair<std::string, int32_t>>;
};

TEST_F(AddrTest, GuaranteedAddressesTakeFourIpsAndRefuseNames) {
    EXPECT_EQ(SetGuaranteedIpAddressesList("192.0.2.1:8443;192.0.2.2;conf.example.net;192.0.2.3;192.0.2.4;192.0.2.5"),
              0u);
    std::vector<tagADDR_INFO> addrs{{"stale", 1}};
    GetLocalRegionAddrListByServer("", addrs);  // used even without a server URL
    EXPECT_EQ(Flat(addrs), (P{{"192.0.2.1", 8443}, {"192.0.2.2", 443}, {"192.0.2.3", 443}, {"192.0.2.4", 443}}));
    EXPECT_TRUE(log_.Contains("using by outer input."));
    EXPECT_FALSE(log_.Contains("ip: "));
    auto lines = log_.Find("native_sdk", 2, "m_templateArray size: 4, tmpAddrs: ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.find("192.0.2.3"), std::string::npos);  // addresses masked
    EXPECT_EQ(lines[0].function, "SetGuaranteedIpAddressesList");
}

TEST_F(AddrTest, GuaranteedPiecesAreCheckedOneByOne) {
    EXPECT_EQ(SetGuaranteedIpAddressesList("1.2.3.4;a.b.cd;[2001:db8::1]:5061;2001:db8::2;[::1];"
                                           "192.0.2.1:0;192.0.2.2:-5;192.0.2.3:70000;192.0.2.4:x;[2001:db8::3"),
              0u);
    std::vector<tagADDR_INFO> addrs;
    GetLocalRegionAddrListByServer("https://conf.example.net", addrs);
    EXPECT_EQ(Flat(addrs), (P{{"1.2.3.4", 443}, {"[2001:db8::1]", 5061}, {"[2001:db8::2]", 443}, {"192.0.2.1", 443}}));
    EXPECT_EQ(SetGuaranteedIpAddressesList(nullptr), 1u);
    EXPECT_TRUE(log_.Contains("param is null"));
    GetLocalRegionAddrListByServer("x", addrs);
    EXPECT_EQ(addrs.size(), 4u);                      // the refused null kept the list
    EXPECT_EQ(SetGuaranteedIpAddressesList(""), 0u);  // an empty text empties it
    std::vector<tagADDR_INFO> none;
    GetLocalRegionAddrListByServer("", none);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(log_.Contains("server url is empty."));
}

TEST_F(AddrTest, TemplateFromTheCacheAcceptsNames) {
    Template("https://conf.example.net", "conf.example.net:5061;192.0.2.10;a.b.cd;[2001:db8::9]:443;bad host");
    std::vector<tagADDR_INFO> addrs;
    GetLocalRegionAddrListByServer("https://conf.example.net", addrs);
    EXPECT_EQ(Flat(addrs), (P{{"conf.example.net", 5061}, {"192.0.2.10", 443}, {"[2001:db8::9]", 443}}));
    EXPECT_TRUE(log_.Contains("GetLocalRegionIpListFromTemplate IN! https://conf.example.net"));
    EXPECT_TRUE(log_.Contains("m_templateArray size: 3, tmpAddrs: "));
    EXPECT_EQ(log_.Count("ip: "), 3u);
    EXPECT_EQ(log_.Find("native_sdk", 2, "port: 5061").size(), 1u);
    EXPECT_FALSE(log_.Contains("using by config file."));

    // The same text as guaranteed addresses yields only the IPs.
    SetGuaranteedIpAddressesList("conf.example.net:5061");
    std::vector<tagADDR_INFO> none;
    GetLocalRegionAddrListByServer("", none);
    EXPECT_TRUE(none.empty());
}

TEST_F(AddrTest, TemplateMissesFallBackToTheFile) {
    Write("offlineJoinIp.json",
          "{\"Domains\":{\"httpProxyUri\":\"192.0.2.50:8443\",\"httpProxyUriIPv6\":\"[2001:db8::50]:9443\"},"
          "\"DomainsIntl\":{\"httpProxyUri\":\"intl.example.net\"}}");
    std::vector<tagADDR_INFO> addrs;
    GetLocalRegionAddrListByServer("https://conf.example.net", addrs);  // no template entry
    EXPECT_EQ(Flat(addrs), (P{{"192.0.2.50", 8443}}));
    EXPECT_TRUE(log_.Contains("QueryConfigCacheByKey failed, result: 1"));
    EXPECT_TRUE(log_.Contains("using by config file."));

    Template("https://a.intl.example.net", "a.b;;x");  // a template that yields nothing
    addrs.clear();
    GetLocalRegionAddrListByServer("https://a.intl.example.net", addrs);
    EXPECT_EQ(Flat(addrs), (P{{"intl.example.net", 443}}));

    addrs.clear();
    GetLocalRegionAddrListByServer("https://a.INTL.example.net", addrs);  // capitals: not intl
    EXPECT_EQ(Flat(addrs), (P{{"192.0.2.50", 8443}}));

    OstSetGlobalCfg(69, "1", 1);
    addrs.clear();
    EXPECT_TRUE(GetConfctrlAddrFromCfgFile("https://conf.example.net", addrs));
    EXPECT_EQ(Flat(addrs), (P{{"2001:db8::50", 9443}}));
    std::string addr = "old";
    EXPECT_EQ(GetConfctrlAddr(true, addr), 0u);  // intl site has no IPv6 entry
    EXPECT_EQ(addr, "");
    addrs.clear();
    EXPECT_TRUE(GetConfctrlAddrFromCfgFile("https://x.intl.y", addrs));
    EXPECT_EQ(Flat(addrs), (P{{"", 443}}));
}

TEST_F(AddrTest, CacheFailureIsLoggedAsZero) {
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_queryResult = 7;
    }
    std::vector<tagADDR_INFO> addrs;
    EXPECT_FALSE(GetLocalRegionIpListFromTemplate("https://conf.example.net", addrs));
    EXPECT_TRUE(log_.Contains("QueryConfigCacheByKey failed, result: 0"));
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_queryResult = 0;
}

TEST_F(AddrTest, FilePortsAndBadFiles) {
    struct Case {
        const char *uri;
        const char *ip;
        int32_t port;
    } cases[] = {
        {"192.0.2.1:0", "192.0.2.1", 443},
        {"192.0.2.1:-8", "192.0.2.1", 443},
        {"192.0.2.1:65536", "192.0.2.1", 443},
        {"192.0.2.1:abc", "192.0.2.1", 443},
        {"[2001:db8::1]:5061", "2001:db8::1", 5061},
        {"2001:db8::1", "2001:db8::1", 443},
        {"conf.example.net:80", "conf.example.net", 80},
    };
    for (const Case &c : cases) {
        Write("offlineJoinIp.json", std::string("{\"Domains\":{\"httpProxyUri\":\"") + c.uri + "\"}}");
        std::vector<tagADDR_INFO> addrs;
        ASSERT_TRUE(GetConfctrlAddrFromCfgFile("u", addrs)) << c.uri;
        EXPECT_EQ(Flat(addrs), (P{{c.ip, c.port}})) << c.uri;
    }
    const char *bad[] = {"[1]", "{\"Domains\":[]}", "{\"Domains\":\"x\"}", "{\"DomainsIntl\":{}}", "nope"};
    for (const char *content : bad) {
        Write("offlineJoinIp.json", content);
        std::string addr = "keep";
        EXPECT_EQ(GetConfctrlAddr(false, addr), 1u) << content;
        EXPECT_EQ(addr, "keep");
        std::vector<tagADDR_INFO> addrs;
        EXPECT_FALSE(GetConfctrlAddrFromCfgFile("u", addrs));
        EXPECT_TRUE(addrs.empty());
    }
    EXPECT_TRUE(log_.Contains("GetConfctrlAddr from cfg file failed"));
    EXPECT_TRUE(log_.Contains("parse domain ip config json failed"));
    std::remove(dir_.file("offlineJoinIp.json").c_str());
    std::string addr;
    EXPECT_EQ(GetConfctrlAddr(false, addr), 1u);
    EXPECT_TRUE(log_.Contains("ReadConfigFile failed"));
}

TEST_F(AddrTest, PrintAddrWritesOneLinePerEntry) {
    PrintAddr({{"conf.example.net", 443}, {"[2001:db8::1]", 5061}});
    auto lines = log_.Find("native_sdk", 2, "ip: ");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text.rfind("ip: conf.", 0), 0u);
    EXPECT_NE(lines[0].text.find(".netport: 443"), std::string::npos);
    EXPECT_EQ(lines[0].function, "PrintAddr");
    EXPECT_NE(lines[1].text.find("port: 5061"), std::string::npos);
    PrintAddr({});
}

}  // namespace
