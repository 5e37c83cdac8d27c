// Dot files: append, folders made on demand, removal and emptying, zip-folder wipe, deleting all.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/pal.h"
#include "records_fixture.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace records_test;
namespace fs = std::filesystem;

class DotFiles : public RecordsTest {};

TEST_F(DotFiles, AppendReturnsTheLengthKeepsBytesAndIsOwnerOnly)
{
    ut_test::TempDir dir;
    std::string path = dir.file("f.dat");
    EXPECT_EQ(M().AddDataToFile(path, "abc\n"), 4);
    EXPECT_EQ(M().AddDataToFile(path, std::string("x\0y|\n", 5)), 9);
    EXPECT_EQ(M().AddDataToFile(path, ""), 0);  // empty: untouched, 0 even though data is there
    EXPECT_EQ(ut_test::ReadFile(path), std::string("abc\nx\0y|\n", 9));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(DotFiles, AppendRemakesAMissingFolderAndLogsItMasked)
{
    ut_test::TempDir dir;
    std::string path = dir.file("gone/deeper.dat");
    ut_test::LogCapture cap;
    fs::create_directories(dir.file("gone"));
    fs::remove_all(dir.file("gone"));
    EXPECT_EQ(M().AddDataToFile(path, "line\n"), 5);
    EXPECT_EQ(ut_test::ReadFile(path), "line\n");
    auto lines = cap.Find("native_sdk", LOG_ERROR, "");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].text.size(), dir.file("gone").size());
    EXPECT_EQ(lines[0].text.find(dir.path()), std::string::npos);  // never the full path
    EXPECT_EQ(lines[0].text.substr(0, 4), dir.file("gone").substr(0, 4));
}

TEST_F(DotFiles, AppendThatCannotOpenLosesTheRecordAndSaysSo)
{
    ut_test::TempDir dir;
    std::string blocker = dir.file("plainfile");
    PAL_AppendFile(blocker.c_str(), "x", 1);
    ut_test::LogCapture cap;
    EXPECT_EQ(M().AddDataToFile(blocker + "/sub.dat", "data"), 0);  // its folder is a file
    EXPECT_EQ(cap.Count("file open failed: "), 1u);
}

TEST_F(DotFiles, CleanRemovesTheFileAndTheNextAppendStartsAfresh)
{
    ut_test::TempDir dir;
    std::string path = dir.file("c.dat");
    M().AddDataToFile(path, "12345");
    ut_test::LogCapture cap;
    M().CleanDotFileContent(unified_track::UTManager::UserFileLock(), path);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(cap.Contains("dotdata file clean data start!"));
    EXPECT_EQ(M().AddDataToFile(path, "ab"), 2);
}

TEST_F(DotFiles, CleanOfSomethingNeitherRemovableNorWritableReportsFailure)
{
    ut_test::TempDir dir;
    std::string path = dir.file("stuck");
    fs::create_directories(path + "/inner");  // a non-empty folder: no remove, no open for writing
    ut_test::LogCapture cap;
    M().CleanDotFileContent(unified_track::UTManager::MediaFileLock(), path);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_TRUE(cap.Contains("remove dotdata failed!"));
    EXPECT_TRUE(cap.Contains("dotdata file clean data start!"));
    EXPECT_TRUE(cap.Contains("open dot data file failed"));
    EXPECT_TRUE(cap.Contains("delete dot data file failed again"));
}

TEST_F(DotFiles, WipeRemovesEveryNameWithGzAndKeepsTheRest)
{
    ut_test::TempDir dir;
    for (const char *name : {"1714979289010.gz", "a.gz.part", "x.gzip", "user_dot_data.dat", "plain"}) {
        std::string p = dir.file(name);
        PAL_AppendFile(p.c_str(), "z", 1);
    }
    unified_track::UTManager::RmFolderFile(dir.path());
    EXPECT_FALSE(fs::exists(dir.file("1714979289010.gz")));
    EXPECT_FALSE(fs::exists(dir.file("a.gz.part")));
    EXPECT_FALSE(fs::exists(dir.file("x.gzip")));
    EXPECT_TRUE(fs::exists(dir.file("user_dot_data.dat")));
    EXPECT_TRUE(fs::exists(dir.file("plain")));
    unified_track::UTManager::RmFolderFile(dir.file("missing"));  // nothing to do, no crash
}

TEST_F(DotFiles, DelDotDataRemovesDotFilesAndZipFiles)
{
    auto &m = M();
    for (const std::string *f : {&m.m_userDotFile, &m.m_mediaDotFile, &m.m_mmrDotFile}) {
        PAL_AppendFile(f->c_str(), "r\n", 2);
    }
    for (const std::string *d : {&m.m_userZipFolder, &m.m_mediaZipFolder, &m.m_mmrZipFolder}) {
        std::string zip = *d + kPathSep + "123.gz";
        PAL_AppendFile(zip.c_str(), "z", 1);
    }
    EXPECT_EQ(Track_DelDotData(), 0u);
    for (const std::string *f : {&m.m_userDotFile, &m.m_mediaDotFile, &m.m_mmrDotFile}) {
        EXPECT_FALSE(fs::exists(*f));
    }
    for (const std::string *d : {&m.m_userZipFolder, &m.m_mediaZipFolder, &m.m_mmrZipFolder}) {
        EXPECT_TRUE(fs::is_directory(*d));
        EXPECT_TRUE(fs::is_empty(*d));
    }
    EXPECT_EQ(Track_DelDotData(), 0u);  // again, with nothing there
}
