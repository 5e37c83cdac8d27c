// Where the dot files and zip folders are, the three file locks, the pack timers and the uuid
// stamped on zip envelopes.
//
// Owns: the paths (written once by Init before the library is marked initialised, read-only
// afterwards, so unguarded), the process-wide recursive file locks (order user -> media -> MMR,
// all after the parameter lock; a pack runs under its file's lock), the last pack times
// (atomics), the last pack uuid (m_packUuidLock) and the longest MMR record seen (atomic).
// Threads: the command thread appends and packs, the upload thread packs on its timer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "host/thread_annotations.h"
#include "manager/ut_locks.h"

namespace unified_track {

enum class DotKind { kUser, kMedia, kMmr };

class DotFiles {
public:
    static RecursiveLock &UserLock();
    static RecursiveLock &MediaLock();
    static RecursiveLock &MmrLock();
    static RecursiveLock &LockOf(DotKind kind);

    // Lays the files out below root (no I/O).
    void SetRoot(const std::string &root);
    const std::string &Root() const { return m_root; }
    const std::string &DotFile(DotKind kind) const;
    const std::string &ZipFolder(DotKind kind) const;

    uint64_t LastPack(DotKind kind) const { return m_lastPack[Index(kind)].load(); }
    void MarkPacked(DotKind kind, uint64_t now) { m_lastPack[Index(kind)].store(now); }

    // The uuid for a zip envelope: fresh (when given) replaces the one seen last.
    std::string PackUuid(const std::string *fresh) EXCLUDES(m_packUuidLock);

    // True when length is the longest MMR record so far (and remembers it).
    bool NoteMmrLength(uint32_t length);

private:
    static size_t Index(DotKind kind) { return static_cast<size_t>(kind); }

    std::string m_root;
    std::string m_dotFiles[3];
    std::string m_zipFolders[3];
    std::atomic<uint64_t> m_lastPack[3] = {};
    Mutex m_packUuidLock;
    std::string m_packUuid GUARDED_BY(m_packUuidLock);
    std::atomic<uint32_t> m_maxMmrLength{0};
};

}  // namespace unified_track
