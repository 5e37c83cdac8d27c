// Texts and limits of the media and MMR records. Every key, event id, placeholder and log text of
// these records comes from here. Log formats are macros so that the compiler checks their
// arguments against the format.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unified_track {
namespace media {

// Event ids the media engine may send without a configured uuid.
constexpr const char *kAcceptedEventIds[] = {"30007", "30001", "30014", "23001", "30009"};
// The call-information event that carries the client header inside its payload array.
constexpr const char kShowInfoEventId[] = "30001";
constexpr uint32_t kShowInfoEventNumber = 30001;

constexpr const char kRecordVersion[] = "6.0";  // first value of the client header
constexpr const char kTrackVersion[] = "v9.0";  // "trackVersion" of the track reserves
constexpr const char kDash[] = "-";
constexpr char kFieldSep = '|';

// Packing thresholds: a file longer than this after an append is packed.
constexpr int32_t kMediaPackBytes = 9216;
constexpr int32_t kMmrPackBytes = 92160;
// Media records held back before the context is known: appended while the cache holds this many
// or fewer, so at most kMediaCacheLimit + 1.
constexpr size_t kMediaCacheLimit = 512;

// Configuration-store item whose text replaces context field 7 in the client header.
constexpr uint32_t kCorpAppIdCfgItem = 57;
constexpr uint32_t kCorpAppIdCfgSize = 640;

constexpr size_t kTrackReservesSize = 512;
#define UT_MEDIA_TRACK_RESERVES_FMT                                                          \
    "{\"deviceId\":\"%s\",\"mNumber\":%u,\"participantId\":\"%s\",\"tNumber\":%u,"           \
    "\"terminalIp\":\"%s\",\"osName\":\"%s\",\"trackVersion\":\"%s\",\"appVersion\":\"%s\"," \
    "\"terminalType\":\"%s\"}"
// FilterWord rule for the terminal IP inside the track reserves.
constexpr int kTerminalIpFilterRule = 3;

// MMR placeholders.
constexpr const char kMmrVersionPlaceholder[] = "ut-version-tmp";
constexpr const char kMmrCountSumPlaceholder[] = "msgCountDotSumValue";
constexpr const char kMmrCountListPlaceholder[] = "msgCountDotValue";
constexpr const char kMmrRecordEnd[] = ",";
// The escaped form of a JSON key inside a JSON string: \"userName\":\" and its closing \".
constexpr const char kMmrUserNameKey[] = "\\\"userName\\\":\\\"";
constexpr const char kMmrEscapedQuote[] = "\\\"";

// Message counters: index that clears them all.
constexpr uint32_t kMsgCounterClearAll = 0xFFFFFFFFu;

// Command names of the pushed media operations.
constexpr const char kCmdAddMediaTrack[] = "_Track_AddMediaTrack";
constexpr const char kCmdAddMMRTrack[] = "_Track_AddMMRTrack";

// MediaTrack family.
constexpr const char kDefaultConfServeType[] = "MCU";
constexpr size_t kDecoderNameSize = 32;
constexpr size_t kCpuMemTextSize = 256;
constexpr size_t kSysInfoSize = 64;
constexpr size_t kEventNumberSize = 20;
constexpr size_t kShowInfoNumberSize = 65;
constexpr const char kShowInfoFirst[] = "-";
constexpr const char kShowInfoKind[] = "10";
constexpr const char kShowInfoCallStart[] = "Call Start";
constexpr const char kShowInfoLast[] = "0";
constexpr const char kLogNameMediaAddData[] = "MediaAddData";
// Source name the MediaTrack family logs under, wherever its helpers live.
constexpr const char kMediaDotDataFile[] = "MediaDotData";
constexpr const char kLogNameStrAppendInt[] = "StrAppaendInt";

}  // namespace media
}  // namespace unified_track

// Log texts.
#define UT_MEDIA_LOG_ERR_PARAM "err param, eventId: %s, uuid: %s, participantId: %s, m: %d, t: %d"
#define UT_MEDIA_LOG_ZIP "file size = %d byte, uploadNow=%d, zip!"
#define UT_MEDIA_LOG_CACHE_FLUSH "add cache media data: %s"
#define UT_MMR_LOG_MAX_LEN "trackData.length() = %lu"
#define UT_MMR_LOG_ZIP "file size = %d byte, isReportImmediately=%d, zip!"
#define UT_MMR_LOG_LEN_ERR "onDotDataReport dataLen error."
#define UT_MMR_LOG_MEM_ERR "onDotDataReport new memory error."
#define UT_MMR_LOG_COPY_ERR "strcpy_s content failed! ret:%d"
#define UT_MEDIA_LOG_DECODER "MediaTrack_SetAudioDecoderNameAndSample %s"
#define UT_MEDIA_LOG_CONF_ID_NULL "conf id is null"
#define UT_MEDIA_LOG_CONF_ID "set confId %s"
#define UT_MEDIA_LOG_CONF_TYPE_NULL "confType is null"
#define UT_MEDIA_LOG_CONF_TYPE "set conf server type %s"
