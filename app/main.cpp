#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "platform/qtuser.h"
#include "platform/user.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    platform::QtUser user;
    platform::SetUser(&user);

    QMainWindow frame;
    frame.setWindowTitle("Tavrix");
    auto* label = new QLabel("No PVR attached.", &frame);
    label->setAlignment(Qt::AlignCenter);
    frame.setCentralWidget(label);
    frame.resize(800, 600);
    frame.show();
    const int rc = app.exec();
    platform::SetUser(nullptr);
    return rc;
}
