// One clock for the process: the time, Sleep and window timers.
//
// The application runs on real time. Tests install a ManualClock: advancing it
// fires due timers in deadline order and wakes sleeping workers, so sequences of
// polls and pauses take no wall time and can be asserted exactly.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/message.h"

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start.
    virtual std::uint64_t Now() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    // As Sleep, but returns early, with false, once stop() holds. Whoever makes
    // stop() true calls WakeSleepers, so the sleeper looks again at once.
    virtual bool SleepUnless(std::uint32_t ms, const std::function<bool()>& stop) = 0;
    virtual void WakeSleepers() {}
    // Window timers repeat every ms until killed; setting an existing id re-arms it.
    virtual void SetTimer(HWND hWnd, UINT_PTR id, std::uint32_t ms) = 0;
    virtual bool KillTimer(HWND hWnd, UINT_PTR id) = 0;
};

// Runs the real clock's window timers on a UI loop. Without one (the
// command-line tools) the real clock's timers never fire.
class TimerService {
public:
    virtual void SetTimer(HWND hWnd, UINT_PTR id, std::uint32_t ms) = 0;
    virtual bool KillTimer(HWND hWnd, UINT_PTR id) = 0;

protected:
    ~TimerService() = default;
};
// Installs the service (nullptr: none); it must outlive every later timer call.
void SetTimerService(TimerService* service);

// The process clock: the real one unless a test installed another.
Clock& TheClock();
// Installs a clock (nullptr: back to the real one). The caller keeps ownership.
void SetClock(Clock* clock);

// A sleep on the UI thread lets the time pass by itself: nothing else could
// advance it while that thread is blocked. Timers that fall due meanwhile fire at
// the next Advance, as a blocked UI thread would handle them late.
class ManualClock : public Clock {
public:
    std::uint64_t Now() override;
    void Sleep(std::uint32_t ms) override;
    bool SleepUnless(std::uint32_t ms, const std::function<bool()>& stop) override;
    void WakeSleepers() override;
    void SetTimer(HWND hWnd, UINT_PTR id, std::uint32_t ms) override;
    bool KillTimer(HWND hWnd, UINT_PTR id) override;

    // Moves time forward, firing every timer that falls due on the way (each at
    // its own deadline, in deadline order) and waking sleepers. Call on the UI thread.
    void Advance(std::uint32_t ms);
    // Number of threads blocked in Sleep right now.
    int SleepingCount();
    // When the earliest sleeper wakes (ms on this clock), or -1 when none sleeps.
    std::int64_t NextWakeTime();
    // Milliseconds until the timer fires, or -1 when it is not set.
    std::int64_t TimerRemaining(HWND hWnd, UINT_PTR id);

private:
    struct Timer {
        std::uint64_t deadline;
        std::uint32_t period;
        std::uint64_t order;
    };
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_now = 0;
    std::uint64_t m_order = 0;
    std::multiset<std::uint64_t> m_wakeTimes;  // one per sleeper
    std::map<std::pair<HWND, UINT_PTR>, Timer> m_timers;
};

}  // namespace platform

inline void Sleep(std::uint32_t ms) {
    platform::TheClock().Sleep(ms);
}
inline UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, std::uint32_t ms) {
    platform::TheClock().SetTimer(hWnd, id, ms);
    return id;
}
inline bool KillTimer(HWND hWnd, UINT_PTR id) {
    return platform::TheClock().KillTimer(hWnd, id);
}
