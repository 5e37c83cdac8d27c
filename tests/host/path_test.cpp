#include <gtest/gtest.h>

#include <string>

#include "host/path.h"

namespace {

using unified_track::FileNameOf;
using unified_track::LastPathSep;
using unified_track::PathJoin;
using unified_track::WithTrailingSep;

const std::string kSep(1, kPathSep);

TEST(PathTest, JoinAddsOneSeparatorAndNeverDoublesIt) {
    struct Row {
        std::string folder, name, joined;
    };
    const Row rows[] = {{"a", "b", "a" + kSep + "b"},
                        {"a/", "b", "a/b"},
                        {"", "b", "b"},
                        {"/", "b", "/b"},
                        {"a" + kSep + "c", "b.gz", "a" + kSep + "c" + kSep + "b.gz"}};
    for (const Row &r : rows) EXPECT_EQ(PathJoin(r.folder, r.name), r.joined) << r.folder << " + " << r.name;
    EXPECT_EQ(WithTrailingSep(""), "");
    EXPECT_EQ(WithTrailingSep("x/"), "x/");
    EXPECT_EQ(WithTrailingSep("x"), "x" + kSep);
}

TEST(PathTest, TheLastSeparatorAcceptsTheSlashEverywhereAndTheBackslashOnlyOnWindows) {
    EXPECT_EQ(LastPathSep("a/b/c.dat"), 3u);
    EXPECT_EQ(LastPathSep("c.dat"), std::string::npos);
    EXPECT_EQ(FileNameOf("a/b/c.dat"), "c.dat");
    EXPECT_EQ(FileNameOf("dir/"), "");
#ifdef _WIN32
    EXPECT_EQ(FileNameOf("a\\b/c\\d.dat"), "d.dat");
#else
    EXPECT_EQ(FileNameOf("a/b\\d.dat"), "b\\d.dat");  // a legal character in a POSIX name
#endif
}

}  // namespace
