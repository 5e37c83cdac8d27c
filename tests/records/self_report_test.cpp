// The library's reports about its own files go through the user-event path too: a record or a
// folder that makes every pack fail must not make those reports feed themselves, and events
// recorded once the cause is gone must be kept.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "manager/UTThreadMgr.h"
#include "records_fixture.h"

using namespace records_test;
namespace fs = std::filesystem;

namespace {
void Add(const std::string &name, const std::string &arg4 = std::string()) {
    ASSERT_EQ(
        Track_AddUserTrack(Tmp(tagUTContextSpecialParam{"2", name.c_str(), nullptr, nullptr, arg4.c_str(), 0, 0})), 0u);
}

size_t CountLines(const std::vector<std::string> &lines, const std::string &part) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(),
                                             [&](const std::string &l) { return l.find(part) != std::string::npos; }));
}
}  // namespace

class SelfReports : public RecordsTest {};

TEST_F(SelfReports, AnOversizedContextDropsTheRecordOnceAndLaterEventsAreKept) {
    ConfigureEmptyContext();
    const std::string wide(70 * 1024, 'w');  // 17 fields of 70 KB: every line is over 1 MB
    WithParams([&](auto &m) {
        for (std::string &c : m.m_context) c = wide;
        for (std::string &s : m.m_suite) s = wide;
    });
    ut_test::LogCapture cap;
    Add("kept_before");
    Drain();
    Drain();
    Drain();
    EXPECT_EQ(cap.Count("record too long, dropped"), 1u);
    EXPECT_EQ(cap.Count("dot data file too large"), 0u) << "a record that can never be packed is not written";
    EXPECT_FALSE(fs::exists(DotFileOf(DotKind::kUser)));
    EXPECT_EQ(unified_track::UTThreadMgr::GetInstance().PendingCount(), 0u);

    WithParams([](auto &m) {
        for (std::string &c : m.m_context) c.clear();
        for (std::string &s : m.m_suite) s.clear();
    });
    Add("after_the_cause");
    const std::vector<std::string> lines = UserLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("|after_the_cause|"), std::string::npos);
}

TEST_F(SelfReports, ARecordThatWouldOverfillTheFilePacksTheFileFirst) {
    ConfigureEmptyContext();
    Add("small_before", std::string(8000, 's'));                 // below the pack threshold: stays in the file
    Add("nearly_a_megabyte", std::string(1048576 - 4000, 'n'));  // fits alone, not beside it
    const std::vector<std::string> lines = UserLines();
    ASSERT_EQ(lines.size(), 2u) << "neither record was discarded with an overfull file";
    EXPECT_NE(lines[0].find("|small_before|"), std::string::npos);
    EXPECT_NE(lines[1].find("|nearly_a_megabyte|"), std::string::npos);
}

TEST_F(SelfReports, AZipFolderReplacedByAFileGivesAtMostOneReportPerEventAndRecovers) {
    ConfigureEmptyContext();
    const std::string folder = ZipFolderOf(DotKind::kUser);
    fs::remove_all(folder);
    std::ofstream(folder) << "not a folder";
    ut_test::LogCapture cap;
    const std::string pad(400, 'p');
    constexpr int kEvents = 60;
    for (int i = 0; i < kEvents; ++i) Add("real" + std::to_string(i), pad);
    Drain();
    Drain();  // the reports the events made were queued before this one
    const size_t failedPacks = cap.Count("zip dot data file failed");
    Drain();
    Drain();
    EXPECT_EQ(cap.Count("zip dot data file failed"), failedPacks) << "the reports made no further reports";
    EXPECT_GT(failedPacks, 0u);
    EXPECT_LE(failedPacks, 2u * kEvents) << "each event: its own pack and the pack after its report";

    fs::remove(folder);
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_all);
    Add("after_the_cause");
    const std::vector<std::string> lines = UserLines();
    for (int i = 0; i < kEvents; ++i) EXPECT_EQ(CountLines(lines, "|real" + std::to_string(i) + "|"), 1u) << i;
    EXPECT_EQ(CountLines(lines, "|after_the_cause|"), 1u);
    const size_t reports = CountLines(lines, "|ut_event_dotdata_delete_zip|");
    EXPECT_GT(reports, 0u);
    EXPECT_LE(reports, static_cast<size_t>(kEvents));
}
