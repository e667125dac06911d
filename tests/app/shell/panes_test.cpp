// The panes' keys, context menus and drag and drop in a shown main window
// against a served PVR: each ends at the command the menus reach, on the side
// it was used on, and files dropped across go through the transfer engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/controls/listctrlx.h"
#include "app/convert/convertavi.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/res/resource.h"
#include "app/shell/paneactions.h"
#include "app/transfer/transfercommands.h"
#include "app/transfer/transferdlg.h"
#include "core/names.h"
#include "platform/templates.h"
#include "stream/conversion.h"
#include "support/browserfixture.h"
#include "support/streambuilder.h"

namespace {

using Pane = CMainFrame::Pane;
using Strings = std::vector<std::string>;

constexpr std::int64_t kMiB = 1 << 20;
constexpr const char* kRecording = "Movie_A1B2C3D4E5F6.AVR";

class Panes : public PvrBrowserTest {
protected:
    void SetUp() override {
        PvrBrowserTest::SetUp();
        const ::Bytes recording = Concat({AvrHeader(), SyntheticTs(400)});
        m_recording.assign(recording.begin(), recording.end());
        // Kept by the PVR as two parts and a companion file.
        const std::size_t half = m_recording.size() / 2;
        PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVR", m_recording.substr(0, half));
        PutHost("AV/Movie_#002_A1B2C3D4E5F6.AVR", m_recording.substr(half));
        PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVF", Bytes(4096, 7));
        PutHost("AV/song.mp3", Bytes(3000, 8));
        MakeHostFolder("AV/Copy");
    }
    void TearDown() override {
        platform::SetPopupMenuChooser(nullptr);
        PvrBrowserTest::TearDown();
    }

    // Attached, AV listed, the PC side in C:\rec with two songs and a folder,
    // the window shown and active.
    void Start() {
        StartBrowser();
        FinishListing();
        ListFolder("C:\\PVR\\AV\\");
        m_env->Drives().MakeFile("rec/a.mp3", Bytes(2000, 1));
        m_env->Drives().MakeFile("rec/b.mp3", Bytes(kMiB + 5, 2));
        m_env->Drives().MakeFolder("rec/sub");
        PcTree().SelectPath("C:\\rec");
        Frame().show();
        Frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    }

    CHostTreeView& PcTree() { return *Frame().GetHostTreeView(); }
    CListCtrlX* PcList() { return Frame().GetHostFileListView()->GetListCtrl(); }
    CListCtrlX* PvrList() { return Files().GetListCtrl(); }
    CTreeCtrlX* PcTreeCtrl() { return PcTree().GetTreeCtrl(); }
    CTreeCtrlX* PvrTreeCtrl() { return Tree().GetTreeCtrl(); }
    std::string C() { return m_env->Drives().C(); }
    std::string ReadPc(const std::string& relative) {
        std::ifstream in(C() + "/" + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<platform::ScriptedUser::Shown> Shown() { return m_env->User().History(); }

    void Focus(QWidget* control) {
        // Progress windows and dialogs come and go; a window manager gives the
        // main window back its activation.
        if (!Frame().isActiveWindow()) {
            Frame().activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
        }
        control->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), control);
    }
    // Selects exactly these rows.
    static void Select(CListCtrlX* list, const Strings& names) {
        list->clearSelection();
        int found = 0;
        for (int row = 0; row < list->GetItemCount(); ++row) {
            if (std::find(names.begin(), names.end(), list->GetItemName(row)) != names.end()) {
                list->SetItemState(row, CListCtrlX::kStateSelected | CListCtrlX::kStateFocused,
                                   CListCtrlX::kStateSelected | CListCtrlX::kStateFocused);
                ++found;
            }
        }
        EXPECT_EQ(found, static_cast<int>(names.size()));
    }
    static QPoint RowAt(CListCtrlX* list, const std::string& name) {
        for (int row = 0; row < list->GetItemCount(); ++row) {
            if (list->GetItemName(row) == name) {
                return list->visualItemRect(list->topLevelItem(row)).center();
            }
        }
        ADD_FAILURE() << name << " is not listed";
        return {};
    }
    static QPoint FolderAt(CTreeCtrlX* tree, const std::string& path) {
        HTREEITEM item = tree->FindItemByPath(path);
        EXPECT_NE(item, nullptr) << path;
        return item != nullptr ? tree->visualItemRect(item).center() : QPoint();
    }

    // Ends a listing that a key or a drop started.
    void SettleListing() {
        if (Tree().IsBusy()) {
            FinishListing();
            // The wait notice has come and gone; a window manager gives the
            // main window back its activation.
            Frame().activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
        }
        platform::ProcessMessages();
    }

    // A right click at a point of the control; the chooser sees the menu,
    // notes its items and picks the command. The items, "-" for separators,
    // "(grey)" after those that are greyed.
    Strings RightClick(QAbstractItemView* control, QPoint at, UINT choose) {
        Strings items;
        platform::SetPopupMenuChooser([&items, choose](QMenu* menu) {
            for (const QAction* action : menu->actions()) {
                std::string item = action->isSeparator() ? "-" : action->text().toStdString();
                if (!action->isSeparator() && !action->isEnabled()) {
                    item += " (grey)";
                }
                if (action->isChecked()) {
                    item += " (checked)";
                }
                items.push_back(item);
            }
            return choose;
        });
        QTest::mousePress(control->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, control->viewport()->mapToGlobal(at));
        QApplication::sendEvent(control->viewport(), &event);
        QTest::mouseRelease(control->viewport(), Qt::RightButton, {}, at);
        platform::SetPopupMenuChooser(nullptr);
        return items;
    }

    // Drags data over a point of the control and drops it there if the control
    // takes it; true when it did. The transfer starts once the drag has ended.
    bool Drop(QAbstractItemView* control, QPoint at, std::unique_ptr<QMimeData> data) {
        if (data == nullptr) {
            ADD_FAILURE() << "nothing to drag";
            return false;
        }
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(control->viewport(), &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(control->viewport(), &drop);
        platform::ProcessMessages();
        return drop.isAccepted();
    }
    std::unique_ptr<QMimeData> DragFrom(Pane pane) {
        return std::unique_ptr<QMimeData>(Frame().GetPaneActions().MakeDragData(pane));
    }
    static std::unique_ptr<QMimeData> DesktopFiles(const Strings& hostPaths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const std::string& path : hostPaths) {
            urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
        }
        data->setUrls(urls);
        return data;
    }

    // The batch the last transfer command built: "PC path <-> PVR path" per item.
    Strings Batch() {
        const TransferBatch& batch = Frame().GetTransferCommands().Engine().Batch();
        Strings items;
        for (int i = 0; i < batch.itemCount; ++i) {
            const auto index = static_cast<std::size_t>(i);
            items.push_back(batch.pcPaths[index] + " <-> " +
                            std::string(FieldText(batch.items[index].pvrPath)));
        }
        return items;
    }
    bool Idle() { return !Frame().GetTransferCommands().Engine().WorkerRegistered(); }
    void RunToEnd() {
        CTransferCommands& transfers = Frame().GetTransferCommands();
        ASSERT_TRUE(DriveClock(m_clock, [&] {
            return Idle() &&
                   (transfers.Dialog() == nullptr ||
                    transfers.Dialog()->GetSafeHwnd() == nullptr) &&
                   !Frame().GetToolBar()->testAttribute(Qt::WA_ForceDisabled);
        }));
        platform::ProcessMessages();
        SettleListing();
    }

    std::string m_recording;
};

// ---- Keys -------------------------------------------------------------------------------

struct KeyCase {
    const char* name;
    Pane pane;
    // The row (lists) or folder (trees) to act on.
    const char* target;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    // What followed: the questions and dialogs the user saw, refreshes, and
    // where the focus and the folder went when they moved.
    const char* seen;
};

TEST_F(Panes, KeysReachTheCommandsOnTheirOwnSide) {
    Start();
    const std::vector<KeyCase> cases{
        {"PcListDelete",
         Pane::HostFileList,
         "a.mp3",
         Qt::Key_Delete,
         {},
         "box:Are you sure remove the file?\nC:\\rec\\a.mp3;"},
        {"PcListShiftDelete", Pane::HostFileList, "a.mp3", Qt::Key_Delete, Qt::ShiftModifier, ""},
        {"PcListF2", Pane::HostFileList, "a.mp3", Qt::Key_F2, {}, "dialog:Rename|a.mp3;"},
        {"PcListF7",
         Pane::HostFileList,
         "a.mp3",
         Qt::Key_F7,
         {},
         "dialog:New Folder|;focus:HostTree;"},
        {"PcListF5", Pane::HostFileList, "a.mp3", Qt::Key_F5, {}, "pc-refresh;"},
        {"PcListCtrlA", Pane::HostFileList, "a.mp3", Qt::Key_A, Qt::ControlModifier, "selected:2;"},
        {"PcTreeDelete",
         Pane::HostTree,
         "C:\\rec\\sub",
         Qt::Key_Delete,
         {},
         "box:Are you sure remove directory?\nC:\\rec\\sub\\;"},
        {"PcTreeF2", Pane::HostTree, "C:\\rec\\sub", Qt::Key_F2, {}, "dialog:Rename|sub;"},
        {"PcTreeF7", Pane::HostTree, "C:\\rec\\sub", Qt::Key_F7, {}, "dialog:New Folder|;"},
        {"PcTreeBackspace",
         Pane::HostTree,
         "C:\\rec\\sub",
         Qt::Key_Backspace,
         {},
         "pc-refresh;folder:C:\\rec\\;"},
        {"PcTreeAltBackspace", Pane::HostTree, "C:\\rec\\sub", Qt::Key_Backspace, Qt::AltModifier,
         ""},
        {"PvrListDelete",
         Pane::StbFileList,
         "song.mp3",
         Qt::Key_Delete,
         {},
         "box:Are you sure remove the file?\nC:\\PVR\\AV\\song.mp3;"},
        {"PvrListF2", Pane::StbFileList, "song.mp3", Qt::Key_F2, {}, "dialog:Rename|song.mp3;"},
        {"PvrListF7",
         Pane::StbFileList,
         "song.mp3",
         Qt::Key_F7,
         {},
         "dialog:New Folder|;focus:StbTree;"},
        {"PvrListF5", Pane::StbFileList, "song.mp3", Qt::Key_F5, {}, "pvr-refresh;"},
        {"PvrTreeDelete",
         Pane::StbTree,
         "C:\\PVR\\AV\\Copy\\",
         Qt::Key_Delete,
         {},
         "box:Are you sure remove directory?\nC:\\PVR\\AV\\Copy\\;"},
        {"PvrTreeF2", Pane::StbTree, "C:\\PVR\\AV\\Copy\\", Qt::Key_F2, {}, "dialog:Rename|Copy;"},
        {"PvrTreeF7", Pane::StbTree, "C:\\PVR\\AV\\Copy\\", Qt::Key_F7, {}, "dialog:New Folder|;"},
        {"PvrTreeBackspace",
         Pane::StbTree,
         "C:\\PVR\\AV\\Copy\\",
         Qt::Key_Backspace,
         {},
         "folder:C:\\PVR\\AV\\;"},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        const bool pvr = c.pane == Pane::StbTree || c.pane == Pane::StbFileList;
        QAbstractItemView* control = nullptr;
        if (c.pane == Pane::HostFileList || c.pane == Pane::StbFileList) {
            if (pvr) {
                Tree().RunInFolder("C:\\PVR\\AV\\", [] {});
                SettleListing();
            }
            control = pvr ? PvrList() : PcList();
            Select(static_cast<CListCtrlX*>(control), {c.target});
        } else {
            control = pvr ? static_cast<QAbstractItemView*>(PvrTreeCtrl()) : PcTreeCtrl();
            if (pvr) {
                Tree().RunInFolder(c.target, [] {});
                SettleListing();
            } else {
                PcTree().SelectPath(c.target);
            }
        }
        Focus(control);
        // Questions are answered No and dialogs cancelled: nothing changes.
        std::string seen;
        const std::string expected = c.seen;
        if (expected.find("box:") != std::string::npos) {
            m_env->User().QueueAnswer(IDNO);
        }
        if (expected.find("dialog:") != std::string::npos) {
            m_env->User().QueueDialog([&seen](QDialog* dialog) {
                seen += "dialog:" + dialog->windowTitle().toStdString() + "|" +
                        platform::GetDlgItemText(dialog, dialog->windowTitle() == "Rename"
                                                             ? IDC_RENAME_NAME
                                                             : IDC_NEWFOLDER_NAME) +
                        ";";
                return IDCANCEL;
            });
        }
        m_env->User().ClearHistory();
        const auto currentFolder = [&] {
            std::string folder;
            const bool found =
                pvr ? Tree().GetCurrentFolder(folder) : PcTree().GetCurrentFolder(folder);
            return found ? folder : std::string();
        };
        const std::string folderBefore = currentFolder();
        const int pcRefreshes = PcTree().GetRefreshCount();
        const int pvrRefreshes = Tree().GetRefreshCount();

        QTest::keyClick(control, c.key, c.modifiers);

        for (const auto& shown : Shown()) {
            if (shown.kind == "messagebox") {
                seen += "box:" + shown.text + ";";
            }
        }
        if (PcTree().GetRefreshCount() != pcRefreshes) {
            seen += "pc-refresh;";
        }
        if (Tree().GetRefreshCount() != pvrRefreshes) {
            seen += "pvr-refresh;";
        }
        if (QApplication::focusWidget() != control && QApplication::focusWidget() != nullptr) {
            const Pane focused = QApplication::focusWidget() == PcTreeCtrl()    ? Pane::HostTree
                                 : QApplication::focusWidget() == PvrTreeCtrl() ? Pane::StbTree
                                                                                : Pane::None;
            seen += std::string("focus:") +
                    (focused == Pane::HostTree  ? "HostTree"
                     : focused == Pane::StbTree ? "StbTree"
                                                : "other") +
                    ";";
        }
        if (c.key == Qt::Key_A) {
            seen += "selected:" + std::to_string(PcList()->GetSelectedCount()) + ";";
        }
        const std::string folderAfter = currentFolder();
        if (folderAfter != folderBefore) {
            seen += "folder:" + folderAfter + ";";
        }
        EXPECT_EQ(seen, expected);
        SettleListing();
    }
    // Nothing was deleted, renamed or made on either side.
    EXPECT_TRUE(ExistsHost("AV/song.mp3"));
    EXPECT_TRUE(ExistsHost("AV/Copy"));
    EXPECT_TRUE(std::filesystem::exists(C() + "/rec/a.mp3"));
    EXPECT_TRUE(std::filesystem::exists(C() + "/rec/sub"));
}

TEST_F(Panes, TheMenusShowTheKeys) {
    Start();
    QMenu* file = platform::GetMenuItemByPosition(Frame().menuBar(), 0)->menu();
    Strings items;
    for (const QAction* action : file->actions()) {
        items.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    }
    EXPECT_EQ(items, (Strings{"&New Folder\tF7", "&Rename\tF2", "&Delete\tDel", "-",
                              "&PVR file to .avi", "-", "E&xit"}));
}

// ---- Context menus --------------------------------------------------------------------------

TEST_F(Panes, ContextMenusOfferWhatAppliesAndActOnTheClickedSide) {
    Start();
    m_env->Drives().MakeFile("rec/Show_A1B2C3D4E5F6.AVR", "x");
    PcTree().Refresh();
    const Strings fileCommands{"&New Folder\tF7", "&Rename\tF2", "&Delete\tDel", "-"};
    const auto with = [](Strings head, const Strings& middle, const Strings& tail) {
        head.insert(head.end(), middle.begin(), middle.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };

    // The PC list has the focus; a right click on a PVR file makes the PVR
    // list the active pane, so Delete asks about the PVR file.
    Select(PcList(), {"a.mp3"});
    Focus(PcList());
    m_env->User().QueueAnswer(IDNO);
    EXPECT_EQ(RightClick(PvrList(), RowAt(PvrList(), "song.mp3"), ID_FILE_DELETE),
              with({"&Download(PVR-->PC)", "-"}, fileCommands,
                   {"Re&fresh\tF5", "Show hidden PVR files"}));
    ASSERT_EQ(MessageBoxes(m_env->User()).size(), 1u);
    EXPECT_EQ(MessageBoxes(m_env->User())[0].text,
              "Are you sure remove the file?\nC:\\PVR\\AV\\song.mp3");

    // On the PC list: converting applies to a recording only.
    EXPECT_EQ(RightClick(PcList(), RowAt(PcList(), "a.mp3"), 0),
              with({"&Upload(PC--->PVR)", "&PVR file to .avi (grey)", "-"}, fileCommands,
                   {"Re&fresh\tF5"}));
    std::string converting;
    m_env->User().QueueDialog([&converting](QDialog* dialog) {
        converting = platform::GetDlgItemText(dialog, IDC_CONVERT_SOURCE);
        return IDCANCEL;
    });
    RightClick(PcList(), RowAt(PcList(), "Show_A1B2C3D4E5F6.AVR"), ID_FILE_CONVERT_AVI);
    EXPECT_EQ(converting, "C:\\rec\\Show_A1B2C3D4E5F6.AVR");

    // On a PC folder: the folder clicked is the one renamed; a download has
    // nothing to take while no PVR file is selected.
    PvrList()->clearSelection();
    std::string preset;
    QueueNameAnswer(m_env->User(), "sub2", &preset);
    EXPECT_EQ(RightClick(PcTreeCtrl(), FolderAt(PcTreeCtrl(), "C:\\rec\\sub"), ID_FILE_RENAME),
              with({"&Download(PVR-->PC) (grey)", "-"}, fileCommands, {"Re&fresh\tF5"}));
    EXPECT_EQ(preset, "sub");
    EXPECT_TRUE(std::filesystem::exists(C() + "/rec/sub2"));

    // On a PVR system folder delete and rename do not apply; the View menu's
    // check mark shows.
    Frame().OnCommand(ID_VIEW_SHOW_HIDDEN);
    SettleListing();
    EXPECT_EQ(
        RightClick(PvrTreeCtrl(), FolderAt(PvrTreeCtrl(), "C:\\PVR\\AV\\"), 0),
        (Strings{"&Upload(PC--->PVR) (grey)", "-", "&New Folder\tF7", "&Rename\tF2 (grey)",
                 "&Delete\tDel (grey)", "-", "Re&fresh\tF5", "Show hidden PVR files (checked)"}));
    Frame().OnCommand(ID_VIEW_SHOW_HIDDEN);
    SettleListing();

    // A PVR folder other than the selected one is read first, then removed.
    m_env->User().ClearHistory();
    m_env->User().QueueAnswer(IDYES);
    RightClick(PvrTreeCtrl(), FolderAt(PvrTreeCtrl(), "C:\\PVR\\AV\\Copy\\"), ID_FILE_DELETE);
    EXPECT_TRUE(MessageBoxes(m_env->User()).empty()) << "asked before the folder was read";
    SettleListing();
    ASSERT_EQ(MessageBoxes(m_env->User()).size(), 1u);
    EXPECT_EQ(MessageBoxes(m_env->User())[0].text,
              "Are you sure remove directory?\nC:\\PVR\\AV\\Copy\\");
    EXPECT_FALSE(ExistsHost("AV/Copy"));
}

// ---- Drag and drop ----------------------------------------------------------------------------

TEST_F(Panes, DroppedFilesCrossThroughTheTransferEngine) {
    PutHost("AV/Copy/a.mp3", "old");
    Start();

    // PC files onto a PVR folder that is not listed: it is read first, so the
    // file already there is asked about.
    Select(PcList(), {"a.mp3", "b.mp3"});
    std::string question;
    m_env->User().QueueDialog([&question](QDialog* dialog) {
        question = platform::GetDlgItemText(dialog, IDC_XFER_MESSAGE);
        return IDC_XFER_OVERWRITE;
    });
    ASSERT_TRUE(Drop(PvrTreeCtrl(), FolderAt(PvrTreeCtrl(), "C:\\PVR\\AV\\Copy\\"),
                     DragFrom(Pane::HostFileList)));
    EXPECT_TRUE(Idle());
    FinishListing();
    EXPECT_EQ(question,
              "a.mp3 is already exist in PVR.\nDo you want to overwrite or resume the file?");
    EXPECT_EQ(Batch(), (Strings{"C:\\rec\\a.mp3 <-> C:\\PVR\\AV\\Copy\\a.mp3",
                                "C:\\rec\\b.mp3 <-> C:\\PVR\\AV\\Copy\\b.mp3"}));
    RunToEnd();
    EXPECT_EQ(GetHost("AV/Copy/a.mp3"), ReadPc("rec/a.mp3"));
    EXPECT_EQ(GetHost("AV/Copy/b.mp3"), ReadPc("rec/b.mp3"));

    // A PVR recording onto a PC folder: it comes down with its companion.
    Tree().RunInFolder("C:\\PVR\\AV\\", [] {});
    SettleListing();
    Select(PvrList(), {kRecording});
    ASSERT_TRUE(
        Drop(PcTreeCtrl(), FolderAt(PcTreeCtrl(), "C:\\rec\\sub"), DragFrom(Pane::StbFileList)));
    EXPECT_EQ(Batch(), (Strings{"C:\\rec\\sub\\Movie_A1B2C3D4E5F6.AVF <-> "
                                "C:\\PVR\\AV\\Movie_#001_A1B2C3D4E5F6.AVF",
                                "C:\\rec\\sub\\Movie_A1B2C3D4E5F6.AVR <-> "
                                "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR"}));
    RunToEnd();
    EXPECT_EQ(ReadPc(std::string("rec/sub/") + kRecording), m_recording);
    EXPECT_EQ(ReadPc("rec/sub/Movie_A1B2C3D4E5F6.AVF"), Bytes(4096, 7));

    // Desktop files onto the PVR list go into its folder; one from outside the
    // PC's drives is named and left.
    m_env->Drives().MakeFile("desk/clip.mp3", Bytes(500, 3));
    const std::string outside = (m_dir / "outside.mp3").string();
    std::ofstream(outside) << "x";
    m_env->User().ClearHistory();
    ASSERT_TRUE(Drop(PvrList(), QPoint(5, 5), DesktopFiles({C() + "/desk/clip.mp3", outside})));
    const auto boxes = MessageBoxes(m_env->User());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              outside + " is not on any of the PC's drives, so it cannot be uploaded.");
    EXPECT_EQ(Batch(), (Strings{"C:\\desk\\clip.mp3 <-> C:\\PVR\\AV\\clip.mp3"}));
    RunToEnd();
    EXPECT_EQ(GetHost("AV/clip.mp3"), Bytes(500, 3));

    // Files stay on their side, and desktop files only go up.
    PcTree().SelectPath("C:\\rec");
    Select(PcList(), {"a.mp3"});
    EXPECT_FALSE(
        Drop(PcTreeCtrl(), FolderAt(PcTreeCtrl(), "C:\\rec\\sub"), DragFrom(Pane::HostFileList)));
    Select(PvrList(), {"song.mp3"});
    EXPECT_FALSE(Drop(PvrTreeCtrl(), FolderAt(PvrTreeCtrl(), "C:\\PVR\\AV\\Copy\\"),
                      DragFrom(Pane::StbFileList)));
    EXPECT_FALSE(Drop(PcList(), QPoint(5, 5), DesktopFiles({C() + "/desk/clip.mp3"})));
    EXPECT_TRUE(Idle());
}

// ---- All of it together -------------------------------------------------------------------------

// Attach; drag a recording down; convert it from the context menu; make a
// folder on the PVR with F7, drop the result into it, name it with F2 there and
// delete the downloaded recording with Delete; unplug.
TEST_F(Panes, ARecordingGoesDownIsConvertedAndGoesBackUp) {
    Start();

    Select(PvrList(), {kRecording});
    ASSERT_TRUE(Drop(PcList(), QPoint(5, 5), DragFrom(Pane::StbFileList)));
    RunToEnd();
    EXPECT_EQ(ReadPc(std::string("rec/") + kRecording), m_recording);
    EXPECT_EQ(ReadPc("rec/Movie_A1B2C3D4E5F6.AVF"), GetHost("AV/Movie_#001_A1B2C3D4E5F6.AVF"));

    m_env->User().QueueDialog([](QDialog* dialog) {
        auto* convert = static_cast<CConvertAVI*>(dialog);
        convert->SendCommand(IDC_CONVERT_START);
        EXPECT_TRUE(platform::WaitProcessingMessages(
            [&] { return !convert->IsConverting() && !conversion_running(); }, 20000));
        return IDCANCEL;
    });
    RightClick(PcList(), RowAt(PcList(), kRecording), ID_FILE_CONVERT_AVI);
    wait_conversion_end(20000);
    const std::string converted = ReadPc("rec/Movie_A1B2C3D4E5F6.AVI");
    ASSERT_GT(converted.size(), 4u);
    EXPECT_EQ(converted.substr(0, 4), std::string("\x00\x00\x01\xBA", 4));  // a pack header

    // F7 in the PVR tree on AV.
    Tree().RunInFolder("C:\\PVR\\AV\\", [] {});
    SettleListing();
    Focus(PvrTreeCtrl());
    QueueNameAnswer(m_env->User(), "Converted");
    QTest::keyClick(PvrTreeCtrl(), Qt::Key_F7);
    ASSERT_TRUE(std::filesystem::is_directory(m_disk / "AV" / "Converted"));

    // Dropped on the new folder, which is read first.
    Select(PcList(), {"Movie_A1B2C3D4E5F6.AVI"});
    ASSERT_TRUE(Drop(PvrTreeCtrl(), FolderAt(PvrTreeCtrl(), "C:\\PVR\\AV\\Converted\\"),
                     DragFrom(Pane::HostFileList)));
    SettleListing();
    RunToEnd();
    ASSERT_EQ(Rows().size(), 1u);

    // F2 in the PVR list names it.
    Select(PvrList(), {"Movie_A1B2C3D4E5F6.AVI"});
    Focus(PvrList());
    QueueNameAnswer(m_env->User(), "Movie.mpg");
    QTest::keyClick(PvrList(), Qt::Key_F2);

    // Delete in the PC list removes the downloaded recording.
    Select(PcList(), {kRecording});
    Focus(PcList());
    m_env->User().QueueAnswer(IDYES);
    QTest::keyClick(PcList(), Qt::Key_Delete);

    StopPvr();
    ASSERT_TRUE(
        platform::WaitProcessingMessages([&] { return Files().GetItemCount() == 0; }, 5000));
    EXPECT_EQ(PvrTreeCtrl()->topLevelItemCount(), 0);

    // Both sides, byte for byte.
    EXPECT_EQ(GetHost("AV/Converted/Movie.mpg"), converted);
    EXPECT_FALSE(ExistsHost("AV/Converted/Movie_A1B2C3D4E5F6.AVI"));
    EXPECT_FALSE(std::filesystem::exists(C() + "/rec/" + kRecording));
    EXPECT_EQ(ReadPc("rec/Movie_A1B2C3D4E5F6.AVI"), converted);
    EXPECT_EQ(GetHost("AV/Movie_#001_A1B2C3D4E5F6.AVR") + GetHost("AV/Movie_#002_A1B2C3D4E5F6.AVR"),
              m_recording);
    for (const auto& box : MessageBoxes(m_env->User())) {
        EXPECT_TRUE(box.text == "Completed." ||
                    box.text.rfind("Are you sure remove the file?", 0) == 0)
            << box.text;
    }
}

}  // namespace
