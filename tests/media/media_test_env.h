// A started library for the media tests: manual clock (wall time 2024-05-06 07:08:09.010 UTC),
// a scratch data folder, captured log lines (log_), and readers for the media and MMR dot data,
// packed or not.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "support/manual_clock.h"
#include "support/scoped_host.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace media_test {

constexpr uint64_t kWallMs = 1714979289010ull;
constexpr uint64_t kRunMs = 5000000ull;
constexpr char kWallText[] = "2024-05-06 07:08:09.010 +0000";
// What ConfigureAll() puts into every media line: the part behind the event id up to the payload,
// and the client header of a call-information record.
const std::string kReserves =
    "{\"deviceId\":\"DEVI****\",\"mNumber\":7,\"participantId\":\"p-1\",\"tNumber\":9,"
    "\"terminalIp\":\"\",\"osName\":\"Linux\",\"trackVersion\":\"v9.0\",\"appVersion\":\"1.2.3\","
    "\"terminalType\":\"PC\"}";
const std::string kPrefixTail = std::string("|") + kWallText + "|uuid-1|a****|corp|-|" + kReserves;
const std::string kHeader =
    "\"6.0\",\"1.2.3\",\"DEVICE12\",\"c3\",\"c4\",\"c5\",\"c6\",\"c7\",\"c8\",\"Linux\",\"c10\","
    "\"c11\",\"c12\",\"c13\",\"cu\",\"sbc\",";

// The gzip content of a zip file, decompressed.
std::string Gunzip(const std::string &path);
// Zip files (names with ".gz") of a folder, oldest first.
std::vector<std::string> ZipFiles(const std::string &folder);

class MediaEnv : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Waits for every command queued so far.
    static void Drain();
    // Configures public SDK parameters and the full context, so records are written at once.
    static void ConfigureAll();

    std::string Root() const { return dir_.path() + "/data/dotdata"; }
    std::string MediaDotFile() const { return Root() + "/media_dot_data.dat"; }
    std::string MmrDotFile() const { return Root() + "/mmr_dot_data.dat"; }
    std::string MediaZipFolder() const { return Root() + "/media"; }
    std::string MmrZipFolder() const { return Root() + "/mmr"; }
    // Every media line written so far: the "data" of each packed zip file, oldest first, then
    // the current dot file.
    std::string MediaContent() const;
    // Every MMR record written so far: the packed arrays without their brackets (each record
    // keeps its comma), then the current dot file.
    std::string MmrContent() const;

    ut_test::TempDir dir_;
    ut_test::LogCapture log_;
    static ut_test::ManualClock *clock_;
};

}  // namespace media_test
