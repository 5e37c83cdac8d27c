#include "manager/UTThreadMgr.h"

#include <new>

#include "host/log.h"
#include "host/pal.h"
#include "manager/manager_constants.h"
#include "manager/UTManager.h"

namespace unified_track {

std::atomic<bool> UTThreadMgr::s_stop{false};
std::atomic<uint64_t> UTThreadMgr::s_threadId{0};

namespace {
// The live instance, for the unload hook: it must not touch the function-local static once its
// destructor has run (at process exit static destructors run before the unload hook).
std::atomic<UTThreadMgr *> g_liveThreadMgr{nullptr};
}  // namespace

ThreadExec::ThreadExec(std::string name, std::function<OST_UT_RESULT()> func, std::promise<OST_UT_RESULT> promise)
    : ThreadExecInterface(std::move(name)), m_func(std::move(func)), m_promise(std::move(promise)) {}

void ThreadExec::Execute() {
    try {
        m_promise.set_value(m_func());
    } catch (...) {
        // The waiting caller turns this into UT_FAILED; the command thread goes on.
        try {
            m_promise.set_exception(std::current_exception());
        } catch (...) {
        }
    }
}

ThreadNoRetExec::ThreadNoRetExec(std::string name, std::function<void()> func)
    : ThreadExecInterface(std::move(name)), m_func(std::move(func)) {}

void ThreadNoRetExec::Execute() {
    m_func();
}

UTThreadMgr &UTThreadMgr::GetInstance() {
    static UTThreadMgr instance;
    return instance;
}

UTThreadMgr::UTThreadMgr() {
    // The commands use the manager: make it first so that it is destroyed after this object,
    // whose destructor joins the threads that use it.
    (void)UTManager::GetInstance();
    m_thread = std::thread(&UTThreadMgr::ThreadProc, this);
    g_liveThreadMgr.store(this);
}

UTThreadMgr::~UTThreadMgr() {
    g_liveThreadMgr.store(nullptr);
    StopAndJoin();
    UTManager::GetInstance().JoinUploadThread();
}

void UTThreadMgr::ShutdownThreads() {
    if (UTThreadMgr *mgr = g_liveThreadMgr.load()) {
        mgr->StopAndJoin();
    }
    UTManager::JoinUploadThreadIfAlive();
    UTManager::StopCacheWriterIfAlive();
}

void UTThreadMgr::StopAndJoin() {
    Stop();
    if (!m_thread.joinable()) return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        // Unloading from inside a command: the thread cannot wait for itself.
        m_thread.detach();
        return;
    }
    m_thread.join();
}

OST_UT_RESULT UTThreadMgr::PushCmd(std::function<OST_UT_RESULT()> func, const std::string &name) {
    if (!func) {
        UT_LOGI(kLogPushSyncParamNull);
        return UT_FAILED;
    }
    if (s_stop.load()) return UT_FAILED;
    if (PAL_GetTID() == s_threadId.load()) {
        // A command that waits for a command it queued would wait for itself.
        try {
            return func();
        } catch (...) {
            return UT_FAILED;
        }
    }
    std::promise<OST_UT_RESULT> promise;
    std::future<OST_UT_RESULT> result = promise.get_future();
    std::shared_ptr<ThreadExec> exec;
    try {
        exec = std::make_shared<ThreadExec>(name, std::move(func), std::move(promise));
    } catch (const std::bad_alloc &) {
        UT_LOGI(kLogThreadExecNewFailed);
        return UT_FAILED;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Checked under the queue lock: once the loop has ended nobody would ever take it.
        if (s_stop.load()) return UT_FAILED;
        m_queue.push_back(std::move(exec));
    }
    m_cond.notify_all();
    try {
        return result.get();
    } catch (...) {
        // Broken promise (dropped by a stopping loop) or a command that threw.
        return UT_FAILED;
    }
}

void UTThreadMgr::PushCmd(std::function<void()> func, const std::string &name) {
    if (!func) {
        UT_LOGI(kLogPushAsyncParamNull);
        return;
    }
    if (s_stop.load()) return;
    auto exec = std::make_shared<ThreadNoRetExec>(name, std::move(func));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (s_stop.load()) return;
        m_queue.push_back(std::move(exec));
    }
    m_cond.notify_all();
}

void UTThreadMgr::Stop() {
    {
        // Set under the queue lock so that the loop cannot miss it between its check and its wait.
        std::lock_guard<std::mutex> lock(m_mutex);
        s_stop.store(true);
    }
    m_cond.notify_all();
}

bool UTThreadMgr::IsStopped() {
    return s_stop.load();
}

uint64_t UTThreadMgr::CommandThreadId() {
    return s_threadId.load();
}

size_t UTThreadMgr::PendingCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

void UTThreadMgr::ThreadProc() {
    s_threadId.store(PAL_GetTID());
    std::list<std::shared_ptr<ThreadExecInterface>> dropped;
    while (true) {
        std::shared_ptr<ThreadExecInterface> exec;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cond.wait(lock, [this] { return s_stop.load() || !m_queue.empty(); });
            if (s_stop.load()) {
                // Whatever is still queued is dropped unrun; its waiters see a broken promise.
                dropped.swap(m_queue);
                break;
            }
            exec = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (exec) {
            try {
                exec->Execute();
            } catch (...) {
                UT_LOGE(kLogCommandThrew, exec->Name().c_str());
            }
            Track_MsgDotCount(kCommandCounterIndex);
        }
    }
    dropped.clear();
}

}  // namespace unified_track

// Library unload (dlclose): runs before the library's static destructors, so both threads are
// gone before the queue, the manager and the locks are destroyed.
__attribute__((destructor)) static void UnifiedTrackUnload() {
    unified_track::UTThreadMgr::ShutdownThreads();
}
