// Start-up and shut-down of the application object.
#include <gtest/gtest.h>

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

TEST(ShellApp, MissingDocumentEndsStartUp) {
    ShellEnvironment env;
    CTavrixApp app;
    EXPECT_FALSE(app.InitInstance({"C:\\missing.vex"}));
    EXPECT_EQ(app.GetMainFrame(), nullptr);
}

}  // namespace
