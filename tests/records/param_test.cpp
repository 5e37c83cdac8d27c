// Parameters and switches: what each configuration stores, the context JSON, the switch rules,
// upload credentials and the proxy record, certificate and version buffers.
#include <algorithm>
#include <cstring>

#include "host/http_proxy.h"
#include "host/pal.h"
#include "records_fixture.h"

using namespace records_test;

class Params : public RecordsTest {};

TEST_F(Params, PublicSdkParamNeedsAUuidDropsNewlinesKeepsEarlierOnEmptyAndPersistsTenEntries) {
    InstallFakeCache();
    using P = tagUTPublicSdkParam;
    ASSERT_EQ(Track_ConfigPublicSdkParam(
                  Tmp(P{nullptr, "acc0", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr})),
              0u);  // stored, not persisted
    ASSERT_EQ(Track_ConfigPublicSdkParam(Tmp(P{"a\nb", "acc", "cip", "sip", "corp\n", "r2", "r3", "r4", "r5"})), 0u);
    ASSERT_EQ(
        Track_ConfigPublicSdkParam(Tmp(P{nullptr, "", "cip2", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr})),
        0u);
    EXPECT_EQ(WithParams([](auto &m) { return m.uuid + " " + m.account + " " + m.cloudusgIp + " " + m.reserve1; }),
              "ab acc cip2 corp");
    ASSERT_TRUE(WaitForAddCalls(2));
    const char *keys[] = {"Uuid",     "Account",  "CloudusgIp", "SbcIp",    "Reserve1",
                          "Reserve2", "Reserve3", "Reserve4",   "Reserve5", "Reserves"};
    for (const auto &call : WithCache([](FakeCache &c) { return c.addCalls; })) {
        ASSERT_EQ(call.size(), 10u);
        for (size_t i = 0; i < 10; ++i) EXPECT_EQ(call[i].first, std::string("PublicSdkParam") + keys[i]);
        EXPECT_EQ(call[0].second, "ab");
        EXPECT_EQ(call[9].second, Reserves());
    }
}

TEST_F(Params, ReservesIsRebuiltFromItsPartsWithoutEscaping) {
    ASSERT_EQ(Track_ConfigPublicSdkParam(Tmp(tagUTPublicSdkParam{})), 0u);  // null texts are empty values
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"\",\"confuuid\":\"\",\"pid\":\"\",\"thirdAppVersion\":\"\"}");
    ASSERT_EQ(Track_SetTerminalType("PC\"x"), 0u);  // picked up at the next rebuild
    ASSERT_EQ(Track_SetConfInfoParam(Tmp(tagUTConfInfoParam{"c1", "p1"})), 0u);
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"PC\"x\",\"confuuid\":\"c1\",\"pid\":\"p1\",\"thirdAppVersion\":\"\"}");
    ASSERT_EQ(Track_SetConfInfoParam(Tmp(tagUTConfInfoParam{"c2", nullptr})), 0u);
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"PC\"x\",\"confuuid\":\"c2\",\"pid\":\"p1\",\"thirdAppVersion\":\"\"}");
    tagUTContextPublicParam ctx = {};
    ctx.context14 = "9.9";
    ASSERT_EQ(Track_ConfigContextPublicParam(&ctx), 0u);
    EXPECT_NE(Reserves().find("\"thirdAppVersion\":\"\""), std::string::npos);                   // not rebuilt here
    EXPECT_EQ(Track_ConfigBrioContextPublicParam(Tmp(tagUTBrioContextPublicParam{})), kFailed);  // no context15
    EXPECT_FALSE(M().Params().ContextConfigured());
}

TEST_F(Params, FirstUploadOffDeletesDotFilesLaterOffPacksThem) {
    auto &m = M();
    auto Touch = [](const std::string &path) { PAL_AppendFile(path.c_str(), "x\n", 2); };
    const std::string *const files[] = {&DotFileOf(DotKind::kUser), &DotFileOf(DotKind::kMedia),
                                        &DotFileOf(DotKind::kMmr)};
    for (const std::string *f : files) Touch(*f);
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_ConfigCustomParam(0), 0u);
    for (const std::string *f : files) {
        EXPECT_EQ(PAL_IsFileExist(f->c_str()), 0) << *f;
    }
    EXPECT_TRUE(cap.Contains("user set upload false. clear old dot data"));
    EXPECT_FALSE(m.Params().DotSwitch());
    Touch(DotFileOf(DotKind::kUser));
    ASSERT_EQ(Track_ConfigCustomParam(0), 0u);  // later: packs, as switching on does
    EXPECT_TRUE(cap.Contains("upload user track. m_bIsUploadSeted: 1, upload: 0"));
    EXPECT_EQ(AllUserRecords(), "x\n");  // packed or still there, never deleted
    ASSERT_EQ(Track_ConfigDotSwitch(true), 0u);
    EXPECT_FALSE(m.Params().DotSwitch());  // upload is still off
    ASSERT_EQ(Track_ConfigCustomParam(1), 0u);
    EXPECT_TRUE(m.Params().DotSwitch());
    ASSERT_EQ(Track_ConfigDotSwitch(false), 0u);
    EXPECT_FALSE(m.Params().DotSwitch());
}

TEST_F(Params, UploadParamStoresCredentialsAndProtectsTheProxy) {
    ut_test::LogCapture cap;
    tagUTTransferParam p = {};
    p.token = "secret-token-123";
    p.serverAddr = "https://ops.example.test";
    p.proxyPort = 3128;
    p.proxyAddr = "proxy.example.test";
    p.proxyUser = "proxy-user-name";
    p.proxyPassword = "proxy-pass-word";
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);
    unified_track::UpLoadParam copy = M().GetUploadParamCopy();
    std::string blob(copy.proxy.blob.begin(), copy.proxy.blob.end());
    for (const char *secret : {"proxy-user-name", "proxy-pass-word", "proxy.example.test"}) {
        EXPECT_EQ(blob.find(secret), std::string::npos) << secret;
    }
    tagUTProxyParam back = {};
    ASSERT_EQ(ost_http_decrypt_proxy_param(&copy.proxy, &back), 0);
    EXPECT_EQ(std::string(back.proxyAddr) + ":" + std::to_string(back.proxyPort) + " " + back.proxyUser + " " +
                  back.proxyPassword,
              "proxy.example.test:3128 proxy-user-name proxy-pass-word");
    auto urls = ost_http_get_crl_check_urls();
    EXPECT_NE(std::find(urls.begin(), urls.end(), "https://ops.example.test"), urls.end());
    EXPECT_TRUE(cap.Contains("token setted upload user track"));
    for (const auto &line : cap.Lines()) {
        EXPECT_EQ(line.text.find("secret-token-123"), std::string::npos) << line.text;
        EXPECT_EQ(line.text.find("proxy-pass-word"), std::string::npos) << line.text;
    }

    cap.Clear();
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);
    EXPECT_FALSE(cap.Contains("token setted upload user track"));     // same token: nothing new
    EXPECT_NE(M().GetUploadParamCopy().proxy.blob, copy.proxy.blob);  // a fresh nonce each time
    const std::string longUser(300, 'u');                             // over the record's size: logged and emptied
    p.proxyUser = longUser.c_str();
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);
    EXPECT_EQ(cap.Find("native_sdk", LOG_INFO, "secure func return err:").size(), 1u);
    ASSERT_EQ(ost_http_decrypt_proxy_param(Tmp(M().GetUploadParamCopy().proxy), &back), 0);
    EXPECT_EQ(std::string(back.proxyAddr) + "|" + back.proxyUser, "proxy.example.test|");
    p.token = p.serverAddr = p.proxyAddr = p.proxyUser = p.proxyPassword = nullptr;
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);
    copy = M().GetUploadParamCopy();
    EXPECT_EQ(copy.token + copy.serverAddr, "");
    EXPECT_TRUE(copy.proxy.blob.empty());
}

TEST(ProxyProtection, TamperedTruncatedOrMissingInputFails) {
    tagUTProxyParam in = {};
    std::strcpy(in.proxyPassword, "Pa55w0rd!");
    ProtectedProxyParam blob;
    ASSERT_EQ(ost_http_encrypt_proxy_param(&in, &blob), 0);
    tagUTProxyParam out;
    ProtectedProxyParam bad = blob;
    bad.blob[20] ^= 0x01;
    EXPECT_NE(ost_http_decrypt_proxy_param(&bad, &out), 0);
    EXPECT_EQ(out.proxyPassword[0], '\0');  // nothing half-decrypted is handed out
    bad = blob;
    bad.blob.pop_back();
    EXPECT_NE(ost_http_decrypt_proxy_param(&bad, &out), 0);
    EXPECT_NE(ost_http_decrypt_proxy_param(Tmp(ProtectedProxyParam{}), &out), 0);
    EXPECT_NE(ost_http_encrypt_proxy_param(nullptr, &blob), 0);
    EXPECT_NE(ost_http_encrypt_proxy_param(&in, nullptr), 0);
    EXPECT_NE(ost_http_decrypt_proxy_param(nullptr, &out), 0);
    EXPECT_NE(ost_http_decrypt_proxy_param(&blob, nullptr), 0);
}

TEST_F(Params, CertificateRoundTripAndUnterminatedTextIsRefused) {
    tagUTCertInfo in = {};
    std::memset(in.certInfo, 'c', 511);
    in.certNumber = 42;
    ASSERT_EQ(Track_SetCertInfo(&in), 0u);
    tagUTCertInfo out;
    std::memset(&out, 0x55, sizeof(out));
    ASSERT_EQ(Track_GetCertInfo(&out), 0u);
    EXPECT_EQ(std::string(out.certInfo) + std::to_string(out.certNumber), std::string(511, 'c') + "42");
    ut_test::LogCapture cap;
    std::memset(in.certInfo, 'd', sizeof(in.certInfo));  // no terminator anywhere
    EXPECT_EQ(Track_SetCertInfo(&in), kFailed);
    EXPECT_EQ(M().GetUploadParamCopy().certInfo, std::string(511, 'c'));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "certInfo").size(), 1u);
    EXPECT_EQ(Track_GetCertInfo(nullptr), kFailed);
}

TEST_F(Params, VersionBufferIsBoundedEmptiedWhenShortAndLogged) {
    tagUTContextPublicParam ctx = {};
    ctx.context1 = "10.2.3";
    ASSERT_EQ(Track_ConfigContextPublicParam(&ctx), 0u);
    char buf[8];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(Track_GetVersion(buf, 7), 0u);
    EXPECT_STREQ(buf, "10.2.3");
    ut_test::LogCapture cap;
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(Track_GetVersion(buf, 6), 0u);  // one byte short: emptied, nothing past the size given
    EXPECT_EQ(Track_GetVersion(buf + 7, 0), 0u);
    EXPECT_EQ(Track_GetVersion(nullptr, 16), 0u);
    EXPECT_EQ(Track_GetVersion(buf + 7, -5), 0u);
    EXPECT_EQ(std::string(buf, 8), std::string("\0#####", 6) + "##");
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "secure func return err:").size(), 4u);
}
