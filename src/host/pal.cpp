// POSIX implementation of the platform adapter.
#include "host/pal.h"

#include "host/services.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Files the library creates hold personal data: owner-only from the first byte.
constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateDir = 0700;

int OpenFlagsForMode(const char *mode, bool *ok) {
    *ok = true;
    bool plus = std::strchr(mode, '+') != nullptr;
    switch (mode[0]) {
        case 'r':
            return plus ? O_RDWR : O_RDONLY;
        case 'w':
            return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        case 'a':
            return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        default:
            *ok = false;
            return 0;
    }
}

unified_track::FileOps g_defaultFileOps;

bool WriteAll(int fd, const void *data, size_t len) {
    const char *p = static_cast<const char *>(data);
    unified_track::FileOps &ops = *unified_track::Host().files;
    while (len > 0) {
        int64_t n = ops.Write(fd, p, len);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            // A write that takes nothing would loop for ever; the device is full.
            errno = ENOSPC;
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

// A file the library writes to holds personal data: one found readable by others (made by an
// older build, or by hand) becomes owner-only before anything is written to it.
void MakePrivate(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0177) != 0) {
        (void)::fchmod(fd, kPrivateFile);
    }
}

}  // namespace

namespace unified_track {

int64_t FileOps::Write(int fd, const void *data, size_t len) {
    return ::write(fd, data, len);
}

int FileOps::Remove(const char *path) {
    return std::remove(path) == 0 ? 0 : -1;
}

FileOps &SystemFileOps() {
    return g_defaultFileOps;
}

}  // namespace unified_track

// ---- files ----

PAL_FILE *PAL_Fopen(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr || path[0] == '\0') return nullptr;
    bool ok = false;
    int flags = OpenFlagsForMode(mode, &ok);
    if (!ok) {
        errno = EINVAL;
        return nullptr;
    }
    int fd = ::open(path, flags | O_CLOEXEC, kPrivateFile);
    if (fd < 0) return nullptr;
    if ((flags & O_ACCMODE) != O_RDONLY) MakePrivate(fd);
    FILE *f = ::fdopen(fd, mode);
    if (f == nullptr) {
        int err = errno;
        ::close(fd);
        errno = err;
    }
    return f;
}

int PAL_Fclose(PAL_FILE *file) {
    return file == nullptr ? -1 : std::fclose(file);
}

size_t PAL_Fread(void *buffer, size_t size, size_t count, PAL_FILE *file) {
    if (buffer == nullptr || file == nullptr) return 0;
    return std::fread(buffer, size, count, file);
}

size_t PAL_Fwrite(const void *buffer, size_t size, size_t count, PAL_FILE *file) {
    if (buffer == nullptr || file == nullptr) return 0;
    return std::fwrite(buffer, size, count, file);
}

int PAL_Fflush(PAL_FILE *file) {
    if (file == nullptr) return -1;
    return std::fflush(file) == 0 ? 0 : -1;
}

int PAL_Fseek(PAL_FILE *file, long offset, int whence) {
    if (file == nullptr) return -1;
    return std::fseek(file, offset, whence) == 0 ? 0 : -1;
}

long PAL_Ftell(PAL_FILE *file) {
    if (file == nullptr) return -1;
    return std::ftell(file);
}

int64_t PAL_AppendFile(const char *path, const void *data, size_t len) {
    if (path == nullptr || path[0] == '\0' || (data == nullptr && len > 0)) return -1;
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kPrivateFile);
    if (fd < 0) return kPalAppendOpenFailed;
    MakePrivate(fd);
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        int err = errno;
        ::close(fd);
        errno = err;
        return kPalAppendOpenFailed;
    }
    int64_t result = kPalAppendWriteFailed;
    if (WriteAll(fd, data, len)) {
        struct stat after {};
        result = ::fstat(fd, &after) == 0 ? static_cast<int64_t>(after.st_size)
                                          : static_cast<int64_t>(before.st_size) + static_cast<int64_t>(len);
    } else {
        // All or nothing: a fragment without its newline would glue the next record to it.
        int err = errno;
        while (::ftruncate(fd, before.st_size) != 0 && errno == EINTR) {
        }
        errno = err;
    }
    int err = errno;
    ::close(fd);
    errno = err;
    return result;
}

int PAL_GetFileSize(const char *path, uint64_t *size) {
    if (path == nullptr || size == nullptr) return -1;
    struct stat st {};
    if (::stat(path, &st) != 0) return -1;
    *size = static_cast<uint64_t>(st.st_size);
    return 0;
}

int PAL_IsFileExist(const char *path) {
    if (path == nullptr || path[0] == '\0') return 0;
    struct stat st {};
    return ::stat(path, &st) == 0 ? 1 : 0;
}

int PAL_Remove(const char *path) {
    if (path == nullptr || path[0] == '\0') return -1;
    return unified_track::Host().files->Remove(path);
}

int PAL_CopyFile(const char *src, const char *dst) {
    if (src == nullptr || dst == nullptr || src[0] == '\0' || dst[0] == '\0') return -1;
    int in = ::open(src, O_RDONLY | O_CLOEXEC);
    if (in < 0) return -1;
    int out = ::open(dst, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFile);
    if (out < 0) {
        int err = errno;
        ::close(in);
        errno = err;
        return -1;
    }
    MakePrivate(out);
    char buf[64 * 1024];
    int result = 0;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof(buf));
        if (n < 0) {
            if (errno == EINTR) continue;
            result = -1;
            break;
        }
        if (n == 0) break;
        if (!WriteAll(out, buf, static_cast<size_t>(n))) {
            result = -1;
            break;
        }
    }
    int err = errno;
    ::close(in);
    if (::close(out) != 0) result = -1;
    errno = err;
    return result;
}

int PAL_Rename(const char *from, const char *to) {
    if (from == nullptr || to == nullptr) return -1;
    return std::rename(from, to) == 0 ? 0 : -1;
}

int PAL_Chmod(const char *path, uint32_t mode) {
    if (path == nullptr || path[0] == '\0') return -1;
    if (mode == 0) {
        // "Private": a folder still needs its search bit to stay usable.
        struct stat st {};
        if (::stat(path, &st) != 0) return -1;
        mode = S_ISDIR(st.st_mode) ? kPrivateDir : kPrivateFile;
    }
    return ::chmod(path, static_cast<mode_t>(mode & 07777)) == 0 ? 0 : -1;
}

int PAL_MkDir(const char *path, uint32_t mode) {
    if (path == nullptr || path[0] == '\0') return -1;
    // Whatever mode is asked for, a folder of the library is its owner's alone.
    mode_t m = mode == 0 ? kPrivateDir : static_cast<mode_t>(mode & kPrivateDir);
    if (::mkdir(path, m) == 0) return 0;
    if (errno == EEXIST) {
        struct stat st {};
        if (::stat(path, &st) == 0 && S_ISDIR(st.st_mode)) return 0;
        errno = EEXIST;
    }
    return -1;
}

// ---- folders ----

struct PAL_DIR {
    DIR *dir = nullptr;
    std::string path;
};

PAL_DIR *PAL_OpenDir(const char *path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    DIR *d = ::opendir(path);
    if (d == nullptr) return nullptr;
    auto *h = new (std::nothrow) PAL_DIR;
    if (h == nullptr) {
        ::closedir(d);
        return nullptr;
    }
    h->dir = d;
    h->path = path;
    return h;
}

int PAL_ReadDir_S(PAL_DIR *dir, PAL_DirEntry *entry) {
    if (dir == nullptr || dir->dir == nullptr || entry == nullptr) return -1;
    for (;;) {
        errno = 0;
        struct dirent *e = ::readdir(dir->dir);
        if (e == nullptr) return -1;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        entry->name = e->d_name;
        if (e->d_type == DT_DIR) {
            entry->isDir = true;
        } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            std::string full = unified_track::PathJoin(dir->path, entry->name);
            entry->isDir = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        } else {
            entry->isDir = false;
        }
        return 0;
    }
}

int PAL_CloseDir(PAL_DIR *dir) {
    if (dir == nullptr) return -1;
    int rc = dir->dir != nullptr ? ::closedir(dir->dir) : 0;
    delete dir;
    return rc == 0 ? 0 : -1;
}

int PAL_ScanDir(const char *path, std::vector<std::string> *names,
                const std::function<bool(const PAL_DirEntry &)> &filter) {
    if (names == nullptr) return -1;
    names->clear();
    PAL_DIR *dir = PAL_OpenDir(path);
    if (dir == nullptr) return -1;
    try {
        PAL_DirEntry entry;
        while (PAL_ReadDir_S(dir, &entry) == 0) {
            if (!filter || filter(entry)) names->push_back(entry.name);
        }
        std::sort(names->begin(), names->end());
    } catch (...) {
        PAL_CloseDir(dir);
        names->clear();
        return -1;
    }
    PAL_CloseDir(dir);
    return static_cast<int>(names->size());
}

// ---- threads ----

static_assert(sizeof(pthread_t) <= sizeof(PAL_Thread), "pthread_t must fit in PAL_Thread");

int PAL_PthreadCreate(PAL_Thread *thread, const void *attr, PAL_ThreadRoutine routine, void *arg) {
    if (thread == nullptr || routine == nullptr) return -1;
    pthread_t t{};
    int rc = ::pthread_create(&t, static_cast<const pthread_attr_t *>(attr), routine, arg);
    if (rc != 0) {
        errno = rc;
        return -1;
    }
    *thread = static_cast<PAL_Thread>(t);
    return 0;
}

PAL_Thread PAL_PthreadSelf() {
    return static_cast<PAL_Thread>(::pthread_self());
}

int PAL_PthreadDetach(PAL_Thread thread) {
    int rc = ::pthread_detach(static_cast<pthread_t>(thread));
    return rc == 0 ? 0 : -1;
}

int PAL_PthreadJoin(PAL_Thread thread) {
    int rc = ::pthread_join(static_cast<pthread_t>(thread), nullptr);
    return rc == 0 ? 0 : -1;
}

uint64_t PAL_GetTID() {
    return static_cast<uint64_t>(::syscall(SYS_gettid));
}

// ---- memory ----

void *PAL_MemMallocS(size_t size, int line, const char *file) {
    (void)line;
    (void)file;
    if (size == 0) return nullptr;
    return std::calloc(1, size);
}

void PAL_MemFreeSetNullD(void **slot) {
    if (slot == nullptr) return;
    std::free(*slot);
    *slot = nullptr;
}

// ---- strings ----

size_t PAL_StrLen(const char *s) {
    return s == nullptr ? 0 : std::strlen(s);
}

int PAL_StrCmp(const char *a, const char *b) {
    if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
    return std::strcmp(a, b);
}

int PAL_StriCmp(const char *a, const char *b) {
    if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
    return ::strcasecmp(a, b);
}

const char *PAL_StrStr(const char *haystack, const char *needle) {
    if (haystack == nullptr || needle == nullptr) return nullptr;
    return std::strstr(haystack, needle);
}

int PAL_GetLastErr() {
    return errno;
}
int PAL_GetLastSocketErr() {
    return errno;
}
void PAL_SetLastErr(int err) {
    errno = err;
}

// ---- address checks ----

int PAL_IsIpv4(const char *text) {
    if (text == nullptr) return 0;
    in_addr addr{};
    return ::inet_pton(AF_INET, text, &addr) == 1 ? 1 : 0;
}

int PAL_IsIpv6(const char *text) {
    if (text == nullptr) return 0;
    in6_addr addr{};
    return ::inet_pton(AF_INET6, text, &addr) == 1 ? 1 : 0;
}

int PAL_IsDomain(const char *text) {
    if (text == nullptr) return 0;
    size_t total = std::strlen(text);
    if (total == 0 || total > 253) return 0;
    if (PAL_IsIpv4(text)) return 0;
    size_t label = 0;
    for (size_t i = 0; i < total; ++i) {
        char c = text[i];
        if (c == '.') {
            if (label == 0) return 0;
            label = 0;
            continue;
        }
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok || ++label > 63) return 0;
    }
    return label == 0 ? 0 : 1;
}
