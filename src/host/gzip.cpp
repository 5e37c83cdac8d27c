#include "host/gzip.h"

#include <zlib.h>

#include <climits>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "host/string_helper.h"

GzipHandle GzipOpen(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr || *path == '\0') return nullptr;
#ifdef _WIN32
    return gzopen(path, mode);
#else
    if (mode[0] != 'w') return gzopen(path, mode);
    // gzopen would create the file readable by others until someone narrows it; a pack holds
    // personal data from its first byte.
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (st.st_mode & 0177) != 0) (void)::fchmod(fd, 0600);
    gzFile gz = gzdopen(fd, mode);
    if (gz == nullptr) ::close(fd);
    return gz;
#endif
}

GzipHandle GzipOpenW(const std::u16string &path, const char *mode) {
    if (path.empty() || mode == nullptr) return nullptr;
#ifdef _WIN32
    return gzopen_w(reinterpret_cast<const wchar_t *>(path.c_str()), mode);
#else
    std::string narrow = StringHelper::WstringToUTF8(path);
    return GzipOpen(narrow.c_str(), mode);
#endif
}

int GzipWrite(GzipHandle file, const void *data, size_t len) {
    if (file == nullptr || (data == nullptr && len != 0)) return 0;
    const char *p = static_cast<const char *>(data);
    size_t done = 0;
    // gzwrite takes an unsigned count; feed larger inputs in pieces.
    while (done < len) {
        size_t piece = len - done;
        if (piece > (UINT_MAX >> 1)) piece = UINT_MAX >> 1;
        int n = gzwrite(static_cast<gzFile>(file), p + done, static_cast<unsigned>(piece));
        if (n <= 0) return 0;
        done += static_cast<size_t>(n);
    }
    return len > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(len);
}

int GzipClose(GzipHandle file) {
    if (file == nullptr) return -1;
    return gzclose(static_cast<gzFile>(file)) == Z_OK ? 0 : -1;
}
