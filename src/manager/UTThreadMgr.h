// The command thread: runs every queued manager operation one at a time, in push order.
// Host threads push; the command thread pops. The queue is guarded by m_mutex, held only to
// append or take an element, never while a command runs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <unified_track/unified_track.h>

namespace unified_track {

class ThreadExecInterface {
public:
    explicit ThreadExecInterface(std::string name) : m_name(std::move(name)) {}
    virtual void Execute() = 0;
    virtual ~ThreadExecInterface() = default;
    const std::string &Name() const { return m_name; }

private:
    std::string m_name;
};

class ThreadExec : public ThreadExecInterface {
public:
    ThreadExec(std::string name, std::function<OST_UT_RESULT()> func, std::promise<OST_UT_RESULT> promise);
    void Execute() override;

private:
    std::function<OST_UT_RESULT()> m_func;
    std::promise<OST_UT_RESULT> m_promise;
};

class ThreadNoRetExec : public ThreadExecInterface {
public:
    ThreadNoRetExec(std::string name, std::function<void()> func);
    void Execute() override;

private:
    std::function<void()> m_func;
};

class UTThreadMgr {
public:
    static UTThreadMgr &GetInstance();

    // Synchronous: waits for the result. Returns UT_FAILED at once when stopped.
    OST_UT_RESULT PushCmd(std::function<OST_UT_RESULT()> func, const std::string &name);
    // Asynchronous: queues and returns; dropped when stopped.
    void PushCmd(std::function<void()> func, const std::string &name);
    void Stop();
    static bool IsStopped();
    static uint64_t CommandThreadId();
    // Commands queued and not yet taken by the command thread (diagnostics).
    size_t PendingCount();
    // Stops the command thread and the upload thread and waits for both to end. Called at library
    // unload before any queue, lock or manager they use is destroyed; harmless when nothing runs.
    static void ShutdownThreads();

private:
    UTThreadMgr();
    ~UTThreadMgr();
    UTThreadMgr(const UTThreadMgr &) = delete;
    UTThreadMgr &operator=(const UTThreadMgr &) = delete;
    void ThreadProc();
    void StopAndJoin();

    std::mutex m_mutex;                                       // guards m_queue
    std::list<std::shared_ptr<ThreadExecInterface>> m_queue;  // guarded by m_mutex
    std::condition_variable m_cond;
    std::thread m_thread;  // joined at unload, never detached

    static std::atomic<bool> s_stop;          // set once by Stop, never cleared
    static std::atomic<uint64_t> s_threadId;  // PAL_GetTID of the command thread, 0 before it runs
};

}  // namespace unified_track
