// Protection of the proxy record and the revocation-check address list.
#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/http_proxy.h"

namespace {
tagUTProxyParam Sample()
{
    tagUTProxyParam p;
    std::memset(&p, 0, sizeof(p));
    std::strcpy(p.proxyAddr, "10.20.30.40");
    p.proxyPort = 8080;
    std::strcpy(p.proxyUser, "dana@corp");
    std::strcpy(p.proxyPassword, "Pa55w0rd!");
    return p;
}
}  // namespace

TEST(ProxyProtection, RoundTripHidesCredentialsAndUsesFreshNonces)
{
    tagUTProxyParam in = Sample();
    ProtectedProxyParam a;
    ProtectedProxyParam b;
    ASSERT_EQ(ost_http_encrypt_proxy_param(&in, &a), 0);
    ASSERT_EQ(ost_http_encrypt_proxy_param(&in, &b), 0);
    EXPECT_NE(a.blob, b.blob);
    std::string bytes(a.blob.begin(), a.blob.end());
    for (const char *secret : {"dana@corp", "Pa55w0rd!", "10.20.30.40"}) {
        EXPECT_EQ(bytes.find(secret), std::string::npos);
    }
    tagUTProxyParam out;
    ASSERT_EQ(ost_http_decrypt_proxy_param(&a, &out), 0);
    EXPECT_EQ(std::memcmp(&in, &out, sizeof(in)), 0);
}

TEST(ProxyProtection, TamperedTruncatedOrMissingInputFails)
{
    tagUTProxyParam in = Sample();
    ProtectedProxyParam blob;
    ASSERT_EQ(ost_http_encrypt_proxy_param(&in, &blob), 0);
    tagUTProxyParam out;

    ProtectedProxyParam tampered = blob;
    tampered.blob[20] ^= 0x01;
    EXPECT_NE(ost_http_decrypt_proxy_param(&tampered, &out), 0);
    EXPECT_EQ(out.proxyPassword[0], '\0');  // nothing half-decrypted is handed out

    ProtectedProxyParam shortBlob = blob;
    shortBlob.blob.pop_back();
    EXPECT_NE(ost_http_decrypt_proxy_param(&shortBlob, &out), 0);
    ProtectedProxyParam empty;
    EXPECT_NE(ost_http_decrypt_proxy_param(&empty, &out), 0);

    EXPECT_NE(ost_http_encrypt_proxy_param(nullptr, &blob), 0);
    EXPECT_NE(ost_http_encrypt_proxy_param(&in, nullptr), 0);
    EXPECT_NE(ost_http_decrypt_proxy_param(nullptr, &out), 0);
    EXPECT_NE(ost_http_decrypt_proxy_param(&blob, nullptr), 0);
}

TEST(CrlCheckUrls, KeptOnceFromManyThreads)
{
    EXPECT_NE(ost_http_add_crl_check_url(nullptr), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) ost_http_add_crl_check_url(("https://crl" + std::to_string(i % 5)).c_str());
        });
    }
    for (auto &th : threads) th.join();
    std::vector<std::string> sorted;
    for (const std::string &url : ost_http_get_crl_check_urls()) {
        if (url.rfind("https://crl", 0) == 0) sorted.push_back(url);
    }
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"https://crl0", "https://crl1", "https://crl2", "https://crl3",
                                                "https://crl4"}));
}
