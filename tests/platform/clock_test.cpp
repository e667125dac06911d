#include <gtest/gtest.h>

#include <atomic>

#include "platform/thread.h"
#include "support/recorder.h"

namespace {

class ManualClockTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetClock(&m_clock); }
    void TearDown() override { platform::SetClock(nullptr); }
    platform::ManualClock m_clock;
};

std::vector<std::pair<std::uint64_t, WPARAM>> Fired(CRecorder& w, std::uint64_t start) {
    std::vector<std::pair<std::uint64_t, WPARAM>> out;
    for (const auto& r : w.Take()) {
        EXPECT_EQ(r.message, WM_TIMER);
        out.emplace_back(r.time - start, r.wParam);
    }
    return out;
}

}  // namespace

TEST_F(ManualClockTest, TimersFireInDeadlineOrderAndReArm) {
    CRecorder w;
    const std::uint64_t t0 = m_clock.Now();
    SetTimer(w.GetSafeHwnd(), 1, 70);
    SetTimer(w.GetSafeHwnd(), 2, 100);
    SetTimer(w.GetSafeHwnd(), 3, 250);
    m_clock.Advance(300);
    const std::vector<std::pair<std::uint64_t, WPARAM>> expected = {
        {70, 1}, {100, 2}, {140, 1}, {200, 2}, {210, 1}, {250, 3}, {280, 1}, {300, 2}};
    EXPECT_EQ(Fired(w, t0), expected);
    EXPECT_EQ(m_clock.Now(), t0 + 300);
}

TEST_F(ManualClockTest, KillTimerStopsAndSetTimerReArms) {
    CRecorder w;
    const HWND h = w.GetSafeHwnd();
    const std::uint64_t t0 = m_clock.Now();
    // The pattern of a polling state machine: first poll late, then faster, then stop.
    w.m_onMessage = [&](UINT, WPARAM id, LPARAM) -> LRESULT {
        const auto fired = w.Count();
        if (id == 100 && fired == 1) {
            SetTimer(h, 100, 500);
        } else if (id == 100 && fired == 3) {
            KillTimer(h, 100);
        }
        return 0;
    };
    SetTimer(h, 100, 1000);
    EXPECT_EQ(m_clock.TimerRemaining(h, 100), 1000);
    m_clock.Advance(5000);
    const std::vector<std::pair<std::uint64_t, WPARAM>> expected = {
        {1000, 100}, {1500, 100}, {2000, 100}};
    EXPECT_EQ(Fired(w, t0), expected);
    EXPECT_EQ(m_clock.TimerRemaining(h, 100), -1);
    EXPECT_FALSE(KillTimer(h, 100));
}

TEST_F(ManualClockTest, TimerOfDestroyedWindowIsDropped) {
    auto w = std::make_unique<CRecorder>();
    const HWND h = w->GetSafeHwnd();
    SetTimer(h, 5, 10);
    w.reset();
    m_clock.Advance(100);
    EXPECT_EQ(m_clock.TimerRemaining(h, 5), -1);
}

TEST_F(ManualClockTest, WorkerSleepEndsWhenClockPassesDeadline) {
    std::atomic<bool> woke{false};
    auto worker = platform::CThread::Start(
        [&] {
            Sleep(500);
            woke = true;
        },
        0);
    ASSERT_TRUE(
        platform::WaitProcessingMessages([&] { return m_clock.SleepingCount() == 1; }, 5000));
    m_clock.Advance(499);
    // Still asleep: the clock has not reached its deadline.
    EXPECT_FALSE(worker->Wait(50));
    EXPECT_FALSE(woke.load());
    m_clock.Advance(1);
    ASSERT_TRUE(worker->Wait(5000));
    EXPECT_TRUE(woke.load());
}

TEST_F(ManualClockTest, StoppedSleepEndsEarlyAndSaysSo) {
    std::atomic<bool> stop{false};
    std::atomic<int> result{-1};
    auto worker = platform::CThread::Start(
        [&] { result = m_clock.SleepUnless(1000, [&] { return stop.load(); }) ? 1 : 0; }, 0);
    ASSERT_TRUE(
        platform::WaitProcessingMessages([&] { return m_clock.SleepingCount() == 1; }, 5000));
    EXPECT_EQ(m_clock.NextWakeTime(), static_cast<std::int64_t>(m_clock.Now() + 1000));
    stop = true;
    m_clock.WakeSleepers();
    ASSERT_TRUE(worker->Wait(5000));
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(m_clock.NextWakeTime(), -1);
}

// Nothing else could move the time on while the UI thread sleeps; a timer that
// fell due meanwhile fires late, at the next Advance, and keeps its period from then.
TEST_F(ManualClockTest, UiThreadSleepPassesTimeAndTimersFireLate) {
    CRecorder w;
    const HWND h = w.GetSafeHwnd();
    const std::uint64_t t0 = m_clock.Now();
    SetTimer(h, 7, 100);
    Sleep(250);
    EXPECT_EQ(m_clock.Now(), t0 + 250);
    EXPECT_TRUE(Fired(w, t0).empty());
    m_clock.Advance(0);
    EXPECT_EQ(Fired(w, t0), (std::vector<std::pair<std::uint64_t, WPARAM>>{{250, 7}}));
    EXPECT_EQ(m_clock.TimerRemaining(h, 7), 100);
}
