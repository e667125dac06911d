// The UI event loop, as the message code sees it.
//
// Messages, threads and the user live in the Qt-free core so that the
// command-line tools start without loading Qt. The program that has a UI
// thread installs its loop here; without one, the calling thread does the work
// and the main thread counts as the UI thread.
#pragma once

#include <functional>

namespace platform {

class UiLoop {
public:
    // False while there is nothing to run queued work (no application object yet).
    virtual bool Active() const = 0;
    // Only asked while Active().
    virtual bool IsUiThread() const = 0;
    // Queues fn for the UI thread; dropped when the loop is gone by then.
    virtual void Post(std::function<void()> fn) = 0;
    // Handles everything that is due, without waiting for more.
    virtual void ProcessPending() = 0;
    // Handles queued work for at most maxMs.
    virtual void ProcessFor(int maxMs) = 0;

protected:
    // Loops are installed for the life of the process and never deleted through
    // this interface; a trivial destructor keeps a static loop usable until exit.
    UiLoop() = default;
    ~UiLoop() = default;
    UiLoop(const UiLoop&) = default;
    UiLoop& operator=(const UiLoop&) = default;
};

// Installs the loop (nullptr: none). The loop must outlive every later message call.
void SetUiLoop(UiLoop* loop);

}  // namespace platform
