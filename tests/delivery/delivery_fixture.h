// Helpers of the delivery tests: a stepping manual clock, a manager laid out in a temporary
// folder, the upload thread run by the test, and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/clock.h"
#include "host/http_transport.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"
#include "support/https_collector.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "transport/UTUploader.h"

namespace ut_delivery {

using unified_track::UTManager;

// A manual clock that also counts sleeps, so a test can wait for the k-th sleep of the upload
// thread and read how long it asked to sleep.
class StepClock : public unified_track::ManualClock {
public:
    StepClock() : ManualClock(1700000000000ull, 5000000ull) {}
    void SleepMs(uint32_t ms) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            sleeps_.push_back(ms);
        }
        cv_.notify_all();
        ManualClock::SleepMs(ms);
    }
    // Waits until the k-th sleep (1-based) has begun and returns its length; 0 on time-out.
    uint32_t WaitSleep(size_t k) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, std::chrono::seconds(30), [&] { return sleeps_.size() >= k; })) return 0;
        uint32_t ms = sleeps_[k - 1];
        lock.unlock();
        // The previous sleep has ended before the k-th was asked for, so a sleeper now is the k-th.
        if (!WaitForSleepers(1, 30000)) return 0;
        return ms;
    }
    size_t SleepCount() {
        std::lock_guard<std::mutex> lock(mutex_);
        return sleeps_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint32_t> sleeps_;
};

inline void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

inline std::vector<std::string> ListDir(const std::string &folder) {
    std::vector<std::string> names;
    if (DIR *d = opendir(folder.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Polls until cond holds; the bound only keeps a broken build from hanging.
inline bool WaitUntil(const std::function<bool()> &cond, int seconds = 30) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// The user/media envelope exactly as packing writes it.
inline std::string Envelope(const std::string &data, const std::string &user) {
    Json::Value v(Json::objectValue);
    v["data"] = data;
    v["user"] = user;
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return Json::writeString(b, v);
}

// The manager laid out under <tmp>/dotdata, upload parameters pointing at a collector, and an
// upload thread that the test starts and stops itself.
class ManagerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        unified_track::SetClock(&clock_);
        root_ = tmp_.path() + "/dotdata";
        UTManager &m = mgr();
        ASSERT_TRUE(m.InitFolderPath(root_.c_str()));
        // What Init would switch on, and a clean upload state even when tests share a process.
        m.m_bInited.store(true);
        m.m_dotSwitch.store(true);
        m.m_meetingSdkDotSwitch.store(true);
        m.m_uploadSleepMs.store(200);
        {
            std::lock_guard<std::mutex> lock(m.m_uploadStateLock);
            m.m_uploadFailCounts.clear();
            m.m_zipRemoveFailCount = 0;
            m.m_excessDeleteCount = 0;
        }
        {
            std::lock_guard<unified_track::RecursiveLock> lock(UTManager::ParamLock());
            m.m_userCache.clear();
        }
        unified_track::UTUploader::ClearRequestIds();
    }
    void TearDown() override {
        StopThread();
        // Reports queued to the command thread read the clock: let them finish before it goes.
        unified_track::UTThreadMgr::GetInstance().PushCmd(
            std::function<OST_UT_RESULT()>([] { return OST_UT_RESULT(UT_SUCCESS); }), "_test_drain");
        ost_http_close_thread_connections();
        ost_http_set_send_func(nullptr);
        ost_http_set_test_timeouts_ms(0, 0);
        unified_track::SetClock(nullptr);
    }
    static UTManager &mgr() { return UTManager::GetInstance(); }

    void PointAt(int port, const std::string &caFile, const std::string &token = "tok") {
        std::lock_guard<unified_track::RecursiveLock> lock(UTManager::ParamLock());
        auto &p = mgr().m_uploadParam;
        p.serverAddr = "127.0.0.1";
        p.port = static_cast<uint16_t>(port);
        p.token = token;
        p.jwtToken = "";
        p.certInfo = caFile;
        p.isProxyOff = true;
        mgr().uuid = "uuid-1";
        mgr().reserve2 = "agent/1.0";
    }

    void StartThread() {
        UTManager::UploadRunning().store(true);
        done_.store(false);
        thread_ = std::thread([this] {
            mgr().UploadThread();
            done_.store(true);
        });
    }
    void StopThread() {
        if (!thread_.joinable()) return;
        UTManager::UploadRunning().store(false);
        // Wake until it is out: a wake between its flag check and its sleep would be lost.
        WaitUntil([this] {
            clock_.WakeAll();
            return done_.load();
        });
        thread_.join();
    }

    // Writes a zip file with the given envelope data into a zip folder.
    std::string PutZip(const std::string &folder, const std::string &name, const std::string &data) {
        std::string path = folder + "/" + name;
        WriteFile(path, ut_test::GzipBytes(Envelope(data, "uuid-1")));
        return path;
    }

    StepClock clock_;
    ut_test::TempDir tmp_;
    std::string root_;
    std::thread thread_;
    std::atomic<bool> done_{false};
};

}  // namespace ut_delivery
