// User events written to the user dot file per second, against two baselines writing a line of
// the same length in the same run: a buffered fopen("ab+")/fwrite/fflush/ftell/fclose loop and a
// raw open(O_APPEND)+write+close loop. The dot file is removed outside the timed region before
// it reaches the packing threshold, so no packing is measured.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"

namespace {
using unified_track::ContextSpecialParam;
using unified_track::UTManager;

// Lines per file before it is removed: well under the 9216-byte packing threshold.
constexpr int kLinesPerFile = 20;

struct BenchEnv {
    std::string root;
    std::string line;  // one user line as the manager writes it, for the baselines
    ContextSpecialParam event;
};

BenchEnv &Env() {
    static BenchEnv *env = [] {
        auto *e = new BenchEnv;
        char tmpl[] = "/tmp/ut_bench_XXXXXX";
        e->root = mkdtemp(tmpl);
        std::string logs = e->root + "/logs";
        std::string data = e->root + "/data";
        std::filesystem::create_directories(logs);
        std::filesystem::create_directories(data);
        if (InitUnifiedTrack(0, 0, 0, logs.c_str(), data.c_str()) != UT_SUCCESS) std::abort();
        tagUTPublicSdkParam sdk = {"3f1c2a9e-7d44-4b7a-9a51-0c6f2e8d1b37",
                                   "alice.example",
                                   "10.1.2.3",
                                   "10.1.2.4",
                                   "corp-000123",
                                   "r2",
                                   "r3",
                                   "r4",
                                   "r5"};
        Track_ConfigPublicSdkParam(&sdk);
        Track_SetTerminalType("PC");
        tagUTConfInfoParam conf = {"conf-2f8e", "pid-77"};
        Track_SetConfInfoParam(&conf);
        tagUTBrioContextPublicParam ctx = {"10.2.3.45",  "DEVICE-1234567890",
                                           "win",        "x64",
                                           "zh-CN",      "wifi",
                                           "corpApp7",   "c8",
                                           "Windows 11", "c10",
                                           "c11",        "lan",
                                           "lan",        "3.4.5",
                                           "s15",        "s16",
                                           "s17"};
        Track_ConfigBrioContextPublicParam(&ctx);
        e->event.eventId = "1001";
        e->event.event = "ut_event_sdk_join_conf_local";
        e->event.arg2 = "step2";
        e->event.arg3 = "120";
        e->event.arg4 = "{\"code\":0,\"reason\":\"ok\",\"server\":\"edge-3\"}";
        e->line = UTManager::GetInstance().BuildUserLine(e->event);
        return e;
    }();
    return *env;
}

void ResetFile(benchmark::State &state, const std::string &path, int &written) {
    if (++written < kLinesPerFile) return;
    state.PauseTiming();
    std::remove(path.c_str());
    written = 0;
    state.ResumeTiming();
}

void BM_DoAddUserTrack(benchmark::State &state) {
    BenchEnv &env = Env();
    UTManager &manager = UTManager::GetInstance();
    const std::string path = manager.Files().DotFile(unified_track::DotKind::kUser);
    int written = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(manager.DoAddUserTrack(env.event));
        ResetFile(state, path, written);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(env.line.size()));
    state.counters["line_bytes"] = static_cast<double>(env.line.size());
}

// The same with info lines filtered out: what the two info lines per event cost.
void BM_DoAddUserTrack_ErrorLogOnly(benchmark::State &state) {
    const int level = unified_track::GetLogLevel();
    unified_track::SetLogLevel(LOG_ERROR);
    BM_DoAddUserTrack(state);
    unified_track::SetLogLevel(level);
}

void BM_StdioAppend(benchmark::State &state) {
    BenchEnv &env = Env();
    const std::string path = env.root + "/stdio.dat";
    int written = 0;
    for (auto _ : state) {
        FILE *f = std::fopen(path.c_str(), "ab+");
        std::fwrite(env.line.data(), 1, env.line.size(), f);
        std::fflush(f);
        benchmark::DoNotOptimize(std::ftell(f));
        std::fclose(f);
        ResetFile(state, path, written);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(env.line.size()));
}

void BM_RawAppend(benchmark::State &state) {
    BenchEnv &env = Env();
    const std::string path = env.root + "/raw.dat";
    int written = 0;
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        benchmark::DoNotOptimize(::write(fd, env.line.data(), env.line.size()));
        ::close(fd);
        ResetFile(state, path, written);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(env.line.size()));
}

// The line alone (context, masks, time stamp), without the file.
void BM_BuildUserLine(benchmark::State &state) {
    BenchEnv &env = Env();
    UTManager &manager = UTManager::GetInstance();
    for (auto _ : state) benchmark::DoNotOptimize(manager.BuildUserLine(env.event));
    state.SetItemsProcessed(state.iterations());
}
}  // namespace

// File work: wall-clock time is what a caller waits for.
BENCHMARK(BM_DoAddUserTrack)->UseRealTime();
BENCHMARK(BM_DoAddUserTrack_ErrorLogOnly)->UseRealTime();
BENCHMARK(BM_StdioAppend)->UseRealTime();
BENCHMARK(BM_RawAppend)->UseRealTime();
BENCHMARK(BM_BuildUserLine);

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Env();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(Env().root, ec);
    Track_Uninit();
    return 0;
}
