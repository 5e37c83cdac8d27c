// Byte-exact checks of the media line (payload endings, client header placement), the event-id
// rule, the track-reserves buffer limit, and the MMR text helpers (placeholders, user-name masking).
#include <gtest/gtest.h>

#include "manager/media_format.h"

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
}  // namespace

TEST(MediaLine, PayloadEndingsClientHeaderAndEventIds) {
    MediaLineParams p;
    EXPECT_EQ(BuildMediaLine(Record("30009", "x|y"), kTime, p), "30009|2024-05-06 07:08:09.010 +0800|-|-|-|-|-|x|y\n");
    EXPECT_EQ(BuildMediaLine(Record("", ""), "", p), "-|-|-|-|-|-|-\n");

    for (int i = 0; i < 13; ++i) p.context[i] = "c" + std::to_string(i + 1);
    p.context[3] = "";
    p.trackReserves = "{TR}";
    const std::string header =
        "\"6.0\",\"c1\",\"c2\",\"c3\",\"-\",\"c5\",\"c6\",\"c7\",\"c8\",\"c9\",\"c10\","
        "\"c11\",\"c12\",\"c13\",\"-\",\"-\",";
    struct Row {
        const char *id, *payload;
        std::string tail;  // behind the track reserves
    } rows[] = {
        // Empty payload: no payload field, except for the call-information event.
        {"30014", "", "\n"},
        {"30001", "", "|\n"},
        // A payload that already ends in a line feed gets no second one.
        {"30014", "p\n", "|p\n"},
        {"30001", "p\n", "|p\n"},
        // The header goes behind the first bracket only, also when it is the last character.
        {"30001", "conf|[\"a\",[\"b\"]]", "|conf|[" + header + "\"a\",[\"b\"]]\n"},
        {"30001", "[", "|[" + header + "\n"},
        {"30001", "conf|plain", "|conf|plain\n"},
        {"30007", "[1]", "|[1]\n"},  // other events never get one
    };
    for (const Row &row : rows) {
        EXPECT_EQ(BuildMediaLine(Record(row.id, row.payload), kTime, p),
                  std::string(row.id) + "|2024-05-06 07:08:09.010 +0800|-|-|-|-|{TR}" + row.tail)
            << row.id << " " << row.payload;
    }
    for (const char *id : {"30007", "30001", "30014", "23001", "30009"}) EXPECT_TRUE(IsAcceptedEventId(id)) << id;
    for (const char *id : {"", "3000", "300010", " 30001", "30001\n", "1", "30002"}) {
        EXPECT_FALSE(IsAcceptedEventId(id)) << id;
    }
}

TEST(TrackReserves, FillsTheBufferToItsLastByte) {
    TrackReservesParams p;
    p.tNumber = 4294967295u;
    int ret = 0;
    const std::string base = FormatTrackReserves(p, &ret);
    EXPECT_NE(base.find(",\"tNumber\":4294967295,"), std::string::npos) << base;
    EXPECT_GT(ret, 0);
    // Values go in unescaped; 511 characters fit the 512-byte buffer, 512 do not.
    p.participantId.assign(511 - base.size(), 'q');
    EXPECT_EQ(FormatTrackReserves(p, &ret).size(), 511u);
    p.participantId += 'q';
    EXPECT_EQ(FormatTrackReserves(p, &ret), "");
    EXPECT_LT(ret, 1);
}

TEST(MmrText, ReplaceAllCounterTextsAndUserNameMasking) {
    std::string text = "a-X-X-";
    EXPECT_EQ(ReplaceAll(text, "X", "XX"), 2u);  // resumes behind the inserted text
    EXPECT_EQ(text, "a-XX-XX-");
    EXPECT_EQ(ReplaceAll(text, "", "x"), 0u);
    // The sum is a signed 32-bit value: it wraps into the negative.
    uint32_t big[kCounterCount] = {0x7FFFFFFFu, 1};
    EXPECT_EQ(CounterSumText(big), "-2147483648");
    EXPECT_EQ(CounterListText(big), "2147483647,1,0,0,0,0,0,0,0,0,0");

    struct Case {
        std::string in, out;
    } cases[] = {
        {R"({\"userName\":\"A\"})", R"({\"userName\":\"A\"})"},
        {R"({\"userName\":\"\"})", R"({\"userName\":\"\"})"},
        // One character is one UTF-16 code unit, whatever its UTF-8 length.
        {"\\\"userName\\\":\\\"\xE5\xBC\xA0\xE4\xB8\x89\xE4\xB8\xB0\\\"", "\\\"userName\\\":\\\"\xE5\xBC\xA0**\\\""},
        // Unterminated values, a key at the very end, and the unescaped form stay as they are.
        {R"({\"userName\":\"Alice)", R"({\"userName\":\"Alice)"},
        {R"(x\"userName\":\")", R"(x\"userName\":\")"},
        {R"({"userName":"Alice"})", R"({"userName":"Alice"})"},
    };
    for (const Case &c : cases) {
        std::string text = c.in;
        MaskEscapedUserNames(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}
