// Packing of dot files: the envelope and the MMR array, the limits, the names, failures that
// keep the records, the zip folder's recovery and the old layout.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "delivery_fixture.h"
#include "transport/track_file.h"

namespace ut_delivery {
namespace {

// Every pack time starts at 0: each test runs in a process of its own.
class PackTest : public ManagerFixture {
protected:
    void PackUser() {
        mgr().CompressDotFileToZip(UTManager::UserFileLock(), ZipFolderOf(DotKind::kUser), DotFileOf(DotKind::kUser));
    }
    void PackMedia() {
        mgr().CompressDotFileToZip(UTManager::MediaFileLock(), ZipFolderOf(DotKind::kMedia),
                                   DotFileOf(DotKind::kMedia));
    }
    // The unzipped contents of the only (or the i-th) zip file of a folder.
    std::string Unzipped(const std::string &folder, size_t i = 0) {
        auto zips = ListDir(folder);
        return i < zips.size() ? ut_test::GunzipBytes(ut_test::ReadFile(folder + "/" + zips[i])) : "<no zip>";
    }
    std::string Name(uint64_t plusMs = 0) { return std::to_string(clock_.SystemTimeMs() + plusMs) + ".gz"; }
};

TEST_F(PackTest, OneRecordLineBecomesAOneLineEnvelopeAndTheDotFileGoes) {
    // Below a folder whose name holds "media": the user pack must still feed the user timer.
    ASSERT_EQ(0, ::mkdir(tmp_.file("multimedia").c_str(), 0700));
    ASSERT_TRUE(mgr().InitFolderPath((tmp_.file("multimedia") + "/dotdata").c_str()));
    WriteFile(DotFileOf(DotKind::kUser), "e1|2024|x\n");
    PackUser();
    ASSERT_EQ(std::vector<std::string>{Name()}, ListDir(ZipFolderOf(DotKind::kUser)));
    EXPECT_EQ("{\"data\":\"e1|2024|x\\n\",\"user\":\"uuid-1\"}", Unzipped(ZipFolderOf(DotKind::kUser)));
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kUser)));
    struct stat st;
    ASSERT_EQ(0, ::stat((ZipFolderOf(DotKind::kUser) + "/" + Name()).c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);
    EXPECT_EQ(clock_.SystemTimeMs(), mgr().Files().LastPack(DotKind::kUser));
    EXPECT_EQ(0u, mgr().Files().LastPack(DotKind::kMedia));
}

TEST_F(PackTest, AFileOfTheLimitIsPackedOneByteMoreIsDiscarded) {
    ut_test::LogCapture log;
    const std::string atLimit(1048576, 'a');
    WriteFile(DotFileOf(DotKind::kMedia), atLimit);
    PackMedia();
    EXPECT_EQ(Envelope(atLimit), Unzipped(ZipFolderOf(DotKind::kMedia)));
    EXPECT_NE(0u, mgr().Files().LastPack(DotKind::kMedia));

    WriteFile(DotFileOf(DotKind::kMedia), atLimit + "b");
    PackMedia();
    EXPECT_EQ(1u, ListDir(ZipFolderOf(DotKind::kMedia)).size());
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kMedia)));
    EXPECT_TRUE(log.Contains("dot data file too large, 1048577"));
}

TEST_F(PackTest, PacksInOneMillisecondTakeTheNextFreeNames) {
    for (const char *line : {"one\n", "two\n", "three\n"}) {
        WriteFile(DotFileOf(DotKind::kUser), line);
        PackUser();
    }
    ASSERT_EQ((std::vector<std::string>{Name(), Name(1), Name(2)}), ListDir(ZipFolderOf(DotKind::kUser)));
    EXPECT_EQ(Envelope("one\n"), Unzipped(ZipFolderOf(DotKind::kUser), 0));
    EXPECT_EQ(Envelope("three\n"), Unzipped(ZipFolderOf(DotKind::kUser), 2));
    // A pack still being written holds its name too.
    WriteFile(ZipFolderOf(DotKind::kUser) + "/" + std::to_string(clock_.SystemTimeMs() + 3) + ".packing", "");
    const std::string &zips = ZipFolderOf(DotKind::kUser);
    EXPECT_EQ(zips + "/" + Name(4), unified_track::GetZipFilePathName(zips));
}

TEST_F(PackTest, MmrRecordsBecomeOneArrayAndAFailedPackKeepsThem) {
    WriteFile(DotFileOf(DotKind::kMmr), "{\"a\":1},{\"b\":2},");
    ASSERT_TRUE(mgr().CompressMMRDotFileToZip());
    EXPECT_EQ("[{\"a\":1},{\"b\":2}]", Unzipped(ZipFolderOf(DotKind::kMmr)));
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kMmr)));
    EXPECT_EQ(clock_.SystemTimeMs(), mgr().Files().LastPack(DotKind::kMmr));
    // Nothing to pack is a failure, and creates nothing.
    EXPECT_FALSE(mgr().CompressMMRDotFileToZip());
    EXPECT_EQ(1u, ListDir(ZipFolderOf(DotKind::kMmr)).size());

    ut_test::LogCapture log;
    WriteFile(DotFileOf(DotKind::kMmr), "{\"c\":3},");
    ASSERT_EQ(0, ::remove((ZipFolderOf(DotKind::kMmr) + "/" + Name()).c_str()));
    ASSERT_EQ(0, ::rmdir(ZipFolderOf(DotKind::kMmr).c_str()));
    EXPECT_FALSE(mgr().CompressMMRDotFileToZip());
    EXPECT_TRUE(log.Contains("zip tmp file failed"));
    EXPECT_EQ("{\"c\":3},", ut_test::ReadFile(DotFileOf(DotKind::kMmr)));
}

TEST_F(PackTest, ADeletedZipFolderIsMadeAgainAndAnUnmakeableOneKeepsTheDotFile) {
    ut_test::LogCapture log;
    ASSERT_EQ(0, ::rmdir(ZipFolderOf(DotKind::kUser).c_str()));
    WriteFile(DotFileOf(DotKind::kUser), "r\n");
    PackUser();
    EXPECT_EQ(1u, ListDir(ZipFolderOf(DotKind::kUser)).size());
    EXPECT_EQ(1u, log.Count("zip folder not existed, "));
    EXPECT_EQ(0u, log.Count(ZipFolderOf(DotKind::kUser)));  // the folder is masked in the log

    WriteFile(tmp_.file("plain"), "x");
    WriteFile(DotFileOf(DotKind::kUser), "s\n");
    mgr().CompressDotFileToZip(UTManager::UserFileLock(), tmp_.file("plain") + "/user", DotFileOf(DotKind::kUser));
    EXPECT_TRUE(log.Contains("zip folder not existed again, return"));
    EXPECT_EQ("s\n", ut_test::ReadFile(DotFileOf(DotKind::kUser)));
}

TEST_F(PackTest, ZipFileReportsItsErrorsAndLeavesNothingBehind) {
    const std::string zip = ZipFolderOf(DotKind::kUser) + "/1.gz";
    WriteFile(tmp_.file("rec.dat"), "r\n");
    WriteFile(tmp_.file("empty.dat"), "");
    auto code = [](const std::string &source, const std::string &target) {
        int32_t c = 0;
        return unified_track::zipFile(source, target, "u", c) ? 0 : c;
    };
    EXPECT_EQ(1001, code("", zip));
    EXPECT_EQ(1002, code(tmp_.file("missing.dat"), zip));
    EXPECT_EQ(1004, code(tmp_.file("rec.dat"), tmp_.file("nofolder/1.gz")));
    EXPECT_EQ(1005, code(tmp_.file("empty.dat"), zip));
    EXPECT_TRUE(ListDir(ZipFolderOf(DotKind::kUser)).empty());

    // Through the manager: logged with the masked zip path, the dot file stays for the next try.
    ut_test::LogCapture log;
    WriteFile(DotFileOf(DotKind::kUser), "");
    PackUser();
    EXPECT_TRUE(log.Contains("zip dot data file failed, errorCode: 1005, zipFile: "));
    EXPECT_TRUE(Exists(DotFileOf(DotKind::kUser)));
    EXPECT_NE(0u, mgr().Files().LastPack(DotKind::kUser));
}

TEST_F(PackTest, ArbitraryBytesAreEscapedIntoValidJson) {
    // Invalid UTF-8 becomes U+FFFD and a NUL \u0000, as the JSON writer does it.
    const std::string bytes = std::string("ok\xff\xfe bad utf8 \"quoted\" \\ tab\t nul") + '\0' + "end\n";
    WriteFile(DotFileOf(DotKind::kUser), bytes);
    PackUser();
    EXPECT_EQ(Envelope(bytes), Unzipped(ZipFolderOf(DotKind::kUser)));
}

TEST_F(PackTest, EveryKindAndTheOldLayoutArePackedStaleTemporariesGo) {
    WriteFile(tmp_.file("user_dot_data.dat"), "old user\n");
    WriteFile(tmp_.file("media_dot_data.dat"), "old media\n");
    mgr().CompressOldVersionFile();
    EXPECT_FALSE(Exists(tmp_.file("user_dot_data.dat")) || Exists(tmp_.file("media_dot_data.dat")));
    EXPECT_EQ(Envelope("old user\n"), Unzipped(ZipFolderOf(DotKind::kUser)));
    EXPECT_EQ(Envelope("old media\n"), Unzipped(ZipFolderOf(DotKind::kMedia)));

    clock_.Advance(1);
    WriteFile(DotFileOf(DotKind::kUser), "u\n");
    WriteFile(DotFileOf(DotKind::kMedia), "m\n");
    WriteFile(DotFileOf(DotKind::kMmr), "{},");
    mgr().CompressAllDotFiles();
    EXPECT_EQ(Envelope("u\n"), Unzipped(ZipFolderOf(DotKind::kUser), 1));
    EXPECT_EQ(Envelope("m\n"), Unzipped(ZipFolderOf(DotKind::kMedia), 1));
    EXPECT_EQ("[{}]", Unzipped(ZipFolderOf(DotKind::kMmr)));
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kUser)) || Exists(DotFileOf(DotKind::kMedia)) ||
                 Exists(DotFileOf(DotKind::kMmr)));

    const auto finished = ListDir(ZipFolderOf(DotKind::kUser));
    WriteFile(ZipFolderOf(DotKind::kUser) + "/1600000000000.packing", "partial");
    WriteFile(ZipFolderOf(DotKind::kMmr) + "/1600000000001.packing", "partial");
    mgr().RemoveStalePackFiles();
    EXPECT_EQ(finished, ListDir(ZipFolderOf(DotKind::kUser)));
    EXPECT_EQ(1u, ListDir(ZipFolderOf(DotKind::kMmr)).size());
}

TEST_F(PackTest, UploadUserTrackPacksOnlyWithCredentials) {
    ut_test::LogCapture log;
    WriteFile(DotFileOf(DotKind::kUser), "x\n");
    mgr().MarkInited(false);
    EXPECT_EQ(static_cast<OST_UT_RESULT>(UT_NOT_INITED), mgr().UploadUserTrack());
    EXPECT_TRUE(log.Contains("upload while not inited"));
    mgr().MarkInited(true);
    EXPECT_EQ(static_cast<OST_UT_RESULT>(UT_UPLOAD_ERROR), mgr().UploadUserTrack());
    EXPECT_TRUE(log.Contains("upload while token and jwtToken is empty"));
    EXPECT_TRUE(ListDir(ZipFolderOf(DotKind::kUser)).empty());
    mgr().Params().With([](auto &p) { p.m_uploadParam.jwtToken = "jwt"; });  // a jwt alone will do
    EXPECT_EQ(static_cast<OST_UT_RESULT>(UT_SUCCESS), mgr().UploadUserTrack());
    EXPECT_EQ(1u, ListDir(ZipFolderOf(DotKind::kUser)).size());
    EXPECT_FALSE(Exists(DotFileOf(DotKind::kUser)));
}

}  // namespace
}  // namespace ut_delivery
