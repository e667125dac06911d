// The command table of the menu, the toolbar and the accelerators.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "app/pc/hosttreeview.h"
#include "app/pvr/stbtreeview.h"
#include "app/res/resource.h"
#include "platform/templates.h"
#include "support/shellfixture.h"

namespace {

using Handler = CMainFrame::CommandHandler;

TEST(ShellCommands, EveryIdReachesItsHandler) {
    struct Route {
        UINT id;
        Handler handler;
    };
    const Route routes[] = {
        {32797, &CMainFrame::OnNewFolder},       {32807, &CMainFrame::OnNewFolder},
        {32782, &CMainFrame::OnNewFolder},       {32799, &CMainFrame::OnRename},
        {32811, &CMainFrame::OnRename},          {32798, &CMainFrame::OnDelete},
        {32806, &CMainFrame::OnDelete},          {32817, &CMainFrame::OnConvertAvi},
        {57665, &CMainFrame::OnAppExit},         {32816, &CMainFrame::OnShowHidden},
        {32784, &CMainFrame::OnDownload},        {32809, &CMainFrame::OnDownload},
        {32783, &CMainFrame::OnUpload},          {32775, &CMainFrame::OnUpload},
        {32818, &CMainFrame::OnPvrInformation},  {32815, &CMainFrame::OnUpgradeSoftware},
        {57664, &CMainFrame::OnAppAbout},        {32805, &CMainFrame::OnRefreshPvr},
        {ID_FILE_NEW, &CMainFrame::OnFileNew},   {ID_FILE_OPEN, &CMainFrame::OnFileOpen},
        {ID_FILE_SAVE, &CMainFrame::OnFileSave}, {ID_NEXT_PANE, &CMainFrame::OnNextPane},
        {ID_PREV_PANE, &CMainFrame::OnPrevPane},
    };
    for (const Route& r : routes) {
        EXPECT_TRUE(CMainFrame::FindCommandHandler(r.id) == r.handler) << r.id;
    }
    // No handler: online update and the edit keys.
    for (const UINT id : {32790u, ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) {
        EXPECT_TRUE(CMainFrame::FindCommandHandler(id) == nullptr) << id;
    }
}

TEST(ShellCommands, MenuAndToolbarCarryTheIdsInTheirPlaces) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    const QMenuBar* bar = frame.menuBar();
    struct Popup {
        const char* caption;
        std::vector<UINT> ids;  // 0: separator
    };
    const Popup popups[] = {
        {"&File", {32797, 32799, 32798, 0, 32817, 0, 57665}},
        {"&View", {32816}},
        {"&Transfer", {32784, 32783}},
        {"&PVR", {32818, 32815}},
        {"&Help", {57664, 32790}},
    };
    ASSERT_EQ(platform::GetMenuItemCount(bar), 5);
    for (int position = 0; position < 5; ++position) {
        const QAction* top = platform::GetMenuItemByPosition(bar, position);
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->text().toStdString(), popups[position].caption);
        const QMenu* menu = top->menu();
        ASSERT_NE(menu, nullptr);
        std::vector<UINT> ids;
        ids.reserve(static_cast<std::size_t>(platform::GetMenuItemCount(menu)));
        for (int i = 0; i < platform::GetMenuItemCount(menu); ++i) {
            ids.push_back(platform::GetMenuItemID(menu, i));
        }
        EXPECT_EQ(ids, popups[position].ids) << popups[position].caption;
    }
    EXPECT_FALSE(platform::IsMenuItemChecked(bar, 32816));

    std::vector<UINT> buttons;
    for (const QAction* action : frame.GetToolBar()->actions()) {
        buttons.push_back(action->isSeparator() ? 0 : action->data().toUInt());
        EXPECT_TRUE(action->toolTip().isEmpty() || action->isSeparator());
    }
    EXPECT_EQ(buttons, (std::vector<UINT>{32807, 32811, 32806, 0, 32809, 32775}));
}

TEST(ShellCommands, OnlineUpdateIsGreyedAndTheRestEnabled) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    const QMenuBar* bar = frame.menuBar();
    for (const UINT id :
         {32797u, 32799u, 32798u, 32817u, 57665u, 32816u, 32784u, 32783u, 32818u, 32815u, 57664u}) {
        EXPECT_TRUE(platform::FindMenuItem(bar, id)->isEnabled()) << id;
    }
    EXPECT_FALSE(platform::FindMenuItem(bar, 32790)->isEnabled());
    for (const QAction* action : frame.GetToolBar()->actions()) {
        EXPECT_TRUE(action->isEnabled());
    }
}

TEST(ShellCommands, EnableUserInterfaceSwitchesPanesToolbarAndTopMenus) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    const auto check = [&](bool enabled) {
        for (auto pane : {CMainFrame::Pane::HostTree, CMainFrame::Pane::HostFileList,
                          CMainFrame::Pane::StbTree, CMainFrame::Pane::StbFileList}) {
            EXPECT_EQ(frame.GetPane(pane)->isEnabled(), enabled) << static_cast<int>(pane);
        }
        EXPECT_EQ(frame.GetToolBar()->isEnabled(), enabled);
        for (int position = 0; position < 5; ++position) {
            EXPECT_EQ(platform::GetMenuItemByPosition(frame.menuBar(), position)->isEnabled(),
                      enabled)
                << position;
        }
    };
    frame.EnableUserInterface(false);
    check(false);
    frame.EnableUserInterface(true);
    check(true);
    // Enabling the menus by position does not wake the item that has no handler.
    EXPECT_FALSE(platform::FindMenuItem(frame.menuBar(), 32790)->isEnabled());
}

TEST(ShellCommands, MenuItemsAndButtonsDeliverToTheFrame) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    // Information and upgrade check for a PVR first; none is attached here.
    platform::FindMenuItem(frame.menuBar(), 32818)->trigger();
    platform::FindMenuItem(frame.menuBar(), 32815)->trigger();
    const std::string noDevice =
        "No device is attached!\nCheck whether USB cable is connected properly or PVR is under "
        "electric power.";
    const auto boxes = MessageBoxes(env.User());
    ASSERT_EQ(boxes.size(), 2u);
    for (const ShownBox& box : boxes) {
        EXPECT_EQ(box.text, noDevice);
        EXPECT_EQ(box.caption, "Tavrix");
        EXPECT_EQ(box.type, MB_ICONSTOP);
    }

    // 32805 has neither item nor button; it comes as a WM_COMMAND.
    const int before = frame.GetSTBTreeView()->GetRefreshCount();
    SendMessage(frame.GetSafeHwnd(), WM_COMMAND, ID_PVR_REFRESH, 0);
    EXPECT_EQ(frame.GetSTBTreeView()->GetRefreshCount(), before + 1);
}

TEST(ShellCommands, AboutShowsTheVersion) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    std::string caption;
    std::string version;
    env.User().QueueDialog([&](QDialog* dialog) {
        caption = dialog->windowTitle().toStdString();
        version = platform::GetDlgItemText(dialog, IDC_ABOUT_VERSION);
        return IDOK;
    });
    platform::FindMenuItem(frame.menuBar(), 57664)->trigger();
    EXPECT_EQ(caption, "About Vexlo");
    EXPECT_EQ(version, "1.1.0");
}

TEST(ShellCommands, ExitClosesTheWindow) {
    ShellEnvironment env;
    env.SetLastPath("");
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    platform::FindMenuItem(frame.menuBar(), 57665)->trigger();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(env.LastPath(), std::optional<std::string>("C:\\"));
}

TEST(ShellCommands, DocumentKeysNewOpenAndSave) {
    ShellEnvironment env;
    CMainFrame& frame = env.MakeFrame();
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    CTavrixDoc* doc = frame.GetDocument();

    // Ctrl+S on a new document asks for a name once and writes an empty file.
    env.User().QueueFile("C:\\saved.vex");
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(doc->GetPathName(), "C:\\saved.vex");
    const auto saved = platform::GetFileInfo("C:\\saved.vex");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->size, 0u);
    // The document holds nothing, so a file of that name keeps what it has.
    env.Drives().MakeFile("saved.vex", "not empty");
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(platform::GetFileInfo("C:\\saved.vex")->size, 9u);
    size_t asked = 0;
    for (const auto& shown : env.User().History()) {
        asked += shown.kind == "save" ? 1 : 0;
    }
    EXPECT_EQ(asked, 1u);

    // Ctrl+N forgets the file; Ctrl+O takes one without reading it.
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(doc->GetPathName(), "");
    env.User().QueueFile("C:\\saved.vex");
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(doc->GetPathName(), "C:\\saved.vex");
    // A file that is not there is refused.
    env.User().QueueFile("C:\\missing.vex");
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(doc->GetPathName(), "C:\\saved.vex");
    EXPECT_EQ(MessageBoxes(env.User()).size(), 1u);

    // A recording opened as the document and saved, by the key or as another
    // existing file, is left as it was.
    const std::string recording(5000, 'r');
    env.Drives().MakeFile("rec.AVR", recording);
    env.User().QueueFile("C:\\rec.AVR");
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(doc->GetPathName(), "C:\\rec.AVR");
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    env.User().QueueFile("C:\\rec.AVR");
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    std::ifstream in(env.Drives().C() + "/rec.AVR", std::ios::binary);
    const std::string after(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(after.size(), recording.size());
    EXPECT_TRUE(after == recording);
    EXPECT_EQ(MessageBoxes(env.User()).size(), 1u) << "saving is no failure";
}

}  // namespace
