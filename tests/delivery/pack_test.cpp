// Packing of dot files: the envelope and the MMR array, the limits, the names, failures that
// keep the records, the zip folder's recovery and the old layout.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "delivery_fixture.h"
#include "transport/track_file.h"

namespace ut_delivery {
namespace {

using unified_track::RecursiveLock;

class PackTest : public ManagerFixture {
protected:
    void SetUp() override {
        ManagerFixture::SetUp();
        std::lock_guard<RecursiveLock> lock(UTManager::ParamLock());
        mgr().uuid = "uuid-1";
        mgr().m_lastUserPackTime.store(0);
        mgr().m_lastMediaPackTime.store(0);
        mgr().m_lastMmrPackTime.store(0);
    }
    void PackUser() { mgr().CompressDotFileToZip(UTManager::UserFileLock(), mgr().m_userZipFolder, mgr().m_userDotFile); }
    std::string Unzip(const std::string &path) { return ut_test::GunzipBytes(ut_test::ReadFile(path)); }
    std::string Now() { return std::to_string(clock_.SystemTimeMs()); }
};

TEST_F(PackTest, OneRecordLineBecomesAOneLineEnvelopeAndTheDotFileGoes) {
    WriteFile(mgr().m_userDotFile, "e1|2024|x\n");
    PackUser();
    const std::string zip = mgr().m_userZipFolder + "/" + Now() + ".gz";
    ASSERT_TRUE(Exists(zip));
    EXPECT_EQ("{\"data\":\"e1|2024|x\\n\",\"user\":\"uuid-1\"}", Unzip(zip));
    EXPECT_FALSE(Exists(mgr().m_userDotFile));
    struct stat st;
    ASSERT_EQ(0, ::stat(zip.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);
    EXPECT_EQ(clock_.SystemTimeMs(), mgr().m_lastUserPackTime.load());
    EXPECT_EQ(0u, mgr().m_lastMediaPackTime.load());
    EXPECT_EQ(std::vector<std::string>{Now() + ".gz"}, ListDir(mgr().m_userZipFolder));
}

TEST_F(PackTest, AFileOfTheLimitIsPackedOneByteMoreIsDiscarded) {
    ut_test::LogCapture log;
    const std::string atLimit(1048576, 'a');
    WriteFile(mgr().m_mediaDotFile, atLimit);
    mgr().CompressDotFileToZip(UTManager::MediaFileLock(), mgr().m_mediaZipFolder, mgr().m_mediaDotFile);
    auto zips = ListDir(mgr().m_mediaZipFolder);
    ASSERT_EQ(1u, zips.size());
    EXPECT_EQ(Envelope(atLimit, "uuid-1"), Unzip(mgr().m_mediaZipFolder + "/" + zips[0]));
    EXPECT_NE(0u, mgr().m_lastMediaPackTime.load());

    WriteFile(mgr().m_mediaDotFile, atLimit + "b");
    mgr().CompressDotFileToZip(UTManager::MediaFileLock(), mgr().m_mediaZipFolder, mgr().m_mediaDotFile);
    EXPECT_EQ(1u, ListDir(mgr().m_mediaZipFolder).size());
    EXPECT_FALSE(Exists(mgr().m_mediaDotFile));
    EXPECT_TRUE(log.Contains("dot data file too large, 1048577"));
}

TEST_F(PackTest, PacksInOneMillisecondTakeTheNextFreeNames) {
    for (const char *line : {"one\n", "two\n", "three\n"}) {
        WriteFile(mgr().m_userDotFile, line);
        PackUser();
    }
    const uint64_t t = clock_.SystemTimeMs();
    const std::vector<std::string> expected = {std::to_string(t) + ".gz", std::to_string(t + 1) + ".gz",
                                               std::to_string(t + 2) + ".gz"};
    ASSERT_EQ(expected, ListDir(mgr().m_userZipFolder));
    EXPECT_EQ(Envelope("one\n", "uuid-1"), Unzip(mgr().m_userZipFolder + "/" + expected[0]));
    EXPECT_EQ(Envelope("three\n", "uuid-1"), Unzip(mgr().m_userZipFolder + "/" + expected[2]));
    // A pack still being written holds its name too.
    WriteFile(mgr().m_userZipFolder + "/" + std::to_string(t + 3) + ".packing", "");
    EXPECT_EQ(mgr().m_userZipFolder + "/" + std::to_string(t + 4) + ".gz",
              unified_track::GetZipFilePathName(mgr().m_userZipFolder));
}

TEST_F(PackTest, MmrRecordsBecomeOneArray) {
    WriteFile(mgr().m_mmrDotFile, "{\"a\":1},{\"b\":2},");
    ASSERT_TRUE(mgr().CompressMMRDotFileToZip());
    auto zips = ListDir(mgr().m_mmrZipFolder);
    ASSERT_EQ(1u, zips.size());
    EXPECT_EQ("[{\"a\":1},{\"b\":2}]", Unzip(mgr().m_mmrZipFolder + "/" + zips[0]));
    EXPECT_FALSE(Exists(mgr().m_mmrDotFile));

    clock_.Advance(1);
    WriteFile(mgr().m_mmrDotFile, "{\"c\":3}");
    ASSERT_TRUE(mgr().CompressMMRDotFileToZip());
    zips = ListDir(mgr().m_mmrZipFolder);
    ASSERT_EQ(2u, zips.size());
    EXPECT_EQ("[{\"c\":3}]", Unzip(mgr().m_mmrZipFolder + "/" + zips[1]));
    EXPECT_EQ(clock_.SystemTimeMs(), mgr().m_lastMmrPackTime.load());
}

TEST_F(PackTest, AFailedMmrPackKeepsTheRecordsAndLeavesNoFile) {
    ut_test::LogCapture log;
    WriteFile(mgr().m_mmrDotFile, "{\"a\":1},");
    ASSERT_EQ(0, ::rmdir(mgr().m_mmrZipFolder.c_str()));
    EXPECT_FALSE(mgr().CompressMMRDotFileToZip());
    EXPECT_TRUE(log.Contains("zip tmp file failed"));
    EXPECT_EQ("{\"a\":1},", ut_test::ReadFile(mgr().m_mmrDotFile));
    EXPECT_NE(0u, mgr().m_lastMmrPackTime.load());
    // Nothing to pack is a failure too, and creates nothing.
    ::remove(mgr().m_mmrDotFile.c_str());
    ASSERT_EQ(0, ::mkdir(mgr().m_mmrZipFolder.c_str(), 0700));
    EXPECT_FALSE(mgr().CompressMMRDotFileToZip());
    EXPECT_TRUE(ListDir(mgr().m_mmrZipFolder).empty());
}

TEST_F(PackTest, ADeletedZipFolderIsMadeAgainAndAnUnmakeableOneKeepsTheDotFile) {
    ut_test::LogCapture log;
    ASSERT_EQ(0, ::rmdir(mgr().m_userZipFolder.c_str()));
    WriteFile(mgr().m_userDotFile, "r\n");
    PackUser();
    EXPECT_EQ(1u, ListDir(mgr().m_userZipFolder).size());
    EXPECT_EQ(1u, log.Count("zip folder not existed, "));
    EXPECT_EQ(0u, log.Count(mgr().m_userZipFolder));  // the folder is masked in the log

    WriteFile(tmp_.file("plain"), "x");
    const std::string blocked = tmp_.file("plain") + "/user";
    WriteFile(mgr().m_userDotFile, "s\n");
    mgr().CompressDotFileToZip(UTManager::UserFileLock(), blocked, mgr().m_userDotFile);
    EXPECT_TRUE(log.Contains("zip folder not existed again, return"));
    EXPECT_EQ("s\n", ut_test::ReadFile(mgr().m_userDotFile));
}

TEST_F(PackTest, ZipFileReportsItsErrorsAndLeavesNothingBehind) {
    const std::string folder = mgr().m_userZipFolder;
    const std::string zip = folder + "/1.gz";
    int32_t code = 0;
    EXPECT_FALSE(unified_track::zipFile("", zip, "u", code));
    EXPECT_EQ(1001, code);
    code = 0;
    EXPECT_FALSE(unified_track::zipFile(tmp_.file("missing.dat"), zip, "u", code));
    EXPECT_EQ(1002, code);
    WriteFile(tmp_.file("rec.dat"), "r\n");
    code = 0;
    EXPECT_FALSE(unified_track::zipFile(tmp_.file("rec.dat"), tmp_.file("nofolder/1.gz"), "u", code));
    EXPECT_EQ(1004, code);
    WriteFile(tmp_.file("empty.dat"), "");
    code = 0;
    EXPECT_FALSE(unified_track::zipFile(tmp_.file("empty.dat"), zip, "u", code));
    EXPECT_EQ(1005, code);
    EXPECT_TRUE(ListDir(folder).empty());

    // Through the manager: logged with the masked zip path, the dot file stays for the next try.
    ut_test::LogCapture log;
    WriteFile(mgr().m_userDotFile, "");
    PackUser();
    EXPECT_TRUE(log.Contains("zip dot data file failed, errorCode: 1005, zipFile: "));
    EXPECT_TRUE(Exists(mgr().m_userDotFile));
    EXPECT_TRUE(ListDir(folder).empty());
    EXPECT_NE(0u, mgr().m_lastUserPackTime.load());
}

TEST_F(PackTest, ArbitraryBytesStillMakeValidJson) {
    const std::string bytes = std::string("ok\xff\xfe bad utf8 \"quoted\" \\ tab\t nul") + '\0' + "end\n";
    WriteFile(mgr().m_userDotFile, bytes);
    PackUser();
    auto zips = ListDir(mgr().m_userZipFolder);
    ASSERT_EQ(1u, zips.size());
    Json::CharReaderBuilder b;
    std::unique_ptr<Json::CharReader> reader(b.newCharReader());
    const std::string text = Unzip(mgr().m_userZipFolder + "/" + zips[0]);
    Json::Value v;
    std::string err;
    ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &v, &err)) << err << "\n" << text;
    EXPECT_NE(std::string::npos, v["data"].asString().find("end\n"));
}

TEST_F(PackTest, AUserFileBelowAFolderNamedMediaFeedsTheUserTimer) {
    const std::string root = tmp_.file("multimedia") + "/dotdata";
    ASSERT_EQ(0, ::mkdir(tmp_.file("multimedia").c_str(), 0700));
    ASSERT_TRUE(mgr().InitFolderPath(root.c_str()));
    WriteFile(mgr().m_userDotFile, "u\n");
    PackUser();
    EXPECT_NE(0u, mgr().m_lastUserPackTime.load());
    EXPECT_EQ(0u, mgr().m_lastMediaPackTime.load());
}

TEST_F(PackTest, DotFilesOfTheOldLayoutArePackedAndRemoved) {
    WriteFile(tmp_.file("user_dot_data.dat"), "old user\n");
    WriteFile(tmp_.file("media_dot_data.dat"), "old media\n");
    mgr().CompressOldVersionFile();
    EXPECT_FALSE(Exists(tmp_.file("user_dot_data.dat")));
    EXPECT_FALSE(Exists(tmp_.file("media_dot_data.dat")));
    auto user = ListDir(mgr().m_userZipFolder);
    auto media = ListDir(mgr().m_mediaZipFolder);
    ASSERT_EQ(1u, user.size());
    ASSERT_EQ(1u, media.size());
    EXPECT_EQ(Envelope("old user\n", "uuid-1"), Unzip(mgr().m_userZipFolder + "/" + user[0]));
    EXPECT_EQ(Envelope("old media\n", "uuid-1"), Unzip(mgr().m_mediaZipFolder + "/" + media[0]));
}

TEST_F(PackTest, StalePackTemporariesAreRemovedFinishedZipsStay) {
    WriteFile(mgr().m_userZipFolder + "/1700000000000.packing", "partial");
    WriteFile(mgr().m_mmrZipFolder + "/1700000000001.packing", "partial");
    WriteFile(mgr().m_userZipFolder + "/1700000000002.gz", "done");
    mgr().RemoveStalePackFiles();
    EXPECT_EQ(std::vector<std::string>{"1700000000002.gz"}, ListDir(mgr().m_userZipFolder));
    EXPECT_TRUE(ListDir(mgr().m_mmrZipFolder).empty());
}

TEST_F(PackTest, UploadUserTrackPacksOnlyWithCredentials) {
    ut_test::LogCapture log;
    WriteFile(mgr().m_userDotFile, "x\n");
    mgr().m_bInited.store(false);
    EXPECT_EQ(static_cast<OST_UT_RESULT>(UT_NOT_INITED), mgr().UploadUserTrack());
    EXPECT_TRUE(log.Contains("upload while not inited"));
    mgr().m_bInited.store(true);
    EXPECT_EQ(static_cast<OST_UT_RESULT>(UT_UPLOAD_ERROR), mgr().UploadUserTrack());
    EXPECT_TRUE(log.Contains("upload while token and jwtToken is empty"));
    EXPECT_TRUE(ListDir(mgr().m_userZipFolder).empty());
    {
        std::lock_guard<RecursiveLock> lock(UTManager::ParamLock());
        mgr().m_uploadParam.jwtToken = "jwt";
    }
    EXPECT_EQ(static_cast<OST_UT_RESULT>(UT_SUCCESS), mgr().UploadUserTrack());
    EXPECT_EQ(1u, ListDir(mgr().m_userZipFolder).size());
    EXPECT_FALSE(Exists(mgr().m_userDotFile));
}

TEST_F(PackTest, CompressAllPacksUserMediaAndMmr) {
    WriteFile(mgr().m_userDotFile, "u\n");
    WriteFile(mgr().m_mediaDotFile, "m\n");
    WriteFile(mgr().m_mmrDotFile, "{},");
    mgr().CompressAllDotFiles();
    EXPECT_EQ(1u, ListDir(mgr().m_userZipFolder).size());
    EXPECT_EQ(1u, ListDir(mgr().m_mediaZipFolder).size());
    EXPECT_EQ(1u, ListDir(mgr().m_mmrZipFolder).size());
    EXPECT_FALSE(Exists(mgr().m_userDotFile) || Exists(mgr().m_mediaDotFile) || Exists(mgr().m_mmrDotFile));
}

}  // namespace
}  // namespace ut_delivery
