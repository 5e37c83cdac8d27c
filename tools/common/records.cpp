#include "common/records.h"

#include <cctype>
#include <cstdlib>
#include <memory>

namespace ut_tools {

const char *const kUserFieldNames[kUserFieldCount] = {
    "version",  "context1",   "context2", "context3", "context4",  "context5",  "context6",  "uuid",
    "account",  "context7",   "context8", "context9", "context10", "context11", "context12", "context13",
    "time",     "cloudusgIp", "sbcIp",    "reserve1", "context15", "context16", "context17", "reserve5",
    "reserves", "eventId",    "event",    "arg2",     "arg3",      "arg4"};

namespace {

constexpr char kUserVersion[] = "6.0";
// eventId|time|uuid|account|reserve1|-|trackReserves, then an optional payload.
constexpr size_t kMediaFixedFields = 7;
constexpr const char *kMediaFieldNames[kMediaFixedFields] = {"eventId",  "time",     "uuid",         "account",
                                                             "reserve1", "reserved", "trackReserves"};

bool AllDigits(const std::string &s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

Json::CharReaderBuilder StrictBuilder() {
    Json::CharReaderBuilder b;
    Json::CharReaderBuilder::strictMode(&b.settings_);
    b.settings_["allowSpecialFloats"] = false;
    b.settings_["stackLimit"] = 200;  // deep nesting is refused, not recursed into
    return b;
}

// jsoncpp reports "* Line N, Column M\n  message\n"; keep the line apart.
DecodeError JsonError(const std::string &errors, size_t lineOffset) {
    DecodeError e;
    size_t line = 0;
    const size_t at = errors.find("Line ");
    if (at != std::string::npos) line = std::strtoul(errors.c_str() + at + 5, nullptr, 10);
    std::string msg = errors;
    const size_t nl = msg.find('\n');
    if (nl != std::string::npos) msg = msg.substr(nl + 1);
    while (!msg.empty() && (msg.front() == ' ')) msg.erase(0, 1);
    const size_t end = msg.find('\n');
    if (end != std::string::npos) msg.resize(end);
    e.line = line == 0 ? 0 : line + lineOffset;
    e.message = "not valid JSON: " + (msg.empty() ? std::string("syntax error") : msg);
    return e;
}

bool ParseJson(const std::string &text, Json::Value *v, std::string *errors) {
    const Json::CharReaderBuilder b = StrictBuilder();
    std::unique_ptr<Json::CharReader> reader(b.newCharReader());
    return reader->parse(text.data(), text.data() + text.size(), v, errors);
}

Kind KindOfLine(const std::string &line) {
    if (line.compare(0, sizeof kUserVersion, std::string(kUserVersion) + "|") == 0) return Kind::User;
    const size_t bar = line.find('|');
    if (bar != std::string::npos && AllDigits(line.substr(0, bar))) return Kind::Media;
    return Kind::Unknown;
}

void AppendUtf8Escaped(const std::string &s, std::string *out) {
    static const char kHex[] = "0123456789abcdef";
    const auto *p = reinterpret_cast<const unsigned char *>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            switch (c) {
                case '"':
                    *out += "\\\"";
                    break;
                case '\\':
                    *out += "\\\\";
                    break;
                case '\n':
                    *out += "\\n";
                    break;
                case '\r':
                    *out += "\\r";
                    break;
                case '\t':
                    *out += "\\t";
                    break;
                default:
                    if (c < 0x20 || c == 0x7f) {
                        *out += "\\u00";
                        *out += kHex[c >> 4];
                        *out += kHex[c & 15];
                    } else {
                        *out += static_cast<char>(c);
                    }
            }
            ++i;
            continue;
        }
        // A well-formed sequence passes; anything else is one U+FFFD per byte.
        size_t len = 0;
        unsigned cp = 0;
        if (c >= 0xc2 && c <= 0xdf)
            len = 2, cp = c & 0x1f;
        else if (c >= 0xe0 && c <= 0xef)
            len = 3, cp = c & 0x0f;
        else if (c >= 0xf0 && c <= 0xf4)
            len = 4, cp = c & 0x07;
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            ok = (p[i + k] & 0xc0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3f);
        }
        if (ok)
            ok = !(len == 3 && (cp < 0x800 || (cp >= 0xd800 && cp <= 0xdfff))) &&
                 !(len == 4 && (cp < 0x10000 || cp > 0x10ffff));
        if (ok) {
            out->append(s, i, len);
            i += len;
        } else {
            *out += "\\ufffd";
            ++i;
        }
    }
}

std::string CompactJson(const Json::Value &v) {
    Json::StreamWriterBuilder w;
    w["indentation"] = "";
    w["emitUTF8"] = true;
    return Json::writeString(w, v);
}

}  // namespace

const char *KindName(Kind kind) {
    switch (kind) {
        case Kind::User:
            return "user";
        case Kind::Media:
            return "media";
        case Kind::Mmr:
            return "mmr";
        default:
            return "unknown";
    }
}

std::string Record::Text(const std::string &name) const {
    for (const auto &f : fields)
        if (f.first == name && f.second.isString()) return f.second.asString();
    return {};
}

bool DecodeUserLine(const std::string &line, Record *out, std::string *error) {
    Record r;
    r.kind = Kind::User;
    size_t start = 0;
    // Nothing in a line is escaped: the last field (arg4, often JSON) takes whatever "|" is left.
    for (size_t i = 0; i + 1 < kUserFieldCount; ++i) {
        const size_t bar = line.find('|', start);
        if (bar == std::string::npos) {
            *error = "user record with " + std::to_string(i + 1) + " fields, " + std::to_string(kUserFieldCount) +
                     " expected";
            return false;
        }
        r.fields.emplace_back(kUserFieldNames[i], line.substr(start, bar - start));
        start = bar + 1;
    }
    r.fields.emplace_back(kUserFieldNames[kUserFieldCount - 1], line.substr(start));
    if (r.fields[0].second.asString() != kUserVersion) {
        *error = "user record of version \"" + r.fields[0].second.asString() + "\", " + kUserVersion + " expected";
        return false;
    }
    *out = std::move(r);
    return true;
}

bool DecodeMediaLine(const std::string &line, Record *out, std::string *error) {
    Record r;
    r.kind = Kind::Media;
    size_t start = 0;
    for (size_t i = 0; i + 1 < kMediaFixedFields; ++i) {
        const size_t bar = line.find('|', start);
        if (bar == std::string::npos) {
            *error = "media record with " + std::to_string(i + 1) + " fields, at least " +
                     std::to_string(kMediaFixedFields) + " expected";
            return false;
        }
        r.fields.emplace_back(kMediaFieldNames[i], line.substr(start, bar - start));
        start = bar + 1;
    }
    if (!AllDigits(r.Text("eventId"))) {
        *error = "media record whose event id \"" + r.Text("eventId") + "\" is not a number";
        return false;
    }
    // The reserves object is written unescaped; it ends at the first "}" that a "|" follows.
    const std::string rest = line.substr(start);
    std::string reserves = rest, payload;
    bool hasPayload = false;
    const size_t end = rest.find("}|");
    if (end != std::string::npos) {
        reserves = rest.substr(0, end + 1);
        payload = rest.substr(end + 2);
        hasPayload = true;
    } else if (rest.empty() || rest.front() != '{') {
        const size_t bar = rest.find('|');
        if (bar != std::string::npos) {
            reserves = rest.substr(0, bar);
            payload = rest.substr(bar + 1);
            hasPayload = true;
        }
    }
    Json::Value parsed;
    std::string ignored;
    if (!reserves.empty() && reserves.front() == '{' && ParseJson(reserves, &parsed, &ignored) && parsed.isObject())
        r.fields.emplace_back(kMediaFieldNames[kMediaFixedFields - 1], parsed);
    else
        r.fields.emplace_back(kMediaFieldNames[kMediaFixedFields - 1], reserves);
    if (hasPayload) r.fields.emplace_back("payload", payload);
    *out = std::move(r);
    return true;
}

bool DecodeLines(const std::string &text, Kind kind, std::vector<Record> *out, DecodeError *error) {
    size_t start = 0, lineNo = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        ++lineNo;
        const std::string line = text.substr(start, nl - start);
        start = nl + 1;
        if (line.empty()) continue;
        const Kind k = kind == Kind::Unknown ? KindOfLine(line) : kind;
        Record r;
        std::string why;
        bool ok = false;
        if (k == Kind::User)
            ok = DecodeUserLine(line, &r, &why);
        else if (k == Kind::Media)
            ok = DecodeMediaLine(line, &r, &why);
        else
            why = "neither a user nor a media record";
        if (!ok) {
            error->line = lineNo;
            error->message = why;
            return false;
        }
        out->push_back(std::move(r));
    }
    return true;
}

namespace {

bool ArrayRecords(const Json::Value &array, std::vector<Record> *out) {
    for (const Json::Value &element : array) {
        Record r;
        r.kind = Kind::Mmr;
        r.fields.emplace_back("record", element);
        out->push_back(std::move(r));
    }
    return true;
}

}  // namespace

bool DecodeMmrDotText(const std::string &text, std::vector<Record> *out, DecodeError *error) {
    std::string body = text;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
    if (!body.empty() && body.back() == ',') body.pop_back();
    if (body.empty()) return true;
    Json::Value v;
    std::string errors;
    if (!ParseJson("[" + body + "]", &v, &errors)) {
        *error = JsonError(errors, 0);
        return false;
    }
    return ArrayRecords(v, out);
}

bool DecodeEnvelope(const std::string &text, Kind kind, std::vector<Record> *out, DecodeError *error) {
    Json::Value v;
    std::string errors;
    if (!ParseJson(text, &v, &errors)) {
        *error = JsonError(errors, 0);
        return false;
    }
    if (v.isArray()) return ArrayRecords(v, out);
    if (!v.isObject() || !v["data"].isString() || !v["user"].isString()) {
        error->line = 0;
        error->message = "not an upload envelope: neither {\"data\":...,\"user\":...} nor an array";
        return false;
    }
    if (kind == Kind::Mmr) kind = Kind::Unknown;
    DecodeError inner;
    if (!DecodeLines(v["data"].asString(), kind, out, &inner)) {
        error->message = "record line " + std::to_string(inner.line) + " of \"data\": " + inner.message;
        error->line = 0;  // a line of the embedded text, not of the file
        return false;
    }
    return true;
}

Kind KindFromUrlPath(const std::string &path) {
    if (path.find("report/product") != std::string::npos) return Kind::User;
    if (path.find("report/av") != std::string::npos) return Kind::Media;
    if (path.find("mmr/report") != std::string::npos) return Kind::Mmr;
    return Kind::Unknown;
}

Kind KindFromFilePath(const std::string &path) {
    const size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name == "user_dot_data.dat") return Kind::User;
    if (name == "media_dot_data.dat") return Kind::Media;
    if (name == "mmr_dot_data.dat") return Kind::Mmr;
    if (slash == std::string::npos || slash == 0) return Kind::Unknown;
    const std::string dir = path.substr(0, slash);
    const size_t up = dir.find_last_of("/\\");
    const std::string folder = up == std::string::npos ? dir : dir.substr(up + 1);
    if (folder == "user") return Kind::User;
    if (folder == "media") return Kind::Media;
    if (folder == "mmr") return Kind::Mmr;
    return Kind::Unknown;
}

std::string JsonQuote(const std::string &text) {
    std::string out = "\"";
    AppendUtf8Escaped(text, &out);
    out += '"';
    return out;
}

std::string ToJsonLine(const Record &record) {
    std::string out = "{\"kind\":";
    out += JsonQuote(KindName(record.kind));
    for (const auto &f : record.fields) {
        out += ',';
        out += JsonQuote(f.first);
        out += ':';
        out += f.second.isString() ? JsonQuote(f.second.asString()) : CompactJson(f.second);
    }
    out += '}';
    return out;
}

}  // namespace ut_tools
