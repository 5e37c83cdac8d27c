// Dot files: append, folders made on demand, removal and emptying, zip-folder wipe, deleting all.
#include <filesystem>

#include "host/pal.h"
#include "manager/masks.h"
#include "records_fixture.h"
#include "support/temp_dir.h"

using namespace records_test;
using unified_track::UTManager;
namespace fs = std::filesystem;

class DotFiles : public RecordsTest {};

TEST_F(DotFiles, AppendKeepsBytesIsOwnerOnlyRemakesItsFolderAndReportsALoss) {
    ut_test::TempDir dir;
    ut_test::LogCapture cap;
    std::string path = dir.file("gone/f.dat");  // its folder does not exist
    EXPECT_EQ(M().AddDataToFile(path, "abc\n"), 4);
    EXPECT_EQ(M().AddDataToFile(path, std::string("x\0y|\n", 5)), 9);
    EXPECT_EQ(M().AddDataToFile(path, ""), 0);  // empty: untouched, 0 even though data is there
    EXPECT_EQ(ut_test::ReadFile(path), std::string("abc\nx\0y|\n", 9));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    auto lines = cap.Find("native_sdk", LOG_ERROR, "");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].text, unified_track::MiddleMask(dir.file("gone")));  // the folder, masked

    EXPECT_EQ(M().AddDataToFile(path + "/sub.dat", "data"), 0);  // its folder is a file
    EXPECT_EQ(cap.Count("file open failed: "), 1u);
}

TEST_F(DotFiles, WipeRemovesEveryNameWithGzAndDelDotDataEmptiesEverything) {
    ut_test::TempDir dir;
    for (const char *name : {"1714979289010.gz", "a.gz.part", "x.gzip", "user_dot_data.dat", "plain"}) {
        PAL_AppendFile(dir.file(name).c_str(), "z", 1);
    }
    UTManager::RmFolderFile(dir.path());
    UTManager::RmFolderFile(dir.file("missing"));
    EXPECT_FALSE(fs::exists(dir.file("missing"))) << "a missing folder is not made";
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".gz"), std::string::npos) << entry.path();
    }
    EXPECT_TRUE(fs::exists(dir.file("user_dot_data.dat")) && fs::exists(dir.file("plain")));

    const std::pair<const std::string *, const std::string *> kinds[] = {
        {&DotFileOf(DotKind::kUser), &ZipFolderOf(DotKind::kUser)},
        {&DotFileOf(DotKind::kMedia), &ZipFolderOf(DotKind::kMedia)},
        {&DotFileOf(DotKind::kMmr), &ZipFolderOf(DotKind::kMmr)}};
    for (auto [file, zips] : kinds) {
        PAL_AppendFile(file->c_str(), "r\n", 2);
        PAL_AppendFile((*zips + kPathSep + "123.gz").c_str(), "z", 1);
    }
    EXPECT_EQ(Track_DelDotData(), 0u);
    for (auto [file, zips] : kinds) EXPECT_TRUE(!fs::exists(*file) && fs::is_directory(*zips) && fs::is_empty(*zips));
    EXPECT_EQ(Track_DelDotData(), 0u);  // again, with nothing there
}
