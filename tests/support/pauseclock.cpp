#include "support/pauseclock.h"

#include <chrono>
#include <thread>

#include "platform/message.h"

bool CPauseClock::SleepUnless(std::uint32_t ms, const std::function<bool()>& stop) {
    if (!platform::IsUiThread()) {
        std::lock_guard lock(m_mutex);
        m_pauses.push_back(ms);
    }
    return ManualClock::SleepUnless(ms, stop);
}

std::vector<std::uint32_t> CPauseClock::WorkerPauses() {
    std::lock_guard lock(m_mutex);
    return m_pauses;
}

void CPauseClock::ClearPauses() {
    std::lock_guard lock(m_mutex);
    m_pauses.clear();
}

bool DriveClock(CPauseClock& clock, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        platform::ProcessMessages(1);
        const std::int64_t wake = clock.NextWakeTime();
        if (wake >= 0) {
            const auto now = static_cast<std::int64_t>(clock.Now());
            clock.Advance(static_cast<std::uint32_t>(wake > now ? wake - now : 0));
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return true;
}
