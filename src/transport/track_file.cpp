#include "transport/track_file.h"

#include <json/json.h>

#include <cstdio>
#include <memory>
#include <new>

#include "host/clock.h"
#include "host/gzip.h"
#include "host/log.h"
#include "host/pal.h"
#include "host/securec.h"
#include "host/string_helper.h"
#include "transport/UTTransportConstants.h"

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

}  // namespace

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
        path = zipFolder + kPathSep + text + kZipSuffix;
        if (PAL_IsFileExist(path.c_str()) == 0 && PAL_IsFileExist(PackTempPath(path).c_str()) == 0) break;
    }
    return path;
}

bool zipFile(const std::string &dotFilePath, const std::string &zipPath, const std::string &uuid,
             int32_t &errorCode) {
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
            root[kEnvelopeData] = Json::Value(buffer.get(), buffer.get() + length);
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
