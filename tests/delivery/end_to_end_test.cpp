// From the exported interface to the collector: events recorded, packed and posted over TLS,
// decoded there line by line; zip files left by an earlier process are delivered by the next.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include <unified_track/unified_track.h>

#include "delivery_fixture.h"

namespace ut_delivery {
namespace {

void Configure(const std::string &caFile, int port) {
    tagUTCertInfo cert{};
    std::snprintf(cert.certInfo, sizeof cert.certInfo, "%s", caFile.c_str());
    ASSERT_EQ(0u, Track_SetCertInfo(&cert));
    tagUTPublicSdkParam sdk{};
    sdk.uuid = "uuid-e2e";
    sdk.account = "account";
    sdk.reserve2 = "e2e-agent";
    ASSERT_EQ(0u, Track_ConfigPublicSdkParam(&sdk));
    tagUTBrioContextPublicParam ctx{};
    ctx.context1 = "1.0.0";
    ctx.context2 = "device";
    ctx.context15 = "suite";
    ASSERT_EQ(0u, Track_ConfigBrioContextPublicParam(&ctx));
    tagUTTransferParam up{};
    up.token = "token-e2e";
    up.serverAddr = "127.0.0.1";
    up.port = static_cast<uint16_t>(port);
    up.isProxyOff = 1;
    ASSERT_EQ(0u, Track_ConfigUploadParam(&up));
}

void AddEvents(const std::string &prefix, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string event = prefix + std::to_string(i);
        tagUTContextSpecialParam p{};
        p.eventId = "42";
        p.event = event.c_str();
        ASSERT_EQ(0u, Track_AddUserTrack(&p));
    }
}

TEST(EndToEnd, EventsReachTheCollectorAndLeftoversOfAnEarlierRunFollow) {
    ut_test::TempDir dir;
    const std::string logPath = dir.file("log"), dataPath = dir.file("data");
    ASSERT_EQ(0, ::mkdir(logPath.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(dataPath.c_str(), 0700));
    const std::string userZips = dataPath + "/dotdata/user";

    // An earlier run: records and packs, but its server cannot be reached.
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int rc = 1;
        if (InitUnifiedTrack(2, 0, 0, logPath.c_str(), dataPath.c_str()) == 0) {
            Configure("/nonexistent.pem", ut_test::UnusedLocalPort());
            AddEvents("earlier_event_", 3);
            Track_UploadUserTrack();
            char version[64];  // a synchronous export waits for every command queued before it
            Track_GetVersion(version, sizeof version);
            rc = ListDir(userZips).size() == 1 ? 0 : 2;
            Track_Uninit();
        }
        // A normal exit: the library's statics join its threads on the way out.
        std::exit(rc);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_EQ(1u, ListDir(userZips).size());

    // This run: the leftover goes first, then what is recorded now.
    ut_test::HttpsCollector server;
    ASSERT_EQ(0u, InitUnifiedTrack(2, 0, 0, logPath.c_str(), dataPath.c_str()));
    Configure(server.CaFile(), server.Port());
    AddEvents("now_event_", 5);
    Track_UploadUserTrack();
    ASSERT_TRUE(server.WaitForCompleted(2, 30000));
    // Delivered files go as soon as their answer is in.
    EXPECT_TRUE(WaitUntil([&] { return ListDir(userZips).empty(); }));
    Track_Uninit();

    auto reqs = server.Requests();
    ASSERT_EQ(2u, reqs.size());
    std::vector<std::string> expected = {"earlier_event_0", "earlier_event_1", "earlier_event_2", "now_event_0",
                                         "now_event_1",     "now_event_2",     "now_event_3",     "now_event_4"};
    std::vector<std::string> got;
    for (const auto &r : reqs) {
        ASSERT_TRUE(r.envelopeOk) << r.body;
        EXPECT_EQ("/v1/ops/client/report/product", r.path);
        EXPECT_EQ("token-e2e", r.Header("X-Auth-token"));
        EXPECT_EQ("e2e-agent", r.Header("User-Agent"));
        EXPECT_EQ("uuid-e2e", r.Header("X-User-Uuid"));
        EXPECT_EQ("uuid-e2e", r.envelope["user"].asString());
        std::istringstream in(r.envelope["data"].asString());
        for (std::string line; std::getline(in, line);) got.push_back(line);
    }
    ASSERT_EQ(expected.size(), got.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NE(std::string::npos, got[i].find("|" + expected[i] + "|")) << got[i];
        EXPECT_NE(std::string::npos, got[i].find("|uuid-e2e|")) << got[i];
    }
}

}  // namespace
}  // namespace ut_delivery
