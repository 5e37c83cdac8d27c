#include "support/test_env.h"

#include <chrono>
#include <thread>

#include "manager/UTThreadMgr.h"
#include "support/https_collector.h"
#include "support/temp_dir.h"

namespace ut_test {

bool WaitUntil(const std::function<bool()> &cond, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

void DrainCommands(const char *name) {
    unified_track::UTThreadMgr::GetInstance().PushCmd(
        std::function<OST_UT_RESULT()>([] { return OST_UT_RESULT(UT_SUCCESS); }), name);
}

std::string GunzipFile(const std::string &path) { return GunzipBytes(ReadFile(path)); }

}  // namespace ut_test
