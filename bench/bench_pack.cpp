// Packing a dot file into a zip file, against zlib's own gzip of the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "transport/track_file.h"

namespace {

std::string MakeDotData(size_t size) {
    // Record-like lines: a fixed context with varying event names and numbers.
    std::string data;
    unsigned n = 0;
    while (data.size() < size) {
        data +=
            "30001|2024-05-01 10:00:00.123 +0800|uuid-0123456789|a*******|corp|-|{\"terminalType\":\"pc\"}|"
            "ut_event_sdk_join_conf_local|" +
            std::to_string(n * 7919u % 100000u) + "|arg3|arg4|" + std::to_string(n) + "\n";
        ++n;
    }
    data.resize(size);
    data.back() = '\n';
    return data;
}

struct Files {
    std::string dir;
    std::string dot;
    std::string zip;
    explicit Files(size_t size) {
        char tmpl[] = "/tmp/ut_bench_pack_XXXXXX";
        dir = mkdtemp(tmpl);
        dot = dir + "/user_dot_data.dat";
        zip = dir + "/1.gz";
        const std::string data = MakeDotData(size);
        FILE *f = std::fopen(dot.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    ~Files() {
        std::remove(dot.c_str());
        std::remove(zip.c_str());
        rmdir(dir.c_str());
    }
};

void BM_PackUserDotFile(benchmark::State &state) {
    Files files(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        int32_t code = 0;
        if (!unified_track::zipFile(files.dot, files.zip, "uuid-0123456789", code)) state.SkipWithError("pack failed");
        std::remove(files.zip.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// zlib alone: read the same file, gzip it to a file with gzopen/gzwrite (default settings).
void BM_ZlibGzipSameBytes(benchmark::State &state) {
    Files files(static_cast<size_t>(state.range(0)));
    std::string buffer(static_cast<size_t>(state.range(0)), '\0');
    for (auto _ : state) {
        FILE *in = std::fopen(files.dot.c_str(), "rb");
        size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        std::fclose(in);
        gzFile gz = gzopen(files.zip.c_str(), "wb");
        gzwrite(gz, buffer.data(), static_cast<unsigned>(n));
        gzclose(gz);
        std::remove(files.zip.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_PackUserDotFile)->Arg(9 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZlibGzipSameBytes)->Arg(9 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
