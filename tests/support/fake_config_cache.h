// An in-memory host configuration cache behind the three hooks of setAddCacheFun.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ut_test {

struct FakeConfigCache {
    std::map<std::string, std::string> values;
    std::vector<std::vector<std::pair<std::string, std::string>>> addCalls;  // every add call, in order
    std::vector<std::string> deleted;
    int32_t addResult = 0, queryResult = 0, delResult = 0;  // returned instead of doing the work when non-zero
};

// Registers the hooks (a missing key answers 415000002, "not found").
void InstallFakeConfigCache();
// The hooks run on library threads: read and change the state under this lock.
std::mutex &FakeConfigCacheLock();
FakeConfigCache &FakeConfigCacheState();

}  // namespace ut_test
