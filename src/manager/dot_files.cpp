#include "manager/dot_files.h"

#include "host/pal.h"
#include "host/path.h"
#include "manager/manager_constants.h"

namespace unified_track {

namespace {
// Namespace-scope, so they are made at load and destroyed after every function-local static,
// i.e. after the threads that use them have been joined.
RecursiveLock g_userFileLock;
RecursiveLock g_mediaFileLock;
RecursiveLock g_mmrFileLock;

// An empty root still yields a rooted path ("/name"), as it always has.
std::string JoinPath(const std::string &folder, const char *name) {
    return PathJoin(folder.empty() ? std::string(1, kPathSep) : folder, name);
}
}  // namespace

RecursiveLock &DotFiles::UserLock() {
    return g_userFileLock;
}
RecursiveLock &DotFiles::MediaLock() {
    return g_mediaFileLock;
}
RecursiveLock &DotFiles::MmrLock() {
    return g_mmrFileLock;
}

RecursiveLock &DotFiles::LockOf(DotKind kind) {
    switch (kind) {
        case DotKind::kUser:
            return UserLock();
        case DotKind::kMedia:
            return MediaLock();
        case DotKind::kMmr:
            break;
    }
    return MmrLock();
}

void DotFiles::SetRoot(const std::string &root) {
    m_root = root;
    m_zipFolders[Index(DotKind::kUser)] = JoinPath(root, kUserZipFolderName);
    m_zipFolders[Index(DotKind::kMedia)] = JoinPath(root, kMediaZipFolderName);
    m_zipFolders[Index(DotKind::kMmr)] = JoinPath(root, kMmrZipFolderName);
    m_dotFiles[Index(DotKind::kUser)] = JoinPath(root, kUserDotFileName);
    m_dotFiles[Index(DotKind::kMedia)] = JoinPath(root, kMediaDotFileName);
    m_dotFiles[Index(DotKind::kMmr)] = JoinPath(root, kMmrDotFileName);
}

const std::string &DotFiles::DotFile(DotKind kind) const {
    return m_dotFiles[Index(kind)];
}
const std::string &DotFiles::ZipFolder(DotKind kind) const {
    return m_zipFolders[Index(kind)];
}

std::string DotFiles::PackUuid(const std::string *fresh) {
    MutexLock guard(m_packUuidLock);
    if (fresh != nullptr) m_packUuid = *fresh;
    return m_packUuid;
}

bool DotFiles::NoteMmrLength(uint32_t length) {
    uint32_t seen = m_maxMmrLength.load();
    while (length > seen) {
        if (m_maxMmrLength.compare_exchange_weak(seen, length)) return true;
    }
    return false;
}

}  // namespace unified_track
