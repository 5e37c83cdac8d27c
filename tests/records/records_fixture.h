// Shared set-up of the record tests: one initialised manager per process (a temporary data and
// log folder, a manual clock, TZ=UTC), reset to a blank state before each test, and an in-memory
// configuration cache that records what the manager asked of it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <unified_track/unified_track.h>

#include "support/manual_clock.h"
#include "support/scoped_host.h"
#include "manager/UTManager.h"
#include "support/fake_config_cache.h"
#include "support/log_capture.h"

namespace records_test {

using unified_track::DotKind;
// Where the manager keeps the dot file and the zip folder of a kind.
inline const std::string &DotFileOf(DotKind kind) {
    return unified_track::UTManager::GetInstance().Files().DotFile(kind);
}
inline const std::string &ZipFolderOf(DotKind kind) {
    return unified_track::UTManager::GetInstance().Files().ZipFolder(kind);
}

constexpr uint64_t kStartWallMs = 1714979289010ULL;  // 2024-05-06 07:08:09.010 UTC
constexpr OST_UT_RESULT kFailed = static_cast<OST_UT_RESULT>(UT_FAILED);

ut_test::ManualClock &Clock();
unified_track::UTManager &M();
const std::string &LogFolder();  // ends with the path separator

// Runs on the command thread and waits; also waits for every command queued before it.
OST_UT_RESULT OnCommandThread(std::function<OST_UT_RESULT()> func);
void Drain();

// Every user record written so far, in order: the packed zip files (oldest first), then the
// user dot file.
std::string AllUserRecords();
std::vector<std::string> UserLines();  // each with its newline
// A configured context with every field empty, so records are written rather than held back.
void ConfigureEmptyContext();

// Runs f(manager) under the parameter lock.
template <class F>
auto WithParams(F f) {
    return M().Params().With(f);
}
inline std::string Reserves() {
    return WithParams([](auto &m) { return m.reserves; });
}

// The address of a record built in place; it lives to the end of the full expression.
template <class T>
T *Tmp(T &&value) {
    return &value;
}

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { Drain(); }
};

// In-memory host configuration cache, filled and read by the three hooks InstallFakeCache() registers.
using FakeCache = ut_test::FakeConfigCache;
void InstallFakeCache();
std::mutex &FakeCacheLock();
FakeCache &FakeCacheState();
// Runs f(cache) under its lock: the hooks run on library threads.
template <class F>
auto WithCache(F f) {
    std::lock_guard<std::mutex> guard(FakeCacheLock());
    return f(FakeCacheState());
}
bool WaitForAddCalls(size_t count);  // bounded

}  // namespace records_test
