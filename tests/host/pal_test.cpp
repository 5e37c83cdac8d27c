#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include <string>
#include <vector>

#include "host/gzip.h"
#include "host/pal.h"
#include "support/scoped_host.h"
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

// A disk that takes `room` more bytes and then reports ENOSPC.
class FullDisk : public unified_track::FileOps {
public:
    explicit FullDisk(size_t room) : room_(room) {}
    int64_t Write(int fd, const void *data, size_t len) override {
        if (room_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        size_t n = len < room_ ? len : room_;
        room_ -= n;
        return FileOps::Write(fd, data, n);
    }

private:
    size_t room_;
};

TEST(Pal, AShortAppendIsTruncatedBackSoTheFileKeepsOnlyWholeRecords) {
    TempDir dir;
    std::string f = dir.file("dot.dat");
    ASSERT_EQ(PAL_AppendFile(f.c_str(), "rec1\n", 5), 5);
    for (size_t room : {0u, 3u}) {
        FullDisk disk(room);
        ut_test::ScopedFileOps guard(&disk);
        errno = 0;
        EXPECT_EQ(PAL_AppendFile(f.c_str(), "rec2 is long\n", 13), kPalAppendWriteFailed) << room;
        EXPECT_EQ(PAL_GetLastErr(), ENOSPC);
        EXPECT_EQ(ut_test::ReadFile(f), "rec1\n") << room;
    }
    // Room again: the next record starts on a line of its own.
    EXPECT_EQ(PAL_AppendFile(f.c_str(), "rec3\n", 5), 10);
    EXPECT_EQ(ut_test::ReadFile(f), "rec1\nrec3\n");
    EXPECT_EQ(PAL_AppendFile(dir.file("no/dir").c_str(), "x", 1), kPalAppendOpenFailed);
}

TEST(Pal, EveryFileWrittenIsPrivateFromItsFirstByteAndFoldersAre0700) {
    TempDir dir;
    ::umask(022);
    // Files found readable by others: each way of writing makes them owner-only.
    const std::string appended = dir.file("a.dat"), reopened = dir.file("b.dat"), copied = dir.file("c.dat");
    for (const std::string &p : {appended, reopened, copied}) {
        ASSERT_EQ(PAL_AppendFile(p.c_str(), "x", 1), 1);
        ASSERT_EQ(::chmod(p.c_str(), 0644), 0);
    }
    EXPECT_EQ(PAL_AppendFile(appended.c_str(), "y", 1), 2);
    PAL_FILE *file = PAL_Fopen(reopened.c_str(), "ab+");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ModeOf(reopened), 0600u);  // before anything is written
    PAL_Fclose(file);
    EXPECT_EQ(PAL_CopyFile(appended.c_str(), copied.c_str()), 0);
    for (const std::string &p : {appended, reopened, copied}) EXPECT_EQ(ModeOf(p), 0600u) << p;

    // A gzip file is private while it is still being written.
    const std::string gz = dir.file("1.packing");
    GzipHandle handle = GzipOpen(gz.c_str(), "wb");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ModeOf(gz), 0600u);
    EXPECT_EQ(GzipClose(handle), 0);

    const std::string sub = dir.file("errordotdata");
    EXPECT_EQ(PAL_MkDir(sub.c_str(), 0755), 0);
    EXPECT_EQ(ModeOf(sub), 0700u);
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
    const std::vector<std::pair<std::string, bool>> domains = {{"meeting.example-1.com", true},
                                                               {std::string(63, 'a') + ".com", true},
                                                               {longName, true},
                                                               {std::string(64, 'a') + ".com", false},
                                                               {longName + "x", false},
                                                               {"10.1.2.3", false},
                                                               {"a..b", false},
                                                               {"under_score.com", false},
                                                               {"host:443", false},
                                                               {"", false}};
    for (const auto &d : domains) EXPECT_EQ(PAL_IsDomain(d.first.c_str()) != 0, d.second) << d.first;
    EXPECT_TRUE(PAL_IsIpv4("10.1.2.3"));
    EXPECT_FALSE(PAL_IsIpv4("256.1.1.1"));
    EXPECT_TRUE(PAL_IsIpv6("2001:db8::8a2e:370:7334"));
    EXPECT_FALSE(PAL_IsIpv6("[::1]"));
    EXPECT_FALSE(PAL_IsIpv6(nullptr) || PAL_IsIpv4(nullptr) || PAL_IsDomain(nullptr));
}

}  // namespace
