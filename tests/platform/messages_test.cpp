#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/thread.h"
#include "platform/usermessages.h"
#include "support/recorder.h"

using platform::CThread;

TEST(Messages, PostedFromWorkerArriveOnUiThreadInOrder) {
    CRecorder window;
    const HWND h = window.GetSafeHwnd();
    auto worker = CThread::Start(
        [h] {
            for (WPARAM i = 0; i < 200; ++i) {
                ASSERT_TRUE(PostMessage(h, WM_USER + 1, i, -static_cast<LPARAM>(i)));
            }
        },
        10240);
    ASSERT_TRUE(worker);
    ASSERT_TRUE(worker->Wait(5000));
    ASSERT_TRUE(platform::WaitProcessingMessages([&] { return window.Count() == 200; }, 5000));

    const auto got = window.Take();
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].message, WM_USER + 1);
        EXPECT_EQ(got[i].wParam, i);
        EXPECT_EQ(got[i].lParam, -static_cast<LPARAM>(i));
        EXPECT_EQ(got[i].thread, std::this_thread::get_id());
    }
}

TEST(Messages, SendFromWorkerReturnsHandlerResultAfterHandling) {
    CRecorder window;
    std::atomic<bool> handled{false};
    window.m_onMessage = [&](UINT, WPARAM w, LPARAM) {
        handled = true;
        return static_cast<LRESULT>(w) + 1000;
    };
    const HWND h = window.GetSafeHwnd();
    LRESULT result = 0;
    bool handledBeforeReturn = false;
    auto worker = CThread::Start(
        [&] {
            result = SendMessage(h, WM_USER + 2, 7, 0);
            handledBeforeReturn = handled.load();
        },
        0);
    ASSERT_TRUE(worker->Wait(5000));
    EXPECT_EQ(result, 1007);
    EXPECT_TRUE(handledBeforeReturn);
    ASSERT_EQ(window.Count(), 1u);
    EXPECT_EQ(window.Take()[0].thread, std::this_thread::get_id());
}

TEST(Messages, SendOnUiThreadIsADirectCall) {
    CRecorder window;
    EXPECT_EQ(SendMessage(window.GetSafeHwnd(), WM_USER, 21, 0), 42);
    EXPECT_EQ(window.Count(), 1u);
}

TEST(Messages, DestroyedWindowDropsPostsAndSends) {
    auto window = std::make_unique<CRecorder>();
    const HWND h = window->GetSafeHwnd();
    int handled = 0;
    window->m_onMessage = [&](UINT, WPARAM, LPARAM) { return ++handled; };
    EXPECT_TRUE(IsWindow(h));

    // Queued while the window lived, delivered after it is gone: dropped.
    EXPECT_TRUE(PostMessage(h, WM_USER + 3));
    window.reset();
    platform::ProcessMessages();
    EXPECT_EQ(handled, 0);
    EXPECT_FALSE(IsWindow(h));

    EXPECT_FALSE(PostMessage(h, WM_USER + 3));
    EXPECT_EQ(SendMessage(h, WM_USER + 3), 0);
    LRESULT fromWorker = -1;
    auto worker = CThread::Start([&] { fromWorker = SendMessage(h, WM_USER + 3); }, 0);
    ASSERT_TRUE(worker->Wait(5000));
    EXPECT_EQ(fromWorker, 0);
    EXPECT_FALSE(IsWindow(nullptr));

    // Handles are not reused, so a new window never answers to the stale one.
    CRecorder other;
    EXPECT_NE(other.GetSafeHwnd(), h);
    EXPECT_FALSE(IsWindow(h));
}

// The program's message numbers are part of its internal protocol: each one
// keeps its number, and traces name it.
TEST(Messages, TheProgramsOwnNumbersAndTheirNames) {
    struct Row {
        UINT message;
        UINT number;
        const char* name;
    };
    const Row rows[] = {
        {WM_CONVERT_DONE, 0x40A, "WM_CONVERT_DONE"},
        {WM_CONVERT_FAILED, 0x40B, "WM_CONVERT_FAILED"},
        {WM_CONVERT_TOTAL, 0x40C, "WM_CONVERT_TOTAL"},
        {WM_OPEN_AVR, 0x414, "WM_OPEN_AVR"},
        {WM_SET_STATUS_TEXT, 0x416, "WM_SET_STATUS_TEXT"},
        {WM_DEVICE_ARRIVAL, 0x421, "WM_DEVICE_ARRIVAL"},
        {WM_DEVICE_REMOVAL, 0x422, "WM_DEVICE_REMOVAL"},
        {WM_TRANSFER_ITEM, 0x464, "WM_TRANSFER_ITEM"},
        {WM_TRANSFER_FAILED, 0x465, "WM_TRANSFER_FAILED"},
        {WM_TRANSFER_DONE, 0x466, "WM_TRANSFER_DONE"},
        {WM_TRANSFER_BYTES, 0x467, "WM_TRANSFER_BYTES"},
        {WM_LIST_DBLCLK, 0x4BC, "WM_LIST_DBLCLK"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.message, r.number) << r.name;
        EXPECT_STREQ(UserMessageName(r.message), r.name);
    }
    EXPECT_EQ(UserMessageName(WM_USER + 11 + 1000), nullptr);
    EXPECT_EQ(UserMessageName(WM_TIMER), nullptr);
}
