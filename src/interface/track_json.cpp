#include "interface/track_json.h"

#include <memory>
#include <ostream>
#include <streambuf>

#include <json/writer.h>

namespace unified_track {

namespace {

// Appends everything written to it to a SecureString, so no unwiped copy of the text is made.
class SecureStringBuf : public std::streambuf {
public:
    explicit SecureStringBuf(SecureString &out) : out_(out) {}

protected:
    int_type overflow(int_type ch) override {
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            out_.push_back(traits_type::to_char_type(ch));
        }
        return traits_type::not_eof(ch);
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override {
        out_.append(s, static_cast<size_t>(n));
        return n;
    }

private:
    SecureString &out_;
};

Json::StreamWriterBuilder MakeBuilder() {
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return b;
}

// Made when the library is loaded, not on first use: the command and upload threads write
// reports until they are joined, and only objects made before the threads start are destroyed
// after that join (a function-local static made later would go first at exit).
const Json::StreamWriterBuilder g_builder = MakeBuilder();

const Json::StreamWriterBuilder &Builder() {
    return g_builder;
}

}  // namespace

SecureString WriteJson(const Json::Value &obj) {
    SecureString text;
    SecureStringBuf buf(text);
    std::ostream os(&buf);
    std::unique_ptr<Json::StreamWriter> writer(Builder().newStreamWriter());
    writer->write(obj, &os);
    return text;
}

Json::Value JsonText(const char *text, const char *absent) {
    return Json::Value(text != nullptr ? text : absent);
}

}  // namespace unified_track
