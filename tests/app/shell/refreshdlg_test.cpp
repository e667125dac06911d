// The wait notice shown while the PVR is being read.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/res/resource.h"
#include "app/res/resources.h"
#include "app/shell/onrefreshdlg.h"
#include "platform/templates.h"

namespace {

TEST(ShellRefreshDialog, ShowingClearsTheStatusLineHidingKeepsIt) {
    res::RegisterResources();
    COnRefreshDlg dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_FALSE(dialog.isVisible()) << "made hidden";

    dialog.SetText("Retrying, wait just for a while...retry remains 9");
    dialog.show();
    EXPECT_EQ(dialog.GetText(), "");

    dialog.SetText("Completed");
    dialog.hide();
    EXPECT_EQ(dialog.GetText(), "Completed");
    dialog.show();
    EXPECT_EQ(dialog.GetText(), "") << "a second showing clears what the last listing left";

    // The notice itself never changes.
    bool noticeFound = false;
    for (const QWidget* child : dialog.findChildren<QWidget*>()) {
        noticeFound =
            noticeFound || platform::GetWindowText(child) == "Now updating PVR files.....";
    }
    EXPECT_TRUE(noticeFound);
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint) << "no caption";
}

}  // namespace
