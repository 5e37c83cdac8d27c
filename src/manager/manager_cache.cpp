// The host's configuration cache: the public SDK parameters survive a restart through it, and
// it holds the counter of failed dot files copied next to the trace log. The hooks are the
// host's own and may be replaced at any time; each call reads the pointer once.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "host/log.h"
#include "host/pal.h"
#include "host/path.h"
#include "log/track_trace.h"
#include "manager/UTManager.h"
#include "manager/record_constants.h"

namespace unified_track {
namespace {
void EraseNewlines(std::string &text) {
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
}
}  // namespace

OST_UT_RESULT UTManager::setAddCacheFun(AddConfigCacheFunc addFunc, QueryConfigCacheFunc queryFunc,
                                        DelConfigCacheFunc delFunc) {
    m_cacheHooks.Set(addFunc, queryFunc, delFunc);
    return UT_SUCCESS;
}

void UTManager::FillPublicSdkEntries(LumConfigCache *entries, size_t count) {
    if (entries == nullptr || count < static_cast<size_t>(kPublicSdkEntryCount)) return;
    RecursiveGuard guard(ParamLock());
    const ParamFields &p = m_params.Locked();
    const std::pair<const char *, const std::string *> items[kPublicSdkEntryCount] = {
        {kKeyPublicSdkParamUuid, &p.uuid},
        {kKeyPublicSdkParamAccount, &p.account},
        {kKeyPublicSdkParamCloudusgIp, &p.cloudusgIp},
        {kKeyPublicSdkParamSbcIp, &p.sbcIp},
        {kKeyPublicSdkParamReserve1, &p.reserve1},
        {kKeyPublicSdkParamReserve2, &p.reserve2},
        {kKeyPublicSdkParamReserve3, &p.reserve3},
        {kKeyPublicSdkParamReserve4, &p.reserve4},
        {kKeyPublicSdkParamReserve5, &p.reserve5},
        {kKeyPublicSdkParamReserves, &p.reserves},
    };
    for (int32_t i = 0; i < kPublicSdkEntryCount; ++i) {
        entries[i].reserved = 0;
        entries[i].key = items[i].first;
        entries[i].value = *items[i].second;
    }
}

bool UTManager::PersistPublicSdkParams() {
    // Released by whichever of this thread and the writer lets it go last.
    std::shared_ptr<std::vector<LumConfigCache>> entries;
    try {
        entries = std::make_shared<std::vector<LumConfigCache>>(kPublicSdkEntryCount);
        FillPublicSdkEntries(entries->data(), entries->size());
    } catch (const std::bad_alloc &) {
        return false;
    }
    AddConfigCacheFunc add = m_cacheHooks.Add();
    if (add == nullptr) return true;
    // The host's cache may be slow (a database); the command thread does not wait for it. A
    // writer that cannot start has logged why.
    (void)m_cacheWriter.Post(add, std::move(entries));
    return true;
}

bool UTManager::AddCacheData(const std::string &key, const std::string &value) {
    AddConfigCacheFunc add = m_cacheHooks.Add();
    if (add == nullptr) {
        UT_LOGE("AddConfigCache is null");
        return false;
    }
    LumConfigCache entry;
    entry.key = key;
    entry.value = value;
    int32_t ret = add(&entry, 1);
    if (ret != 0) {
        UT_LOGE("AddConfigCache failed. key:%s errorCode:%d", key.c_str(), ret);
        return false;
    }
    return true;
}

bool UTManager::QueryCacheData(const std::string &key, std::string &value) {
    LumConfigCache entry;
    entry.key = key;
    int32_t count = 1;
    QueryConfigCacheFunc query = m_cacheHooks.Query();
    if (query == nullptr) return true;
    int32_t ret = query(key.c_str(), &entry, &count);
    if (ret != 0) {
        UT_LOGE("QueryConfigCacheByKey failed. key:%s errorCode:%d", key.c_str(), ret);
        return false;
    }
    value = entry.value;
    EraseNewlines(value);
    return true;
}

void UTManager::GetCacheConfigSDKParamsFromDb() {
    RecursiveGuard guard(ParamLock());
    ParamFields &p = m_params.Locked();
    // Without the uuid the cache holds nothing of this host; everything stays as it was.
    if (!QueryCacheData(kKeyPublicSdkParamUuid, p.uuid)) return;
    QueryCacheData(kKeyPublicSdkParamAccount, p.account);
    QueryCacheData(kKeyPublicSdkParamCloudusgIp, p.cloudusgIp);
    QueryCacheData(kKeyPublicSdkParamSbcIp, p.sbcIp);
    QueryCacheData(kKeyPublicSdkParamReserve1, p.reserve1);
    UT_LOGI("QueryDB reserve1: %s", p.reserve1.c_str());
    QueryCacheData(kKeyPublicSdkParamReserve2, p.reserve2);
    QueryCacheData(kKeyPublicSdkParamReserve3, p.reserve3);
    QueryCacheData(kKeyPublicSdkParamReserve4, p.reserve4);
    QueryCacheData(kKeyPublicSdkParamReserve5, p.reserve5);
    BuildReserves();
}

OST_UT_RESULT UTManager::DelUserInfo() {
    DelConfigCacheFunc del = m_cacheHooks.Del();
    if (del == nullptr) {
        UT_LOGE("DelConfigFunc is null.");
        return UT_SUCCESS;
    }
    int32_t ret = del(kKeyPublicSdkParamUuid);
    UT_LOGI("delete uuid. ret:%d", ret);
    ret = del(kKeyPublicSdkParamAccount);
    UT_LOGI("delete account. ret:%d", ret);
    return UT_SUCCESS;
}

void UTManager::TryCopyErrorDotFileToLog(const std::string &filePath) {
    QueryConfigCacheFunc query = m_cacheHooks.Query();
    AddConfigCacheFunc add = m_cacheHooks.Add();
    if (query == nullptr || add == nullptr) {
        UT_LOGE("QueryConfigCache or AddConfigCache is null");
        return;
    }
    LumConfigCache entry;
    entry.key = kKeyErrorDotDataFileToLogsCount;
    int32_t entryCount = 1;
    int32_t ret = query(kKeyErrorDotDataFileToLogsCount, &entry, &entryCount);
    if (ret != 0 && ret != kCacheQueryNotFound) {
        UT_LOGE("QueryConfigCache failed. key:%s errorCode:%d", kKeyErrorDotDataFileToLogsCount, ret);
        return;
    }

    long count = 0;
    if (!entry.value.empty()) {
        errno = 0;
        char *end = nullptr;
        long long parsed = std::strtoll(entry.value.c_str(), &end, 10);
        bool rangeError = errno == ERANGE || parsed > INT32_MAX || parsed < INT32_MIN;
        if ((end != nullptr && *end != '\0') || rangeError) UT_LOGE("strtol error:%s", entry.value.c_str());
        // A counter the cache garbled must not lift the limit: far too large refuses, below
        // zero counts as none copied yet.
        if (parsed > INT32_MAX) parsed = INT32_MAX;
        if (parsed < 0) parsed = 0;
        count = static_cast<long>(parsed);
    }
    if (count > kErrorDotDataFileToLogMaxCount) {
        UT_LOGE("count > ERROR_DOTDATA_FILE_TO_LOG_MAX_COUNT. count:%d", static_cast<int>(count));
        return;
    }

    char logPath[kPathBufferBytes] = {};
    Track_GetLogPath(logPath, static_cast<int32_t>(sizeof(logPath)));
    if (logPath[0] == '\0') {
        // Without a trace-log folder the copy would land relative to the working directory.
        UT_LOGE("log path is empty, dot file not copied");
        return;
    }
    std::string folder = WithTrailingSep(std::string(logPath) + kErrorDotDataFolder);
    if (PAL_IsFileExist(folder.c_str()) == 0) PAL_MkDir(folder.c_str(), 0755);

    std::string target = folder;
    size_t sep = LastPathSep(filePath);
    if (sep != std::string::npos && sep + 1 < filePath.size()) target += filePath.substr(sep + 1);
    PAL_CopyFile(filePath.c_str(), target.c_str());
    int lastError = PAL_GetLastErr();
    if (target != folder) PAL_Chmod(target.c_str(), 0);  // a copy of dot data stays private
    UT_LOGI("key:%s, count:%d, lastError:%d", kKeyErrorDotDataFileToLogsCount, static_cast<int>(count), lastError);

    LumConfigCache next;
    next.key = kKeyErrorDotDataFileToLogsCount;
    next.value = std::to_string(count + 1);
    add(&next, 1);
}

}  // namespace unified_track
