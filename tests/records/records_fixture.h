// Shared set-up of the record tests: one initialised manager per process (a temporary data and
// log folder, a manual clock, TZ=UTC), reset to a blank state before each test, and an in-memory
// configuration cache that records what the manager asked of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "manager/UTManager.h"

namespace records_test {

constexpr uint64_t kStartWallMs = 1714979289010ULL;  // 2024-05-06 07:08:09.010 UTC
constexpr OST_UT_RESULT kFailed = static_cast<OST_UT_RESULT>(UT_FAILED);

unified_track::ManualClock &Clock();
unified_track::UTManager &M();
const std::string &LogFolder();  // ends with the path separator

// Runs on the command thread and waits; also waits for every command queued before it.
OST_UT_RESULT OnCommandThread(std::function<OST_UT_RESULT()> func);
void Drain();

// Every user record written so far, in order: the packed zip files (oldest first), then the
// user dot file.
std::string AllUserRecords();
std::vector<std::string> SplitLines(const std::string &text);
inline std::vector<std::string> UserLines() { return SplitLines(AllUserRecords()); }
std::string Reserves();
// A configured context with every field empty, so records are written rather than held back.
void ConfigureEmptyContext();

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { Drain(); }
};

// In-memory host configuration cache.
struct FakeCache {
    using Entries = std::vector<std::pair<std::string, std::string>>;
    static void Install();  // registers the three hooks
    static void Reset();
    static void Set(const std::string &key, const std::string &value);
    static std::optional<std::string> Get(const std::string &key);
    static std::vector<Entries> AddCalls();  // every add call, in order
    static std::vector<std::string> Deleted();
    static bool WaitForAddCalls(size_t count);  // bounded

    static std::atomic<int32_t> addResult;
    static std::atomic<int32_t> queryResult;  // returned instead of looking up when non-zero
    static std::atomic<int32_t> delResult;
};

}  // namespace records_test
