// Dot-data files: appending records, making folders on demand, removing or emptying a packed
// file, wiping zip folders and deleting all dot data. Callers hold the file's lock around an
// append and its size check; the clean step takes the same (recursive) lock again.
#include <climits>
#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "host/log.h"
#include "host/pal.h"
#include "host/path.h"
#include "manager/UTManager.h"
#include "manager/masks.h"
#include "manager/record_constants.h"

namespace unified_track {
namespace {
constexpr int32_t kAppendFailed = -1;

std::string FolderOf(const std::string &path) {
    size_t pos = LastPathSep(path);
    return pos == std::string::npos ? path : path.substr(0, pos);
}

void ReportClean(int32_t errorCode, int32_t length) {
    track_dotdata_delete_file("", kCleanReportFileType, errorCode, "", length);
}
}  // namespace

int32_t UTManager::AddDataToFile(const std::string &path, const std::string &data) {
    if (data.empty()) return 0;
    // One open(O_APPEND)+write+close: the record lands whole at the end of the file, or not at
    // all (a short write is cut back), and the file is owner-only.
    int64_t length = PAL_AppendFile(path.c_str(), data.data(), data.size());
    if (length == kPalAppendOpenFailed) {
        CheckAndMakeDirByFilePath(path);
        length = PAL_AppendFile(path.c_str(), data.data(), data.size());
    }
    if (length == kPalAppendWriteFailed) {
        // Nothing of the record stayed (a full disk): a failure, unlike the 0 of an empty record.
        UT_LOGE("PAL_Fwrite failed, lasterr:%d", PAL_GetLastErr());
        return kAppendFailed;
    }
    if (length < 0) {
        UT_LOGI("file open failed: %s", MiddleMask(path).c_str());
        return 0;
    }
    return length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
}

int UTManager::CheckAndMakeDirByFilePath(const std::string &path) {
    std::string folder = FolderOf(path);
    std::string masked = MiddleMask(folder);
    UT_LOGE("%s", masked.c_str());
    if (MakeDotdataDir(folder) == 0) {
        UT_LOGE("folder create failed: %s", masked.c_str());
        return -1;
    }
    return 0;
}

bool UTManager::DeleteFileResult(const std::string &path) {
    int removed = PAL_Remove(path.c_str());
    if (PAL_IsFileExist(path.c_str()) == 0) return true;
    if (removed == 0) {
        UT_LOGI("dotdata file delete failed");
    } else {
        UT_LOGE("remove dotdata failed!");
    }
    return false;
}

void UTManager::CleanDotFileContent(RecursiveLock &fileLock, const std::string &path) {
    RecursiveGuard guard(fileLock);
    if (DeleteFileResult(path)) return;

    UT_LOGE("dotdata file clean data start!");
    PAL_FILE *file = PAL_Fopen(path.c_str(), "wb+");
    if (file == nullptr) {
        UT_LOGE("open dot data file failed");
        if (DeleteFileResult(path)) return;
        ReportClean(kCleanReportFailure, -1);
        UT_LOGE("delete dot data file failed again");
        return;
    }
    PAL_Fwrite("", 1, 0, file);
    PAL_Fflush(file);
    long remaining = PAL_Ftell(file);
    PAL_Fclose(file);
    int32_t length = remaining > INT32_MAX ? INT32_MAX : static_cast<int32_t>(remaining);
    UT_LOGI("dot file length after clean: %d", length);
    if (length == 0) {
        ReportClean(kCleanReportSuccess, 0);
        UT_LOGE("dotdata file clean data success!");
        return;
    }
    if (DeleteFileResult(path)) {
        ReportClean(kCleanReportSuccess, length);
        UT_LOGE("dotdata file clean data success!");
    } else {
        ReportClean(kCleanReportFailure, length);
        UT_LOGE("delete dot data file failed again");
    }
}

void UTManager::RmFolderFile(const std::string &folder) {
    if (folder.empty()) return;
    std::vector<std::string> names;
    int count = PAL_ScanDir(folder.c_str(), &names, [](const PAL_DirEntry &entry) {
        return !entry.name.empty() && entry.name.find(kZipFileMark) != std::string::npos;
    });
    if (count <= 0) return;
    for (const std::string &name : names) {
        std::string path = folder + kPathSep + name;
        int ret = PAL_Remove(path.c_str());
        UT_LOGI("remove ret: %d, errno: %d", ret, PAL_GetLastSocketErr());
    }
}

OST_UT_RESULT UTManager::DelDotData() {
    // The upload thread packs and posts under these locks; holding all three keeps it from
    // packing a file that is being removed (order: user, media, MMR).
    RecursiveGuard userGuard(UserFileLock());
    RecursiveGuard mediaGuard(MediaFileLock());
    RecursiveGuard mmrGuard(MmrFileLock());
    for (DotKind kind : {DotKind::kMmr, DotKind::kMedia, DotKind::kUser}) {
        const std::string &file = m_files.DotFile(kind);
        if (!file.empty()) PAL_Remove(file.c_str());
    }
    for (DotKind kind : {DotKind::kMmr, DotKind::kMedia, DotKind::kUser}) RmFolderFile(m_files.ZipFolder(kind));
    return UT_SUCCESS;
}

}  // namespace unified_track
