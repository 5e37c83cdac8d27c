// Hot paths of the host layer: the dot-file append and a log line with and without a file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/log.h"
#include "host/pal.h"

namespace {

std::string ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ut_bench_XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    return tmpl;
}

void BM_AppendFile(benchmark::State &state) {
    std::string dir = ScratchDir();
    std::string path = dir + "/user_dot_data.dat";
    std::string line(static_cast<size_t>(state.range(0)), 'x');
    line.back() = '\n';
    for (auto _ : state) {
        int64_t size = PAL_AppendFile(path.c_str(), line.data(), line.size());
        if (size > 9216) PAL_Remove(path.c_str());  // like a pack: keep the file small
        benchmark::DoNotOptimize(size);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AppendFile)->Arg(300)->Arg(2000);

void BM_LogNobodyListens(benchmark::State &state) {
    for (auto _ : state) UT_LOGD("value %d of %s", 42, "text");
}
BENCHMARK(BM_LogNobodyListens);

void BM_LogToFile(benchmark::State &state) {
    std::string dir = ScratchDir();
    InitLog("bench", (dir + "/bench.txt").c_str(), 512, 2, LOG_DEBUG);
    for (auto _ : state) {
        DoLog("bench", LOG_INFO, 0, "int32_t unified_track::UTManager::Init(const char*)", __FILE__, __LINE__,
              "value %d of %s", 42, "text");
    }
    UnInitLog("bench");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LogToFile);

}  // namespace

BENCHMARK_MAIN();
