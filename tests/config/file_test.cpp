// Configuration folder, file readers, the domain IP file and its store block, the domain
// strategy and the detect URL file.
#include <cstring>

#include "config/OstConfigFileOperation.h"
#include "config_fixture.h"
#include "host/config_store.h"
#include "host/pal.h"

namespace {

using namespace ut_test;
using unified_track::config::ConfigText;
using unified_track::config::ReadConfigFile;
using unified_track::config::State;
using unified_track::config::UtilReadFile;

std::string StoredPath() {
    std::lock_guard<std::recursive_mutex> lock(State().configLock);
    return State().configPath;
}

TEST(ConfigPath, SeparatorIsAppendedOnlyWhenMissing) {
    struct Case {
        const char *in;
        const char *stored;
    } cases[] = {
        {"/opt/cfg", "/opt/cfg/"},
        {"cfg", "cfg/"},
        {"/opt/cfg/", "/opt/cfg/"},
        // A backslash is no separator on POSIX: the folder still gets a slash.
        {"C:\\cfg", kPathSep == '\\' ? "C:\\cfg\\" : "C:\\cfg/"},
        {"C:/a\\b", kPathSep == '\\' ? "C:/a\\b\\" : "C:/a\\b/"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SetConfigFilePath(c.in), 0u) << c.in;
        EXPECT_EQ(StoredPath(), c.stored) << c.in;
    }
    LogCapture log;
    EXPECT_EQ(SetConfigFilePath(""), 1u);
    EXPECT_EQ(SetConfigFilePath(nullptr), 1u);
    EXPECT_EQ(StoredPath(), kPathSep == '\\' ? "C:/a\\b\\" : "C:/a\\b/");
    EXPECT_EQ(log.Count("domain ip configPath is empty"), 2u);
    std::string longPath(100000, 'a');
    EXPECT_EQ(SetConfigFilePath(longPath.c_str()), 0u);
}

class ReaderTest : public ConfigTest {};

TEST_F(ReaderTest, ConfigFileSizeLimits) {
    Write("exact", std::string(32768, ' '));
    Write("over", std::string(32769, ' '));
    Write("empty", "");
    char *raw = nullptr;
    EXPECT_EQ(ReadConfigFile(dir_.file("exact"), &raw), 0u);
    ConfigText text(raw);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text.get()), 32768u);

    raw = reinterpret_cast<char *>(1);
    EXPECT_EQ(ReadConfigFile(dir_.file("over"), &raw), 1u);
    EXPECT_EQ(raw, nullptr);
    EXPECT_TRUE(log_.Contains("uiFileSize:[32769] is invalid!"));
    EXPECT_EQ(ReadConfigFile(dir_.file("empty"), &raw), 1u);
    EXPECT_TRUE(log_.Contains("uiFileSize:[0] is invalid!"));
    EXPECT_EQ(ReadConfigFile(dir_.file("missing"), &raw), 1u);
    EXPECT_EQ(log_.Find("native_sdk", 0, "get file size failed! uiRet[").size(), 1u);
    EXPECT_EQ(ReadConfigFile("", &raw), 1u);
    EXPECT_TRUE(log_.Contains("configPath is empty"));
    EXPECT_EQ(ReadConfigFile(dir_.path(), &raw), 1u);  // a folder: size fine, reading fails
    EXPECT_TRUE(log_.Contains("read detect addr config file failed"));
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(ReadConfigFile(dir_.file("exact"), nullptr), 1u);

    auto lines = log_.Find("native_sdk", 0, "uiFileSize");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].function, "ReadConfigFile");
    EXPECT_EQ(lines[0].file, "OstConfigFileOperation");
}

TEST_F(ReaderTest, UtilReaderHasNoUpperLimitButRefusesEmpty) {
    Write("big", std::string(40000, 'x') + std::string("\0tail", 5));
    Write("empty", "");
    char *raw = nullptr;
    EXPECT_EQ(UtilReadFile(dir_.file("big"), &raw), 0u);
    ConfigText text(raw);
    EXPECT_EQ(std::strlen(text.get()), 40000u);  // the text ends at the first NUL
    EXPECT_EQ(UtilReadFile(dir_.file("empty"), &raw), 1u);
    EXPECT_EQ(UtilReadFile("", &raw), 1u);
    EXPECT_TRUE(log_.Contains("filePath is empty"));
    EXPECT_EQ(UtilReadFile(dir_.path(), &raw), 1u);
    EXPECT_TRUE(log_.Contains("read common config file failed"));
}

class DomainIpFileTest : public ConfigTest {
protected:
    std::string Block() {
        std::string bytes;
        EXPECT_TRUE(unified_track::GetGlobalCfgBytes(105, &bytes));
        return bytes;
    }
};

TEST_F(DomainIpFileTest, RecordsFillTheListAndTheStoreBlock) {
    Write("sdkDomainIp.json",
          "{\"Domains\":[{\"domain\":\"a.example.com\",\"fixIp\":\"192.0.2.1;192.0.2.2\"},"
          "{\"domain\":\"b.example.com\"},{\"fixIp\":\"192.0.2.9\"},7,"
          "{\"domain\":\"c.example.com\",\"fixIp\":\"2001:db8::1\"}]}");
    EXPECT_EQ(DnsUpdateDomainIpList(), 0u);
    std::string block = Block();
    // Four objects (the number 7 is left out): count, four records, a zero word.
    ASSERT_EQ(block.size(), 4u * 768 + 8);
    uint32_t n = 0;
    std::memcpy(&n, block.data(), 4);
    EXPECT_EQ(n, 4u);
    tagDOMAIN_IP_INFO rec{};
    std::memcpy(&rec, block.data() + 4, sizeof(rec));
    EXPECT_STREQ(rec.domain, "a.example.com");
    EXPECT_STREQ(rec.ips, "192.0.2.1;192.0.2.2");
    std::memcpy(&rec, block.data() + 4 + 768, sizeof(rec));
    EXPECT_STREQ(rec.domain, "b.example.com");
    EXPECT_STREQ(rec.ips, "");
    EXPECT_EQ(block.substr(block.size() - 4), std::string(4, '\0'));

    std::vector<std::string> ips;
    EXPECT_EQ(DnsGetIpFromBuffer("c.example.com", ips), 0u);
    EXPECT_EQ(ips, (std::vector<std::string>{"[2001:db8::1]"}));
    EXPECT_EQ(DnsGetIpFromBuffer("b.example.com", ips), 1u);  // no addresses: not a match
    // The record line is logged with its addresses masked.
    auto lines = log_.Find("native_sdk", 2, "i:0 domain:a.example.com fixIp:");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.find("192.0.2.1"), std::string::npos);
    EXPECT_NE(lines[0].text.find(", dnsDomainCount:1"), std::string::npos);
}

TEST_F(DomainIpFileTest, OverlongFieldsAreStoredEmptyButCounted) {
    const std::string d255(255, 'd'), d256(256, 'd'), ip511(511, '1'), ip512(512, '1');
    Write("sdkDomainIp.json", DomainIpJson({{d255, ip511}, {d256, "192.0.2.1"}, {"x.example.com", ip512}}));
    DnsUpdateDomainIpList();
    std::string block = Block();
    ASSERT_EQ(block.size(), 3u * 768 + 8);
    tagDOMAIN_IP_INFO rec[3];
    std::memcpy(rec, block.data() + 4, sizeof(rec));
    EXPECT_EQ(rec[0].domain, d255);
    EXPECT_EQ(rec[0].ips, ip511);
    EXPECT_STREQ(rec[1].domain, "");
    EXPECT_STREQ(rec[1].ips, "192.0.2.1");
    EXPECT_STREQ(rec[2].domain, "x.example.com");
    EXPECT_STREQ(rec[2].ips, "");
    EXPECT_EQ(log_.Find("native_sdk", 0, "secure func return err:").size(), 2u);
}

TEST_F(DomainIpFileTest, EmptyArrayStoresAnEightByteBlock) {
    Write("sdkDomainIp.json", "{\"Domains\":[]}");
    DnsUpdateDomainIpList();
    EXPECT_EQ(Block(), std::string(8, '\0'));
}

TEST_F(DomainIpFileTest, BadFilesLeaveTheListEmpty) {
    const char *bad[] = {
        "not json", "[1,2]", "{\"Domains\":{}}", "{\"Domains\":\"x\"}", "\"str\"", "{\"Domains\":[1,\"a\",null,[]]}"};
    for (const char *content : bad) {
        Write("sdkDomainIp.json", content);
        std::lock_guard<std::recursive_mutex> lock(State().configLock);
        unified_track::config::GetDomainIpList();
        EXPECT_TRUE(State().domainIpList.empty()) << content;
    }
    EXPECT_EQ(log_.Count("parse domain ip config json failed"), 1u);
}

TEST_F(DomainIpFileTest, TheFileIsReadOncePerProcess) {
    DnsUpdateDomainIpList();  // no file yet: loaded, empty, never retried
    Write("sdkDomainIp.json", DomainIpJson({{"a.example.com", "192.0.2.1"}}));
    std::vector<std::string> ips;
    EXPECT_EQ(DnsGetIpFromBuffer("a.example.com", ips), 1u);
    EXPECT_EQ(log_.Count("update domain ip list."), 1u);
}

class StrategyTest : public ConfigTest {};

TEST_F(StrategyTest, RewritesTheFirstIdentityDotCom) {
    Write("sdkCommonConfig.json", "{\"lum_domain_identity\":\"idn\"}");
    std::string d = "svc.idn.com.idn.com";
    GetRightServerDomain(d);
    EXPECT_EQ(d, "svc.idn.com.idn.com");  // not enabled yet
    EXPECT_EQ(Ost_SetServerDomainStrategy("net", true), 0u);
    GetRightServerDomain(d);
    EXPECT_EQ(d, "svc.idn.net.idn.com");
    std::string upper = "svc.IDN.com";
    GetRightServerDomain(upper);
    EXPECT_EQ(upper, "svc.IDN.com");
    EXPECT_TRUE(log_.Contains("get server domain identity lum_domain_identity:idn "));

    EXPECT_EQ(Ost_SetServerDomainStrategy("cn", false), 0u);
    std::string off = "svc.idn.com";
    GetRightServerDomain(off);
    EXPECT_EQ(off, "svc.idn.com");
    EXPECT_EQ(Ost_SetServerDomainStrategy("", true), 1u);
    EXPECT_EQ(Ost_SetServerDomainStrategy(nullptr, true), 1u);
    EXPECT_EQ(log_.Count("server domain strategy is empty"), 2u);
}

TEST_F(StrategyTest, WithoutIdentityDomainsStayAndTheFileIsTriedAgain) {
    Ost_SetServerDomainStrategy("net", true);
    std::string d = "svc.idn.com";
    GetRightServerDomain(d);
    EXPECT_EQ(d, "svc.idn.com");
    auto lines = log_.Find("native_sdk", 0, "read config file [");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.find(dir_.path()), std::string::npos);  // the folder is masked
    Write("sdkCommonConfig.json", "{\"lum_domain_identity\":5}");
    GetRightServerDomain(d);
    EXPECT_EQ(d, "svc.idn.com");
    Write("sdkCommonConfig.json", "{\"lum_domain_identity\":\"idn\"}");
    GetRightServerDomain(d);
    EXPECT_EQ(d, "svc.idn.net");
    Write("sdkCommonConfig.json", "{\"lum_domain_identity\":\"other\"}");  // a found identity stays
    std::string again = "a.idn.com";
    GetRightServerDomain(again);
    EXPECT_EQ(again, "a.idn.net");
}

class DetectUrlTest : public ConfigTest {};

TEST_F(DetectUrlTest, DomainsOfEachKeyAreAppendedAndRewritten) {
    Write("sdkCommonConfig.json", "{\"lum_domain_identity\":\"idn\"}");
    Write("sdkDetectUrl.json",
          "{\"FwDetectIp\":[{\"domain\":\"fw.idn.com\"},{\"x\":1},3,{\"domain\":7}],"
          "\"Domains\":[{\"domain\":\"a.idn.com\"}],\"DomainsIntl\":[{\"domain\":\"i.idn.com\"}]}");
    Ost_SetServerDomainStrategy("net", true);
    std::vector<std::string> out{"kept"};
    EXPECT_EQ(GetFwDetectIps(out), 0u);
    EXPECT_EQ(GetNetDetectIps(out, false), 0u);
    EXPECT_EQ(GetNetDetectIps(out, true), 0u);
    EXPECT_EQ(out, (std::vector<std::string>{"kept", "fw.idn.net", "a.idn.net", "i.idn.net"}));
    EXPECT_TRUE(log_.Contains("i:0 domain:fw.idn.com"));
}

TEST_F(DetectUrlTest, MissingKeysGiveNothingAndBadFilesFail) {
    std::vector<std::string> out;
    EXPECT_EQ(GetFwDetectIps(out), 1u);  // no file
    Write("sdkDetectUrl.json", "{\"Domains\":{\"domain\":\"a\"},\"FwDetectIp\":[{\"name\":\"a\"}]}");
    EXPECT_EQ(GetFwDetectIps(out), 0u);
    EXPECT_EQ(GetNetDetectIps(out, false), 0u);
    EXPECT_EQ(GetNetDetectIps(out, true), 0u);
    EXPECT_TRUE(out.empty());
    for (const char *content : {"{", "[{\"domain\":\"a\"}]", "null"}) {
        Write("sdkDetectUrl.json", content);
        EXPECT_EQ(GetNetDetectIps(out, false), content[0] == '{' ? 1u : 0u) << content;
    }
    EXPECT_TRUE(out.empty());
    Write("sdkDetectUrl.json", std::string(32769, ' '));
    EXPECT_EQ(GetFwDetectIps(out), 1u);
}

}  // namespace
