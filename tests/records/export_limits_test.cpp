// What the record exports refuse before they copy anything: texts that no dot file could hold,
// and null texts that the operation cannot do without.
#include <climits>
#include <filesystem>
#include <functional>

#include "manager/UTThreadMgr.h"
#include "records_fixture.h"

using namespace records_test;
namespace fs = std::filesystem;

namespace {
constexpr size_t kLargestRecord = 1048576;
}  // namespace

class ExportLimits : public RecordsTest {};

TEST_F(ExportLimits, RecordTextsLongerThanTheLargestRecordAreRefusedWithALogLineAndNothingQueued) {
    ConfigureEmptyContext();
    const std::string over(kLargestRecord + 1, 'o');
    const std::string half(kLargestRecord / 2 + 1, 'h');  // two of them are over together
    const char *o = over.c_str();
    const char *h = half.c_str();
    const int32_t overLen = static_cast<int32_t>(over.size() + 1);
    const struct {
        const char *name;
        std::function<OST_UT_RESULT()> call;
    } cases[] = {
        {"user arg4",
         [&] {
             return Track_AddUserTrack(Tmp(tagUTContextSpecialParam{"2", "e", nullptr, nullptr, o, 0, 0}));
         }},
        {"user event name",
         [&] {
             return Track_AddUserTrack(Tmp(tagUTContextSpecialParam{"2", o, nullptr, nullptr, nullptr, 0, 0}));
         }},
        {"user texts together",
         [&] {
             return Track_AddUserTrack(Tmp(tagUTContextSpecialParam{"2", "e", h, h, nullptr, 0, 0}));
         }},
        {"media arg4",
         [&] {
             return Track_AddMediaTrack(Tmp(tagUTContextSpecialParam{"2", "e", nullptr, nullptr, o, 0, 0}), 1);
         }},
        {"mmr text", [&] { return Track_AddMMRTrack(o, overLen, 0); }},
        {"mmr INT_MAX", [&] { return Track_AddMMRTrack("short", INT_MAX, 0); }},
        {"start name", [&] { return Track_StartEvent(o); }},
        {"sub-event name",
         [&] {
             return Track_AddSubEvent(o, Tmp(tagUTContextSubEventParam{"s", 0}));
         }},
        {"sub-event mark",
         [&] {
             return Track_AddSubEvent("e", Tmp(tagUTContextSubEventParam{o, 0}));
         }},
        {"finish name and record",
         [&] {
             return Track_FinishEvent(h, Tmp(tagUTContextSpecialParam{"2", "e", h, nullptr, nullptr, 0, 0}));
         }},
        {"media conf content", [&] { return MediaTrack_AddDataConfDotData(1, o, 0); }},
    };
    for (const auto &c : cases) {
        ut_test::LogCapture cap;
        EXPECT_EQ(c.call(), kFailed) << c.name;
        EXPECT_EQ(cap.Count("text too long, refused"), 1u) << c.name;
        EXPECT_EQ(unified_track::UTThreadMgr::GetInstance().PendingCount(), 0u) << c.name;
    }
    Drain();
    EXPECT_EQ(AllUserRecords(), "");
    EXPECT_FALSE(fs::exists(DotFileOf(DotKind::kMedia)));
    EXPECT_FALSE(fs::exists(DotFileOf(DotKind::kMmr)));
    EXPECT_TRUE(M().Events().Count() == 0);
}

TEST_F(ExportLimits, TextsUpToTheLargestRecordAreTakenAndTheMmrLengthMayCountTheNul) {
    ConfigureEmptyContext();
    const std::string full(kLargestRecord, 'f');
    ut_test::LogCapture cap;
    EXPECT_EQ(Track_StartEvent(full.c_str()), 0u);
    EXPECT_EQ(Track_AddMMRTrack("abc", static_cast<int32_t>(kLargestRecord + 1), 0), 0u);
    EXPECT_EQ(Track_AddMMRTrack("abc", 3, 0), kFailed);  // no room for the NUL
    EXPECT_EQ(Track_AddMMRTrack("abc", 4, 0), 0u);
    Drain();
    EXPECT_EQ(cap.Count("text too long, refused"), 0u);
    EXPECT_NE(M().Events().Find(full), nullptr);
}

TEST_F(ExportLimits, ANullTerminalTypeIsRefusedWithItsLogLineAndKeepsTheStoredOne) {
    ASSERT_EQ(Track_SetTerminalType("PC"), 0u);
    ut_test::LogCapture cap;
    EXPECT_EQ(Track_SetTerminalType(nullptr), kFailed);
    EXPECT_EQ(cap.Count("terminalType is null"), 1u);
    EXPECT_EQ(WithParams([](auto &m) { return m.m_terminalType; }), "PC");
}
