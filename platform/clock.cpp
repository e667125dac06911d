#include "platform/clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace platform {

namespace {

constinit std::atomic<TimerService*> g_timers{nullptr};

// Real time. Window timers need a UI loop to deliver WM_TIMER on; the program
// that has one installs the timer service that runs them.
class RealClock : public Clock {
public:
    std::uint64_t Now() override {
        using namespace std::chrono;
        return static_cast<std::uint64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

    void Sleep(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    // Polls: the pauses this serves are long and few, and a stop seen within a
    // hundredth of a second is at once as far as a person can tell.
    bool SleepUnless(std::uint32_t ms, const std::function<bool()>& stop) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            if (stop()) {
                return false;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                return true;
            }
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(deadline - now, kStopPoll));
        }
    }

private:
    static constexpr std::chrono::milliseconds kStopPoll{10};

    void SetTimer(HWND hWnd, UINT_PTR id, std::uint32_t ms) override {
        if (TimerService* service = g_timers.load()) {
            service->SetTimer(hWnd, id, ms);
        }
    }

    bool KillTimer(HWND hWnd, UINT_PTR id) override {
        TimerService* service = g_timers.load();
        return service != nullptr && service->KillTimer(hWnd, id);
    }
};

RealClock& TheRealClock() {
    static RealClock clock;
    return clock;
}

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock& TheClock() {
    Clock* c = g_clock.load();
    return c ? *c : TheRealClock();
}

void SetClock(Clock* clock) {
    g_clock.store(clock);
}

void SetTimerService(TimerService* service) {
    g_timers.store(service);
}

std::uint64_t ManualClock::Now() {
    std::lock_guard lock(m_mutex);
    return m_now;
}

void ManualClock::Sleep(std::uint32_t ms) {
    SleepUnless(ms, [] { return false; });
}

bool ManualClock::SleepUnless(std::uint32_t ms, const std::function<bool()>& stop) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t deadline = m_now + ms;
    if (IsUiThread()) {
        if (stop()) {
            return false;
        }
        m_now = deadline;
        m_wake.notify_all();
        return true;
    }
    const auto wakeTime = m_wakeTimes.insert(deadline);
    bool stopped = false;
    m_wake.wait(lock, [&] {
        stopped = stop();
        return stopped || m_now >= deadline;
    });
    m_wakeTimes.erase(wakeTime);
    return !stopped;
}

void ManualClock::WakeSleepers() {
    std::lock_guard lock(m_mutex);
    m_wake.notify_all();
}

void ManualClock::SetTimer(HWND hWnd, UINT_PTR id, std::uint32_t ms) {
    std::lock_guard lock(m_mutex);
    // As with window timers, a zero period still waits for the next tick.
    const std::uint32_t period = ms == 0 ? 1 : ms;
    m_timers[{hWnd, id}] = Timer{m_now + period, period, m_order++};
}

bool ManualClock::KillTimer(HWND hWnd, UINT_PTR id) {
    std::lock_guard lock(m_mutex);
    return m_timers.erase({hWnd, id}) > 0;
}

int ManualClock::SleepingCount() {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_wakeTimes.size());
}

std::int64_t ManualClock::NextWakeTime() {
    std::lock_guard lock(m_mutex);
    return m_wakeTimes.empty() ? -1 : static_cast<std::int64_t>(*m_wakeTimes.begin());
}

std::int64_t ManualClock::TimerRemaining(HWND hWnd, UINT_PTR id) {
    std::lock_guard lock(m_mutex);
    auto it = m_timers.find({hWnd, id});
    return it == m_timers.end() ? -1 : static_cast<std::int64_t>(it->second.deadline - m_now);
}

void ManualClock::Advance(std::uint32_t ms) {
    std::uint64_t target;
    {
        std::lock_guard lock(m_mutex);
        target = m_now + ms;
    }
    for (;;) {
        std::pair<HWND, UINT_PTR> due{};
        {
            std::lock_guard lock(m_mutex);
            auto next = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
                const Timer& t = it->second;
                if (t.deadline > target) {
                    continue;
                }
                if (next == m_timers.end() || t.deadline < next->second.deadline ||
                    (t.deadline == next->second.deadline && t.order < next->second.order)) {
                    next = it;
                }
            }
            if (next == m_timers.end()) {
                // A timer's handler may have slept past the target already.
                m_now = std::max(m_now, target);
                m_wake.notify_all();
                return;
            }
            // A UI-thread sleep may have moved the time past an overdue timer.
            m_now = std::max(m_now, next->second.deadline);
            next->second.deadline = m_now + next->second.period;
            next->second.order = m_order++;
            due = next->first;
            m_wake.notify_all();
        }
        // Outside the lock: the handler may set or kill timers.
        if (IsWindow(due.first)) {
            SendMessage(due.first, WM_TIMER, due.second, 0);
        } else {
            KillTimer(due.first, due.second);
        }
    }
}

}  // namespace platform
