// The configuration-cache writer calls the host's add hook on a thread of the library. Unloading
// the library while the hook still runs must wait for the hook to return: the thread would
// otherwise come back into unmapped code.
#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <unified_track/unified_track.h>

namespace {

using InitFn = OST_UT_RESULT (*)(uint32_t, uint32_t, uint32_t, const char *, const char *);
using ConfigFn = OST_UT_RESULT (*)(const tagUTPublicSdkParam *);
using SetHooksFn = OST_UT_RESULT (*)(AddConfigCacheFunc, QueryConfigCacheFunc, DelConfigCacheFunc);
// setAddCacheFun has C++ linkage.
constexpr char kSetHooksName[] = "_Z14setAddCacheFunPFiP14LumConfigCacheiEPFiPKcS0_PiEPFiS4_E";

std::atomic<int> g_entered{0};
std::atomic<int> g_returned{0};

// A slow host cache (a database on a busy disk).
int32_t SlowAdd(LumConfigCache *, int32_t) {
    g_entered.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    g_returned.fetch_add(1);
    return 0;
}

bool WaitFor(const std::atomic<int> &flag, int value) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (flag.load() < value) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

int main() {
    char base[] = "/tmp/ut_abi_cache_XXXXXX";
    if (mkdtemp(base) == nullptr) return 2;
    const std::string root = base;
    int failures = 0;
    for (int round = 0; round < 2; ++round) {
        void *lib = dlopen(UT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (lib == nullptr) {
            std::fprintf(stderr, "dlopen failed: %s\n", dlerror());
            return 1;
        }
        auto init = reinterpret_cast<InitFn>(dlsym(lib, "InitUnifiedTrack"));
        auto config = reinterpret_cast<ConfigFn>(dlsym(lib, "Track_ConfigPublicSdkParam"));
        auto setHooks = reinterpret_cast<SetHooksFn>(dlsym(lib, kSetHooksName));
        auto uninit = reinterpret_cast<OST_UT_RESULT (*)()>(dlsym(lib, "Track_Uninit"));
        if (init == nullptr || config == nullptr || setHooks == nullptr || uninit == nullptr) {
            std::fprintf(stderr, "missing export\n");
            return 1;
        }
        if (init(2, 0, 0, (root + "/log").c_str(), (root + "/data").c_str()) != UT_SUCCESS) ++failures;
        setHooks(&SlowAdd, nullptr, nullptr);
        tagUTPublicSdkParam param = {"uuid-1", "acc", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
        if (config(&param) != UT_SUCCESS) ++failures;
        const int before = g_returned.load();
        if (!WaitFor(g_entered, round + 1)) {
            std::fprintf(stderr, "round %d: the add hook was never called\n", round);
            return 1;
        }
        // Every other round stops the library first; unloading alone must be enough too.
        if (round == 1) uninit();
        dlclose(lib);
        if (g_returned.load() == before) {
            std::fprintf(stderr, "round %d: unloaded while the add hook was still running\n", round);
            ++failures;
        }
        // Give a thread left behind the time to come back into the unloaded code.
        WaitFor(g_returned, round + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string cmd = "rm -rf '" + root + "'";
    if (system(cmd.c_str()) != 0) ++failures;
    return failures == 0 ? 0 : 1;
}
