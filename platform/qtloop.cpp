// The Qt application's event loop as the UI loop of messages and threads.
//
// Any program that links the Qt half of the platform gets it: the loop is
// installed before main, and counts as active once a QCoreApplication exists.
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <map>
#include <memory>
#include <utility>

#include "platform/clock.h"
#include "platform/message.h"
#include "platform/uiloop.h"

namespace {

class QtUiLoop final : public platform::UiLoop {
public:
    constexpr QtUiLoop() = default;

    bool Active() const override { return QCoreApplication::instance() != nullptr; }

    bool IsUiThread() const override {
        QCoreApplication* app = QCoreApplication::instance();
        return app != nullptr && QThread::currentThread() == app->thread();
    }

    void Post(std::function<void()> fn) override {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
    }

    void ProcessPending() override {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }

    void ProcessFor(int maxMs) override {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, maxMs);
        }
    }
};

// The real clock's window timers: QTimers on the UI thread that deliver WM_TIMER
// through the ordinary message path.
class QtTimerService final : public platform::TimerService {
public:
    void SetTimer(HWND hWnd, UINT_PTR id, std::uint32_t ms) override {
        platform::RunOnUiThread([&] {
            auto& timer = Timers()[{hWnd, id}];
            if (!timer) {
                timer = std::make_unique<QTimer>();
                QObject::connect(timer.get(), &QTimer::timeout, [this, hWnd, id] {
                    if (!IsWindow(hWnd)) {
                        KillTimer(hWnd, id);
                        return;
                    }
                    SendMessage(hWnd, WM_TIMER, id, 0);
                });
            }
            timer->start(static_cast<int>(ms));
        });
    }

    bool KillTimer(HWND hWnd, UINT_PTR id) override {
        bool found = false;
        platform::RunOnUiThread([&] {
            auto& timers = Timers();
            auto it = timers.find({hWnd, id});
            if (it != timers.end()) {
                found = true;
                // The timer may be the one whose signal is running right now.
                it->second.release()->deleteLater();
                timers.erase(it);
            }
        });
        return found;
    }

private:
    // Touched on the UI thread only; made on first use, so the service itself
    // stays constant-initialised.
    using TimerMap = std::map<std::pair<HWND, UINT_PTR>, std::unique_ptr<QTimer>>;
    static TimerMap& Timers() {
        static TimerMap timers;
        return timers;
    }
};

// Constant-initialised and trivially destructible: usable from any other static
// initialiser or destructor, whatever the order.
constinit QtUiLoop g_qtLoop;

constinit QtTimerService g_qtTimers;

[[maybe_unused]] const bool g_installed =
    (platform::SetUiLoop(&g_qtLoop), platform::SetTimerService(&g_qtTimers), true);

}  // namespace

// Named in the platform library's link options so that every executable linking
// it pulls in this file (and with it the installation above).
extern "C" void tavrix_qt_ui_loop_anchor() {}
