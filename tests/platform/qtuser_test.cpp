#include "platform/qtuser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/templates.h"
#include "support/privatedrive.h"

using namespace platform;

namespace {

// Presses a button of the next message box as soon as it is up, and remembers
// what the box showed.
struct BoxSeen {
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
};

void AnswerNextBox(QMessageBox::StandardButton press, BoxSeen* seen) {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, press, seen]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        seen->text = box->text();
        seen->caption = box->windowTitle();
        seen->icon = box->icon();
        seen->buttonCount = static_cast<int>(box->buttons().size());
        timer->stop();
        timer->deleteLater();
        box->button(press)->click();
    });
    timer->start();
}

}  // namespace

TEST(QtUser, MessageBoxesMapTypesAndAnswers) {
    QtUser user;
    struct Row {
        unsigned type;
        QMessageBox::StandardButton press;
        int answer;
        QMessageBox::Icon icon;
        int buttons;
    };
    const Row rows[] = {
        {MB_OK | MB_ICONSTOP, QMessageBox::Ok, IDOK, QMessageBox::Critical, 1},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::No, IDNO, QMessageBox::Question, 2},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes, IDYES, QMessageBox::Question, 2},
        {MB_OKCANCEL | MB_ICONEXCLAMATION, QMessageBox::Cancel, IDCANCEL, QMessageBox::Warning, 2},
        {MB_YESNOCANCEL | MB_ICONINFORMATION, QMessageBox::Cancel, IDCANCEL,
         QMessageBox::Information, 3},
        {MB_OK, QMessageBox::Ok, IDOK, QMessageBox::NoIcon, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        BoxSeen seen;
        AnswerNextBox(r.press, &seen);
        EXPECT_EQ(user.ShowMessageBox(nullptr, "Delete <b>x</b>?\nSure.", "Tavrix", r.type),
                  r.answer);
        EXPECT_EQ(seen.text, "Delete <b>x</b>?\nSure.");
        EXPECT_EQ(seen.caption, "Tavrix");
        EXPECT_EQ(seen.icon, r.icon);
        EXPECT_EQ(seen.buttonCount, r.buttons);
    }
}

TEST(QtUser, AWorkerIsAnsweredOnTheUiThread) {
    QtUser user;
    BoxSeen seen;
    AnswerNextBox(QMessageBox::Yes, &seen);
    std::atomic<int> answer{0};
    std::atomic<bool> done{false};
    std::thread worker([&]() {
        answer = user.ShowMessageBox(nullptr, "Overwrite?", "Tavrix", MB_YESNO | MB_ICONQUESTION);
        done = true;
    });
    EXPECT_TRUE(WaitProcessingMessages([&]() { return done.load(); }, 20000));
    worker.join();
    EXPECT_EQ(answer.load(), IDYES);
    EXPECT_EQ(seen.text, "Overwrite?");
}

TEST(QtUser, RunsTemplateDialogsModally) {
    static constexpr ControlTemplate kControls[] = {
        {ControlKind::PushButton, 1014, "&Overwrite", 4, 4, 50, 14},
        {ControlKind::PushButton, 1012, "&Cancel", 60, 4, 50, 14},
    };
    static constexpr DialogTemplate kTpl{
        145, "Dialog", "Arial", 10, 120, 24, ds::Popup | ds::Caption | ds::ModalFrame, kControls};
    QtUser user;
    SetUser(&user);
    CDialog dlg(kTpl);
    // Fires once the modal loop is up.
    QTimer press;
    press.setSingleShot(true);
    QObject::connect(&press, &QTimer::timeout, &dlg,
                     [&dlg]() { qobject_cast<QPushButton*>(GetDlgItem(&dlg, 1014))->click(); });
    press.start(0);
    EXPECT_EQ(dlg.DoModal(), 1014);
    SetUser(nullptr);
}

TEST(QtUser, PickersStartAtTheHostFolderOfAPcPath) {
    PrivateDrives drives;
    EXPECT_EQ(PickerStartPath(R"(C:\Movies\)"), drives.C() + "/Movies/");
    EXPECT_EQ(PickerStartPath(R"(C:\Movies\x.AVR)"), drives.C() + "/Movies/x.AVR");
    EXPECT_EQ(PickerStartPath(R"(C:\)"), drives.C() + "/");
    EXPECT_EQ(PickerStartPath(R"(Q:\x)"), "");
    EXPECT_EQ(PickerStartPath(""), "");
    // A bare name is offered in whatever folder the picker opens.
    EXPECT_EQ(PickerStartPath("Untitled.avi"), "Untitled.avi");
}
