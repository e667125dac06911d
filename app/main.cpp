#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "app/mainfrm.h"
#include "app/tavrixapp.h"
#include "platform/qtuser.h"
#include "platform/user.h"

namespace {

// TAVRIX_SCREENSHOT=/path.png: once the status bar reports an attached PVR,
// save a picture of the main window there and end. For demos and machines
// without a display; gives up (exit code 3) when no PVR shows up in time.
void ArmScreenshot(CMainFrame* frame, const QString& path) {
    constexpr int kPollMs = 200;
    constexpr int kSettleMs = 800;  // let the panes paint what the arrival put in them
    constexpr int kGiveUpMs = 30000;
    auto* timer = new QTimer(frame);
    auto elapsed = std::make_shared<int>(0);
    auto attachedAt = std::make_shared<int>(-1);
    QObject::connect(timer, &QTimer::timeout, frame, [=]() {
        *elapsed += kPollMs;
        if (*attachedAt < 0 &&
            frame->GetStatusText().find("has been attached") != std::string::npos) {
            *attachedAt = *elapsed;
        }
        const bool attached = *attachedAt >= 0;
        const bool settled = attached && *elapsed - *attachedAt >= kSettleMs;
        if (!settled && *elapsed < kGiveUpMs) {
            return;
        }
        timer->stop();
        const bool saved = frame->grab().save(path, "PNG");
        std::fprintf(stderr, "%s: %s\n", saved ? "screenshot" : "cannot save screenshot",
                     path.toLocal8Bit().constData());
        QApplication::exit(!attached ? 3 : (saved ? 0 : 4));
    });
    timer->start(kPollMs);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    platform::QtUser user;
    platform::SetUser(&user);

    int rc = 1;
    {
        CTavrixApp app;
        QStringList args = QApplication::arguments();
        args.removeFirst();
        if (app.InitInstance(args)) {
            if (const char* shot = std::getenv("TAVRIX_SCREENSHOT"); shot != nullptr && *shot) {
                ArmScreenshot(app.GetMainFrame(), QString::fromLocal8Bit(shot));
            }
            rc = QApplication::exec();
            const int exitRc = app.ExitInstance();
            rc = rc != 0 ? rc : exitRc;
        } else {
            std::fprintf(stderr, "tavrix: start-up failed\n");
        }
    }
    platform::SetUser(nullptr);
    return rc;
}
