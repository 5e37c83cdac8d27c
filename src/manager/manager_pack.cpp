// Packing of the dot files into zip files: threshold, timer, trigger and old-layout packs.
// Each pack runs under its dot file's lock, so no record is appended between the read and the
// removal of the dot file.
#include <climits>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "host/log.h"
#include "host/pal.h"
#include "manager/delivery_constants.h"
#include "manager/UTManager.h"
#include "manager/masks.h"
#include "transport/track_file.h"

namespace unified_track {

namespace {
int32_t ClampToInt32(uint64_t value) {
    return value > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}
}  // namespace

std::string UTManager::PackUuid() {
    if (!ParamLock().try_lock()) return m_files.PackUuid(nullptr);
    std::string packUuid = m_files.PackUuid(&m_params.Locked().uuid);
    ParamLock().unlock();
    return packUuid;
}

void UTManager::CompressDotFileToZip(RecursiveLock &fileLock, const std::string &zipFolder,
                                     const std::string &dotFile) {
    RecursiveGuard guard(fileLock);
    if (PAL_IsFileExist(dotFile.c_str()) == 0) return;

    uint64_t size = 0;
    if (PAL_GetFileSize(dotFile.c_str(), &size) != 0) size = 0;
    if (size > kDotFileDiscardBytes) {
        UT_LOGE(kLogDotFileTooLarge, static_cast<unsigned>(size > UINT_MAX ? UINT_MAX : size));
        CleanDotFileContent(fileLock, dotFile);
        track_dotdata_delete_file("", kDeleteTypeDiscardedDotFile, kReportCodeDiscarded, "", ClampToInt32(size));
        return;
    }

    if (PAL_IsFileExist(zipFolder.c_str()) == 0) {
        const std::string masked = MiddleMask(zipFolder);
        UT_LOGE(kLogZipFolderMissing, masked.c_str());
        track_zipfile_generate_error(masked.c_str(), kReportCodeZipFolderMissing, 0);
        (void)MakeDotdataDir(zipFolder);
        if (PAL_IsFileExist(zipFolder.c_str()) == 0) {
            UT_LOGE(kLogZipFolderMissingAgain);
            track_zipfile_generate_error(masked.c_str(), kReportCodeZipFolderNotMade, 0);
            return;
        }
    }

    const std::string zipPath = GetZipFilePathName(zipFolder);
    int32_t code = 0;
    if (!zipFile(dotFile, zipPath, PackUuid(), code)) {
        const std::string masked = MiddleMask(zipPath);
        UT_LOGE(kLogZipFailed, code, masked.c_str());
        track_zipfile_generate_error(masked.c_str(), code, 1);
    } else {
        CleanDotFileContent(fileLock, dotFile);
        if (code != 0) track_zipfile_generate_error(MiddleMask(zipPath).c_str(), code, 0);
    }
    // Which timer this pack feeds follows from the file's lock, not from its path: a user dot
    // file below a folder named like "multimedia" is still the user file.
    const uint64_t now = PAL_GetSystemTime();
    m_files.MarkPacked(&fileLock == &MediaFileLock() ? DotKind::kMedia : DotKind::kUser, now);
}

bool UTManager::CompressMMRDotFileToZip() {
    RecursiveGuard guard(MmrFileLock());
    const std::string &dotFile = m_files.DotFile(DotKind::kMmr);
    const std::string zipPath = GetZipFilePathName(m_files.ZipFolder(DotKind::kMmr));
    const bool packed = zipMMRFile(dotFile, zipPath);
    if (!packed) {
        // The MMR dot file stays: its records go out with a later pack.
        UT_LOGI(kLogZipMmrFailed);
    } else {
        CleanDotFileContent(MmrFileLock(), dotFile);
    }
    m_files.MarkPacked(DotKind::kMmr, PAL_GetSystemTime());
    return packed;
}

void UTManager::CompressOldVersionFile() {
    std::string userPath = m_files.DotFile(DotKind::kUser);
    std::string mediaPath = m_files.DotFile(DotKind::kMedia);
    const std::string level = std::string(1, kPathSep) + kOldLayoutLevel;
    for (std::string *path : {&userPath, &mediaPath}) {
        const size_t pos = path->find(level);
        if (pos == std::string::npos) {
            UT_LOGE(kLogOldVersionPathError, LogStream::FilterWord(*path, LOG_FILTER_PATH).c_str());
            return;
        }
        path->erase(pos, level.size());
    }
    CompressDotFileToZip(UserFileLock(), m_files.ZipFolder(DotKind::kUser), userPath);
    CompressDotFileToZip(MediaFileLock(), m_files.ZipFolder(DotKind::kMedia), mediaPath);
}

void UTManager::CompressAllDotFiles() {
    CompressDotFileToZip(UserFileLock(), m_files.ZipFolder(DotKind::kUser), m_files.DotFile(DotKind::kUser));
    CompressDotFileToZip(MediaFileLock(), m_files.ZipFolder(DotKind::kMedia), m_files.DotFile(DotKind::kMedia));
    (void)CompressMMRDotFileToZip();
}

}  // namespace unified_track
