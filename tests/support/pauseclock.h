// Manual time for workers that pause: the pauses are recorded, and a driver
// steps the clock to each one's end, so a worker's whole run takes no wall time.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/clock.h"

// A manual clock that remembers the pauses taken off the UI thread.
class CPauseClock : public platform::ManualClock {
public:
    bool SleepUnless(std::uint32_t ms, const std::function<bool()>& stop) override;
    std::vector<std::uint32_t> WorkerPauses();
    void ClearPauses();

private:
    std::mutex m_mutex;
    std::vector<std::uint32_t> m_pauses;
};

// Moves the clock to each sleeping worker's wake-up time, handling messages
// meanwhile, until done() holds; false when that takes 30 s of wall time.
bool DriveClock(CPauseClock& clock, const std::function<bool()>& done);
