// Record decoding shared by the tools: where a line's fields end when nothing is escaped.
#include <gtest/gtest.h>

#include "common/records.h"
#include "tools_fixture.h"

using ut_tools::Kind;
using ut_tools::Record;

TEST(RecordDecoding, MediaLinesSplitReservesFromPayload) {
    struct Case {
        std::string line;
        bool reservesObject;
        const char *payload;  // nullptr: no payload field
    } const cases[] = {
        {"30014|t|u|a|r|-|{\"mNumber\":1}|conf|{\"x\":\"a|b\"}", true, "conf|{\"x\":\"a|b\"}"},
        {"30001|t|u|a|r|-|{\"mNumber\":1}|", true, ""},
        {"30009|t|u|a|r|-|{\"mNumber\":1}", true, nullptr},
        {"30009|t|u|a|r|-|-|payload", false, "payload"},
    };
    for (const Case &c : cases) {
        Record r;
        std::string error;
        ASSERT_TRUE(ut_tools::DecodeMediaLine(c.line, &r, &error)) << c.line << ": " << error;
        const auto &reserves = r.fields[6];
        EXPECT_EQ(reserves.first, "trackReserves");
        EXPECT_EQ(reserves.second.isObject(), c.reservesObject) << c.line;
        if (c.payload == nullptr) {
            EXPECT_EQ(r.fields.size(), 7u) << c.line;
        } else {
            EXPECT_EQ(r.Text("payload"), c.payload) << c.line;
        }
    }
}

TEST(RecordDecoding, LinesOfUnknownKindAreTakenByTheirShape) {
    std::vector<Record> out;
    ut_tools::DecodeError error;
    const std::string text = ut_tools_test::UserLine("1", "e", "{}") + "\n" + ut_tools_test::MediaLine("30009", "p");
    ASSERT_TRUE(ut_tools::DecodeLines(text, Kind::Unknown, &out, &error)) << error.message;
    ASSERT_EQ(out.size(), 2u);  // the empty line between them is no record
    EXPECT_EQ(out[0].kind, Kind::User);
    EXPECT_EQ(out[1].kind, Kind::Media);
    // A line without its newline at the end of the text is a record too.
    out.clear();
    ASSERT_TRUE(ut_tools::DecodeLines("30009|t|u|a|r|-|{}", Kind::Media, &out, &error));
    EXPECT_EQ(out.size(), 1u);
}

TEST(RecordDecoding, JsonOutputEscapesControlsAndReplacesInvalidUtf8) {
    EXPECT_EQ(ut_tools::JsonQuote("a\"b\\c\n\x01"), R"("a\"b\\c\n\u0001")");
    EXPECT_EQ(ut_tools::JsonQuote("\xc3\xa9"), "\"\xc3\xa9\"");                 // é passes
    EXPECT_EQ(ut_tools::JsonQuote("a\xff|b"), R"("a\ufffd|b")");                // one byte, one U+FFFD
    EXPECT_EQ(ut_tools::JsonQuote("\xe2\x82"), R"("\ufffd\ufffd")");            // cut sequence
    EXPECT_EQ(ut_tools::JsonQuote("\xed\xa0\x80"), R"("\ufffd\ufffd\ufffd")");  // surrogate
}
