#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include "app/controls/treectrlx.h"
#include "app/pvr/stbtreeview.h"
#include "app/shell/mainfrm.h"
#include "app/shell/onrefreshdlg.h"
#include "app/shell/tavrixapp.h"
#include "platform/pcfs.h"
#include "platform/qtuser.h"
#include "platform/user.h"

namespace {

// The main window as it looks on screen: the wait notice, a window of its
// own, is painted over it where it stands.
QPixmap GrabWithNotice(CMainFrame* frame) {
    QPixmap shot = frame->grab();
    COnRefreshDlg* notice = frame->GetRefreshDialog();
    if (notice != nullptr && notice->isVisible()) {
        QPainter painter(&shot);
        painter.drawPixmap(notice->geometry().topLeft() - frame->mapToGlobal(QPoint(0, 0)),
                           notice->grab());
    }
    return shot;
}

// TAVRIX_SCREENSHOT=/path.png: once a PVR is attached and read, open its
// recordings folder, read it again, save a picture of the main window while
// the wait notice reports on that reading, and end. For demos and machines
// without a display; gives up (exit code 3) when no PVR shows up.
void ArmScreenshot(CMainFrame* frame, const QString& path) {
    constexpr int kPollMs = 100;
    constexpr int kGiveUpMs = 30000;
    enum class Step { WaitForPvr, OpenFolder, ReadAgain };
    struct State {
        int elapsed = 0;
        bool attached = false;
        Step step = Step::WaitForPvr;
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
        const COnRefreshDlg* notice = frame->GetRefreshDialog();
        bool ready = false;
        switch (state->step) {
            case Step::WaitForPvr:
                if (idle) {
                    state->step = Step::OpenFolder;
                    tree->GetTreeCtrl()->SelectPath("C:\\PVR\\AV\\");
                }
                break;
            case Step::OpenFolder:
                if (idle) {
                    state->step = Step::ReadAgain;
                    tree->Refresh();
                }
                break;
            case Step::ReadAgain:
                // The notice has something to say once the device answered.
                ready = notice->isVisible() && !notice->GetText().empty();
                break;
        }
        if (!ready && state->elapsed < kGiveUpMs) {
            return;
        }
        timer->stop();
        const bool saved = GrabWithNotice(frame).save(path, "PNG");
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
