// Start-up and shut-down of the application object.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QStringList>

#include "app/shell/mainfrm.h"
#include "app/shell/tavrixapp.h"
#include "app/shell/tavrixdoc.h"
#include "platform/registry.h"
#include "support/shellfixture.h"

namespace {

TEST(ShellApp, DocumentArgumentJoinsTheRecentFilesWhichOutliveTheRun) {
    ShellEnvironment env;
    env.Drives().MakeFile("old.vex", "");
    env.Drives().MakeFile("new.vex", "");
    const std::string recentKey =
        "Software\\Local AppWizard-Generated Applications\\Tavrix\\Recent File List";
    platform::RegWriteString(recentKey, "File1", "C:\\old.vex");
    {
        CTavrixApp app;
        ASSERT_TRUE(app.InitInstance({"C:\\new.vex"}));
        ASSERT_NE(app.GetMainFrame(), nullptr);
        EXPECT_TRUE(app.GetMainFrame()->isVisible());
        EXPECT_EQ(app.GetDocument()->GetPathName(), "C:\\new.vex");
        EXPECT_EQ(app.GetMainFrame()->windowTitle().toStdString(), "Vexlo");
        EXPECT_EQ(app.GetRecentFiles(), (std::vector<std::string>{"C:\\new.vex", "C:\\old.vex"}));
        app.ExitInstance();
        EXPECT_EQ(app.GetMainFrame(), nullptr);
    }
    EXPECT_EQ(platform::RegReadString(recentKey, "File1"),
              std::optional<std::string>("C:\\new.vex"));
    EXPECT_EQ(platform::RegReadString(recentKey, "File2"),
              std::optional<std::string>("C:\\old.vex"));
    // No PC folder was selected on this first run, so no last folder was written.
    EXPECT_FALSE(env.LastPath().has_value());
}

TEST(ShellApp, RecentFilesKeepFourMostRecentFirst) {
    CTavrixApp app;
    for (const char* path : {"C:\\a", "C:\\b", "C:\\c", "C:\\d", "C:\\e", "c:\\B"}) {
        app.AddToRecentFileList(path);
    }
    EXPECT_EQ(app.GetRecentFiles(), (std::vector<std::string>{"c:\\B", "C:\\e", "C:\\d", "C:\\c"}));
}

// The icon is built into the program; a resource that was not linked in would
// leave an empty icon without a word.
TEST(ShellApp, WindowCarriesTheProgramIconOfTheDesktopEntry) {
    ShellEnvironment env;
    CTavrixApp app;
    ASSERT_TRUE(app.InitInstance({}));
    const QIcon icon = app.GetMainFrame()->windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
    // The recorder's record light, red, in the lower left of the 256 picture.
    const QImage image = icon.pixmap(QSize(256, 256)).toImage();
    ASSERT_EQ(image.size(), QSize(256, 256));
    EXPECT_EQ(image.pixelColor(72, 184), QColor(0xe0, 0x34, 0x2c));
    EXPECT_EQ(QApplication::desktopFileName(), "tavrix");
    app.ExitInstance();
}

TEST(ShellApp, MissingDocumentEndsStartUp) {
    ShellEnvironment env;
    CTavrixApp app;
    EXPECT_FALSE(app.InitInstance({"C:\\missing.vex"}));
    EXPECT_EQ(app.GetMainFrame(), nullptr);
}

}  // namespace
