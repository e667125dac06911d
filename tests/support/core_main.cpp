// Runs the cases on the thread that owns a QCoreApplication, so posted and sent
// messages, timers and marshalled calls have a UI thread to go to.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
