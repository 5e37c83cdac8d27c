// API-log cost per line, for texts of about 1 KB:
// - RawAppend: open, write, close of the same bytes (what a hand-written log would cost);
// - ExportPlainLine: the whole export with a text that holds no key (gate, line, file);
// - ExportConferenceControlMessage: the whole export with a conference-control JSON message
//   (the heaviest key set: names, ids, passwords, tokens, an extended field);
// - MaskPlainLine / MaskConferenceControlMessage: the masking step alone.
// Lines go to a real file in a temporary folder (rotated without archives, so no compression
// time is counted).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "host/pal.h"
#include "log/TrackApiLog.h"

namespace {

constexpr size_t kLineBytes = 1024;

std::string CmsMessage() {
    std::string text = R"({"cmd":"ConfInfoNotify","confToken":"eyJhbGciOiJIUzI1NiJ9.abcdefghijklmnopqrstuvwxyz",)"
                       R"("confPwd":"123456","participantID":"0f6a5e0c9d8b7a6f5e4d3c2b1a0f9e8d","attendees":[)";
    for (int i = 0; text.size() < kLineBytes - 120; ++i) {
        text += R"({"name":"Participant Name )" + std::to_string(i) +
                R"(","phone":"+86123456789","email":"someone@example.com","id":)" + std::to_string(1000 + i) +
                R"(,"role":"attendee"},)";
    }
    text += R"({"extendedField":"{\"k\":\"v\"}"}]})";
    return text;
}

std::string PlainLine() {
    std::string text = "media stream ready: ";
    while (text.size() < kLineBytes) text += "ssrc 1234 codec opus bitrate 48000 jitter 3 loss 0; ";
    text.resize(kLineBytes);
    return text;
}

struct ApiLogFile {
    std::string folder;
    std::string path;
    ApiLogFile() {
        char pattern[] = "/tmp/ut_bench_apilog_XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        folder = pattern;
        path = folder + "/sdk_api_info.txt";
        InitLog("sdk_api_info", path.c_str(), 64 * 1024, 0, LOG_INFO);
    }
    ~ApiLogFile() {
        UnInitLog("sdk_api_info");
        PAL_Remove(path.c_str());
        PAL_Remove((folder + "/raw.txt").c_str());
        PAL_Remove(folder.c_str());
    }
};

ApiLogFile &File() {
    static ApiLogFile file;
    return file;
}

void BM_RawAppend(benchmark::State &state) {
    const std::string line = PlainLine() + "\n";
    const std::string raw = File().folder + "/raw.txt";
    for (auto _ : state) {
        int fd = ::open(raw.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
        ::close(fd);
    }
    PAL_Remove(raw.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_RawAppend);

void BM_ExportPlainLine(benchmark::State &state) {
    File();
    const std::string line = PlainLine();
    for (auto _ : state) Track_AddTraceApiLogStr(3, 2, line.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_ExportPlainLine);

void BM_ExportConferenceControlMessage(benchmark::State &state) {
    File();
    const std::string message = CmsMessage();
    for (auto _ : state) Track_AddTraceApiLogStr(1, 2, message.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_ExportConferenceControlMessage);

void BM_MaskPlainLine(benchmark::State &state) {
    const std::string line = PlainLine();
    for (auto _ : state) {
        std::string text = line;
        TrackApiLog::Mask(text, 3, 2);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_MaskPlainLine);

void BM_MaskConferenceControlMessage(benchmark::State &state) {
    const std::string message = CmsMessage();
    for (auto _ : state) {
        std::string text = message;
        TrackApiLog::Mask(text, 1, 2);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_MaskConferenceControlMessage);

}  // namespace

BENCHMARK_MAIN();
