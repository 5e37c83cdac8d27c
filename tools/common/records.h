// Decoding of what the library writes and sends: user and media lines of a dot file, MMR records,
// and the content of a zip file (the upload body). Shared by ut-dump, ut-collector, the demo and
// the tests. Pure functions over text; nothing here touches a file.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace ut_tools {

enum class Kind { Unknown, User, Media, Mmr };
const char *KindName(Kind kind);  // "user", "media", "mmr", "unknown"

// The 30 fields of a user line, in line order.
constexpr size_t kUserFieldCount = 30;
extern const char *const kUserFieldNames[kUserFieldCount];

struct Record {
    Kind kind = Kind::Unknown;
    // User and media records: named fields in line order (all strings, except a media record's
    // "trackReserves", which is an object when it parses). MMR records: one field "record".
    std::vector<std::pair<std::string, Json::Value>> fields;

    std::string Text(const std::string &name) const;  // a string field, empty when absent
};

struct DecodeError {
    size_t line = 0;  // 1-based line of the input the fault is on; 0 when it concerns the whole input
    std::string message;
};

// One line without its newline.
bool DecodeUserLine(const std::string &line, Record *out, std::string *error);
bool DecodeMediaLine(const std::string &line, Record *out, std::string *error);

// The text of a user or media dot file, or the "data" of an envelope: one record per line.
// With Kind::Unknown each line's kind is taken from its shape. Empty lines are skipped.
bool DecodeLines(const std::string &text, Kind kind, std::vector<Record> *out, DecodeError *error);

// The text of an MMR dot file: JSON records, each followed by ",".
bool DecodeMmrDotText(const std::string &text, std::vector<Record> *out, DecodeError *error);

// The uncompressed content of a zip file, which is also an upload body: {"data":...,"user":...}
// for user and media files (kind is the hint for the lines), a JSON array for MMR files.
bool DecodeEnvelope(const std::string &text, Kind kind, std::vector<Record> *out, DecodeError *error);

// Kind from the upload path ("v1/ops/client/report/product", ...).
Kind KindFromUrlPath(const std::string &path);
// Kind from a dot file's name or a zip file's folder ("user_dot_data.dat", ".../media/1700.gz").
Kind KindFromFilePath(const std::string &path);

// One line of JSON: {"kind":"user", then the fields in order}. Invalid UTF-8 becomes U+FFFD.
std::string ToJsonLine(const Record &record);
// A JSON string literal of text (quoted, escaped, invalid UTF-8 replaced).
std::string JsonQuote(const std::string &text);

}  // namespace ut_tools
