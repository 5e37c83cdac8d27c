// Host threads configure parameters and switches while the command thread writes records:
// every record lands whole, and the run is clean under ThreadSanitizer.
#include <algorithm>
#include <atomic>
#include <thread>

#include "host/http_proxy.h"
#include "records_fixture.h"

using namespace records_test;

class Concurrency : public RecordsTest {};

TEST_F(Concurrency, ConfiguringFromTwoThreadsWhileRecordsAreWritten) {
    InstallFakeCache();
    ConfigureEmptyContext();
    std::atomic<bool> stop{false};
    std::vector<std::thread> hosts;
    for (int h = 0; h < 2; ++h)
        hosts.emplace_back([&] {
            tagUTTransferParam t = {};
            t.token = "tok";
            t.proxyAddr = "proxy";
            for (int i = 0; !stop.load(); ++i) {
                std::string v = "v" + std::to_string(i);
                tagUTBrioContextPublicParam b = {};
                b.context1 = b.context15 = v.c_str();
                Track_ConfigBrioContextPublicParam(&b);
                Track_ConfigPublicSdkParam(Tmp(tagUTPublicSdkParam{v.c_str(), "acc", "", "", "", "", "", "", "r5"}));
                Track_SetConfInfoParam(Tmp(tagUTConfInfoParam{v.c_str(), "p"}));
                Track_ConfigUploadParam(&t);
                Track_RecordUtcTimeByLogin(1700000000000ULL + static_cast<uint64_t>(i));
                Track_ConfigCustomParam(1);
                Track_ConfigDotSwitch(true);
                if (i % 50 == 0) Track_ClearConfigPublicSdkParam();
            }
        });
    constexpr int kEvents = 400;
    for (int i = 0; i < kEvents; ++i) {
        std::string name = "ev" + std::to_string(i);
        EXPECT_EQ(Track_AddUserTrack(Tmp(tagUTContextSpecialParam{"30", name.c_str(), "x", nullptr, nullptr, 0, 0})),
                  0u);
        if (i % 100 == 0) {
            EXPECT_EQ(Track_StartEvent("t"), 0u);
            EXPECT_EQ(Track_AddSubEvent("t", Tmp(tagUTContextSubEventParam{"s", static_cast<uint8_t>(i % 2)})), 0u);
        }
    }
    Drain();
    stop = true;
    for (auto &host : hosts) host.join();
    std::vector<std::string> lines = UserLines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i) {
        const std::string &line = lines[static_cast<size_t>(i)];
        ASSERT_NE(line.find("|30|ev" + std::to_string(i) + "|x||\n"), std::string::npos) << line;
        ASSERT_EQ(std::count(line.begin(), line.end(), '|'), 29) << line;
    }
}

TEST(CrlCheckUrls, KeptOnceFromManyThreads) {
    EXPECT_NE(ost_http_add_crl_check_url(nullptr), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) ost_http_add_crl_check_url(("https://crl" + std::to_string(i % 5)).c_str());
        });
    }
    for (auto &th : threads) th.join();
    std::vector<std::string> urls = ost_http_get_crl_check_urls();
    urls.erase(std::remove_if(urls.begin(), urls.end(), [](const std::string &u) { return u.rfind("https://crl", 0); }),
               urls.end());
    std::sort(urls.begin(), urls.end());
    EXPECT_EQ(urls, (std::vector<std::string>{"https://crl0", "https://crl1", "https://crl2", "https://crl3",
                                              "https://crl4"}));
}
