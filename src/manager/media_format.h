// Text builders of the media and MMR records. Pure functions over snapshots of the manager's
// parameters, so that the exact line formats can be checked without a running manager.
#pragma once

#include <cstdint>
#include <string>

#include "manager/UTData.h"

namespace unified_track {
namespace media {

// An empty text is written as "-".
std::string Dash(const std::string &text);
// Event ids that are written even before a uuid is configured (exact, case-sensitive).
bool IsAcceptedEventId(const std::string &eventId);

// The parameters one media line carries, copied under the parameter lock.
struct MediaLineParams {
    std::string uuid;
    std::string account;  // unmasked; the line masks it
    std::string reserve1;
    std::string cloudusgIp;
    std::string sbcIp;
    std::string context[13];  // context fields 1 to 13
    std::string corpAppId;    // configuration-store text that replaces context field 7 when set
    std::string trackReserves;
};

// The 16 quoted values, each followed by ",", that the call-information event carries first in
// its payload array.
std::string BuildClientHeader(const MediaLineParams &params);
// One "|"-separated media line ending in "\n".
std::string BuildMediaLine(const ContextSpecialParam &record, const std::string &timeText,
                           const MediaLineParams &params);

struct TrackReservesParams {
    std::string deviceId;  // already masked
    uint32_t mNumber = 0;
    std::string participantId;
    uint32_t tNumber = 0;
    std::string terminalIp;  // already filtered
    std::string osName;
    std::string appVersion;
    std::string terminalType;
};
// The track reserves JSON-like text (values inserted without escaping). Empty when it does not
// fit its 512-byte buffer; *formatResult then holds the formatter's result.
std::string FormatTrackReserves(const TrackReservesParams &params, int *formatResult);

// Replaces every occurrence from the front; the search resumes behind each inserted text.
// Returns the number of replacements.
size_t ReplaceAll(std::string &text, const std::string &from, const std::string &to);

// MMR placeholders. The counter text forms use a snapshot of the eleven counters.
constexpr uint32_t kCounterCount = 11;
std::string CounterSumText(const uint32_t (&counters)[kCounterCount]);
std::string CounterListText(const uint32_t (&counters)[kCounterCount]);
// True when the text holds both count placeholders (such a record resets the counters).
bool UsesBothCountPlaceholders(const std::string &text);
// Masks every non-empty value behind the escaped "userName" key with the all-but-first mask.
void MaskEscapedUserNames(std::string &text);

// The "Call Start" show-information array.
struct ShowInfo {
    std::string decoderName;
    uint32_t numbers[3] = {0, 0, 0};
    std::string cpuMemText;
    uint32_t sampleRate = 0;
};
std::string BuildShowInfoArray(const ShowInfo &info);

}  // namespace media
}  // namespace unified_track
