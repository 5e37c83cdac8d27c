// Platform adapter: files, folders, threads, strings, address checks. All operating-system access
// of the library goes through here so that another platform only replaces src/host/pal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/path.h"

// ---- files ----
using PAL_FILE = FILE;
// Files opened for writing are (made) owner-only before the first byte. Null on failure.
PAL_FILE *PAL_Fopen(const char *path, const char *mode);
int PAL_Fclose(PAL_FILE *file);
size_t PAL_Fread(void *buffer, size_t size, size_t count, PAL_FILE *file);
size_t PAL_Fwrite(const void *buffer, size_t size, size_t count, PAL_FILE *file);
int PAL_Fflush(PAL_FILE *file);                          // -1 on failure
int PAL_Fseek(PAL_FILE *file, long offset, int whence);  // -1 on failure
long PAL_Ftell(PAL_FILE *file);                          // -1 on failure
// Appends len bytes in one write through a descriptor (O_APPEND); the file is (made) owner-only
// before the first byte. All or nothing: a short write (a full disk) is truncated back to the
// length before the append. Returns the file length after the append, kPalAppendOpenFailed or
// kPalAppendWriteFailed (the last error tells why). The hot path of the dot files.
constexpr int64_t kPalAppendOpenFailed = -1;
constexpr int64_t kPalAppendWriteFailed = -2;
int64_t PAL_AppendFile(const char *path, const void *data, size_t len);
int PAL_GetFileSize(const char *path, uint64_t *size);  // 0 = ok
int PAL_IsFileExist(const char *path);                  // non-zero = exists (file or folder)
int PAL_Remove(const char *path);                       // 0 = success
int PAL_CopyFile(const char *src, const char *dst);     // 0 = success
int PAL_Rename(const char *from, const char *to);       // 0 = success
int PAL_Chmod(const char *path, uint32_t mode);         // mode 0 = owner-only (0600)
// Makes a folder private to the owner (mode 0 = 0700; group and other bits are never given).
int PAL_MkDir(const char *path, uint32_t mode);  // 0 = success or exists

namespace unified_track {
// The file operations that tests must be able to fail (a full disk, a folder that refuses
// removals). The default forwards to the system; tests install theirs through Host().
class FileOps {
public:
    virtual ~FileOps() = default;
    // Like write(2): bytes written (possibly fewer than len), or -1 with the last error set.
    virtual int64_t Write(int fd, const void *data, size_t len);
    // Like remove(3): 0 on success, -1 with the last error set.
    virtual int Remove(const char *path);
};
}  // namespace unified_track

// ---- folders ----
struct PAL_DIR;
struct PAL_DirEntry {
    std::string name;
    bool isDir = false;
};
PAL_DIR *PAL_OpenDir(const char *path);                // null on failure
int PAL_ReadDir_S(PAL_DIR *dir, PAL_DirEntry *entry);  // 0 = entry filled; non-zero = end
int PAL_CloseDir(PAL_DIR *dir);
// Names (not paths) of the folder's entries that pass the filter (all when empty), sorted by name.
// Returns the count, or -1 when the folder cannot be read. "." and ".." are never listed.
int PAL_ScanDir(const char *path, std::vector<std::string> *names,
                const std::function<bool(const PAL_DirEntry &)> &filter = {});

// ---- threads ----
using PAL_Thread = uint64_t;
using PAL_ThreadRoutine = void *(*)(void *);
int PAL_PthreadCreate(PAL_Thread *thread, const void *attr, PAL_ThreadRoutine routine, void *arg);
PAL_Thread PAL_PthreadSelf();
int PAL_PthreadDetach(PAL_Thread thread);
int PAL_PthreadJoin(PAL_Thread thread);
uint64_t PAL_GetTID();  // kernel thread id of the caller

// ---- memory ----
void *PAL_MemMallocS(size_t size, int line, const char *file);  // zeroed block, or null
void PAL_MemFreeSetNullD(void **slot);

// ---- strings ----
size_t PAL_StrLen(const char *s);              // 0 for null
int PAL_StrCmp(const char *a, const char *b);  // null sorts first
int PAL_StriCmp(const char *a, const char *b);
const char *PAL_StrStr(const char *haystack, const char *needle);  // null when either is null
int PAL_GetLastErr();                                              // errno / GetLastError()
int PAL_GetLastSocketErr();
void PAL_SetLastErr(int err);

// ---- address checks (non-zero when the text has that form) ----
int PAL_IsIpv4(const char *text);
int PAL_IsIpv6(const char *text);
int PAL_IsDomain(const char *text);
