// Dot-file bytes as packing writes them into the envelope: whatever the input, the text handed
// to the JSON writer is well-formed UTF-8, keeps every ASCII byte (separators, newlines) in
// order, and survives the writer and a reader unchanged.
#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "transport/track_file.h"

namespace {
std::string Ascii(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (static_cast<unsigned char>(c) < 0x80) out += c;
    }
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *text = reinterpret_cast<const char *>(data);
    const std::string out = unified_track::ReplaceInvalidUtf8(text, size);
    if (unified_track::ReplaceInvalidUtf8(out.data(), out.size()) != out) std::abort();
    if (Ascii(std::string(text, size)) != Ascii(out)) std::abort();

    Json::Value root(Json::objectValue);
    root["data"] = Json::Value(out.data(), out.data() + out.size());
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    const std::string json = Json::writeString(writer, root);
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value back;
    std::string errors;
    if (!reader->parse(json.data(), json.data() + json.size(), &back, &errors)) std::abort();
    if (back["data"].asString() != out) std::abort();
    return 0;
}
