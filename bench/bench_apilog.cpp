// API-log gate cost per message: masking a conference-control JSON message of about 1.5 KB (the
// heaviest key set), and the whole export with a plain message.
#include <benchmark/benchmark.h>

#include <string>

#include <unified_track/unified_track.h>

#include "log/TrackApiLog.h"

namespace {

std::string CmsMessage() {
    std::string text = R"({"cmd":"ConfInfoNotify","confToken":"eyJhbGciOiJIUzI1NiJ9.abcdefghijklmnopqrstuvwxyz",)"
                       R"("confPwd":"123456","participantID":"0f6a5e0c9d8b7a6f5e4d3c2b1a0f9e8d","attendees":[)";
    for (int i = 0; i < 10; ++i) {
        text += R"({"name":"Participant Name )" + std::to_string(i) +
                R"(","phone":"+86123456789","email":"someone@example.com","id":)" + std::to_string(1000 + i) +
                R"(,"role":"attendee"},)";
    }
    text += R"({"extendedField":"{\"k\":\"v\"}"}]})";
    return text;
}

void BM_MaskConferenceControlMessage(benchmark::State &state) {
    const std::string message = CmsMessage();
    for (auto _ : state) {
        std::string text = message;
        TrackApiLog::Normalise(text, 1, 2);
        TrackApiLog::Mask(text, 1, 2);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(message.size()));
}
BENCHMARK(BM_MaskConferenceControlMessage);

void BM_ExportPlainMessage(benchmark::State &state) {
    for (auto _ : state) {
        Track_AddTraceApiLogStr(3, 2, R"(media stream ready {"ssrc":1234,"codec":"opus","token":"abcdef"})");
    }
}
BENCHMARK(BM_ExportPlainMessage);

}  // namespace

BENCHMARK_MAIN();
