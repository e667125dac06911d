// The Qt application's event loop as the UI loop of messages and threads.
//
// Any program that links the Qt half of the platform gets it: the loop is
// installed before main, and counts as active once a QCoreApplication exists.
#include <QCoreApplication>
#include <QThread>

#include <utility>

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

// Constant-initialised and trivially destructible: usable from any other static
// initialiser or destructor, whatever the order.
constinit QtUiLoop g_qtLoop;

[[maybe_unused]] const bool g_installed = (platform::SetUiLoop(&g_qtLoop), true);

}  // namespace

// Named in the platform library's link options so that every executable linking
// it pulls in this file (and with it the installation above).
extern "C" void tavrix_qt_ui_loop_anchor() {}
