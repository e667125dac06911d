#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "app/controls/treectrlx.h"
#include "app/pvr/stbtreeview.h"
#include "app/shell/mainfrm.h"
#include "app/shell/tavrixapp.h"
#include "platform/pcfs.h"
#include "platform/qtuser.h"
#include "platform/user.h"

namespace {

// TAVRIX_SCREENSHOT=/path.png: once a PVR is attached and read, open its
// recordings folder, save a picture of the main window there and end. For demos
// and machines without a display; gives up (exit code 3) when no PVR shows up.
void ArmScreenshot(CMainFrame* frame, const QString& path) {
    constexpr int kPollMs = 200;
    constexpr int kSettleMs = 800;  // let the panes paint what the listing put in them
    constexpr int kGiveUpMs = 30000;
    struct State {
        int elapsed = 0;
        bool attached = false;
        bool folderOpened = false;
        int readyAt = -1;
    };
    auto state = std::make_shared<State>();
    frame->SetStatusObserver([state](const std::string& text) {
        if (text.find("has been attached") != std::string::npos) {
            state->attached = true;
        }
    });
    auto* timer = new QTimer(frame);
    QObject::connect(timer, &QTimer::timeout, frame, [=]() {
        state->elapsed += kPollMs;
        CSTBTreeView* tree = frame->GetSTBTreeView();
        const bool idle =
            state->attached && tree != nullptr && !tree->GetRootLabel().empty() && !tree->IsBusy();
        if (idle && !state->folderOpened) {
            state->folderOpened = true;
            tree->GetTreeCtrl()->SelectPath("C:\\PVR\\AV\\");
            return;
        }
        if (idle && state->readyAt < 0) {
            state->readyAt = state->elapsed;
        }
        const bool settled = state->readyAt >= 0 && state->elapsed - state->readyAt >= kSettleMs;
        if (!settled && state->elapsed < kGiveUpMs) {
            return;
        }
        timer->stop();
        const bool saved = frame->grab().save(path, "PNG");
        std::fprintf(stderr, "%s: %s\n", saved ? "screenshot" : "cannot save screenshot",
                     path.toLocal8Bit().constData());
        QApplication::exit(!state->attached ? 3 : (saved ? 0 : 4));
    });
    timer->start(kPollMs);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    // A drive map that does not say what was meant would otherwise only show as
    // missing drives.
    for (const std::string& warning : platform::DriveTableWarnings()) {
        std::fprintf(stderr, "tavrix: %s\n", warning.c_str());
    }
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
