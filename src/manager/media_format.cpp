// Text builders of the media and MMR records.
#include "manager/media_format.h"

#include <cinttypes>
#include <cstdio>

#include "host/log.h"
#include "host/securec.h"
#include "manager/masks.h"
#include "manager/media_constants.h"

namespace unified_track {
namespace media {

std::string Dash(const std::string &text) {
    return text.empty() ? std::string(kDash) : text;
}

bool IsAcceptedEventId(const std::string &eventId) {
    for (const char *id : kAcceptedEventIds) {
        if (eventId == id) return true;
    }
    return false;
}

std::string BuildClientHeader(const MediaLineParams &params) {
    std::string header;
    auto add = [&header](const std::string &value) {
        header += '"';
        header += Dash(value);
        header += "\",";
    };
    add(kRecordVersion);
    for (int i = 0; i < 6; ++i) add(params.context[i]);
    add(params.corpAppId.empty() ? params.context[6] : params.corpAppId);
    for (int i = 7; i < 13; ++i) add(params.context[i]);
    add(params.cloudusgIp);
    add(params.sbcIp);
    return header;
}

std::string BuildMediaLine(const ContextSpecialParam &record, const std::string &timeText,
                           const MediaLineParams &params) {
    std::string line;
    line.reserve(256 + params.trackReserves.size() + record.arg4.size());
    auto field = [&line](const std::string &value) {
        if (!line.empty()) line += kFieldSep;
        line += Dash(value);
    };
    field(record.eventId);
    field(timeText);
    field(params.uuid);
    field(AllButFirstMask(Dash(params.account)));
    field(params.reserve1);
    field(kDash);
    field(params.trackReserves);

    if (record.eventId == kShowInfoEventId) {
        std::string payload = record.arg4;
        size_t bracket = payload.find('[');
        if (bracket != std::string::npos) payload.insert(bracket + 1, BuildClientHeader(params));
        line += kFieldSep;
        line += payload;
    } else if (!record.arg4.empty()) {
        line += kFieldSep;
        line += record.arg4;
    }
    if (line.back() != '\n') line += '\n';
    return line;
}

std::string FormatTrackReserves(const TrackReservesParams &p, int *formatResult) {
    char buffer[kTrackReservesSize] = {0};
    int ret = sprintf_s(buffer, sizeof(buffer), UT_MEDIA_TRACK_RESERVES_FMT, p.deviceId.c_str(), p.mNumber,
                        p.participantId.c_str(), p.tNumber, p.terminalIp.c_str(), p.osName.c_str(), kTrackVersion,
                        p.appVersion.c_str(), p.terminalType.c_str());
    if (formatResult != nullptr) *formatResult = ret;
    if (ret < 1) return std::string();
    return std::string(buffer);
}

size_t ReplaceAll(std::string &text, const std::string &from, const std::string &to) {
    if (from.empty()) return 0;
    size_t count = 0;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
        ++count;
    }
    return count;
}

std::string CounterSumText(const uint32_t (&counters)[kCounterCount]) {
    // Added as unsigned (wrapping, well defined) and read back as signed 32-bit.
    uint32_t sum = 0;
    for (uint32_t value : counters) sum += value;
    return std::to_string(static_cast<int32_t>(sum));
}

std::string CounterListText(const uint32_t (&counters)[kCounterCount]) {
    std::string text;
    for (uint32_t i = 0; i < kCounterCount; ++i) {
        if (i != 0) text += ',';
        text += std::to_string(counters[i]);
    }
    return text;
}

bool UsesBothCountPlaceholders(const std::string &text) {
    return text.find(kMmrCountSumPlaceholder) != std::string::npos &&
           text.find(kMmrCountListPlaceholder) != std::string::npos;
}

void MaskEscapedUserNames(std::string &text) {
    const std::string key(kMmrUserNameKey);
    const std::string quote(kMmrEscapedQuote);
    size_t pos = 0;
    while ((pos = text.find(key, pos)) != std::string::npos) {
        size_t valueStart = pos + key.size();
        size_t valueEnd = text.find(quote, valueStart);
        if (valueEnd == std::string::npos) return;  // unterminated: left as it is
        if (valueEnd > valueStart) {
            std::string masked = AllButFirstMask(text.substr(valueStart, valueEnd - valueStart));
            text.replace(valueStart, valueEnd - valueStart, masked);
        }
        pos = valueStart;
    }
}

namespace {
// Appends ,"<number>" ; on a formatting failure nothing is appended.
void StrAppaendInt(std::string &text, uint64_t number) {
    char buffer[kShowInfoNumberSize] = {0};
    int ret = sprintf_s(buffer, sizeof(buffer), ",\"%" PRIu64 "\"", number);
    if (ret < 0) {
        DoLog("native_sdk", LOG_ERROR, 0, kLogNameStrAppendInt, kMediaDotDataFile, __LINE__, UT_SECURE_ERR_U,
              static_cast<unsigned>(ret));
        return;
    }
    text += buffer;
}

void AppendQuoted(std::string &text, const std::string &value, bool first) {
    if (!first) text += ',';
    text += '"';
    text += value;
    text += '"';
}
}  // namespace

std::string BuildShowInfoArray(const ShowInfo &info) {
    std::string text = "[";
    AppendQuoted(text, kShowInfoFirst, true);
    AppendQuoted(text, Dash(info.decoderName), false);
    AppendQuoted(text, kShowInfoKind, false);
    AppendQuoted(text, kShowInfoCallStart, false);
    for (uint32_t number : info.numbers) StrAppaendInt(text, number);
    AppendQuoted(text, Dash(info.cpuMemText), false);
    StrAppaendInt(text, info.sampleRate);
    AppendQuoted(text, kShowInfoLast, false);
    text += ']';
    return text;
}

}  // namespace media
}  // namespace unified_track
