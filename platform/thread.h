// Worker threads and auto-reset events.
//
// There is deliberately no forced termination: a thread killed in the middle of
// a device call or a file write leaves both broken. Owners cancel, wake the
// blocked call and join.
#pragma once

#include <pthread.h>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

enum class ThreadPriority { Normal, AboveNormal, Highest };

// Stacks of a few kilobytes are below what the C library and sanitizers need;
// the requested size is taken as a minimum.
constexpr std::size_t kMinThreadStack = 1024 * 1024;
std::size_t SafeStackSize(std::size_t requested);

class CThread {
public:
    // Starts fn on a new thread; nullptr when the thread could not be created.
    static std::unique_ptr<CThread> Start(std::function<void()> fn, std::size_t stackSize,
                                          ThreadPriority priority = ThreadPriority::Normal);
    ~CThread();  // joins
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    bool IsRunning() const { return m_running.load(); }
    // Waits for the end (on the UI thread while handling messages). False on time-out.
    bool Wait(int timeoutMs = -1);
    std::size_t StackSize() const { return m_stackSize; }

private:
    CThread() = default;
    static void* Entry(void* arg);

    pthread_t m_thread{};
    bool m_joined = false;
    std::size_t m_stackSize = 0;
    std::atomic<bool> m_running{true};
    // Signals the end of the thread to a waiter that does not handle messages.
    std::mutex m_endMutex;
    std::condition_variable m_endCv;
    std::function<void()> m_fn;
    ThreadPriority m_priority = ThreadPriority::Normal;
};

// An auto-reset event: Set releases one wait, after which it is clear again.
class CEvent {
public:
    void Set();
    void Reset();
    // True when signalled within timeoutMs (-1: no limit).
    bool Wait(int timeoutMs = -1);
    // Non-blocking check that consumes the signal.
    bool TryWait() { return Wait(0); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
};

}  // namespace platform
