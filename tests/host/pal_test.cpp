#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/pal.h"
#include "support/temp_dir.h"

namespace {

using ut_test::TempDir;

mode_t ModeOf(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(Pal, AppendFileReturnsLengthAndCreatesPrivateFile) {
    TempDir dir;
    std::string f = dir.file("dot.dat");
    ::umask(022);
    EXPECT_EQ(PAL_AppendFile(f.c_str(), "abc\n", 4), 4);
    EXPECT_EQ(PAL_AppendFile(f.c_str(), "de\n", 3), 7);
    EXPECT_EQ(ut_test::ReadFile(f), "abc\nde\n");
    EXPECT_EQ(ModeOf(f), 0600u);
    EXPECT_EQ(PAL_AppendFile(dir.file("no/such/dir").c_str(), "x", 1), -1);
    EXPECT_EQ(PAL_AppendFile(nullptr, "x", 1), -1);
    uint64_t size = 0;
    EXPECT_EQ(PAL_GetFileSize(f.c_str(), &size), 0);
    EXPECT_EQ(size, 7u);
    EXPECT_NE(PAL_GetFileSize(dir.file("missing").c_str(), &size), 0);
}

TEST(Pal, FopenModesAndPrivacy) {
    TempDir dir;
    std::string f = dir.file("a.dat");
    PAL_FILE *w = PAL_Fopen(f.c_str(), "ab+");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(PAL_Fwrite("hello", 1, 5, w), 5u);
    EXPECT_EQ(PAL_Fseek(w, 0, SEEK_END), 0);
    EXPECT_EQ(PAL_Ftell(w), 5);
    EXPECT_EQ(PAL_Fclose(w), 0);
    EXPECT_EQ(ModeOf(f), 0600u);
    PAL_FILE *r = PAL_Fopen(f.c_str(), "rb");
    ASSERT_NE(r, nullptr);
    char buf[8] = {};
    EXPECT_EQ(PAL_Fread(buf, 1, sizeof(buf), r), 5u);
    EXPECT_STREQ(buf, "hello");
    PAL_Fclose(r);
    PAL_FILE *t = PAL_Fopen(f.c_str(), "wb+");
    ASSERT_NE(t, nullptr);
    PAL_Fclose(t);
    EXPECT_EQ(ut_test::ReadFile(f), "");
    EXPECT_EQ(PAL_Fopen(dir.file("missing").c_str(), "rb"), nullptr);
    EXPECT_EQ(PAL_Fopen(f.c_str(), "x"), nullptr);
    EXPECT_EQ(PAL_Fflush(nullptr), -1);
    EXPECT_EQ(PAL_Ftell(nullptr), -1);
}

TEST(Pal, ChmodZeroMeansOwnerOnly) {
    TempDir dir;
    std::string f = dir.file("z.gz");
    ASSERT_GE(PAL_AppendFile(f.c_str(), "x", 1), 0);
    ASSERT_EQ(::chmod(f.c_str(), 0644), 0);
    EXPECT_EQ(PAL_Chmod(f.c_str(), 0), 0);
    EXPECT_EQ(ModeOf(f), 0600u);
    EXPECT_EQ(PAL_Chmod(f.c_str(), 0640), 0);
    EXPECT_EQ(ModeOf(f), 0640u);
    std::string sub = dir.file("sub");
    ASSERT_EQ(PAL_MkDir(sub.c_str(), 0755), 0);
    EXPECT_EQ(PAL_Chmod(sub.c_str(), 0), 0);
    EXPECT_EQ(ModeOf(sub), 0700u);  // a folder keeps its search bit
    EXPECT_NE(PAL_Chmod(dir.file("missing").c_str(), 0), 0);
}

TEST(Pal, MkDirRemoveRenameCopy) {
    TempDir dir;
    ::umask(022);
    std::string sub = dir.file("user");
    EXPECT_EQ(PAL_MkDir(sub.c_str(), 0), 0);
    EXPECT_EQ(ModeOf(sub), 0700u);
    EXPECT_EQ(PAL_MkDir(sub.c_str(), 0), 0);  // already there
    std::string file = dir.file("f");
    ASSERT_GE(PAL_AppendFile(file.c_str(), "data", 4), 0);
    EXPECT_NE(PAL_MkDir(file.c_str(), 0), 0);  // a file is in the way
    EXPECT_NE(PAL_MkDir(dir.file("a/b").c_str(), 0), 0);

    std::string copy = dir.file("copy");
    EXPECT_EQ(PAL_CopyFile(file.c_str(), copy.c_str()), 0);
    EXPECT_EQ(ut_test::ReadFile(copy), "data");
    EXPECT_EQ(ModeOf(copy), 0600u);
    EXPECT_NE(PAL_CopyFile(dir.file("missing").c_str(), copy.c_str()), 0);

    std::string moved = dir.file("moved");
    EXPECT_EQ(PAL_Rename(file.c_str(), moved.c_str()), 0);
    EXPECT_FALSE(PAL_IsFileExist(file.c_str()));
    EXPECT_TRUE(PAL_IsFileExist(moved.c_str()));
    EXPECT_TRUE(PAL_IsFileExist(sub.c_str()));
    EXPECT_EQ(PAL_Remove(moved.c_str()), 0);
    EXPECT_NE(PAL_Remove(moved.c_str()), 0);
    EXPECT_FALSE(PAL_IsFileExist(nullptr));
}

TEST(Pal, ScanDirFiltersAndSorts) {
    TempDir dir;
    for (const char *n : {"3.gz", "1.gz", "20.gz", "notes.txt"}) PAL_AppendFile(dir.file(n).c_str(), "x", 1);
    PAL_MkDir(dir.file("d.gz").c_str(), 0);
    std::vector<std::string> names;
    EXPECT_EQ(PAL_ScanDir(dir.path().c_str(), &names), 5);
    EXPECT_EQ(names, (std::vector<std::string>{"1.gz", "20.gz", "3.gz", "d.gz", "notes.txt"}));
    auto gzFiles = [](const PAL_DirEntry &e) {
        return !e.isDir && e.name.size() > 3 && e.name.compare(e.name.size() - 3, 3, ".gz") == 0;
    };
    EXPECT_EQ(PAL_ScanDir(dir.path().c_str(), &names, gzFiles), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"1.gz", "20.gz", "3.gz"}));
    EXPECT_EQ(PAL_ScanDir(dir.file("missing").c_str(), &names), -1);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(PAL_ScanDir(dir.path().c_str(), nullptr), -1);

    PAL_DIR *d = PAL_OpenDir(dir.path().c_str());
    ASSERT_NE(d, nullptr);
    PAL_DirEntry e;
    int count = 0;
    while (PAL_ReadDir_S(d, &e) == 0) {
        EXPECT_NE(e.name, ".");
        EXPECT_NE(e.name, "..");
        EXPECT_EQ(e.isDir, e.name == "d.gz");
        ++count;
    }
    EXPECT_EQ(count, 5);
    EXPECT_EQ(PAL_CloseDir(d), 0);
}

void *RecordTid(void *arg) {
    *static_cast<uint64_t *>(arg) = PAL_GetTID();
    return nullptr;
}

TEST(Pal, ThreadsRunAndHaveTheirOwnTid) {
    uint64_t tid = 0;
    PAL_Thread t = 0;
    ASSERT_EQ(PAL_PthreadCreate(&t, nullptr, RecordTid, &tid), 0);
    EXPECT_EQ(PAL_PthreadJoin(t), 0);
    EXPECT_NE(tid, 0u);
    EXPECT_NE(tid, PAL_GetTID());
    EXPECT_EQ(PAL_GetTID(), static_cast<uint64_t>(::getpid()));  // the test runs on the main thread
    EXPECT_NE(PAL_PthreadCreate(nullptr, nullptr, RecordTid, &tid), 0);
}

TEST(Pal, MemoryAndStrings) {
    void *p = PAL_MemMallocS(16, __LINE__, __FILE__);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char *>(p)[i], 0);
    PAL_MemFreeSetNullD(&p);
    EXPECT_EQ(p, nullptr);
    PAL_MemFreeSetNullD(nullptr);

    EXPECT_EQ(PAL_StrLen(nullptr), 0u);
    EXPECT_LT(PAL_StrCmp(nullptr, "a"), 0);
    EXPECT_EQ(PAL_StrCmp(nullptr, nullptr), 0);
    EXPECT_EQ(PAL_StriCmp("HeLLo", "hello"), 0);
    EXPECT_EQ(PAL_StrStr(nullptr, "a"), nullptr);
    PAL_SetLastErr(ENOENT);
    EXPECT_EQ(PAL_GetLastErr(), ENOENT);
}

TEST(Pal, AddressChecks) {
    EXPECT_TRUE(PAL_IsIpv4("10.1.2.3"));
    EXPECT_FALSE(PAL_IsIpv4("10.1.2"));
    EXPECT_FALSE(PAL_IsIpv4("256.1.1.1"));
    EXPECT_FALSE(PAL_IsIpv4(nullptr));
    EXPECT_TRUE(PAL_IsIpv6("::1"));
    EXPECT_TRUE(PAL_IsIpv6("2001:db8::8a2e:370:7334"));
    EXPECT_FALSE(PAL_IsIpv6("[::1]"));
    EXPECT_FALSE(PAL_IsIpv6("10.1.2.3"));

    EXPECT_TRUE(PAL_IsDomain("meeting.example-1.com"));
    EXPECT_TRUE(PAL_IsDomain("localhost"));
    EXPECT_FALSE(PAL_IsDomain("10.1.2.3"));
    EXPECT_FALSE(PAL_IsDomain("a..b"));
    EXPECT_FALSE(PAL_IsDomain("a.b."));
    EXPECT_FALSE(PAL_IsDomain("under_score.com"));
    EXPECT_FALSE(PAL_IsDomain("host:443"));
    EXPECT_FALSE(PAL_IsDomain(""));
    EXPECT_TRUE(PAL_IsDomain((std::string(63, 'a') + ".com").c_str()));
    EXPECT_FALSE(PAL_IsDomain((std::string(64, 'a') + ".com").c_str()));
    std::string longName;
    while (longName.size() < 253) longName += "abcdefghi.";
    longName.resize(253);
    EXPECT_TRUE(PAL_IsDomain(longName.c_str()));
    EXPECT_FALSE(PAL_IsDomain((longName + "x").c_str()));
}

}  // namespace
