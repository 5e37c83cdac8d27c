#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "host/pal.h"
#include "support/temp_dir.h"

namespace {

using ut_test::TempDir;
using Names = std::vector<std::string>;

mode_t ModeOf(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(Pal, FilesAreCreatedPrivateAndAppendReportsTheLength) {
    TempDir dir;
    ::umask(022);
    std::string f = dir.file("dot.dat");
    EXPECT_EQ(PAL_AppendFile(f.c_str(), "abc\n", 4), 4);
    EXPECT_EQ(PAL_AppendFile(f.c_str(), "de\n", 3), 7);
    EXPECT_EQ(PAL_AppendFile(dir.file("no/dir").c_str(), "x", 1), -1);
    std::string g = dir.file("g.dat");
    PAL_FILE *w = PAL_Fopen(g.c_str(), "ab+");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(PAL_Fwrite("hello", 1, 5, w), 5u);
    EXPECT_EQ(PAL_Fclose(w), 0);
    EXPECT_EQ(PAL_Fopen(g.c_str(), "x"), nullptr);
    std::string copy = dir.file("copy");
    EXPECT_EQ(PAL_CopyFile(f.c_str(), copy.c_str()), 0);
    EXPECT_NE(PAL_CopyFile(dir.file("missing").c_str(), copy.c_str()), 0);
    for (const std::string &p : {f, g, copy}) EXPECT_EQ(ModeOf(p), 0600u) << p;
    EXPECT_EQ(ut_test::ReadFile(copy), "abc\nde\n");
}

TEST(Pal, ChmodZeroMeansOwnerOnlyAndMkDirZeroMeans0700) {
    TempDir dir;
    ::umask(022);
    std::string f = dir.file("z.gz");
    ASSERT_GE(PAL_AppendFile(f.c_str(), "x", 1), 0);
    ASSERT_EQ(::chmod(f.c_str(), 0644), 0);
    EXPECT_EQ(PAL_Chmod(f.c_str(), 0), 0);
    EXPECT_EQ(ModeOf(f), 0600u);
    EXPECT_NE(PAL_Chmod(dir.file("missing").c_str(), 0), 0);

    std::string sub = dir.file("user");
    EXPECT_EQ(PAL_MkDir(sub.c_str(), 0), 0);
    EXPECT_EQ(ModeOf(sub), 0700u);
    EXPECT_EQ(PAL_MkDir(sub.c_str(), 0), 0);  // already there
    EXPECT_NE(PAL_MkDir(f.c_str(), 0), 0);    // a file is in the way
    ASSERT_EQ(::chmod(sub.c_str(), 0755), 0);
    EXPECT_EQ(PAL_Chmod(sub.c_str(), 0), 0);
    EXPECT_EQ(ModeOf(sub), 0700u);  // a private folder keeps its search bit
}

TEST(Pal, ScanDirFiltersAndSortsByName) {
    TempDir dir;
    for (const char *n : {"3.gz", "1.gz", "20.gz", "notes.txt"}) PAL_AppendFile(dir.file(n).c_str(), "x", 1);
    PAL_MkDir(dir.file("d.gz").c_str(), 0);
    Names names;
    EXPECT_EQ(PAL_ScanDir(dir.path().c_str(), &names), 5);
    EXPECT_EQ(names, (Names{"1.gz", "20.gz", "3.gz", "d.gz", "notes.txt"}));
    auto gzFiles = [](const PAL_DirEntry &e) {
        return !e.isDir && e.name.size() > 3 && e.name.compare(e.name.size() - 3, 3, ".gz") == 0;
    };
    EXPECT_EQ(PAL_ScanDir(dir.path().c_str(), &names, gzFiles), 3);
    EXPECT_EQ(names, (Names{"1.gz", "20.gz", "3.gz"}));
    EXPECT_EQ(PAL_ScanDir(dir.file("missing").c_str(), &names), -1);
    EXPECT_TRUE(names.empty());
}

TEST(Pal, AddressChecks) {
    std::string longName;
    while (longName.size() < 253) longName += "abcdefghi.";
    longName.resize(253);
    const std::vector<std::pair<std::string, bool>> domains = {
        {"meeting.example-1.com", true}, {std::string(63, 'a') + ".com", true}, {longName, true},
        {std::string(64, 'a') + ".com", false}, {longName + "x", false}, {"10.1.2.3", false}, {"a..b", false},
        {"under_score.com", false}, {"host:443", false}, {"", false}};
    for (const auto &d : domains) EXPECT_EQ(PAL_IsDomain(d.first.c_str()) != 0, d.second) << d.first;
    EXPECT_TRUE(PAL_IsIpv4("10.1.2.3"));
    EXPECT_FALSE(PAL_IsIpv4("256.1.1.1"));
    EXPECT_TRUE(PAL_IsIpv6("2001:db8::8a2e:370:7334"));
    EXPECT_FALSE(PAL_IsIpv6("[::1]"));
    EXPECT_FALSE(PAL_IsIpv6(nullptr) || PAL_IsIpv4(nullptr) || PAL_IsDomain(nullptr));
}

}  // namespace
