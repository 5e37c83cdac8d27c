// Net dial test nodes and the assistant's key words.
#include "config_fixture.h"

namespace {

using namespace ut_test;

std::string Node(const std::string &type, const std::string &proto, const std::string &extra = "") {
    return "{\"serviceType\":\"" + type + "\",\"protocol\":\"" + proto + "\",\"domain\":\"d.example.com\"" + extra +
           "}";
}

class DetectTest : public ConfigTest {};

TEST_F(DetectTest, NodesTakeDefaultPathsOnlyForHttp) {
    struct Case {
        std::string node;
        bool kept;
        const char *path;
        uint16_t port;
    } cases[] = {
        {Node("usg", "http", ",\"port\":443"), true, "v1/usg/acs/heartbeat", 443},
        {Node("cms", "http", ",\"urlPath\":\"\",\"port\":80"), true, "v1/mmc/control/reliability/probing", 80},
        {Node("mrc", "http", ",\"urlPath\":7,\"port\":80"), true, "v1/rtc/httpdetect", 80},
        {Node("ops", "http", ",\"urlPath\":\"own/path\",\"port\":1"), true, "own/path", 1},
        {Node("usg", "https", ",\"port\":443"), true, "", 443},
        {Node("zzz", "http", ",\"port\":443"), true, "", 443},
        {Node("obs", "HTTP", ",\"port\":443"), true, "", 443},
        {Node("usg", "http", ",\"port\":70000"), true, "v1/usg/acs/heartbeat", 4464},
        {Node("usg", "http", ",\"port\":\"443\""), false, "", 0},
        {Node("usg", "http", ",\"port\":4294967296"), false, "", 0},
        {Node("usg", "http", ",\"port\":1.5"), false, "", 0},
        {Node("usg", "http"), false, "", 0},
        {"{\"protocol\":\"http\",\"domain\":\"d\",\"port\":1}", false, "", 0},
        {"{\"serviceType\":\"usg\",\"domain\":\"d\",\"port\":1}", false, "", 0},
        {"{\"serviceType\":\"usg\",\"protocol\":\"http\",\"port\":1}", false, "", 0},
        {"5", false, "", 0},
        {"[]", false, "", 0},
    };
    for (const Case &c : cases) {
        std::vector<tagNET_DIAL_NODE> nodes;
        std::string json = "{\"standardConfig\":[" + c.node + "]}";
        EXPECT_EQ(GetNetDetectFromStr(nodes, json.c_str(), true), 0u) << c.node;
        ASSERT_EQ(nodes.size(), c.kept ? 1u : 0u) << c.node;
        if (!c.kept) continue;
        EXPECT_EQ(nodes[0].urlPath, c.path) << c.node;
        EXPECT_EQ(nodes[0].port, c.port) << c.node;
        EXPECT_EQ(nodes[0].domain, "d.example.com");
    }
    EXPECT_TRUE(log_.Contains("port isn't int"));
    EXPECT_TRUE(log_.Contains("serviceType isn't string"));
    EXPECT_TRUE(log_.Contains("protocol isn't string"));
    EXPECT_TRUE(log_.Contains("domain isn't string"));
    EXPECT_TRUE(log_.Contains("i:0 type[usg] proto[http] domain[d.example.com] url[v1/usg/acs/heartbeat] port[443]"));
}

TEST_F(DetectTest, LayoutsAndBadTexts) {
    const std::string nested = "{\"configuration\":{\"netDialConfig\":{\"standardConfig\":[" +
                               Node("usg", "http", ",\"port\":1") + "],\"customConfig\":[" +
                               Node("x", "tcp", ",\"port\":2") + "]}}}";
    std::vector<tagNET_DIAL_NODE> nodes;
    EXPECT_EQ(GetNetDetectFromStr(nodes, nested.c_str(), true), 0u);
    EXPECT_TRUE(nodes.empty());
    EXPECT_EQ(log_.Count("para is invalid"), 2u);
    EXPECT_EQ(GetNetDetectFromStr(nodes, nested.c_str(), false), 0u);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[1].serviceType, "x");

    log_.Clear();
    EXPECT_EQ(GetNetDetectFromStr(nodes, nullptr, true), 1u);
    EXPECT_EQ(GetNetDetectFromStr(nodes, "", true), 1u);
    EXPECT_EQ(log_.Count("para is invalid"), 2u);
    EXPECT_EQ(GetNetDetectFromStr(nodes, "{oops", true), 1u);
    EXPECT_TRUE(log_.Contains("json parse error"));
    // Lists given as objects or scalars, and roots that are no object, are refused, not walked.
    for (const char *text : {"{\"standardConfig\":{\"a\":1}}", "{\"standardConfig\":{}}", "{\"standardConfig\":3}",
                             "[1,2]", "\"s\"", "{\"configuration\":[1]}"}) {
        EXPECT_EQ(GetNetDetectFromStr(nodes, text, true), 0u) << text;
        EXPECT_EQ(GetNetDetectFromStr(nodes, text, false), 0u) << text;
    }
    EXPECT_EQ(nodes.size(), 2u);
    std::string deep(100000, '[');
    EXPECT_EQ(GetNetDetectFromStr(nodes, deep.c_str(), true), 1u);
}

TEST_F(DetectTest, FileResultsAndLogLines) {
    std::vector<tagNET_DIAL_NODE> nodes;
    EXPECT_EQ(GetNetDetectFromFile(nodes), 1u);
    EXPECT_TRUE(log_.Contains("net_dial_test ret=1"));

    Write("net_detect_config.json", "{\"standardConfig\":[" + Node("usg", "http", ",\"port\":443") + "]}");
    EXPECT_EQ(GetNetDetectFromFile(nodes), 0u);
    EXPECT_EQ(nodes.size(), 1u);
    EXPECT_EQ(log_.Count("para is invalid"), 1u);  // customConfig missing
    EXPECT_TRUE(log_.Contains("net_dial_test get 1 nodes from json"));
    EXPECT_EQ(GetNetDetectFromFile(nodes), 0u);
    EXPECT_EQ(nodes.size(), 2u);  // appended again

    Write("net_detect_config.json", "{\"standardConfig\":[],\"customConfig\":[]}");
    EXPECT_EQ(GetNetDetectFromFile(nodes), 0u);
    EXPECT_EQ(log_.Find("native_sdk", 1, "net_dial_test json hasn't detect data").size(), 1u);
    Write("net_detect_config.json", "not json");
    EXPECT_EQ(GetNetDetectFromFile(nodes), 0u);
    EXPECT_EQ(nodes.size(), 2u);
}

TEST_F(DetectTest, KeyWordsSkipNonStrings) {
    std::vector<std::string> wake{"w0"}, interrupt, closing;
    EXPECT_EQ(GetWakeupKeyWords(wake, interrupt, closing), 1u);
    EXPECT_TRUE(log_.Contains("ReadConfigFile failed"));
    Write("intelligentAssistantConfig.json",
          "{\"wake_up_words_pinyin\":[\"ni hao\",3,\"xiao zhi\"],\"interrupt_words_pinyin\":\"ting\","
          "\"closing_words_pinyin\":[null,\"zai jian\",{}]}");
    EXPECT_EQ(GetWakeupKeyWords(wake, interrupt, closing), 0u);
    EXPECT_EQ(wake, (std::vector<std::string>{"w0", "ni hao", "xiao zhi"}));
    EXPECT_TRUE(interrupt.empty());
    EXPECT_EQ(closing, (std::vector<std::string>{"zai jian"}));
    for (const char *text : {"[\"a\"]", "{}", "7"}) {
        Write("intelligentAssistantConfig.json", text);
        EXPECT_EQ(GetWakeupKeyWords(wake, interrupt, closing), 0u) << text;
    }
    Write("intelligentAssistantConfig.json", "{\"wake_up_words_pinyin\":[");
    EXPECT_EQ(GetWakeupKeyWords(wake, interrupt, closing), 1u);
    EXPECT_TRUE(log_.Contains("parse domain ip config json failed"));
    EXPECT_EQ(wake.size(), 3u);
}

}  // namespace
