// Media records per second through the manager (line building, append, packing at 9216 bytes)
// against the plain cost of opening, appending and closing a file with the same line.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unified_track/unified_track.h>

#include "manager/UTManager.h"
#include "manager/media_format.h"

namespace {

const std::string &Folder() {
    static const std::string folder = [] {
        char tmpl[] = "/tmp/ut_bench_media_XXXXXX";
        const char *made = mkdtemp(tmpl);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return folder;
}

// The library started once for the whole program, with every parameter of a real call set.
bool StartLibrary() {
    static const bool started = [] {
        const std::string logs = Folder() + "/logs";
        const std::string data = Folder() + "/data";
        std::filesystem::create_directories(logs);
        std::filesystem::create_directories(data);
        if (InitUnifiedTrack(1, 0, 0, logs.c_str(), data.c_str()) != UT_SUCCESS) return false;
        tagUTPublicSdkParam sdk = {"0f6a5e0c-uuid", "alice@example", "10.0.0.1", "10.0.0.2", "corp",
                                   "agent",         nullptr,         nullptr,    nullptr};
        Track_ConfigPublicSdkParam(&sdk);
        tagUTBrioContextPublicParam ctx = {"6.1.2", "0123456789ABCDEF",
                                           "c3",    "c4",
                                           "c5",    "c6",
                                           "c7",    "c8",
                                           "Linux", "c10",
                                           "c11",   "c12",
                                           "c13",   "c14",
                                           "c15",   "c16",
                                           "c17"};
        Track_ConfigBrioContextPublicParam(&ctx);
        tagUTParticipantInfo participant = {12, 34, "participant-5"};
        Track_SetParticipantInfo(&participant);
        return true;
    }();
    return started;
}

unified_track::ContextSpecialParam Record() {
    unified_track::ContextSpecialParam record;
    record.eventId = "30014";
    record.arg4 = "conf-123|{\"jitter\":12,\"loss\":0.01,\"rtt\":45,\"codec\":\"OPUS\",\"bitrate\":32000}";
    record.time = 1;
    return record;
}

void BM_MediaRecord(benchmark::State &state) {
    if (!StartLibrary()) {
        state.SkipWithError("library did not start");
        return;
    }
    unified_track::UTManager &mgr = unified_track::UTManager::GetInstance();
    const unified_track::ContextSpecialParam record = Record();
    for (auto _ : state) {
        benchmark::DoNotOptimize(mgr.AddMediaTrack(record, false));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MediaRecord);

// Building the line alone (parameters, masks, time text), to tell it from the file work.
void BM_MediaLineOnly(benchmark::State &state) {
    if (!StartLibrary()) {
        state.SkipWithError("library did not start");
        return;
    }
    unified_track::UTManager &mgr = unified_track::UTManager::GetInstance();
    const unified_track::ContextSpecialParam record = Record();
    unified_track::media::MediaLineParams params;
    {
        std::lock_guard<unified_track::RecursiveLock> lock(unified_track::UTManager::ParamLock());
        params.uuid = mgr.Params().Locked().uuid;
        params.account = mgr.Params().Locked().account;
        params.reserve1 = mgr.Params().Locked().reserve1;
    }
    for (auto _ : state) {
        params.trackReserves = mgr.GetTrackReserves();
        benchmark::DoNotOptimize(
            unified_track::media::BuildMediaLine(record, mgr.GetDiffTimeStamp(record.time), params));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MediaLineOnly);

// The same line appended with fopen/fwrite/fclose; the file is removed where the media file
// would be packed, so both work on files of the same sizes.
void BM_FopenFwriteFcloseBaseline(benchmark::State &state) {
    if (!StartLibrary()) {
        state.SkipWithError("library did not start");
        return;
    }
    unified_track::UTManager &mgr = unified_track::UTManager::GetInstance();
    const unified_track::ContextSpecialParam record = Record();
    const std::string line = [&] {
        std::lock_guard<unified_track::RecursiveLock> lock(unified_track::UTManager::ParamLock());
        return record.eventId + "|2024-05-06 07:08:09.010 +0000|0f6a5e0c-uuid|a************|corp|-|" +
               mgr.GetTrackReserves() + "|" + record.arg4 + "\n";
    }();
    const std::string path = Folder() + "/baseline.dat";
    for (auto _ : state) {
        FILE *file = std::fopen(path.c_str(), "ab+");
        if (file == nullptr) {
            state.SkipWithError("open failed");
            break;
        }
        std::fwrite(line.data(), 1, line.size(), file);
        std::fflush(file);
        long size = std::ftell(file);
        std::fclose(file);
        if (size > 9216) std::remove(path.c_str());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FopenFwriteFcloseBaseline);

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Track_Uninit();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
