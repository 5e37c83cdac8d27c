// JSON parsing and member access that never throws: the configuration files come from disk and
// their shape is not trusted (jsoncpp throws on member access to a non-object).
#include <cstring>

#include "config/OstConfigFileOperation.h"
#include "host/pal.h"

namespace unified_track {
namespace config {

void ConfigTextFree::operator()(char *text) const {
    void *block = text;
    PAL_MemFreeSetNullD(&block);
}

bool ParseConfigJson(const char *text, Json::Value *root) {
    if (text == nullptr || root == nullptr) return false;
    try {
        Json::CharReaderBuilder builder;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;  // collected, not used
        return reader->parse(text, text + std::strlen(text), root, &errors);
    } catch (...) {
        // Nesting past the reader's stack limit ends in an exception.
        return false;
    }
}

const Json::Value *JsonMember(const Json::Value &value, const char *key) {
    if (key == nullptr || !value.isObject()) return nullptr;
    return value.find(key, key + std::strlen(key));
}

const Json::Value *JsonMember(const Json::Value &value, const std::string &key) {
    if (!value.isObject()) return nullptr;
    return value.find(key.data(), key.data() + key.size());
}

bool JsonString(const Json::Value &value, const char *key, std::string *out) {
    const Json::Value *member = JsonMember(value, key);
    if (member == nullptr || !member->isString()) return false;
    *out = member->asString();
    return true;
}

std::string MaskAddrs(const std::string &text) {
    return LogStream::FilterWord(text, LOG_FILTER_IP);
}

}  // namespace config
}  // namespace unified_track
