#include "transport/track_file.h"

#include <json/json.h>

#include <cstdio>
#include <memory>
#include <new>

#include "host/clock.h"
#include "host/gzip.h"
#include "host/log.h"
#include "host/pal.h"
#include "host/path.h"
#include "host/securec.h"
#include "host/string_helper.h"
#include "transport/transport_constants.h"

namespace unified_track {

namespace {

// Bounded search for a free name; a folder never holds this many packs of one millisecond range.
constexpr int kMaxNameProbes = 100000;

class DotFile {
public:
    explicit DotFile(const std::string &path) : file_(PAL_Fopen(path.c_str(), "rb")) {}
    ~DotFile() {
        if (file_ != nullptr) PAL_Fclose(file_);
    }
    DotFile(const DotFile &) = delete;
    DotFile &operator=(const DotFile &) = delete;
    PAL_FILE *get() const { return file_; }
    // Length of the file; 0 or less when empty or unknown.
    long Length() {
        if (PAL_Fseek(file_, 0, SEEK_END) != 0) return -1;
        long len = PAL_Ftell(file_);
        if (PAL_Fseek(file_, 0, SEEK_SET) != 0) return -1;
        return len;
    }

private:
    PAL_FILE *file_;
};

// The temporary file of a pack: closed and removed unless Commit() renamed it into place.
class PackOutput {
public:
    explicit PackOutput(const std::string &zipPath) : zipPath_(zipPath), tempPath_(PackTempPath(zipPath)) {}
    ~PackOutput() {
        if (gz_ != nullptr) GzipClose(gz_);
        if (opened_ && !committed_) PAL_Remove(tempPath_.c_str());
    }
    PackOutput(const PackOutput &) = delete;
    PackOutput &operator=(const PackOutput &) = delete;

    const std::string &TempPath() const { return tempPath_; }
    void Adopt(GzipHandle gz) {
        gz_ = gz;
        opened_ = gz != nullptr;
    }
    GzipHandle get() const { return gz_; }
    bool Write(const char *data, size_t len) {
        if (len == 0) return true;
        return GzipWrite(gz_, data, len) > 0;
    }
    // Completes the stream and gives it its final name. Returns 0 or the error code.
    int32_t Commit() {
        GzipHandle gz = gz_;
        gz_ = nullptr;
        if (GzipClose(gz) != 0) return kZipErrGzipWrite;
        PAL_Chmod(tempPath_.c_str(), 0);
        if (PAL_Rename(tempPath_.c_str(), zipPath_.c_str()) != 0) return kZipErrRename;
        committed_ = true;
        return 0;
    }

private:
    std::string zipPath_;
    std::string tempPath_;
    GzipHandle gz_ = nullptr;
    bool opened_ = false;
    bool committed_ = false;
};

// Length of the well-formed UTF-8 sequence at p (RFC 3629), or 0 when there is none.
size_t Utf8SequenceLength(const unsigned char *p, size_t left) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) return 1;
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (left < len || p[1] < lo || p[1] > hi) return 0;
    for (size_t i = 2; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
    }
    return len;
}

}  // namespace

std::string ReplaceInvalidUtf8(const char *data, size_t len) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    if (data == nullptr) return out;
    out.reserve(len);
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    size_t i = 0;
    while (i < len) {
        // Runs of well-formed text are copied in one go.
        size_t start = i;
        size_t n = 0;
        while (i < len && (n = Utf8SequenceLength(p + i, len - i)) != 0) i += n;
        out.append(data + start, i - start);
        if (i < len) {
            out.append(kReplacement, sizeof(kReplacement) - 1);
            ++i;
        }
    }
    return out;
}

std::string PackTempPath(const std::string &zipPath) {
    std::string base = zipPath;
    const size_t suffixLen = sizeof(kZipSuffix) - 1;
    if (base.size() >= suffixLen && base.compare(base.size() - suffixLen, suffixLen, kZipSuffix) == 0) {
        base.resize(base.size() - suffixLen);
    }
    return base + kPackTempSuffix;
}

std::string GetZipFilePathName(const std::string &zipFolder) {
    uint64_t ms = PAL_GetSystemTime();
    std::string path;
    for (int probe = 0; probe < kMaxNameProbes; ++probe, ++ms) {
        char text[65] = {0};
        if (sprintf_s(text, sizeof text, "%llu", static_cast<unsigned long long>(ms)) < 0) {
            UT_LOGE(UT_SECURE_ERR_U, 1u);
        }
        path = unified_track::PathJoin(zipFolder, text + std::string(kZipSuffix));
        if (PAL_IsFileExist(path.c_str()) == 0 && PAL_IsFileExist(PackTempPath(path).c_str()) == 0) break;
    }
    return path;
}

bool zipFile(const std::string &dotFilePath, const std::string &zipPath, const std::string &uuid, int32_t &errorCode) {
    if (dotFilePath.empty() || zipPath.empty()) {
        errorCode = kZipErrPathMissing;
        return false;
    }
    DotFile dot(dotFilePath);
    if (dot.get() == nullptr) {
        UT_LOGE(kLogPFileNull);
        errorCode = kZipErrOpenDotFile;
        UT_LOGE(kLogPgzFileFileNull);
        return false;
    }
    PackOutput out(zipPath);
    // Failure from here on: the dot file closes and the temporary file goes with the guards.
    auto fail = [&](int32_t code) {
        errorCode = code;
        if (out.get() == nullptr) UT_LOGE(kLogPgzFileFileNull);
        return false;
    };
    std::u16string widePath = StringHelper::UTF8ToWstring(out.TempPath());
    out.Adopt(GzipOpenW(widePath, "wb"));
    if (out.get() == nullptr) {
        UT_LOGE(kLogPgzFileNull);
        UT_LOGE(kLogPgzFileNull);
        if (!widePath.empty()) return fail(kZipErrGzipWideOpen);
        out.Adopt(GzipOpen(out.TempPath().c_str(), "wb"));
        if (out.get() == nullptr) return fail(kZipErrGzipNarrowOpen);
        errorCode = kZipWarnNarrowPathUsed;
    }
    long length = dot.Length();
    if (length <= 0) {
        UT_LOGE(kLogFtellLength, static_cast<int>(length));
        return fail(kZipErrEmptyDotFile);
    }
    std::string text;
    {
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(length) + 1]());
        if (!buffer) {
            UT_LOGE(kLogBuffLength, static_cast<int>(length));
            return fail(kZipErrNoBuffer);
        }
        size_t num = PAL_Fread(buffer.get(), 1, static_cast<size_t>(length), dot.get());
        if (num < static_cast<size_t>(length)) {
            UT_LOGE(kLogReadLength, static_cast<int>(length), static_cast<unsigned>(num));
            return fail(kZipErrShortRead);
        }
        try {
            Json::Value root(Json::objectValue);
            const std::string data = ReplaceInvalidUtf8(buffer.get(), static_cast<size_t>(length));
            root[kEnvelopeData] = Json::Value(data.data(), data.data() + data.size());
            root[kEnvelopeUser] = uuid;
            Json::StreamWriterBuilder builder;
            builder["indentation"] = "";
            text = Json::writeString(builder, root);
        } catch (...) {
            UT_LOGE(kLogJsonFailed);
            return fail(kZipErrJson);
        }
    }
    if (!out.Write(text.data(), text.size())) return fail(kZipErrGzipWrite);
    int32_t commit = out.Commit();
    if (commit != 0) return fail(commit);
    return true;
}

bool zipMMRFile(const std::string &dotFilePath, const std::string &zipPath) {
    if (dotFilePath.empty() || zipPath.empty()) return false;
    DotFile dot(dotFilePath);
    if (dot.get() == nullptr) return false;
    PackOutput out(zipPath);
    out.Adopt(GzipOpenW(StringHelper::UTF8ToWstring(out.TempPath()), "wb"));
    if (out.get() == nullptr) return false;
    long length = dot.Length();
    if (length <= 0) return false;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(length) + 1]());
    if (!buffer) {
        UT_LOGE(kLogBuffLength, static_cast<int>(length));
        return false;
    }
    if (!out.Write("[", 1)) return false;
    size_t num = PAL_Fread(buffer.get(), 1, static_cast<size_t>(length), dot.get());
    if (num < static_cast<size_t>(length)) return false;
    size_t keep = static_cast<size_t>(length);
    if (buffer[keep - 1] == ',') --keep;
    if (!out.Write(buffer.get(), keep) || !out.Write("]", 1)) return false;
    buffer.reset();
    return out.Commit() == 0;
}

}  // namespace unified_track
