// The whole API-log pipeline (export, flood and noise gates, masking, normalising, shortening, the
// log file) against a planted secret. Each input builds a JSON-ish message: other members with
// fuzzed names and values, escaped as their depth needs, and one member whose key is a password,
// token or extended-field key (any letter case) and whose value holds the secret, as a string, a
// bare value, inside an object or an array, cut off at the end, or as `key=value` text; the
// message may sit as escaped JSON inside strings of enclosing messages and behind free text. The
// oracle fails when the secret's middle is in the file afterwards, or when one call wrote more
// lines than the line and a flood summary.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "host/pal.h"
#include "log/track_api_log_constants.h"

namespace {

constexpr size_t kFileLimit = 32u << 20;  // start a fresh file past this

struct LogFile {
    std::string folder;
    std::string path;
    int fd = -1;  // read side, kept open
    size_t seen = 0;

    LogFile() {
        char pattern[] = "/tmp/ut_apilog_fuzz_XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        folder = pattern;
        path = folder + "/sdk_api_info.txt";
        Open();
    }
    ~LogFile() {
        UnInitLog("sdk_api_info");
        if (fd >= 0) ::close(fd);
        PAL_Remove(path.c_str());
        PAL_Remove(folder.c_str());
    }
    void Open() {
        if (InitLog("sdk_api_info", path.c_str(), 1 << 20, 0, LOG_DEBUG) != 0) std::abort();
        fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) std::abort();
        seen = 0;
    }
    // What was appended since the last call.
    std::string Fresh() {
        struct stat st {};
        if (::fstat(fd, &st) != 0) std::abort();
        const size_t size = static_cast<size_t>(st.st_size);
        std::string out(size > seen ? size - seen : 0, '\0');
        if (!out.empty() &&
            ::pread(fd, &out[0], out.size(), static_cast<off_t>(seen)) != static_cast<ssize_t>(out.size())) {
            std::abort();
        }
        seen = size;
        if (seen > kFileLimit) {
            UnInitLog("sdk_api_info");
            ::close(fd);
            PAL_Remove(path.c_str());
            Open();
        }
        return out;
    }
};

LogFile &File() {
    static LogFile file;
    return file;
}

// Fuzzed text that cannot fake the secret's marker and needs no escaping of its own beyond what
// Escape adds.
std::string Filler(FuzzedDataProvider &in, size_t max) {
    std::string s = in.ConsumeRandomLengthString(max);
    std::string out;
    for (char c : s) {
        if (c != '#' && c != '\0') out += c;
    }
    return out;
}

// Free text before a message: no quotes, escapes or '=' that would change what follows.
std::string Prose(FuzzedDataProvider &in, size_t max) {
    std::string out;
    for (char c : Filler(in, max)) {
        if (c != '"' && c != '\\' && c != '=') out += c;
    }
    return out;
}

// JSON string escaping, applied `depth` times (a message held in a string held in a string...).
std::string Escape(std::string s, int depth) {
    for (int d = 0; d < depth; ++d) {
        std::string out;
        for (char c : s) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        s = out;
    }
    return s;
}

std::string Quoted(const std::string &raw, int depth) {
    const std::string q = Escape("\"", depth);
    return q + Escape(raw, depth + 1) + q;
}

std::string SecretKey(FuzzedDataProvider &in) {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (const char *key : apilog::kPasswordKeys) k.push_back(key);
        for (const char *key : apilog::kTokenKeys) k.push_back(key);
        for (const char *key : apilog::kExtendedFieldKeys) k.push_back(key);
        for (const char *key : {"newPassword", "user_pwd", "ssoToken", "clientSecret", "x-auth-token"})
            k.push_back(key);
        return k;
    }();
    std::string key = keys[in.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
    const uint32_t flips = in.ConsumeIntegral<uint32_t>();
    for (size_t i = 0; i < key.size() && i < 32; ++i) {
        if ((flips >> i) & 1u) {
            char &c = key[i];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

std::string Secret(FuzzedDataProvider &in) {
    static const char kAlnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    const size_t head = in.ConsumeIntegralInRange<size_t>(12, 40);
    const size_t body = in.ConsumeIntegralInRange<size_t>(1, 60);
    for (size_t i = 0; i < head + body; ++i) {
        if (i == head) s += '#';
        s += kAlnum[in.ConsumeIntegralInRange<size_t>(0, sizeof(kAlnum) - 2)];
    }
    return s + "#z";
}

std::string Blank(FuzzedDataProvider &in) {
    static const char *kBlanks[] = {"", "", " ", "  ", "\t", "\n "};
    return kBlanks[in.ConsumeIntegralInRange<size_t>(0, 5)];
}

// A member that is not the secret's: a fuzzed name and a string, number or small object.
std::string OtherMember(FuzzedDataProvider &in, int depth) {
    std::string name = Filler(in, 12);
    std::string value;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            value = Quoted(Filler(in, 24), depth);
            break;
        case 1:
            value = std::to_string(in.ConsumeIntegral<int32_t>());
            break;
        default:
            value = "{" + Quoted(Filler(in, 8), depth) + ":" + Quoted(Filler(in, 8), depth) + "}";
    }
    return Quoted(name, depth) + ":" + value;
}

// The secret's member at `depth`; `last` when nothing may follow (a cut-off value).
std::string SecretMember(FuzzedDataProvider &in, const std::string &key, const std::string &secret, int depth,
                         bool *cutOff) {
    const std::string k = Quoted(key, depth) + Blank(in) + ":" + Blank(in);
    const std::string q = Escape("\"", depth);
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
            return k + q + secret + q;
        case 1:
            return k + secret;  // bare
        case 2:
            return k + "{" + Quoted(Filler(in, 8), depth) + ":" + q + secret + q + "}";
        case 3:
            return k + "[1," + q + secret + q + ",{}]";
        case 4:
            *cutOff = true;
            return k + q + secret;
        default:
            *cutOff = true;
            return k + secret;
    }
}

// A message of members at `depth` with the secret's member among them, maybe held as escaped
// JSON in a string of an enclosing message.
std::string Message(FuzzedDataProvider &in, const std::string &key, const std::string &secret, int depth,
                    int maxDepth) {
    bool cutOff = false;
    std::string inner;
    if (depth < maxDepth) {
        inner = Quoted(Filler(in, 10), depth) + ":" + Escape("\"", depth) +
                Message(in, key, secret, depth + 1, maxDepth) + Escape("\"", depth);
    } else {
        inner = SecretMember(in, key, secret, depth, &cutOff);
    }
    std::string out = "{";
    for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n) out += OtherMember(in, depth) + "," + Blank(in);
    out += inner;
    if (cutOff) return out;
    for (int n = in.ConsumeIntegralInRange<int>(0, 2); n > 0; --n) out += "," + Blank(in) + OtherMember(in, depth);
    return out + "}";
}

std::string Text(FuzzedDataProvider &in, const std::string &secret) {
    const std::string key = SecretKey(in);
    std::string text = Prose(in, 40);
    if (in.ConsumeIntegralInRange<int>(0, 5) == 0) {
        // key=value text: a query string or a plain list.
        text += in.ConsumeBool() ? "GET /a?x=1&" : "args: ";
        text += key + "=" + secret;
        if (in.ConsumeBool()) text += in.ConsumeBool() ? "&y=2 HTTP/1.1" : ", next=1";
    } else {
        text += Message(in, key, secret, 0, in.ConsumeIntegralInRange<int>(0, 3));
    }
    // Long texts reach the shortening step and the format cut.
    const size_t pad = in.ConsumeIntegralInRange<size_t>(0, 4000);
    if (in.ConsumeBool()) text.insert(0, std::string(pad, 'p'));
    return text + Prose(in, 30);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    LogFile &file = File();
    const int32_t from = in.ConsumeIntegralInRange<int32_t>(-1, 10);
    const int32_t to = in.ConsumeIntegralInRange<int32_t>(-1, 10);
    const bool formatted = in.ConsumeBool();
    const std::string secret = Secret(in);
    const std::string text = Text(in, secret);

    file.Fresh();  // skip what earlier inputs left
    if (formatted) {
        Track_AddTraceApiLog(from, to, "%s", text.c_str());
    } else {
        Track_AddTraceApiLogStr(from, to, text.c_str());
    }
    const std::string written = file.Fresh();

    // A long token keeps its first 11 characters readable and every mask may keep a value's last
    // one; the '#' behind the secret's head is the secret's middle, and nothing else writes '#'.
    size_t lines = 0;
    for (char c : written) lines += c == '\n' ? 1 : 0;
    if (written.find('#') != std::string::npos || lines > 2) {
        std::fprintf(stderr, "modules %d -> %d, %s\ninput:   %s\nwritten: %s\n", from, to,
                     formatted ? "formatted" : "text", text.c_str(), written.c_str());
        std::abort();
    }
    return 0;
}
