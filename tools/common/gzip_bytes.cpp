#include "common/gzip_bytes.h"

#include <zlib.h>

namespace ut_tools {

namespace {
// Inflated output is capped: a small hostile stream must not fill the memory.
constexpr size_t kMaxInflated = 256u * 1024 * 1024;
}  // namespace

std::string GzipBytes(const std::string &raw) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&zs, raw.size()) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.data()));
    zs.avail_in = static_cast<uInt>(raw.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return rc == Z_STREAM_END ? out : std::string();
}

bool LooksGzip(const std::string &bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
           static_cast<unsigned char>(bytes[1]) == 0x8b;
}

bool GunzipBytes(const std::string &gz, std::string *out, std::string *error) {
    out->clear();
    if (!LooksGzip(gz)) {
        *error = gz.empty() ? "empty file" : "not a gzip stream";
        return false;
    }
    z_stream zs{};
    if (inflateInit2(&zs, 15 + 16) != Z_OK) {
        *error = "inflate set-up failed";
        return false;
    }
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gz.data()));
    zs.avail_in = static_cast<uInt>(gz.size());
    char buf[16384];
    int rc;
    do {  // a truncated stream stops with Z_BUF_ERROR once nothing more can be made
        zs.next_out = reinterpret_cast<Bytef *>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        out->append(buf, sizeof buf - zs.avail_out);
    } while (rc == Z_OK && out->size() <= kMaxInflated);
    const size_t left = zs.avail_in;
    const std::string zmsg = zs.msg != nullptr ? zs.msg : "inflate error";
    inflateEnd(&zs);
    if (rc == Z_STREAM_END && left == 0) return true;
    if (rc == Z_STREAM_END)
        *error = "bytes after the end of the gzip stream";
    else if (rc == Z_OK)
        *error = "gzip content larger than 256 MB";
    else if (rc == Z_BUF_ERROR)
        *error = "truncated gzip stream";
    else
        *error = "damaged gzip stream (" + zmsg + ")";
    out->clear();
    return false;
}

std::string GunzipBytes(const std::string &gz) {
    std::string out, error;
    return GunzipBytes(gz, &out, &error) ? out : std::string();
}

}  // namespace ut_tools
