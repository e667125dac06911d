#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "platform/message.h"

namespace platform {

std::size_t SafeStackSize(std::size_t requested) {
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    std::size_t size = requested < kMinThreadStack ? kMinThreadStack : requested;
    return (size + pageSize - 1) / pageSize * pageSize;
}

std::unique_ptr<CThread> CThread::Start(std::function<void()> fn, std::size_t stackSize,
                                        ThreadPriority priority) {
    std::unique_ptr<CThread> thread(new CThread());
    thread->m_fn = std::move(fn);
    thread->m_priority = priority;
    thread->m_stackSize = SafeStackSize(stackSize);

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        return nullptr;
    }
    pthread_attr_setstacksize(&attr, thread->m_stackSize);
    const int rc = pthread_create(&thread->m_thread, &attr, &CThread::Entry, thread.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        thread->m_joined = true;
        return nullptr;
    }
    return thread;
}

void* CThread::Entry(void* arg) {
    auto* self = static_cast<CThread*>(arg);
    if (self->m_priority != ThreadPriority::Normal) {
        // Raising priority needs privileges an ordinary user lacks; it is only a hint.
        const int nice = self->m_priority == ThreadPriority::Highest ? -2 : -1;
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), nice);
    }
    self->m_fn();
    {
        std::lock_guard lock(self->m_endMutex);
        self->m_running.store(false);
        self->m_endCv.notify_all();
    }
    return nullptr;
}

bool CThread::Wait(int timeoutMs) {
    if (m_joined) {
        return true;
    }
    if (IsUiThread() && HasUiLoop()) {
        // A worker may be sending to this thread or asking the user meanwhile.
        if (!WaitProcessingMessages([this] { return !m_running.load(); }, timeoutMs)) {
            return false;
        }
    } else {
        std::unique_lock lock(m_endMutex);
        const auto ended = [this] { return !m_running.load(); };
        if (timeoutMs < 0) {
            m_endCv.wait(lock, ended);
        } else if (!m_endCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended)) {
            return false;
        }
    }
    pthread_join(m_thread, nullptr);
    m_joined = true;
    return true;
}

CThread::~CThread() {
    Wait();
}

void CEvent::Set() {
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_cv.notify_one();
}

void CEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool CEvent::Wait(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (timeoutMs < 0) {
        m_cv.wait(lock, [this] { return m_signalled; });
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_signalled; })) {
        return false;
    }
    m_signalled = false;
    return true;
}

}  // namespace platform
