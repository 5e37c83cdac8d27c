// A normal process exit while the command thread is still writing a report: nothing the thread
// uses may be destroyed before the thread has ended. Each round runs in a child process that
// holds the command thread inside a host hook until the exit has begun, then lets it go on to
// build and queue a report while the library's statics are being destroyed.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unified_track/unified_track.h>

namespace {

constexpr int32_t kNotFound = 415000002;

std::atomic<bool> g_block{false};
std::atomic<bool> g_inHook{false};
std::atomic<bool> g_released{false};

bool WaitFor(const std::atomic<bool> &flag) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag.load()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Called on the command thread while it builds a user line (no uuid yet).
int32_t HoldingQuery(const char *, LumConfigCache *, int32_t *) {
    if (g_block.load()) {
        g_inHook.store(true);
        WaitFor(g_released);
    }
    return kNotFound;
}

void Release() {
    g_released.store(true);
}

void AddEvent(const char *name, const std::string &arg4) {
    tagUTContextSpecialParam event = {"2", name, nullptr, nullptr, arg4.c_str(), 0, 0};
    Track_AddUserTrack(&event);
}

int Child(const std::string &root) {
    std::filesystem::create_directories(root + "/data");
    if (InitUnifiedTrack(2, 0, 0, (root + "/log").c_str(), (root + "/data").c_str()) != UT_SUCCESS) return 3;
    // Registered after the library's singletons and before anything the reports make on first
    // use, so it runs in the middle of the library's teardown.
    std::atexit(&Release);
    tagUTBrioContextPublicParam context = {};
    context.context15 = "";
    if (Track_ConfigBrioContextPublicParam(&context) != UT_SUCCESS) return 3;
    // Every pack fails from now on, and each failure is reported from the command thread.
    const std::string zipFolder = root + "/data/dotdata/user";
    std::filesystem::remove_all(zipFolder);
    std::ofstream(zipFolder) << "not a folder";
    const std::string pad(4000, 'p');
    for (int i = 0; i < 3; ++i) AddEvent("fill", pad);
    Track_SetTerminalType("PC");  // waits for the commands queued before it

    setAddCacheFun(nullptr, &HoldingQuery, nullptr);
    g_block.store(true);
    AddEvent("at_exit", pad);
    if (!WaitFor(g_inHook)) return 3;
    return 0;  // exit with the command thread held in the hook
}

}  // namespace

int main() {
    int failures = 0;
    for (int round = 0; round < 3; ++round) {
        char base[] = "/tmp/ut_abi_exit_XXXXXX";
        if (mkdtemp(base) == nullptr) return 2;
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid < 0) return 2;
        if (pid == 0) std::exit(Child(base));  // a normal exit: static destructors run
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return 2;
        std::filesystem::remove_all(base);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "round %d: child %s %d\n", round, WIFSIGNALED(status) ? "killed by signal" : "exited",
                         WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
