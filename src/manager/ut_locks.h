// Annotated locks for the manager's parts. libstdc++'s mutexes carry no thread-safety
// annotations, so the parts use these thin wrappers and their scoped guards instead.
#pragma once

#include <mutex>

#include "host/thread_annotations.h"

namespace unified_track {

class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    std::mutex &native() { return m_mutex; }  // for condition variables

private:
    std::mutex m_mutex;
};

// Recursive: the record paths re-enter the parameter and file locks they already hold.
// The analysis cannot model re-entry, so a function takes each such lock at most once itself.
class CAPABILITY("mutex") RecursiveLock {
public:
    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex &mutex) ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~MutexLock() RELEASE() { m_mutex.unlock(); }
    MutexLock(const MutexLock &) = delete;
    MutexLock &operator=(const MutexLock &) = delete;

private:
    Mutex &m_mutex;
};

class SCOPED_CAPABILITY RecursiveGuard {
public:
    explicit RecursiveGuard(RecursiveLock &lock) ACQUIRE(lock) : m_lock(lock) { m_lock.lock(); }
    ~RecursiveGuard() RELEASE() { m_lock.unlock(); }
    RecursiveGuard(const RecursiveGuard &) = delete;
    RecursiveGuard &operator=(const RecursiveGuard &) = delete;

private:
    RecursiveLock &m_lock;
};

}  // namespace unified_track
