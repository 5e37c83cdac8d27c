// Parameters and switches: what each configuration stores, the context JSON, the switch rules,
// upload credentials and the proxy record, certificate and version buffers.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/http_proxy.h"
#include "host/pal.h"
#include "records_fixture.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace records_test;
using unified_track::RecursiveLock;
using unified_track::UTManager;

namespace {
std::string Reserves()
{
    std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
    return M().reserves;
}

void Touch(const std::string &path) { PAL_AppendFile(path.c_str(), "x\n", 2); }
}  // namespace

class Params : public RecordsTest {};

TEST_F(Params, PublicSdkParamDropsNewlinesKeepsEarlierOnEmptyAndPersistsTenEntries)
{
    FakeCache::Install();
    tagUTPublicSdkParam first = {"a\nb", "acc", "cip", "sip", "corp\n", "r2", "r3", "r4", "r5"};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&first), 0u);
    tagUTPublicSdkParam second = {nullptr, "", "cip2", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&second), 0u);
    {
        std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
        EXPECT_EQ(M().uuid, "ab");
        EXPECT_EQ(M().account, "acc");
        EXPECT_EQ(M().cloudusgIp, "cip2");
        EXPECT_EQ(M().reserve1, "corp");
    }
    ASSERT_TRUE(FakeCache::WaitForAddCalls(2));
    auto calls = FakeCache::AddCalls();
    ASSERT_EQ(calls.size(), 2u);
    const char *keys[] = {"PublicSdkParamUuid",     "PublicSdkParamAccount",  "PublicSdkParamCloudusgIp",
                          "PublicSdkParamSbcIp",    "PublicSdkParamReserve1", "PublicSdkParamReserve2",
                          "PublicSdkParamReserve3", "PublicSdkParamReserve4", "PublicSdkParamReserve5",
                          "PublicSdkParamReserves"};
    for (const auto &call : calls) {
        ASSERT_EQ(call.size(), 10u);
        for (size_t i = 0; i < 10; ++i) EXPECT_EQ(call[i].first, keys[i]);
        EXPECT_EQ(call[0].second, "ab");
        EXPECT_EQ(call[9].second, Reserves());
    }
    EXPECT_EQ(Track_ConfigPublicSdkParam(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
}

TEST_F(Params, PublicSdkParamWithoutUuidPersistsNothing)
{
    FakeCache::Install();
    tagUTPublicSdkParam sdk = {nullptr, "acc", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), 0u);
    Drain();
    EXPECT_TRUE(FakeCache::AddCalls().empty());
}

TEST_F(Params, ReservesIsRebuiltFromItsPartsWithoutEscaping)
{
    ASSERT_EQ(Track_SetTerminalType("PC\"x"), 0u);
    EXPECT_EQ(Reserves(), "");  // picked up at the next rebuild only
    tagUTConfInfoParam conf = {"c1", "p1"};
    ASSERT_EQ(Track_SetConfInfoParam(&conf), 0u);
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"PC\"x\",\"confuuid\":\"c1\",\"pid\":\"p1\",\"thirdAppVersion\":\"\"}");

    tagUTConfInfoParam onlyConf = {"c2", nullptr};
    ASSERT_EQ(Track_SetConfInfoParam(&onlyConf), 0u);
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"PC\"x\",\"confuuid\":\"c2\",\"pid\":\"p1\",\"thirdAppVersion\":\"\"}");

    tagUTContextPublicParam ctx = {};
    ctx.context14 = "9.9";
    ASSERT_EQ(Track_ConfigContextPublicParam(&ctx), 0u);
    EXPECT_NE(Reserves().find("\"thirdAppVersion\":\"\""), std::string::npos);  // not rebuilt here
    EXPECT_FALSE(M().m_contextConfigured.load());

    ut_test::LogCapture cap;
    EXPECT_EQ(Track_SetConfInfoParam(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_TRUE(cap.Contains("pConfInfo is null"));
    EXPECT_EQ(Track_SetTerminalType(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "terminalType is null").size(), 1u);
}

TEST_F(Params, FirstUploadOffDeletesDotFilesLaterOffPacksThem)
{
    UTManager &m = M();
    for (const std::string *f : {&m.m_userDotFile, &m.m_mediaDotFile, &m.m_mmrDotFile}) Touch(*f);
    ut_test::LogCapture cap;
    ASSERT_EQ(Track_ConfigCustomParam(0), 0u);
    for (const std::string *f : {&m.m_userDotFile, &m.m_mediaDotFile, &m.m_mmrDotFile}) {
        EXPECT_EQ(PAL_IsFileExist(f->c_str()), 0) << *f;
    }
    EXPECT_TRUE(cap.Contains("user set upload false. clear old dot data"));
    EXPECT_FALSE(m.m_dotSwitch.load());
    EXPECT_TRUE(m.m_bIsUploadSeted.load());

    Touch(m.m_userDotFile);
    ASSERT_EQ(Track_ConfigCustomParam(0), 0u);
    EXPECT_TRUE(cap.Contains("upload user track. m_bIsUploadSeted: 1, upload: 0"));
    EXPECT_EQ(AllUserRecords(), "x\n");  // packed or still there, never deleted

    ASSERT_EQ(Track_ConfigDotSwitch(true), 0u);
    EXPECT_FALSE(m.m_dotSwitch.load());  // upload is still off
    ASSERT_EQ(Track_ConfigCustomParam(1), 0u);
    EXPECT_TRUE(m.m_dotSwitch.load());
    ASSERT_EQ(Track_ConfigDotSwitch(false), 0u);
    EXPECT_FALSE(m.m_dotSwitch.load());
    EXPECT_TRUE(cap.Contains("bOpen = false"));
    EXPECT_TRUE(cap.Contains("upload = true"));
}

TEST_F(Params, FirstUploadOnPacksWhatWasCollected)
{
    ut_test::LogCapture cap;
    Touch(M().m_userDotFile);
    ASSERT_EQ(Track_ConfigCustomParam(1), 0u);
    EXPECT_TRUE(cap.Contains("upload user track. m_bIsUploadSeted: 0, upload: 1"));
    EXPECT_EQ(AllUserRecords(), "x\n");
    EXPECT_TRUE(M().m_uploadSwitch.load());
}

TEST_F(Params, UploadParamStoresCredentialsAndProtectsTheProxy)
{
    ut_test::LogCapture cap;
    tagUTTransferParam p = {};
    p.reserved = "first";
    p.token = "secret-token-123";
    p.jwtToken = nullptr;
    p.serverAddr = "https://ops.example.test";
    p.isProxyOff = 0;
    p.port = 8443;
    p.proxyPort = 3128;
    p.proxyAddr = "proxy.example.test";
    p.proxyUser = "proxy-user-name";
    p.proxyPassword = "proxy-pass-word";
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);

    unified_track::UpLoadParam copy = M().GetUploadParamCopy();
    EXPECT_EQ(copy.firstText, "first");
    EXPECT_EQ(copy.token, "secret-token-123");
    EXPECT_EQ(copy.jwtToken, "");
    EXPECT_EQ(copy.serverAddr, "https://ops.example.test");
    EXPECT_FALSE(copy.isProxyOff);
    EXPECT_EQ(copy.port, 8443);

    std::string blob(copy.proxy.blob.begin(), copy.proxy.blob.end());
    for (const char *secret : {"proxy-user-name", "proxy-pass-word", "proxy.example.test"}) {
        EXPECT_EQ(blob.find(secret), std::string::npos) << secret;
    }
    tagUTProxyParam back = {};
    ASSERT_EQ(ost_http_decrypt_proxy_param(&copy.proxy, &back), 0);
    EXPECT_STREQ(back.proxyAddr, "proxy.example.test");
    EXPECT_EQ(back.proxyPort, 3128u);
    EXPECT_STREQ(back.proxyUser, "proxy-user-name");
    EXPECT_STREQ(back.proxyPassword, "proxy-pass-word");

    auto urls = ost_http_get_crl_check_urls();
    EXPECT_NE(std::find(urls.begin(), urls.end(), "https://ops.example.test"), urls.end());

    EXPECT_TRUE(cap.Contains("token setted upload user track"));
    EXPECT_TRUE(cap.Contains("update upload param, token is setted, serverAddr: ["));
    for (const auto &line : cap.Lines()) {
        EXPECT_EQ(line.text.find("secret-token-123"), std::string::npos) << line.text;
        EXPECT_EQ(line.text.find("proxy-pass-word"), std::string::npos) << line.text;
    }

    // Same token again: nothing newly uploadable.
    cap.Clear();
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);
    EXPECT_FALSE(cap.Contains("token setted upload user track"));

    // No proxy address: no proxy record.
    p.proxyAddr = nullptr;
    p.proxyUser = nullptr;
    p.proxyPassword = nullptr;
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);
    EXPECT_TRUE(M().GetUploadParamCopy().proxy.blob.empty());
    EXPECT_EQ(Track_ConfigUploadParam(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
}

TEST_F(Params, OverLongProxyTextIsLoggedAndEmptied)
{
    ut_test::LogCapture cap;
    const std::string longUser(300, 'u');
    tagUTTransferParam p = {};
    p.token = "t";
    p.proxyAddr = "proxy";
    p.proxyUser = longUser.c_str();
    ASSERT_EQ(Track_ConfigUploadParam(&p), 0u);
    EXPECT_EQ(cap.Find("native_sdk", LOG_INFO, "secure func return err:").size(), 1u);
    tagUTProxyParam back = {};
    unified_track::UpLoadParam copy = M().GetUploadParamCopy();
    ASSERT_EQ(ost_http_decrypt_proxy_param(&copy.proxy, &back), 0);
    EXPECT_STREQ(back.proxyAddr, "proxy");
    EXPECT_STREQ(back.proxyUser, "");
}

TEST_F(Params, DirectSettersStoreAndRejectNull)
{
    tagUTParticipantInfo part = {7, 9, "pid-x"};
    EXPECT_EQ(Track_SetParticipantInfo(&part), 0u);
    EXPECT_EQ(Track_SetStunInfo("stun.example.test", 3478), 0u);
    EXPECT_EQ(Track_UpdateOpsAddress("https://ops2.example.test", 1), 0u);
    EXPECT_EQ(Track_UpdateAccessDesc("wifi"), 0u);
    {
        std::lock_guard<RecursiveLock> guard(UTManager::ParamLock());
        EXPECT_EQ(M().m_mNumber, 7u);
        EXPECT_EQ(M().m_tNumber, 9u);
        EXPECT_EQ(M().m_participantId, "pid-x");
        EXPECT_EQ(M().m_stunAddr, "stun.example.test");
        EXPECT_EQ(M().m_stunPort, 3478);
        EXPECT_EQ(M().m_uploadParam.serverAddr, "https://ops2.example.test");
        EXPECT_TRUE(M().m_uploadParam.isProxyOff);
        EXPECT_EQ(M().m_context[11], "wifi");
        EXPECT_EQ(M().m_context[12], "wifi");
    }
    auto urls = ost_http_get_crl_check_urls();
    EXPECT_NE(std::find(urls.begin(), urls.end(), "https://ops2.example.test"), urls.end());

    tagUTParticipantInfo noId = {1, 2, nullptr};
    EXPECT_EQ(Track_SetParticipantInfo(&noId), 0u);
    EXPECT_EQ(Track_SetParticipantInfo(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_SetStunInfo(nullptr, 1), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_UpdateOpsAddress(nullptr, 0), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_UpdateAccessDesc(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_ConfigContextPublicParam(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_ConfigBrioContextPublicParam(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    tagUTBrioContextPublicParam no15 = {};
    no15.context1 = "v";
    EXPECT_EQ(Track_ConfigBrioContextPublicParam(&no15), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_FALSE(M().m_contextConfigured.load());
}

TEST_F(Params, CertificateRoundTripAndUnterminatedTextIsRefused)
{
    tagUTCertInfo in = {};
    std::memset(in.certInfo, 'c', 511);
    in.certNumber = 42;
    ASSERT_EQ(Track_SetCertInfo(&in), 0u);
    tagUTCertInfo out;
    std::memset(&out, 0x55, sizeof(out));
    ASSERT_EQ(Track_GetCertInfo(&out), 0u);
    EXPECT_EQ(std::string(out.certInfo), std::string(511, 'c'));
    EXPECT_EQ(out.certNumber, 42u);

    ut_test::LogCapture cap;
    tagUTCertInfo full;
    std::memset(full.certInfo, 'd', sizeof(full.certInfo));  // no terminator anywhere
    full.certNumber = 1;
    EXPECT_EQ(Track_SetCertInfo(&full), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(M().GetUploadParamCopy().certInfo, std::string(511, 'c'));
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "certInfo").size(), 1u);

    EXPECT_EQ(Track_SetCertInfo(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
    EXPECT_EQ(Track_GetCertInfo(nullptr), static_cast<OST_UT_RESULT>(UT_FAILED));
}

TEST_F(Params, VersionBufferIsBoundedEmptiedWhenShortAndLogged)
{
    tagUTContextPublicParam ctx = {};
    ctx.context1 = "10.2.3";
    ASSERT_EQ(Track_ConfigContextPublicParam(&ctx), 0u);

    char exact[7];
    std::memset(exact, '#', sizeof(exact));
    EXPECT_EQ(Track_GetVersion(exact, sizeof(exact)), 0u);
    EXPECT_STREQ(exact, "10.2.3");

    ut_test::LogCapture cap;
    char shortBuf[8];
    std::memset(shortBuf, '#', sizeof(shortBuf));
    EXPECT_EQ(Track_GetVersion(shortBuf, 6), 0u);  // one byte short
    EXPECT_EQ(shortBuf[0], '\0');
    EXPECT_EQ(shortBuf[6], '#');  // nothing written past the size given
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "secure func return err:").size(), 1u);

    cap.Clear();
    char untouched = '#';
    EXPECT_EQ(Track_GetVersion(&untouched, 0), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(Track_GetVersion(nullptr, 16), 0u);
    EXPECT_EQ(Track_GetVersion(&untouched, -5), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(cap.Find("native_sdk", LOG_ERROR, "secure func return err:").size(), 3u);
}

TEST_F(Params, NullTextsInRecordsAreEmptyValues)
{
    tagUTTransferParam upload = {};
    upload.port = 1;
    ASSERT_EQ(Track_ConfigUploadParam(&upload), 0u);
    unified_track::UpLoadParam copy = M().GetUploadParamCopy();
    EXPECT_EQ(copy.token, "");
    EXPECT_EQ(copy.serverAddr, "");
    EXPECT_TRUE(copy.proxy.blob.empty());

    tagUTPublicSdkParam sdk = {};
    ASSERT_EQ(Track_ConfigPublicSdkParam(&sdk), 0u);
    tagUTConfInfoParam conf = {};
    ASSERT_EQ(Track_SetConfInfoParam(&conf), 0u);
    tagUTContextPublicParam ctx = {};
    ASSERT_EQ(Track_ConfigContextPublicParam(&ctx), 0u);
    EXPECT_EQ(Reserves(), "{\"terminalType\":\"\",\"confuuid\":\"\",\"pid\":\"\",\"thirdAppVersion\":\"\"}");
}
