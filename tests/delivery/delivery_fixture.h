// Helpers of the delivery tests: a stepping manual clock, a manager laid out in a temporary
// folder, the upload thread run by the test, and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/manual_clock.h"
#include "support/scoped_host.h"
#include "host/http_transport.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"
#include "support/https_collector.h"
#include "support/log_capture.h"
#include "support/test_env.h"
#include "transport/UTUploader.h"

namespace ut_delivery {

using unified_track::DotKind;
// Where the manager keeps the dot file and the zip folder of a kind.
inline const std::string &DotFileOf(DotKind kind) {
    return unified_track::UTManager::GetInstance().Files().DotFile(kind);
}
inline const std::string &ZipFolderOf(DotKind kind) {
    return unified_track::UTManager::GetInstance().Files().ZipFolder(kind);
}

using unified_track::RecursiveLock;
using unified_track::UTManager;

// A manual clock that also counts sleeps, so a test can wait for the k-th sleep of the upload
// thread and read how long it asked to sleep.
class StepClock : public ut_test::ManualClock {
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
    // Waits until the next sleep has begun and returns its length; 0 on time-out.
    uint32_t NextSleep() {
        std::unique_lock<std::mutex> lock(mutex_);
        const size_t k = ++waited_;
        if (!cv_.wait_for(lock, std::chrono::seconds(30), [&] { return sleeps_.size() >= k; })) return 0;
        const uint32_t ms = sleeps_[k - 1];
        lock.unlock();
        // The previous sleep has ended before the k-th was asked for, so a sleeper now is the k-th.
        return WaitForSleepers(1, 30000) ? ms : 0;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint32_t> sleeps_;  // guarded by mutex_
    size_t waited_ = 0;
};

inline void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool Exists(const std::string &path) {
    return std::filesystem::exists(path);
}

// The sorted names in a folder; none when it is missing.
inline std::vector<std::string> ListDir(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

using ut_test::WaitUntil;

// The user/media envelope exactly as packing writes it.
inline std::string Envelope(const std::string &data, const std::string &user = "uuid-1") {
    Json::Value v(Json::objectValue);
    v["data"] = data;
    v["user"] = user;
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return Json::writeString(b, v);
}

using ut_test::DrainCommands;

// The manager laid out under <tmp>/dotdata, upload parameters pointing at a collector, and an
// upload thread that the test starts and stops itself.
class ManagerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        installed_.emplace(&clock_);
        UTManager &m = mgr();
        ASSERT_TRUE(m.InitFolderPath((tmp_.path() + "/dotdata").c_str()));
        // What Init would switch on (each test runs in a process of its own).
        m.MarkInited(true);
        unified_track::SwitchState switches = m.Params().Switches();
        switches.dot = switches.meetingSdk = true;
        m.Params().RestoreSwitches(switches);
        m.Upload().SetSleepMs(200);
        std::lock_guard<RecursiveLock> lock(UTManager::ParamLock());
        m.Params().Locked().uuid = "uuid-1";
    }
    void TearDown() override {
        StopThread();
        // Reports queued to the command thread read the clock: let them finish before it goes.
        DrainCommands();
        ost_http_close_thread_connections();
        ost_http_set_test_timeouts_ms(0, 0);
        installed_.reset();
    }
    static UTManager &mgr() { return UTManager::GetInstance(); }

    void PointAt(int port, const std::string &caFile) {
        std::lock_guard<RecursiveLock> lock(UTManager::ParamLock());
        auto &p = mgr().Params().Locked().m_uploadParam;
        p.serverAddr = "127.0.0.1";
        p.port = static_cast<uint16_t>(port);
        p.token = "tok";
        p.certInfo = caFile;
        p.isProxyOff = true;
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
        WriteFile(folder + "/" + name, ut_test::GzipBytes(Envelope(data)));
        return folder + "/" + name;
    }

    StepClock clock_;
    std::optional<ut_test::ScopedClock> installed_;
    ut_test::TempDir tmp_;
    std::thread thread_;
    std::atomic<bool> done_{false};
};

}  // namespace ut_delivery
