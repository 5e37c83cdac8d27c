// Host threads configure parameters and switches while the command thread writes records:
// every record lands whole, and the run is clean under ThreadSanitizer.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "records_fixture.h"

using namespace records_test;

class Concurrency : public RecordsTest {};

TEST_F(Concurrency, ConfiguringWhileRecordsAreWritten)
{
    FakeCache::Install();
    tagUTBrioContextPublicParam ctx = {};
    ctx.context15 = "";
    ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), 0u);
    ASSERT_EQ(Track_ConfigCustomParam(1), 0u);

    constexpr int kEvents = 400;
    std::atomic<bool> stop{false};
    std::vector<std::thread> hosts;
    hosts.emplace_back([&] {
        for (int i = 0; !stop.load(); ++i) {
            std::string v = "v" + std::to_string(i);
            tagUTContextPublicParam c = {v.c_str(), "dev12345", nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr,   nullptr,    nullptr, nullptr, nullptr, nullptr, v.c_str()};
            Track_ConfigContextPublicParam(&c);
            tagUTBrioContextPublicParam b = {};
            b.context1 = v.c_str();
            b.context15 = "s";
            Track_ConfigBrioContextPublicParam(&b);
            tagUTParticipantInfo p = {1, 2, v.c_str()};
            Track_SetParticipantInfo(&p);
            Track_SetStunInfo(v.c_str(), 3478);
            Track_UpdateAccessDesc(v.c_str());
        }
    });
    hosts.emplace_back([&] {
        for (int i = 0; !stop.load(); ++i) {
            std::string v = "u" + std::to_string(i);
            tagUTPublicSdkParam sdk = {v.c_str(), "acc", "c", "s", "r1", nullptr, nullptr, nullptr, "r5"};
            Track_ConfigPublicSdkParam(&sdk);
            tagUTConfInfoParam conf = {v.c_str(), "p"};
            Track_SetConfInfoParam(&conf);
            Track_SetTerminalType(v.c_str());
            tagUTTransferParam t = {};
            t.token = "tok";
            t.serverAddr = "https://127.0.0.1:1";
            t.proxyAddr = "proxy";
            t.proxyPassword = "pw";
            Track_ConfigUploadParam(&t);
            Track_UpdateOpsAddress("https://127.0.0.1:1", i % 2);
            Track_RecordUtcTimeByLogin(1700000000000ULL + static_cast<uint64_t>(i));
            char version[32];
            Track_GetVersion(version, sizeof(version));
            tagUTCertInfo cert = {};
            Track_GetCertInfo(&cert);
        }
    });
    hosts.emplace_back([&] {
        for (int i = 0; !stop.load(); ++i) {
            Track_ConfigDotSwitch(true);
            Track_SetMeetingSDKDotSwitch(true);
            Track_ConfigCustomParam(1);
            if (i % 50 == 0) Track_ClearConfigPublicSdkParam();
        }
    });

    for (int i = 0; i < kEvents; ++i) {
        std::string name = "ev" + std::to_string(i);
        tagUTContextSpecialParam ev = {"30", name.c_str(), "x", nullptr, nullptr, 0, 0};
        ASSERT_EQ(Track_AddUserTrack(&ev), 0u);
        if (i % 100 == 0) {
            ASSERT_EQ(Track_StartEvent("t"), 0u);
            tagUTContextSubEventParam sub = {"s", static_cast<uint8_t>(i % 2)};
            ASSERT_EQ(Track_AddSubEvent("t", &sub), 0u);
        }
    }
    Drain();
    stop = true;
    for (auto &t : hosts) t.join();

    std::vector<std::string> lines = SplitLines(AllUserRecords());
    ASSERT_EQ(lines.size(), static_cast<size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i) {
        const std::string &line = lines[static_cast<size_t>(i)];
        ASSERT_NE(line.find("|30|ev" + std::to_string(i) + "|x||\n"), std::string::npos) << line;
        ASSERT_EQ(std::count(line.begin(), line.end(), '|'), 29) << line;
    }
}
