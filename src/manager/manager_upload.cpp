// The upload worker: the upload thread's passes over the three zip folders, one upload per zip
// file, the retry policy (back-off, deletion of hopeless files, the per-folder cap) and the
// explicit upload trigger. Runs on the upload thread, except UploadUserTrack (command thread).
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include <unified_track/unified_track.h>

#include "host/clock.h"
#include "host/http_transport.h"
#include "host/log.h"
#include "host/pal.h"
#include "host/path.h"
#include "manager/delivery_constants.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"
#include "transport/transport_constants.h"
#include "transport/UTUploader.h"

namespace unified_track {

namespace {

// Lets the transport abort a request in flight as soon as the library stops.
bool UploadShouldStop() {
    return !UTManager::UploadRunning().load() || UTThreadMgr::IsStopped();
}

// No separator added when the name already begins with one; an empty folder still yields "/name".
std::string JoinZipPath(const std::string &folder, const std::string &name) {
    if (!name.empty() && IsPathSep(name.front())) return folder + name;
    return PathJoin(folder.empty() ? std::string(1, kPathSep) : folder, name);
}

std::vector<std::string> ListZipFiles(const std::string &folder) {
    std::vector<std::string> names;
    PAL_DIR *dir = PAL_OpenDir(folder.c_str());
    if (dir == nullptr) return names;
    PAL_DirEntry entry;
    while (PAL_ReadDir_S(dir, &entry) == 0) {
        if (PAL_StrStr(entry.name.c_str(), kZipSuffix) != nullptr) names.push_back(entry.name);
    }
    PAL_CloseDir(dir);
    // Equal-length decimal millisecond names: byte order is age order.
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

UTManager::UploadSnapshot UTManager::TakeUploadSnapshot() {
    UploadSnapshot snapshot;
    RecursiveGuard param(ParamLock());
    const ParamFields &p = m_params.Locked();
    snapshot.param = p.m_uploadParam;
    snapshot.userAgent = p.reserve2;
    snapshot.uuid = p.uuid;
    (void)m_files.PackUuid(&p.uuid);
    return snapshot;
}

void UTManager::RemoveStalePackFiles() {
    for (DotKind kind : {DotKind::kUser, DotKind::kMedia, DotKind::kMmr}) {
        const std::string &folder = m_files.ZipFolder(kind);
        std::vector<std::string> names;
        RecursiveGuard guard(DotFiles::LockOf(kind));
        if (PAL_ScanDir(folder.c_str(), &names, [](const PAL_DirEntry &e) {
                return !e.isDir && e.name.size() > sizeof(kPackTempSuffix) - 1 &&
                       e.name.compare(e.name.size() - (sizeof(kPackTempSuffix) - 1), std::string::npos,
                                      kPackTempSuffix) == 0;
            }) <= 0) {
            continue;
        }
        for (const std::string &name : names) (void)PAL_Remove(JoinZipPath(folder, name).c_str());
    }
}

void UTManager::PackOnTimer() {
    auto due = [](uint64_t last, uint64_t now) { return last != 0 && (now > last + kPackIntervalMs || now < last); };
    for (DotKind kind : {DotKind::kUser, DotKind::kMedia, DotKind::kMmr}) {
        const uint64_t now = PAL_GetSystemTime();
        if (!due(m_files.LastPack(kind), now)) continue;
        if (kind == DotKind::kMmr) {
            (void)CompressMMRDotFileToZip();
        } else {
            CompressDotFileToZip(DotFiles::LockOf(kind), m_files.ZipFolder(kind), m_files.DotFile(kind));
        }
        m_files.MarkPacked(kind, now);
    }
}

int UTManager::UploadThread() {
    UT_LOGI(kLogUploadBegin);
    ost_http_set_thread_abort_check(&UploadShouldStop);
    CompressOldVersionFile();
    RemoveStalePackFiles();
    const std::string folders[] = {m_files.ZipFolder(DotKind::kUser), m_files.ZipFolder(DotKind::kMedia),
                                   m_files.ZipFolder(DotKind::kMmr)};
    const char *const paths[] = {kUserUrlPath, kMediaUrlPath, kMmrUrlPath};

    while (UploadRunning().load()) {
        PackOnTimer();
        const UploadSnapshot snapshot = TakeUploadSnapshot();
        const UpLoadParam &param = snapshot.param;
        if ((param.token.empty() && param.jwtToken.empty()) || param.serverAddr.empty()) {
            PAL_SleepMs(kNoCredentialsSleepMs);
            continue;
        }
        bool retryLater = false;
        bool stopping = false;
        for (size_t i = 0; i < 3 && !stopping; ++i) {
            stopping = !UploadRunning().load();
            if (!stopping && UploadZipFileListInFolder(folders[i], paths[i]) == kUploadRetryLater) retryLater = true;
        }
        if (stopping) break;
        uint32_t sleepMs = m_upload.SleepMs();
        if (!retryLater) {
            sleepMs = kBackoffStartMs;
        } else {
            if (sleepMs < kBackoffGrowBelowMs) sleepMs += kBackoffStepMs;
            UT_LOGE(kLogNetworkBackoff, static_cast<int>(sleepMs));
        }
        m_upload.SetSleepMs(sleepMs);
        PAL_SleepMs(sleepMs);
    }
    UT_LOGI(kLogUploadEnd);
    ost_http_set_thread_abort_check(nullptr);
    ost_http_close_thread_connections();
    return 0;
}

int UTManager::UploadZipFileListInFolder(const std::string &folder, const std::string &urlPath) {
    std::vector<std::string> names = ListZipFiles(folder);
    size_t first = 0;
    if (names.size() > kMaxZipFilesPerFolder) {
        const std::string serverAddr = m_params.UploadParam().serverAddr;
        first = names.size() - kMaxZipFilesPerFolder;
        for (size_t i = 0; i < first; ++i) {
            (void)PAL_Remove(JoinZipPath(folder, names[i]).c_str());
            UT_LOGI(kLogDeleteZip, names[i].c_str());
            if (m_upload.CountExcessDelete() % kReportEvery == 0) {
                track_dotdata_delete_file(names[i].c_str(), kDeleteTypeExcessZip, 0, serverAddr.c_str(), -1);
            }
        }
    }
    int result = kUploadDone;
    for (size_t i = first; i < names.size(); ++i) {
        UT_LOGI(kLogUploadZip, names[i].c_str());
        result = UploadTrack(JoinZipPath(folder, names[i]), urlPath);
        if (result == kUploadRetryLater || result == kUploadStopping) break;
    }
    return result;
}

int UTManager::UploadTrack(const std::string &zipPath, const std::string &urlPath) {
    if (!UploadRunning().load()) return kUploadStopping;

    PAL_FILE *file = PAL_Fopen(zipPath.c_str(), "rb");
    if (file == nullptr) {
        UT_LOGI(kLogOpenZipFailed, LogStream::FilterWord(zipPath, LOG_FILTER_PATH).c_str());
        (void)UploadFailedProcess(zipPath, kLocalFileError);
        return kUploadUnreadable;
    }
    long length = -1;
    if (PAL_Fseek(file, 0, SEEK_END) == 0) length = PAL_Ftell(file);
    if (PAL_Fseek(file, 0, SEEK_SET) != 0) length = -1;
    if (length <= 0) {
        PAL_Fclose(file);
        UT_LOGW(kLogZipEmpty, static_cast<int>(length));
        return UploadFailedProcess(zipPath, kLocalFileError);
    }
    if (length > kMaxZipFileBytes) {
        PAL_Fclose(file);
        UT_LOGW(kLogZipTooLarge, length);
        return UploadFailedProcess(zipPath, kLocalFileError);
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(length)]());
    if (!buffer) {
        UT_LOGI(kLogZipBufferFailed, static_cast<int>(length));
        PAL_Fclose(file);
        return kUploadUnreadable;
    }
    const size_t read = PAL_Fread(buffer.get(), 1, static_cast<size_t>(length), file);
    PAL_Fclose(file);
    if (read < static_cast<size_t>(length)) {
        // A zero-filled tail would only earn a rejection; count it as the local error it is.
        UT_LOGE(kLogZipShortRead, static_cast<int>(length));
        return UploadFailedProcess(zipPath, kLocalFileError);
    }
    if (!UploadRunning().load()) return kUploadStopping;

    // A body the server has taken is never sent again by this process, even when its file could
    // not be removed (a read-only folder): only the removal is tried again.
    if (!UTUploader::WasAcknowledged(BodyDigestHex(buffer.get(), static_cast<size_t>(length)))) {
        const UploadSnapshot snapshot = TakeUploadSnapshot();
        UTUploader uploader(snapshot.param);
        const int32_t code =
            uploader.upload(buffer.get(), static_cast<uint32_t>(length), urlPath, snapshot.userAgent, snapshot.uuid);
        buffer.reset();
        if (code != kHttpOk) return UploadFailedProcess(zipPath, code);
    }

    const int ret = PAL_Remove(zipPath.c_str());
    if (ret != 0) {
        const int lastErr = PAL_GetLastErr();
        const uint32_t failures = m_upload.CountRemoveFailure();
        if (failures % kReportEvery == 0) {
            UT_LOGW(kLogRemoveZipFailed, LogStream::FilterWord(zipPath, LOG_FILTER_PATH).c_str(), ret, lastErr,
                    static_cast<int>(failures));
        }
    }
    return kUploadDone;
}

int UTManager::UploadFailedProcess(const std::string &zipPath, int code) {
    if (!UploadRunning().load()) return kUploadStopping;
    const size_t pos = LastPathSep(zipPath);
    if (pos == std::string::npos || pos + 1 >= zipPath.size()) return kUploadUnreadable;
    const std::string name = zipPath.substr(pos + 1);

    const uint32_t count = m_upload.CountFailure(name);
    const std::string serverAddr = m_params.UploadParam().serverAddr;

    int result = kUploadRetryLater;
    if (code == kHttpBadRequest || code == kLocalFileError) {
        result = kUploadRejected;
        if (count >= kFileErrorDeleteAfter) {
            m_upload.ForgetFailures(name);
            TryCopyErrorDotFileToLog(zipPath);
            (void)PAL_Remove(zipPath.c_str());
            UT_LOGE(kLogRemoteErrcode, PAL_GetLastErr());
            track_dotdata_delete_file(name.c_str(), kDeleteTypeFileError, code, serverAddr.c_str(), -1);
            UT_LOGE(kLogDeleteFileError, name.c_str());
        }
    }
    if (m_upload.ForgetIfAtLeast(name, kAnyErrorDeleteAfter)) {
        (void)PAL_Remove(zipPath.c_str());
        UT_LOGE(kLogRemoteErrcode, PAL_GetLastErr());
        track_dotdata_delete_file(name.c_str(), kDeleteTypeTooManyFailures, code, serverAddr.c_str(), -1);
        UT_LOGE(kLogDeleteTooManyFailures, name.c_str());
    }
    UT_LOGE(kLogUploadFailed, name.c_str(), static_cast<unsigned>(code));
    return result;
}

OST_UT_RESULT UTManager::UploadUserTrack() {
    if (!IsInited()) {
        UT_LOGE(kLogUploadNotInited);
        return UT_NOT_INITED;
    }
    RecursiveGuard param(ParamLock());
    const UpLoadParam &upload = m_params.Locked().m_uploadParam;
    if (!upload.token.empty() || !upload.jwtToken.empty()) {
        CompressDotFileToZip(UserFileLock(), m_files.ZipFolder(DotKind::kUser), m_files.DotFile(DotKind::kUser));
        return UT_SUCCESS;
    }
    UT_LOGE(kLogUploadNoToken);
    return UT_UPLOAD_ERROR;
}

}  // namespace unified_track
