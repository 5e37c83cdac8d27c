// Runs the C host of c_interface.c.
#include <filesystem>

#include "media_test_env.h"

extern "C" int ut_c_drive_interface(const char *logPath, const char *dataPath, const char *dotFolder);

TEST(CInterface, DrivesTheWholeInterface) {
    // Never deleted: the library's threads may still sleep on it at process exit.
    unified_track::SetClock(new unified_track::ManualClock(media_test::kWallMs, media_test::kRunMs));
    ut_test::TempDir dir;
    std::filesystem::create_directories(dir.path() + "/logs");
    std::filesystem::create_directories(dir.path() + "/data");
    const std::string root = dir.path() + "/data/dotdata/";
    EXPECT_EQ(ut_c_drive_interface((dir.path() + "/logs").c_str(), (dir.path() + "/data").c_str(), root.c_str()),
              0);
}
