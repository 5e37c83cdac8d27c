// Packing of the dot files into zip files: threshold, timer, trigger and old-layout packs.
// Each pack runs under its dot file's lock, so no record is appended between the read and the
// removal of the dot file.
#include <climits>
#include <mutex>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "host/log.h"
#include "host/pal.h"
#include "manager/UTDeliveryConstants.h"
#include "manager/UTManager.h"
#include "manager/UTMask.h"
#include "transport/track_file.h"

namespace unified_track {

namespace {
int32_t ClampToInt32(uint64_t value) {
    return value > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}
}  // namespace

std::string UTManager::PackUuid() {
    std::unique_lock<RecursiveLock> param(ParamLock(), std::try_to_lock);
    std::lock_guard<std::mutex> guard(m_packUuidLock);
    if (param.owns_lock()) m_packUuid = uuid;
    return m_packUuid;
}

void UTManager::CompressDotFileToZip(RecursiveLock &fileLock, const std::string &zipFolder,
                                     const std::string &dotFile) {
    std::lock_guard<RecursiveLock> guard(fileLock);
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
    if (&fileLock == &MediaFileLock()) {
        m_lastMediaPackTime.store(now);
    } else {
        m_lastUserPackTime.store(now);
    }
}

bool UTManager::CompressMMRDotFileToZip() {
    std::lock_guard<RecursiveLock> guard(MmrFileLock());
    const std::string zipPath = GetZipFilePathName(m_mmrZipFolder);
    const bool packed = zipMMRFile(m_mmrDotFile, zipPath);
    if (!packed) {
        // The MMR dot file stays: its records go out with a later pack.
        UT_LOGI(kLogZipMmrFailed);
    } else {
        CleanDotFileContent(MmrFileLock(), m_mmrDotFile);
    }
    m_lastMmrPackTime.store(PAL_GetSystemTime());
    return packed;
}

void UTManager::CompressOldVersionFile() {
    std::string userPath = m_userDotFile;
    std::string mediaPath = m_mediaDotFile;
    const std::string level = std::string(1, kPathSep) + kOldLayoutLevel;
    for (std::string *path : {&userPath, &mediaPath}) {
        const size_t pos = path->find(level);
        if (pos == std::string::npos) {
            UT_LOGE(kLogOldVersionPathError, LogStream::FilterWord(*path, LOG_FILTER_PATH).c_str());
            return;
        }
        path->erase(pos, level.size());
    }
    CompressDotFileToZip(UserFileLock(), m_userZipFolder, userPath);
    CompressDotFileToZip(MediaFileLock(), m_mediaZipFolder, mediaPath);
}

void UTManager::CompressAllDotFiles() {
    CompressDotFileToZip(UserFileLock(), m_userZipFolder, m_userDotFile);
    CompressDotFileToZip(MediaFileLock(), m_mediaZipFolder, m_mediaDotFile);
    (void)CompressMMRDotFileToZip();
}

}  // namespace unified_track
