// The wait notice shown while the PVR is being read.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>

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

TEST(ShellRefreshDialog, StaysLegibleOverTheDisabledWindow) {
    res::RegisterResources();
    QWidget owner;
    COnRefreshDlg dialog(&owner);
    ASSERT_TRUE(dialog.Create(&owner));
    owner.show();
    // A listing disables the window it stands over, before and after showing it.
    owner.setEnabled(false);
    dialog.show();
    dialog.SetText("Retrying, wait just for a while...retry remains 9");
    owner.setEnabled(true);
    owner.setEnabled(false);
    QApplication::processEvents();

    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(dialog.isEnabled());
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    ASSERT_GE(labels.size(), 2);
    for (QLabel* label : labels) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_TRUE(label->isEnabled());
        // Screen readers read the state, not the colour.
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->state().disabled);
    }
    // Taking keys now, it still cannot be closed by them.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
