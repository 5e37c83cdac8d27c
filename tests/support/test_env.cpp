#include "support/test_env.h"

#include <zlib.h>

#include <chrono>
#include <thread>

#include "manager/UTThreadMgr.h"

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

std::string GunzipFile(const std::string &path) {
    // gzread, not an in-memory inflate: it reads every member of a file made by appending.
    gzFile gz = gzopen(path.c_str(), "rb");
    if (gz == nullptr) return std::string();
    std::string out;
    char buffer[8192];
    for (int n = 0; (n = gzread(gz, buffer, sizeof(buffer))) > 0;) out.append(buffer, static_cast<size_t>(n));
    gzclose(gz);
    return out;
}

}  // namespace ut_test
