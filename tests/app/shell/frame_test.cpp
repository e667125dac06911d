// The main window's start-up and shut-down, layout, status text and the end of
// a transfer batch.
#include <gtest/gtest.h>

#include <cstring>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include "app/controls/treectrlx.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/pvr/stbfilelistview.h"
#include "app/pvr/stbtreeview.h"
#include "app/res/resource.h"
#include "app/shell/onrefreshdlg.h"
#include "platform/syscolor.h"
#include "platform/templates.h"
#include "platform/usermessages.h"
#include "support/shellfixture.h"

namespace {

struct LastPathCase {
    const char* name;
    std::optional<std::string> stored;       // nullopt: the key does not exist yet
    const char* restored;                    // the PC tree's folder after start-up; "" for none
    std::optional<std::string> savedOnExit;  // nullopt: never written
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LastPathCase& c, std::ostream* os) {
    *os << c.name;
}

class LastPath : public ::testing::TestWithParam<LastPathCase> {};

TEST_P(LastPath, RestoredAtStartAndSavedAtExit) {
    const LastPathCase& c = GetParam();
    ShellEnvironment env;
    env.Drives().MakeFolder("Movies");
    if (c.stored) {
        env.SetLastPath(*c.stored);
    }
    ASSERT_EQ(env.KeyExists(), c.stored.has_value());

    CMainFrame& frame = env.MakeFrame();
    EXPECT_TRUE(env.KeyExists()) << "start-up makes the key";
    std::string folder;
    const bool selected = frame.GetHostTreeView()->GetCurrentFolder(folder);
    EXPECT_EQ(selected ? folder : std::string(), c.restored);
    if (*c.restored != '\0') {
        EXPECT_EQ(frame.GetHostFileListView()->GetFolder(), c.stored->empty() ? "C:\\" : *c.stored);
    }
    if (!c.stored) {
        EXPECT_FALSE(env.LastPath().has_value()) << "nothing is written before the exit";
    }

    env.CloseFrame();
    EXPECT_EQ(env.LastPath(), c.savedOnExit);
}

INSTANTIATE_TEST_SUITE_P(
    ShellRegistry, LastPath,
    // With no folder selected at the exit, nothing is written: an empty path
    // would open the next start at C:\ instead of where the user was.
    ::testing::Values(LastPathCase{"FirstStart", std::nullopt, "", std::nullopt},
                      LastPathCase{"EmptyMeansDriveC", std::string(), "C:\\", "C:\\"},
                      LastPathCase{"Folder", std::string("C:\\Movies"), "C:\\Movies\\",
                                   "C:\\Movies\\"},
                      LastPathCase{"TooLongForItsBuffer", "C:\\" + std::string(300, 'x'), "",
                                   "C:\\" + std::string(300, 'x')}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ShellFrame, ClickOnEmptySpaceKeepsTheFolderThatIsSavedAtExit) {
    ShellEnvironment env;
    env.Drives().MakeFolder("Movies");
    env.Drives().MakeFile("Movies/a.avr", "x");
    env.SetLastPath("C:\\Movies");
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CTreeCtrlX* tree = frame.GetHostTreeView()->GetTreeCtrl();
    ASSERT_EQ(frame.GetHostFileListView()->GetItemCount(), 1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, tree->viewport()->height() - 3));
    EXPECT_EQ(frame.GetHostFileListView()->GetItemCount(), 1);
    std::string folder;
    EXPECT_TRUE(frame.GetHostTreeView()->GetCurrentFolder(folder));
    EXPECT_EQ(folder, "C:\\Movies\\");

    // "My Computer" is no folder: the one saved before stays.
    tree->SelectItem(tree->GetRootItem());
    env.CloseFrame();
    EXPECT_EQ(env.LastPath(), std::optional<std::string>("C:\\Movies"));
}

TEST(ShellFrame, ClosingTheWindowSavesOnceAndTakesTheWaitDialogDown) {
    ShellEnvironment env;
    env.SetLastPath("");
    CMainFrame& frame = env.MakeFrame();
    ASSERT_TRUE(frame.GetRefreshDialog()->IsCreated());
    frame.show();
    frame.close();
    EXPECT_EQ(env.LastPath(), std::optional<std::string>("C:\\"));
    EXPECT_FALSE(frame.GetRefreshDialog()->IsCreated());

    // A later change of folder is not written again by the destruction.
    env.Drives().MakeFolder("Later");
    frame.GetHostTreeView()->SelectPath("C:\\Later");
    env.CloseFrame();
    EXPECT_EQ(env.LastPath(), std::optional<std::string>("C:\\"));
}

TEST(ShellFrame, PaneGridUsesIntegerQuotients) {
    struct Case {
        int w, h, left, right, row;
    };
    // 1001 / 3 = 333, so the right column is 666, not 2 * 1001 / 3 = 667.
    for (const Case c :
         {Case{900, 700, 300, 600, 330}, Case{1001, 641, 333, 666, 300}, Case{2, 30, 0, 0, -5}}) {
        const auto grid = CMainFrame::ComputePaneGrid(c.w, c.h);
        EXPECT_EQ(grid.leftWidth, c.left) << c.w;
        EXPECT_EQ(grid.rightWidth, c.right) << c.w;
        EXPECT_EQ(grid.rowHeight, c.row) << c.h;
    }
}

TEST(ShellFrame, HasTitleToolbarStatusBarAndFourPanes) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    EXPECT_EQ(frame.windowTitle().toStdString(), "Vexlo");

    // A document of any name leaves the title alone.
    env.Drives().MakeFile("doc.vex", "");
    env.User().QueueFile("C:\\doc.vex");
    frame.OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(frame.GetDocument()->GetPathName(), "C:\\doc.vex");
    EXPECT_EQ(frame.windowTitle().toStdString(), "Vexlo");

    // Rows of the splitter: PC tree and list above, PVR tree and list below.
    QSplitter* rows = frame.GetSplitter();
    ASSERT_EQ(rows->count(), 2);
    auto* top = qobject_cast<QSplitter*>(rows->widget(0));
    auto* bottom = qobject_cast<QSplitter*>(rows->widget(1));
    ASSERT_TRUE(top && bottom);
    EXPECT_EQ(top->widget(0), frame.GetHostTreeView());
    EXPECT_EQ(top->widget(1), frame.GetHostFileListView());
    EXPECT_EQ(bottom->widget(0), frame.GetSTBTreeView());
    EXPECT_EQ(bottom->widget(1), frame.GetSTBFileListView());

    QToolBar* toolbar = frame.GetToolBar();
    EXPECT_EQ(frame.toolBarArea(toolbar), Qt::TopToolBarArea);
    EXPECT_EQ(toolbar->iconSize(), QSize(32, 32));
    EXPECT_TRUE(toolbar->isMovable());
    EXPECT_EQ(toolbar->allowedAreas(), Qt::AllToolBarAreas);

    // One pane, " " at first, as wide as the client area was.
    EXPECT_EQ(frame.GetStatusText(), " ");
    EXPECT_EQ(frame.GetStatusPane()->maximumWidth(), frame.ClientSize().width());
}

TEST(ShellFrame, StatusTextIsWhatTheScreenReaderReads) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QLabel* pane = frame.GetStatusPane();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(pane);
    ASSERT_NE(a, nullptr);
    // Each new text is the pane's accessible name, whose change Qt passes on to
    // the screen reader (offscreen there is none to hear it).
    for (const char* text :
         {"TX-PVR 100 has been attached by High speeded USB", "Requested refresh file lists...."}) {
        frame.SetStatusText(text);
        EXPECT_EQ(pane->accessibleName().toStdString(), text);
        EXPECT_EQ(a->text(QAccessible::Name).toStdString(), text);
    }
    EXPECT_EQ(a->text(QAccessible::Description).toStdString(), "Status");
    // A device's name cannot break the line.
    frame.SetStatusText("Box\nTwo has been removed...");
    EXPECT_EQ(pane->text().toStdString(), "Box?Two has been removed...");
    EXPECT_EQ(a->text(QAccessible::Name).toStdString(), "Box?Two has been removed...");
}

TEST(ShellFrame, StatusTextMessageSetsThePane) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    const char* text = "3 files found....(10 MBytes free, 50 % used)";
    SendMessage(frame.GetSafeHwnd(), WM_SET_STATUS_TEXT, reinterpret_cast<WPARAM>(text), 0);
    EXPECT_EQ(frame.GetStatusText(), text);
    // A null text is ignored rather than read.
    SendMessage(frame.GetSafeHwnd(), WM_SET_STATUS_TEXT, 0, 0);
    EXPECT_EQ(frame.GetStatusText(), text);
}

struct BatchEndCase {
    const char* name;
    UINT message;
    std::uint8_t kind;
    std::uint8_t direction;
    int pvrRefreshes;
    int pcRefreshes;
    bool failureBox;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BatchEndCase& c, std::ostream* os) {
    *os << c.name;
}

class BatchEnd : public ::testing::TestWithParam<BatchEndCase> {};

TEST_P(BatchEnd, EnablesTheUserInterfaceAndRefreshesTheDestination) {
    const BatchEndCase& c = GetParam();
    ShellEnvironment env;
    env.SetLastPath("C:\\");
    CMainFrame& frame = env.MakeFrame();
    TransferItem head{};
    head.kind = c.kind;
    head.direction = c.direction;
    frame.SetTransferBatchHead(&head);
    frame.EnableUserInterface(false);
    const int pvrBefore = frame.GetSTBTreeView()->GetRefreshCount();
    const int pcBefore = frame.GetHostTreeView()->GetRefreshCount();
    // A file the batch brought: the PC side lists it only after the refresh.
    env.Drives().MakeFile("arrived.avr", "x");

    SendMessage(frame.GetSafeHwnd(), c.message, 0, 0);

    EXPECT_TRUE(frame.GetToolBar()->isEnabled());
    EXPECT_TRUE(frame.GetHostTreeView()->isEnabled());
    EXPECT_EQ(frame.GetSTBTreeView()->GetRefreshCount() - pvrBefore, c.pvrRefreshes);
    EXPECT_EQ(frame.GetHostTreeView()->GetRefreshCount() - pcBefore, c.pcRefreshes);
    EXPECT_EQ(frame.GetHostFileListView()->GetItemCount(), c.pcRefreshes);
    const auto boxes = MessageBoxes(env.User());
    if (c.failureBox) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Transfer failed or user cancelled.");
        EXPECT_EQ(boxes[0].caption, "Tavrix");
        EXPECT_EQ(boxes[0].type, MB_ICONSTOP);
    } else {
        EXPECT_TRUE(boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    ShellTransfer, BatchEnd,
    ::testing::Values(BatchEndCase{"FailedUpload", WM_TRANSFER_FAILED, TRANSFER_KIND_FILE,
                                   TRANSFER_UPLOAD, 1, 0, true},
                      BatchEndCase{"FailedDownload", WM_TRANSFER_FAILED, TRANSFER_KIND_FILE,
                                   TRANSFER_DOWNLOAD, 0, 1, true},
                      BatchEndCase{"FailedUpgrade", WM_TRANSFER_FAILED, TRANSFER_KIND_FIRMWARE,
                                   TRANSFER_UPLOAD, 1, 0, true},
                      BatchEndCase{"DoneUpload", WM_TRANSFER_DONE, TRANSFER_KIND_FILE,
                                   TRANSFER_UPLOAD, 1, 0, false},
                      BatchEndCase{"DoneDownload", WM_TRANSFER_DONE, TRANSFER_KIND_FILE,
                                   TRANSFER_DOWNLOAD, 0, 1, false},
                      BatchEndCase{"DoneUpgradeRefreshesNothing", WM_TRANSFER_DONE,
                                   TRANSFER_KIND_DATABASE, TRANSFER_UPLOAD, 0, 0, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ShellFrame, WaitDialogCentringArithmetic) {
    struct Case {
        QSize client;
        QPoint topLeft;
        QSize dialog;
        QRect expected;
    };
    // A dialog wider than the frame: (100 - 105) / 2 truncates to -2, not -3.
    for (const Case& c : {Case{{900, 700}, {100, 80}, {300, 60}, {400, 400, 300, 60}},
                          Case{{901, 701}, {0, 0}, {300, 60}, {300, 320, 300, 60}},
                          Case{{100, 50}, {10, 10}, {105, 53}, {8, 9, 105, 53}}}) {
        EXPECT_EQ(CMainFrame::CenteredRect(c.client, c.topLeft, c.dialog), c.expected);
    }
}

TEST(ShellFrame, WaitDialogFollowsMovesAndResizes) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    COnRefreshDlg* dialog = frame.GetRefreshDialog();
    const auto expected = [&] {
        return CMainFrame::CenteredRect(frame.ClientSize(), frame.frameGeometry().topLeft(),
                                        dialog->size());
    };
    EXPECT_EQ(dialog->geometry(), expected());

    frame.move(frame.pos() + QPoint(37, 23));
    QApplication::processEvents();
    EXPECT_EQ(dialog->geometry(), expected());

    frame.resize(frame.width() - 101, frame.height() + 55);
    QApplication::processEvents();
    EXPECT_EQ(dialog->geometry(), expected());
    // The dialog sits over the frame, not at a fixed place.
    EXPECT_TRUE(frame.frameGeometry().contains(dialog->geometry().center()));
}

TEST(ShellFrame, ActivePaneIsTheOneWhoseControlHasTheFocus) {
    ShellEnvironment env;
    env.SetLastPath("");
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    // The PVR tree needs a PVR before it has a control to select in.
    DeviceDescriptor descriptor{};
    std::strcpy(descriptor.productName, "TX-PVR 100");
    SendMessage(frame.GetSTBTreeView()->GetSafeHwnd(), WM_DEVICE_ARRIVAL,
                reinterpret_cast<WPARAM>(&descriptor), 0);
    ASSERT_NE(frame.GetSTBTreeView()->GetTreeCtrl(), nullptr);
    ASSERT_NE(frame.GetSTBTreeView()->GetTreeCtrl()->currentItem(), nullptr);

    using Pane = CMainFrame::Pane;
    struct Case {
        QWidget* focus;
        Pane active;
        Pane activeTree;
    };
    // The PVR tree shows a selection throughout; only the focus decides.
    for (const Case& c :
         {Case{frame.GetSTBFileListView()->GetListCtrl(), Pane::StbFileList, Pane::None},
          Case{frame.GetSTBTreeView()->GetTreeCtrl(), Pane::StbTree, Pane::StbTree},
          Case{frame.GetHostTreeView()->GetTreeCtrl(), Pane::HostTree, Pane::HostTree},
          Case{frame.GetHostFileListView()->GetListCtrl(), Pane::HostFileList, Pane::None},
          // The pane itself is not its control.
          Case{frame.GetToolBar(), Pane::None, Pane::None}}) {
        c.focus->setFocusPolicy(Qt::StrongFocus);
        c.focus->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), c.focus);
        EXPECT_EQ(frame.GetActivePane(), c.active);
        EXPECT_EQ(frame.GetActiveTreePane(), c.activeTree);
    }
}

TEST(ShellFrame, F6AndShiftF6WalkThePanes) {
    ShellEnvironment env;
    env.SetLastPath("");
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    DeviceDescriptor descriptor{};
    SendMessage(frame.GetSTBTreeView()->GetSafeHwnd(), WM_DEVICE_ARRIVAL,
                reinterpret_cast<WPARAM>(&descriptor), 0);
    QWidget* controls[] = {
        frame.GetHostTreeView()->GetTreeCtrl(), frame.GetHostFileListView()->GetListCtrl(),
        frame.GetSTBTreeView()->GetTreeCtrl(), frame.GetSTBFileListView()->GetListCtrl()};
    controls[0]->setFocus();
    QApplication::processEvents();
    for (int i = 1; i <= 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        EXPECT_EQ(QApplication::focusWidget(), controls[i % 4]) << "F6 number " << i;
    }
    for (int i = 1; i <= 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), controls[(4 - i) % 4]) << "Shift+F6 number " << i;
    }
}

TEST(ShellFrame, TabFollowsThePaneOrderThenTheToolbar) {
    ShellEnvironment env;
    env.SetLastPath("");
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    // Before the first PVR the PVR tree has nothing to focus and is passed over;
    // its control comes later than the others, and still takes its place.
    const auto walk = [&](int steps) {
        frame.GetHostTreeView()->GetTreeCtrl()->setFocus();
        QApplication::processEvents();
        std::vector<QWidget*> visited;
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.push_back(QApplication::focusWidget());
        }
        return visited;
    };
    std::vector<QWidget*> before = walk(2);
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0], frame.GetHostFileListView()->GetListCtrl());
    EXPECT_EQ(before[1], frame.GetSTBFileListView()->GetListCtrl());

    DeviceDescriptor descriptor{};
    SendMessage(frame.GetSTBTreeView()->GetSafeHwnd(), WM_DEVICE_ARRIVAL,
                reinterpret_cast<WPARAM>(&descriptor), 0);
    std::vector<QWidget*> after = walk(4);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[0], frame.GetHostFileListView()->GetListCtrl());
    EXPECT_EQ(after[1], frame.GetSTBTreeView()->GetTreeCtrl());
    EXPECT_EQ(after[2], frame.GetSTBFileListView()->GetListCtrl());
    EXPECT_TRUE(after[3] != nullptr && frame.GetToolBar()->isAncestorOf(after[3]))
        << "then the toolbar";
    // Shift+Tab goes back the same way.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), frame.GetSTBFileListView()->GetListCtrl());
}

TEST(ShellFrame, EmptyPvrFolderPaneIsWhiteBeforeAndAfterAPvr) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QWidget* pane = frame.GetSTBTreeView();
    const auto middle = [pane] {
        return pane->grab().toImage().pixelColor(pane->width() / 2, pane->height() / 2).rgb();
    };
    const QRgb white = GetSysColor(COLOR_WINDOW).rgb();
    EXPECT_EQ(middle(), white) << "before the first PVR";
    DeviceDescriptor descriptor{};
    SendMessage(frame.GetSTBTreeView()->GetSafeHwnd(), WM_DEVICE_ARRIVAL,
                reinterpret_cast<WPARAM>(&descriptor), 0);
    SendMessage(frame.GetSafeHwnd(), WM_DEVICE_REMOVAL, 0, 0);
    EXPECT_EQ(middle(), white) << "after a removal";
}

TEST(ShellFrame, ScreenReaderNamesTheWindowAndItsParts) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    DeviceDescriptor descriptor{};
    std::strcpy(descriptor.productName, "TX-PVR 100");
    SendMessage(frame.GetSTBTreeView()->GetSafeHwnd(), WM_DEVICE_ARRIVAL,
                reinterpret_cast<WPARAM>(&descriptor), 0);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    const auto name = [](QObject* object) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(object);
        return a != nullptr ? a->text(QAccessible::Name).toStdString() : std::string();
    };
    EXPECT_EQ(name(&frame), "Vexlo");
    EXPECT_EQ(name(frame.GetHostTreeView()), "PC folders");
    EXPECT_EQ(name(frame.GetHostFileListView()), "PC files");
    EXPECT_EQ(name(frame.GetSTBTreeView()), "PVR folders");
    EXPECT_EQ(name(frame.GetSTBFileListView()), "PVR files");
    // The trees' one column header, hidden on screen, carries the pane's name.
    for (CTreeCtrlX* tree :
         {frame.GetHostTreeView()->GetTreeCtrl(), frame.GetSTBTreeView()->GetTreeCtrl()}) {
        if (tree == nullptr) {
            continue;
        }
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(tree);
        ASSERT_NE(a, nullptr);
        for (int i = 0; i < a->childCount(); ++i) {
            QAccessibleInterface* child = a->child(i);
            if (child != nullptr && child->role() == QAccessible::ColumnHeader) {
                EXPECT_EQ(child->text(QAccessible::Name).toStdString(), name(tree));
            }
        }
    }
    for (QAction* action : frame.GetToolBar()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_FALSE(name(frame.GetToolBar()->widgetForAction(action)).empty())
                << "button " << action->data().toUInt();
        }
    }
    for (QAction* menu : frame.menuBar()->actions()) {
        EXPECT_FALSE(menu->text().isEmpty());
    }
}

}  // namespace
