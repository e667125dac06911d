// Window handles and numbered messages.
//
// A window that takes part in the numbered-message protocol derives from
// CMessageTarget. Its handle stays checkable after the window is gone, so a
// worker that still holds it can post without knowing whether the window lives.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

using UINT = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HWND = struct WindowHandleTag*;

constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_USER = 0x0400;

// Base of every window that has a handle. Construction and destruction must
// happen on the UI thread; the handler is only ever called there.
class CMessageTarget {
public:
    CMessageTarget();
    virtual ~CMessageTarget();
    CMessageTarget(const CMessageTarget&) = delete;
    CMessageTarget& operator=(const CMessageTarget&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // The message map: routes a message number to its handler.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    // Gives the handle up early (the window is closing); later messages are dropped.
    void DetachHandle();

private:
    HWND m_hWnd;
};

// The handle of a window that comes and goes while its object lives on (a
// dialog whose window is made for every run): each window gets a handle of its
// own, so messages meant for an earlier window are dropped. Close() gives the
// handle up; the object may then still be on the stack of its own handler.
class CWindowHandle final : public CMessageTarget {
public:
    using Procedure = std::function<LRESULT(UINT, WPARAM, LPARAM)>;
    explicit CWindowHandle(Procedure procedure) : m_procedure(std::move(procedure)) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        return m_procedure(message, wParam, lParam);
    }
    void Close() { DetachHandle(); }

private:
    Procedure m_procedure;
};

// True while the window behind the handle exists.
bool IsWindow(HWND hWnd);

// On the UI thread: a direct call of the window's handler. From another thread:
// blocks until the UI thread has handled it and returns the handler's result.
// A destroyed window (or none) gives 0 and nothing happens.
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Thread-safe; queued to the UI thread and handled in posting order. Dropped
// when the window is gone by the time it would be handled. False when the
// handle is already invalid.
bool PostMessage(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

namespace platform {

// True when a UI event loop is installed and can run work (the Qt one once the
// application object exists). Without one, calls stay on the calling thread.
bool HasUiLoop();

// True on the thread that runs the user interface (the one that owns the Qt
// application object; the main thread when there is no UI loop).
bool IsUiThread();

// Runs fn on the UI thread: directly when called there, else queued; blocks
// until it has run. Returns false when it could not run (no UI thread).
bool RunOnUiThread(const std::function<void()>& fn);

// Queues fn for the UI thread without waiting.
void PostToUiThread(std::function<void()> fn);

// Handles queued work on the UI thread for at most maxMs (0: only what is due).
void ProcessMessages(int maxMs = 0);

// Waits until done() is true or timeoutMs passes (-1: no limit). On the UI thread
// it keeps handling messages meanwhile, so a worker that sends a message or shows
// a message box while being waited for cannot deadlock against the waiter.
bool WaitProcessingMessages(const std::function<bool()>& done, int timeoutMs = -1);

}  // namespace platform
