#include "platform/message.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/uiloop.h"

namespace {

// Handles are never reused, so a stale handle can only ever miss.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<HWND, CMessageTarget*> targets;
    std::uintptr_t next = 0x10000;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

CMessageTarget* Lookup(HWND hWnd) {
    HandleTable& t = Handles();
    std::lock_guard lock(t.mutex);
    auto it = t.targets.find(hWnd);
    return it == t.targets.end() ? nullptr : it->second;
}

LRESULT Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CMessageTarget* target = Lookup(hWnd);
    return target ? target->WindowProc(message, wParam, lParam) : 0;
}

}  // namespace

CMessageTarget::CMessageTarget() {
    HandleTable& t = Handles();
    std::lock_guard lock(t.mutex);
    t.next += 4;
    // A handle is a number, never dereferenced; the pointer type only keeps it apart
    // from other integers.
    m_hWnd = reinterpret_cast<HWND>(t.next);  // NOLINT(performance-no-int-to-ptr)
    t.targets.emplace(m_hWnd, this);
}

CMessageTarget::~CMessageTarget() {
    DetachHandle();
}

void CMessageTarget::DetachHandle() {
    HandleTable& t = Handles();
    std::lock_guard lock(t.mutex);
    t.targets.erase(m_hWnd);
}

bool IsWindow(HWND hWnd) {
    return hWnd != nullptr && Lookup(hWnd) != nullptr;
}

LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hWnd)) {
        return 0;
    }
    if (platform::IsUiThread()) {
        return Dispatch(hWnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    platform::RunOnUiThread([&] { result = Dispatch(hWnd, message, wParam, lParam); });
    return result;
}

bool PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hWnd)) {
        return false;
    }
    platform::PostToUiThread([=] { Dispatch(hWnd, message, wParam, lParam); });
    return true;
}

namespace platform {

namespace {

// Constant-initialised, so a loop installed from another file's static
// initialiser is never overwritten by this file's own initialisation.
constinit std::atomic<UiLoop*> g_uiLoop{nullptr};

// The installed loop when it can run work, else nullptr.
UiLoop* ActiveLoop() {
    UiLoop* loop = g_uiLoop.load(std::memory_order_acquire);
    return loop != nullptr && loop->Active() ? loop : nullptr;
}

}  // namespace

void SetUiLoop(UiLoop* loop) {
    g_uiLoop.store(loop, std::memory_order_release);
}

bool HasUiLoop() {
    return ActiveLoop() != nullptr;
}

bool IsUiThread() {
    UiLoop* loop = ActiveLoop();
    if (loop == nullptr) {
        // Without an application object (the command-line tools) the main
        // thread plays the part.
        static const std::thread::id mainThread = std::this_thread::get_id();
        return std::this_thread::get_id() == mainThread;
    }
    return loop->IsUiThread();
}

void PostToUiThread(std::function<void()> fn) {
    if (UiLoop* loop = ActiveLoop()) {
        loop->Post(std::move(fn));
    }
}

namespace {

// Tells the waiting thread that the queued call is over, whether it ran or was
// dropped with the application's event queue.
struct Completion {
    std::mutex mutex;
    std::condition_variable cv;
    bool finished = false;
    bool ran = false;
};

struct CompletionGuard {
    std::shared_ptr<Completion> state;
    ~CompletionGuard() {
        std::lock_guard lock(state->mutex);
        state->finished = true;
        state->cv.notify_all();
    }
};

}  // namespace

bool RunOnUiThread(const std::function<void()>& fn) {
    if (IsUiThread()) {
        fn();
        return true;
    }
    if (!HasUiLoop()) {
        return false;
    }
    auto state = std::make_shared<Completion>();
    auto guard = std::make_shared<CompletionGuard>();
    guard->state = state;
    const std::function<void()>* call = &fn;
    PostToUiThread([guard, call] {
        (*call)();
        std::lock_guard lock(guard->state->mutex);
        guard->state->ran = true;
    });
    guard.reset();
    std::unique_lock lock(state->mutex);
    state->cv.wait(lock, [&] { return state->finished; });
    return state->ran;
}

void ProcessMessages(int maxMs) {
    UiLoop* loop = ActiveLoop();
    if (loop == nullptr || !loop->IsUiThread()) {
        return;
    }
    loop->ProcessFor(maxMs);
}

bool WaitProcessingMessages(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    UiLoop* loop = ActiveLoop();
    const bool pump = loop != nullptr && loop->IsUiThread();
    for (;;) {
        if (pump) {
            loop->ProcessPending();
        }
        if (done()) {
            return true;
        }
        if (timeoutMs >= 0 && Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace platform
