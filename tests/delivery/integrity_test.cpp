// Integrity of the recorded data: an append is all or nothing on a full disk, packing keeps
// every byte position of a line, appends racing packs lose and duplicate nothing, the pack
// threshold, record time stamps in zones whose daylight saving runs backwards, and paths in
// the zip log lines.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>

#include "delivery_fixture.h"
#include "host/log.h"
#include "host/pal.h"

namespace ut_delivery {
namespace {

class IntegrityTest : public ManagerFixture {
protected:
    void PackUser() {
        mgr().CompressDotFileToZip(UTManager::UserFileLock(), ZipFolderOf(DotKind::kUser), DotFileOf(DotKind::kUser));
    }
    // The "data" member of every user zip file in age order, then what the dot file still holds.
    std::string AllUserData() {
        std::string all;
        for (const std::string &name : ListDir(ZipFolderOf(DotKind::kUser))) {
            Json::Value v;
            std::istringstream in(ut_test::GunzipBytes(ut_test::ReadFile(ZipFolderOf(DotKind::kUser) + "/" + name)));
            EXPECT_TRUE(in >> v) << name;
            all += v["data"].asString();
        }
        if (Exists(DotFileOf(DotKind::kUser))) all += ut_test::ReadFile(DotFileOf(DotKind::kUser));
        return all;
    }
    unified_track::ContextSpecialParam Event(const std::string &arg2) {
        unified_track::ContextSpecialParam p;
        p.eventId = "ut_event_race";
        p.event = "race";
        p.arg2 = arg2;
        p.time = clock_.RunTimeMs();
        return p;
    }
};

// Takes nothing once the disk is "full", after letting `room` bytes through.
class FullDisk : public unified_track::FileOps {
public:
    explicit FullDisk(size_t room) : room_(room) {}
    int64_t Write(int fd, const void *data, size_t len) override {
        if (room_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const size_t n = len < room_ ? len : room_;
        room_ -= n;
        return FileOps::Write(fd, data, n);
    }

private:
    size_t room_;
};

TEST_F(IntegrityTest, AnAppendOnAFullDiskLeavesNoFragmentAndReportsTheWriteFailure) {
    const std::string &dot = DotFileOf(DotKind::kUser);
    ASSERT_EQ(5, mgr().AddDataToFile(dot, "rec1\n"));
    {
        ut_test::LogCapture log;
        FullDisk disk(7);  // the record fits only in part
        ut_test::ScopedFileOps guard(&disk);
        EXPECT_EQ(-1, mgr().AddDataToFile(dot, std::string(40, 'x') + "\n"));
        EXPECT_EQ(1u, log.Count("PAL_Fwrite failed, lasterr:" + std::to_string(ENOSPC)));
        EXPECT_FALSE(log.Contains("file open failed"));
    }
    EXPECT_EQ(10, mgr().AddDataToFile(dot, "rec3\n"));
    EXPECT_EQ("rec1\nrec3\n", ut_test::ReadFile(dot));
}

TEST_F(IntegrityTest, InvalidUtf8BytesBecomeOneReplacementEachAndSwallowNothing) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Row {
        std::string raw, packed;
    };
    const Row rows[] = {
        {"1|a\x80|b\n", "1|a" + fffd + "|b\n"},        // stray continuation byte
        {"2|tail\xe4|c\n", "2|tail" + fffd + "|c\n"},  // lead byte before a separator
        {"3|\xe4\xb8\xad|\xf0\x9f\x98\x80|ok\n", "3|\xe4\xb8\xad|\xf0\x9f\x98\x80|ok\n"},  // valid stays
        {"4|\xc0\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|e\n",  // overlong, surrogate, > U+10FFFF
         "4|" + fffd + fffd + "|" + fffd + fffd + fffd + "|" + fffd + fffd + fffd + fffd + "|e\n"},
        {"5|\xff\xfe\n", "5|" + fffd + fffd + "\n"},
        {"6|cut\xe4\xb8", "6|cut" + fffd + fffd},  // cut at the end of the file
    };
    std::string raw, packed;
    for (const Row &r : rows) {
        raw += r.raw;
        packed += r.packed;
    }
    WriteFile(DotFileOf(DotKind::kUser), raw);
    PackUser();
    EXPECT_EQ(packed, AllUserData());
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kUser)));
}

TEST_F(IntegrityTest, AUserFileOfExactlyTheThresholdWaitsOneByteMoreIsPacked) {
    mgr().Params().SetContextConfigured(true);
    const auto event = Event("threshold");
    const std::string line = mgr().BuildUserLine(event);
    ASSERT_LT(line.size(), 9216u);
    WriteFile(DotFileOf(DotKind::kUser), std::string(9216 - line.size() - 1, 'f') + "\n");
    mgr().DoAddUserTrack(event);
    EXPECT_EQ(9216u, ut_test::ReadFile(DotFileOf(DotKind::kUser)).size());
    EXPECT_TRUE(ListDir(ZipFolderOf(DotKind::kUser)).empty());
    mgr().DoAddUserTrack(Event("x"));
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kUser)));
    EXPECT_EQ(1u, ListDir(ZipFolderOf(DotKind::kUser)).size());
}

TEST_F(IntegrityTest, AppendsRacingPacksOfTheSameFileLoseAndDuplicateNoRecord) {
    mgr().Params().SetContextConfigured(true);
    constexpr int kEvents = 1500;
    std::atomic<bool> appending{true};
    std::thread packer([&] {
        while (appending.load()) {
            PackUser();
            clock_.Advance(1);  // a fresh zip name per pack, no probing
        }
    });
    for (int i = 0; i < kEvents; ++i) mgr().DoAddUserTrack(Event("n" + std::to_string(i) + "x"));
    appending.store(false);
    packer.join();

    std::map<int, int> seen;
    size_t lines = 0;
    std::istringstream all(AllUserData());
    for (std::string line; std::getline(all, line);) {
        ++lines;
        // The record's own mark "|n<i>x|"; a merged or cut line has none or two.
        const size_t at = line.find("|n");
        const size_t end = line.find("x|", at);
        ASSERT_TRUE(at != std::string::npos && end != std::string::npos) << line;
        ASSERT_EQ(std::string::npos, line.find("|n", end)) << line;
        const std::string digits = line.substr(at + 2, end - at - 2);
        ASSERT_EQ(std::string::npos, digits.find_first_not_of("0123456789")) << line;
        ++seen[std::stoi(digits)];
    }
    EXPECT_EQ(static_cast<size_t>(kEvents), lines);
    ASSERT_EQ(static_cast<size_t>(kEvents), seen.size());
    for (const auto &s : seen) ASSERT_EQ(1, s.second) << "record " << s.first;
    EXPECT_GT(ListDir(ZipFolderOf(DotKind::kUser)).size(), 1u);
}

TEST_F(IntegrityTest, TimeStampsTakeTheOffsetOfTheirOwnInstantWhereDaylightSavingRunsBackwards) {
    constexpr uint64_t kJan = 1705320000000ull;  // 2024-01-15 12:00 UTC
    constexpr uint64_t kMar = 1710936000000ull;  // 2024-03-20 12:00 UTC (Ramadan in Morocco)
    constexpr uint64_t kJul = 1719835200000ull;  // 2024-07-01 12:00 UTC
    struct Row {
        const char *zone;
        uint64_t now, stamp;
        const char *expected;
    };
    const Row rows[] = {
        {"Europe/Dublin", kJan, kJul, "2024-07-01 13:00:00.000 +0100"},
        {"Europe/Dublin", kJul, kJan, "2024-01-15 12:00:00.000 +0000"},
        {"Africa/Casablanca", kJan, kMar, "2024-03-20 12:00:00.000 +0000"},
        {"Africa/Casablanca", kMar, kJul, "2024-07-01 13:00:00.000 +0100"},
        {"Europe/Berlin", kJan, kJul, "2024-07-01 14:00:00.000 +0200"},
        {"Asia/Kolkata", kJul, kJan, "2024-01-15 17:30:00.000 +0530"},
        {"America/Sao_Paulo", kJul, kJan, "2024-01-15 09:00:00.000 -0300"},
    };
    for (const Row &r : rows) {
        setenv("TZ", r.zone, 1);
        tzset();
        clock_.SetSystemTimeMs(r.now);
        mgr().RecordUtcTimeByLogin(r.stamp);
        EXPECT_EQ(r.expected, mgr().GetDiffTimeStamp(clock_.RunTimeMs())) << r.zone << " now " << r.now;
    }
    unsetenv("TZ");
    tzset();
}

TEST_F(IntegrityTest, TheOldLayoutErrorKeepsTheFileNameAndMasksTheFolders) {
    ut_test::LogCapture log;
    ASSERT_TRUE(mgr().InitFolderPath(tmp_.file("flat").c_str()));
    mgr().CompressOldVersionFile();
    const std::string expected =
        "old version path error: " + LogStream::FilterWord(DotFileOf(DotKind::kUser), LOG_FILTER_PATH);
    EXPECT_EQ(1u, log.Count(expected)) << expected;
    EXPECT_NE(std::string::npos, expected.find("/user_dot_data.dat"));
}

}  // namespace
}  // namespace ut_delivery
