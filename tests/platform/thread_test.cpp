#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/thread.h"
#include "platform/user.h"
#include "support/recorder.h"

using platform::CThread;

namespace {

// Remembers the thread each question was asked on.
class ThreadNotingUser : public platform::ScriptedUser {
public:
    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       unsigned type) override {
        askedOn = std::this_thread::get_id();
        return ScriptedUser::ShowMessageBox(owner, text, caption, type);
    }
    std::thread::id askedOn;
};

class UserFixture : public ::testing::Test {
protected:
    void SetUp() override { platform::SetUser(&m_user); }
    void TearDown() override { platform::SetUser(nullptr); }
    ThreadNotingUser m_user;
};

}  // namespace

TEST_F(UserFixture, UiWaitForWorkerThatAsksTheUserDoesNotDeadlock) {
    m_user.QueueAnswer(IDNO);
    CRecorder window;
    int answer = 0;
    LRESULT sent = 0;
    auto worker = CThread::Start(
        [&] {
            answer = MessageBox(window.GetSafeHwnd(), "Overwrite?", "Tavrix",
                                MB_YESNO | MB_ICONQUESTION);
            sent = SendMessage(window.GetSafeHwnd(), WM_USER + 9, 4, 0);
        },
        10240);
    ASSERT_TRUE(worker);
    // The waiting UI thread must still carry out the box and the sent message.
    ASSERT_TRUE(worker->Wait(10000));
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(sent, 8);
    EXPECT_EQ(m_user.askedOn, std::this_thread::get_id());
    const auto shown = m_user.History();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, "messagebox");
    EXPECT_EQ(shown[0].text, "Overwrite?");
    EXPECT_EQ(shown[0].caption, "Tavrix");
    EXPECT_EQ(shown[0].type, MB_YESNO | MB_ICONQUESTION);
}

TEST_F(UserFixture, UnscriptedQuestionsTakeTheFirstButton) {
    EXPECT_EQ(MessageBox(nullptr, "a", "Tavrix", MB_OK), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "b", "Tavrix", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(m_user.History().size(), 2u);
}

TEST(Threads, TinyStackRequestsAreRaisedToAUsableSize) {
    for (std::size_t requested : {std::size_t{10240}, std::size_t{20480}}) {
        EXPECT_GE(platform::SafeStackSize(requested), platform::kMinThreadStack) << requested;
    }
    EXPECT_GE(platform::SafeStackSize(8u << 20), 8u << 20);

    std::size_t actual = 0;
    std::atomic<char> sink{0};
    auto worker = CThread::Start(
        [&] {
            pthread_attr_t attr;
            pthread_getattr_np(pthread_self(), &attr);
            pthread_attr_getstacksize(&attr, &actual);
            pthread_attr_destroy(&attr);
            // Far more than the 10 KiB asked for: a transfer worker's locals.
            char local[256 * 1024];
            std::memset(local, 1, sizeof local);
            sink = local[sizeof local - 1];
        },
        10240, platform::ThreadPriority::Highest);
    ASSERT_TRUE(worker);
    ASSERT_TRUE(worker->Wait(5000));
    EXPECT_GE(actual, platform::kMinThreadStack);
    EXPECT_EQ(sink.load(), 1);
}

TEST(Threads, AutoResetEventReleasesOneWait) {
    platform::CEvent event;
    EXPECT_FALSE(event.TryWait());
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));

    std::atomic<bool> released{false};
    auto worker = CThread::Start([&] { released = event.Wait(10000); }, 0);
    event.Set();
    ASSERT_TRUE(worker->Wait(10000));
    EXPECT_TRUE(released.load());
    EXPECT_FALSE(event.TryWait());
}

TEST(Threads, WaitOffTheUiThreadTimesOutThenJoins) {
    platform::CEvent release;
    auto worker = CThread::Start([&] { release.Wait(10000); }, 0);
    ASSERT_TRUE(worker);
    bool early = true;
    bool joined = false;
    // Another thread than the UI thread: this wait handles no messages.
    std::thread waiter([&] {
        early = worker->Wait(20);
        release.Set();
        joined = worker->Wait(10000);
    });
    waiter.join();
    EXPECT_FALSE(early);
    EXPECT_TRUE(joined);
    EXPECT_FALSE(worker->IsRunning());
}
