// Byte-exact checks of the media line, client header, track reserves, MMR placeholders and
// user-name masking, and the show-information array.
#include <gtest/gtest.h>

#include <string>

#include "manager/UTMediaFormat.h"

using namespace unified_track;
using namespace unified_track::media;

namespace {
const char kTime[] = "2024-05-06 07:08:09.010 +0800";

ContextSpecialParam Record(const std::string &eventId, const std::string &payload) {
    ContextSpecialParam record;
    record.eventId = eventId;
    record.event = "ignored";
    record.arg2 = "ignored";
    record.arg4 = payload;
    return record;
}

MediaLineParams Params() {
    MediaLineParams p;
    p.uuid = "uuid-1";
    p.account = "alice";
    p.reserve1 = "corp";
    p.cloudusgIp = "cu";
    p.sbcIp = "sbc";
    for (int i = 0; i < 13; ++i) p.context[i] = "c" + std::to_string(i + 1);
    p.context[1] = "DEVICE12";
    p.context[3] = "";
    p.trackReserves = "{TR}";
    return p;
}

const char kHeader[] =
    "\"6.0\",\"c1\",\"DEVICE12\",\"c3\",\"-\",\"c5\",\"c6\",\"c7\",\"c8\",\"c9\",\"c10\",\"c11\","
    "\"c12\",\"c13\",\"cu\",\"sbc\",";
}  // namespace

TEST(MediaLine, FieldsAreDashedAndAccountMasked) {
    MediaLineParams p;
    EXPECT_EQ(BuildMediaLine(Record("30009", "x|y"), kTime, p),
              "30009|2024-05-06 07:08:09.010 +0800|-|-|-|-|-|x|y\n");
    EXPECT_EQ(BuildMediaLine(Record("", ""), "", p), "-|-|-|-|-|-|-\n");

    EXPECT_EQ(BuildMediaLine(Record("30007", "conf|data"), kTime, Params()),
              "30007|2024-05-06 07:08:09.010 +0800|uuid-1|a****|corp|-|{TR}|conf|data\n");
}

TEST(MediaLine, PayloadEndings) {
    // Empty payload: the line ends after the track reserves, except for the call-information
    // event, which always carries its payload field.
    EXPECT_EQ(BuildMediaLine(Record("30014", ""), kTime, Params()),
              "30014|2024-05-06 07:08:09.010 +0800|uuid-1|a****|corp|-|{TR}\n");
    EXPECT_EQ(BuildMediaLine(Record("30001", ""), kTime, Params()),
              "30001|2024-05-06 07:08:09.010 +0800|uuid-1|a****|corp|-|{TR}|\n");
    // A payload that already ends in a line feed gets no second one.
    EXPECT_EQ(BuildMediaLine(Record("30014", "p\n"), kTime, Params()),
              "30014|2024-05-06 07:08:09.010 +0800|uuid-1|a****|corp|-|{TR}|p\n");
    EXPECT_EQ(BuildMediaLine(Record("30001", "p\n"), kTime, Params()),
              "30001|2024-05-06 07:08:09.010 +0800|uuid-1|a****|corp|-|{TR}|p\n");
}

TEST(MediaLine, ClientHeaderGoesBehindTheFirstBracketOnly) {
    const std::string prefix = "30001|2024-05-06 07:08:09.010 +0800|uuid-1|a****|corp|-|{TR}|";
    EXPECT_EQ(BuildMediaLine(Record("30001", "conf|[\"a\",[\"b\"]]"), kTime, Params()),
              prefix + "conf|[" + kHeader + "\"a\",[\"b\"]]\n");
    // Without a bracket the payload is written unchanged.
    EXPECT_EQ(BuildMediaLine(Record("30001", "conf|plain"), kTime, Params()),
              prefix + "conf|plain\n");
    // A bracket as the very last character still gets the header.
    EXPECT_EQ(BuildMediaLine(Record("30001", "["), kTime, Params()),
              prefix + "[" + kHeader + "\n");
    // Other events never get a header.
    EXPECT_EQ(BuildMediaLine(Record("30007", "[1]"), kTime, Params()),
              "30007|2024-05-06 07:08:09.010 +0800|uuid-1|a****|corp|-|{TR}|[1]\n");
}

TEST(MediaLine, ClientHeaderValues) {
    MediaLineParams p = Params();
    EXPECT_EQ(BuildClientHeader(p), kHeader);
    // The configuration-store text replaces context field 7 only when it is set.
    p.corpAppId = "store-57";
    std::string expected = kHeader;
    expected.replace(expected.find("\"c7\""), 4, "\"store-57\"");
    EXPECT_EQ(BuildClientHeader(p), expected);

    MediaLineParams empty;
    std::string dashes = "\"6.0\",";
    for (int i = 0; i < 15; ++i) dashes += "\"-\",";
    EXPECT_EQ(BuildClientHeader(empty), dashes);
}

TEST(MediaLine, AcceptedEventIds) {
    for (const char *id : {"30007", "30001", "30014", "23001", "30009"}) {
        EXPECT_TRUE(IsAcceptedEventId(id)) << id;
    }
    for (const char *id : {"", "3000", "300010", " 30001", "30001\n", "1", "30002"}) {
        EXPECT_FALSE(IsAcceptedEventId(id)) << id;
    }
}

TEST(TrackReserves, ExactTextAndOverflow) {
    TrackReservesParams p;
    p.deviceId = "DEVI****";
    p.mNumber = 7;
    p.participantId = "p1";
    p.tNumber = 4294967295u;
    p.terminalIp = "10.*.*.1";
    p.osName = "Linux";
    p.appVersion = "1.2.3";
    p.terminalType = "PC";
    int ret = 0;
    EXPECT_EQ(FormatTrackReserves(p, &ret),
              "{\"deviceId\":\"DEVI****\",\"mNumber\":7,\"participantId\":\"p1\",\"tNumber\":4294967295,"
              "\"terminalIp\":\"10.*.*.1\",\"osName\":\"Linux\",\"trackVersion\":\"v9.0\","
              "\"appVersion\":\"1.2.3\",\"terminalType\":\"PC\"}");
    EXPECT_GT(ret, 0);

    // Values go in unescaped; 511 characters fit the 512-byte buffer, 512 do not.
    p.participantId.clear();
    const size_t base = FormatTrackReserves(p, &ret).size();
    p.participantId.assign(511 - base, 'q');
    EXPECT_EQ(FormatTrackReserves(p, &ret).size(), 511u);
    p.participantId += 'q';
    EXPECT_EQ(FormatTrackReserves(p, &ret), "");
    EXPECT_LT(ret, 1);
}

TEST(MmrText, ReplaceAllResumesBehindTheInsertedText) {
    std::string text = "a-X-X-";
    EXPECT_EQ(ReplaceAll(text, "X", "XX"), 2u);
    EXPECT_EQ(text, "a-XX-XX-");
    text = "ut-version-tmput-version-tmp";
    EXPECT_EQ(ReplaceAll(text, "ut-version-tmp", ""), 2u);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ReplaceAll(text, "", "x"), 0u);
}

TEST(MmrText, CounterTexts) {
    uint32_t counters[kCounterCount] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(CounterSumText(counters), "66");
    EXPECT_EQ(CounterListText(counters), "1,2,3,4,5,6,7,8,9,10,11");
    // The sum is a signed 32-bit value: it wraps into the negative.
    uint32_t big[kCounterCount] = {0x7FFFFFFFu, 1};
    EXPECT_EQ(CounterSumText(big), "-2147483648");
    EXPECT_EQ(CounterListText(big), "2147483647,1,0,0,0,0,0,0,0,0,0");

    EXPECT_TRUE(UsesBothCountPlaceholders("msgCountDotValue msgCountDotSumValue"));
    EXPECT_FALSE(UsesBothCountPlaceholders("msgCountDotSumValue"));
    EXPECT_FALSE(UsesBothCountPlaceholders("msgCountDotValue"));
}

TEST(MmrText, EscapedUserNamesAreMasked) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {R"({\"userName\":\"Al\"})", R"({\"userName\":\"A*\"})"},
        {R"({\"userName\":\"A\"})", R"({\"userName\":\"A\"})"},
        {R"({\"userName\":\"\"})", R"({\"userName\":\"\"})"},
        {R"(\"userName\":\"Alice\",\"x\":1,\"userName\":\"Bob\")",
         R"(\"userName\":\"A****\",\"x\":1,\"userName\":\"B**\")"},
        // One character is one UTF-16 code unit, whatever its UTF-8 length.
        {"\\\"userName\\\":\\\"\xE5\xBC\xA0\xE4\xB8\x89\xE4\xB8\xB0\\\"",
         "\\\"userName\\\":\\\"\xE5\xBC\xA0**\\\""},
        // Unterminated values, a key at the very end, and the unescaped form stay as they are.
        {R"({\"userName\":\"Alice)", R"({\"userName\":\"Alice)"},
        {R"(x\"userName\":\")", R"(x\"userName\":\")"},
        {R"(x\"userName\":\)", R"(x\"userName\":\)"},
        {R"({"userName":"Alice"})", R"({"userName":"Alice"})"},
        {"", ""},
    };
    for (const Case &c : cases) {
        std::string text = c.in;
        MaskEscapedUserNames(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

TEST(ShowInfo, ArrayText) {
    EXPECT_EQ(BuildShowInfoArray(ShowInfo()),
              R"(["-","-","10","Call Start","0","0","0","-","0","0"])");
    ShowInfo info;
    info.decoderName = "OPUS";
    info.numbers[0] = 12;
    info.numbers[1] = 4294967295u;
    info.numbers[2] = 3;
    info.cpuMemText = "cpu 12%";
    info.sampleRate = 48000;
    EXPECT_EQ(BuildShowInfoArray(info),
              R"(["-","OPUS","10","Call Start","12","4294967295","3","cpu 12%","48000","0"])");
}
