// ut-collector as a user runs it: the library posts to it, it answers as told, writes what it
// decoded and stops on Ctrl-C.
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>
#include <signal.h>

#include <unified_track/unified_track.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "support/https_collector.h"
#include "support/temp_dir.h"
#include "tool_process.h"
#include "tools_fixture.h"

using namespace ut_tools_test;

namespace {

int PortOf(const std::string &startLine) {
    const size_t at = startLine.find("127.0.0.1:");
    return at == std::string::npos ? 0 : std::atoi(startLine.c_str() + at + 10);
}

std::vector<Json::Value> JsonLines(const std::string &path) {
    std::vector<Json::Value> out;
    std::istringstream in(ut_test::ReadFile(path));
    for (std::string l; std::getline(in, l);) {
        Json::Value v;
        if (Json::Reader().parse(l, v)) out.push_back(v);
    }
    return out;
}

TEST(CollectorTool, AnswersServiceUnavailableThenKeepsTheRetriedUpload) {
    ut_test::TempDir dir;
    const std::string out = dir.file("out");
    RunningTool tool(UT_COLLECTOR_PATH, {"--port", "0", "--out", out, "--fail", "1:503"});
    const std::string start = tool.WaitForLine("listening on");
    const int port = PortOf(start);
    ASSERT_GT(port, 0) << tool.Out();
    ASSERT_TRUE(std::filesystem::exists(out + "/ca.pem"));

    // A host: the library trusts the certificate the collector wrote and posts its records.
    std::filesystem::create_directories(dir.file("data"));
    ASSERT_EQ(InitUnifiedTrack(2, 0, 0, dir.file("log/").c_str(), dir.file("data/").c_str()), UT_SUCCESS);
    tagUTPublicSdkParam sdk = {"uuid-tool", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    Track_ConfigPublicSdkParam(&sdk);
    tagUTBrioContextPublicParam ctx = {};
    ctx.context1 = "1.2.3";
    ctx.context15 = "suite";
    Track_ConfigBrioContextPublicParam(&ctx);
    tagUTCertInfo cert = {};
    const std::string ca = out + "/ca.pem";
    ASSERT_LT(ca.size(), sizeof cert.certInfo);
    std::memcpy(cert.certInfo, ca.c_str(), ca.size() + 1);
    Track_SetCertInfo(&cert);
    tagUTTransferParam transfer = {nullptr, "tok", nullptr, "127.0.0.1", 1,      static_cast<uint16_t>(port),
                                   {},      0,     nullptr, nullptr,     nullptr};
    Track_ConfigUploadParam(&transfer);
    for (const char *id : {"2001", "2002"}) {
        tagUTContextSpecialParam ev = {id, "ut_event_tool", "x", "y", "{}", 0, 0};
        Track_AddUserTrack(&ev);
    }
    Track_UploadUserTrack();

    const std::string refused = tool.WaitForLine("-> 503");
    EXPECT_NE(refused.find("#1 POST /v1/ops/client/report/product"), std::string::npos) << refused;
    EXPECT_NE(refused.find("not kept"), std::string::npos);
    const std::string kept = tool.WaitForLine("-> 200");
    Track_Uninit();
    ASSERT_NE(kept, "") << tool.Out();
    EXPECT_NE(kept.find("#2 POST /v1/ops/client/report/product"), std::string::npos) << kept;
    EXPECT_NE(kept.find("2 user records -> 000002.jsonl"), std::string::npos) << kept;
    EXPECT_FALSE(std::filesystem::exists(out + "/000001.jsonl"));

    const std::vector<Json::Value> records = JsonLines(out + "/000002.jsonl");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["kind"].asString(), "user");
    EXPECT_EQ(records[0]["eventId"].asString(), "2001");
    EXPECT_EQ(records[1]["eventId"].asString(), "2002");
    EXPECT_EQ(records[1]["uuid"].asString(), "uuid-tool");
    EXPECT_EQ(records[1]["context1"].asString(), "1.2.3");

    const Result r = tool.Stop(SIGINT);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("stopping (interrupt) after 2 requests"), std::string::npos) << r.out;
}

TEST(CollectorTool, GivenCertificateServesAndUndecodableBodiesAreRefused) {
    ut_test::TempDir dir;
    ASSERT_TRUE(ut_tools::MakeSelfSignedCert(dir.file("c.pem"), dir.file("c.key")));
    const std::string out = dir.file("out");
    RunningTool tool(UT_COLLECTOR_PATH,
                     {"--port", "0", "--out", out, "--cert", dir.file("c.pem"), "--key", dir.file("c.key")});
    const int port = PortOf(tool.WaitForLine("listening on"));
    ASSERT_GT(port, 0) << tool.Out();
    EXPECT_FALSE(std::filesystem::exists(out + "/ca.pem"));  // the host trusts its own file

    httplib::SSLClient client("127.0.0.1", port);
    client.set_ca_cert_path(dir.file("c.pem").c_str());
    client.enable_server_certificate_verification(true);
    const httplib::Headers gzip = {{"Content-Encoding", "gzip"}};
    auto res =
        client.Post("/v1/ops/das/mmr/report", gzip, ut_test::GzipBytes(R"([{"a":1},{"b":"two"}])"), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    res = client.Post("/v1/ops/client/report/av", gzip, ut_test::GzipBytes(Envelope(MediaLine("30009", "p"))),
                      "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    res = client.Post("/v1/ops/client/report/product", gzip, ut_test::GzipBytes("not json"), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    EXPECT_NE(tool.WaitForLine("-> 400"), "");

    const std::vector<Json::Value> mmr = JsonLines(out + "/000001.jsonl");
    ASSERT_EQ(mmr.size(), 2u);
    EXPECT_EQ(mmr[1]["kind"].asString(), "mmr");
    EXPECT_EQ(mmr[1]["record"]["b"].asString(), "two");
    const std::vector<Json::Value> media = JsonLines(out + "/000002.jsonl");
    ASSERT_EQ(media.size(), 1u);
    EXPECT_EQ(media[0]["eventId"].asString(), "30009");
    EXPECT_FALSE(std::filesystem::exists(out + "/000003.jsonl"));
    const Result r = tool.Stop(SIGTERM);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("undecodable: not valid JSON"), std::string::npos) << r.out;
}

TEST(CollectorTool, WrongArgumentsExplainAndExitTwo) {
    ut_test::TempDir dir;
    struct Case {
        std::vector<std::string> args;
        const char *message;
    } const cases[] = {
        {{"--out", dir.path()}, "--port is required"},
        {{"--port", "0"}, "--out is required"},
        {{"--port", "70000", "--out", dir.path()}, "bad port: 70000"},
        {{"--port", "0", "--out", dir.path(), "--fail", "3"}, "bad --fail value"},
        {{"--port", "0", "--out", dir.path(), "--fail", "3:700"}, "bad --fail value"},
        {{"--port", "0", "--out", dir.path(), "--cert", "c.pem"}, "--cert and --key go together"},
        {{"--port", "0", "--out", dir.path(), "--colour"}, "missing value after --colour"},
    };
    for (const Case &c : cases) {
        const Result r = RunTool(UT_COLLECTOR_PATH, c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // A certificate that is not one ends the start with a reason.
    ut_tools_test::WriteFile(dir.file("bad.pem"), "not a certificate");
    const Result r = RunTool(UT_COLLECTOR_PATH, {"--port", "0", "--out", dir.path(), "--cert", dir.file("bad.pem"),
                                                 "--key", dir.file("bad.pem")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("certificate or key unusable"), std::string::npos) << r.err;
}

}  // namespace
