// The file commands on the PC side, and what every command does when no pane
// or the wrong pane has the focus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "app/controls/listctrlx.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/pvr/stbtreeview.h"
#include "app/res/resource.h"
#include "platform/templates.h"
#include "support/shellfixture.h"
#include "support/tracecapture.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned kQuestion = MB_YESNO | MB_ICONQUESTION;
const std::string kNotEmpty =
    "The directory is not empty!\nDo you really \t\t\t\twant to remove the directory including "
    "any file(s) or \t\t\t\tsub-directory(s)?\n";
const std::string kSelectFile =
    "Please select a file you want to delete.\nYou should select a file at least.";

class PcCommands : public ::testing::Test {
protected:
    // The tree reads a folder when it first opens it: make the files first.
    void Start() {
        m_env.SetLastPath("");
        CMainFrame& frame = m_env.MakeFrame();
        frame.show();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    }

    CMainFrame& Frame() { return m_env.Frame(); }
    CHostTreeView& Tree() { return *Frame().GetHostTreeView(); }
    CHostFileListView& Files() { return *Frame().GetHostFileListView(); }
    std::string C() const { return m_env.Drives().C(); }

    void Focus(QWidget* widget) {
        widget->setFocusPolicy(Qt::StrongFocus);
        widget->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), widget);
    }
    // Selects the folder in the PC tree and gives the tree the focus.
    void FocusFolder(const std::string& path) {
        Tree().SelectPath(path);
        std::string selected;
        ASSERT_TRUE(Tree().GetCurrentFolder(selected));
        ASSERT_EQ(selected, path.back() == '\\' ? path : path + "\\");
        Focus(Tree().GetTreeCtrl());
    }
    // Selects the named rows of the PC list and gives the list the focus.
    void FocusFiles(const std::vector<std::string>& names) {
        CListCtrlX* list = Files().GetListCtrl();
        for (int row = 0; row < list->GetItemCount(); ++row) {
            const bool wanted =
                std::find(names.begin(), names.end(), list->GetItemName(row)) != names.end();
            list->SetItemState(row, wanted ? CListCtrlX::kStateSelected : 0,
                               CListCtrlX::kStateSelected);
        }
        Focus(list);
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        rows.reserve(static_cast<std::size_t>(Files().GetItemCount()));
        for (int row = 0; row < Files().GetItemCount(); ++row) {
            rows.push_back(Files().GetListCtrl()->GetItemName(row));
        }
        return rows;
    }
    // Labels of the folder's children in the tree.
    std::vector<std::string> Children(const std::string& path) {
        CTreeCtrlX* ctrl = Tree().GetTreeCtrl();
        HTREEITEM item = ctrl->FindItemByPath(path);
        std::vector<std::string> labels;
        for (int i = 0; item != nullptr && i < item->childCount(); ++i) {
            labels.push_back(ctrl->GetItemText(item->child(i)));
        }
        return labels;
    }
    std::vector<ShownBox> Boxes() { return MessageBoxes(m_env.User()); }
    void Command(UINT id) { Frame().OnCommand(id); }

    ShellEnvironment m_env;
};

TEST_F(PcCommands, FolderDeleteAsksThenRemovesOrReports) {
    const std::string removeDir = "Are you sure remove directory?\n";
    struct Case {
        const char* what;
        std::string folder;
        std::vector<std::string> boxes;
        int answer;     // 0: no question expected
        bool itemLeft;  // the tree still shows the folder
    };
    const Case cases[] = {
        {"a drive's root asks nothing", "C:\\", {}, 0, true},
        {"an empty folder, No", "C:\\Work\\Empty", {removeDir + "C:\\Work\\Empty\\"}, IDNO, true},
        {"an empty folder, Yes",
         "C:\\Work\\Empty",
         {removeDir + "C:\\Work\\Empty\\"},
         IDYES,
         false},
        // Gone behind the tree's back: nothing can be removed, and the user hears so.
        {"a vanished folder",
         "C:\\Work\\Gone",
         {removeDir + "C:\\Work\\Gone\\", "C:\\Work\\Gone\\\nIt can't be removed."},
         IDYES,
         true},
    };
    m_env.Drives().MakeFolder("Work/Empty");
    m_env.Drives().MakeFolder("Work/Gone");
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_env.Drives().MakeFolder("Work/Empty");
        m_env.Drives().MakeFolder("Work/Gone");
        m_env.User().ClearHistory();
        FocusFolder(c.folder);
        fs::remove(C() + "/Work/Gone");
        if (c.answer != 0) {
            m_env.User().QueueAnswer(c.answer);
        }
        Command(ID_TB_DELETE);
        const auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), c.boxes.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].text, c.boxes[i]);
            EXPECT_EQ(boxes[i].caption, "Tavrix");
            EXPECT_EQ(boxes[i].type, i == 0 ? kQuestion : MB_ICONSTOP);
        }
        EXPECT_EQ(fs::exists(C() + "/Work/Empty"),
                  c.folder != "C:\\Work\\Empty" || c.answer != IDYES);
        const std::string name = c.folder.substr(c.folder.rfind('\\') + 1);
        if (!name.empty()) {
            const auto children = Children("C:\\Work");
            EXPECT_EQ(std::find(children.begin(), children.end(), name) != children.end(),
                      c.itemLeft);
        }
    }
}

TEST_F(PcCommands, NonEmptyFolderGoesWholeButNothingALinkLeadsTo) {
    m_env.Drives().MakeFile("Outside/keep.avr", "kept");
    m_env.Drives().MakeFile("Outside/Inner/deep.mp3", "deep");
    m_env.Drives().MakeFile("Work/Doomed/a.avr", "a");
    m_env.Drives().MakeFile("Work/Doomed/Sub/Subsub/b.mp3", "b");
    fs::create_directory_symlink(C() + "/Outside", C() + "/Work/Doomed/ToOutside");
    fs::create_directory_symlink(C() + "/Outside", C() + "/Work/Doomed/Sub/AlsoOutside");
    fs::create_symlink(C() + "/Outside/keep.avr", C() + "/Work/Doomed/keep.avr");
    fs::create_directory_symlink(C() + "/Outside", C() + "/Work/Linked");
    Start();
    FocusFolder("C:\\Work\\Doomed");

    // No keeps everything.
    m_env.User().QueueAnswer(IDNO);
    Command(ID_FILE_DELETE);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, kNotEmpty + "C:\\Work\\Doomed\\");
    EXPECT_EQ(Boxes()[0].type, kQuestion);
    EXPECT_TRUE(fs::exists(C() + "/Work/Doomed/a.avr"));

    m_env.User().QueueAnswer(IDYES);
    Command(ID_FILE_DELETE);
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1].text, kNotEmpty + "C:\\Work\\Doomed\\");
    EXPECT_FALSE(fs::exists(fs::symlink_status(C() + "/Work/Doomed")));
    EXPECT_EQ(Children("C:\\Work"), (std::vector<std::string>{"Linked"}));
    // What the links led to is untouched.
    EXPECT_TRUE(fs::exists(C() + "/Outside/keep.avr"));
    EXPECT_TRUE(fs::exists(C() + "/Outside/Inner/deep.mp3"));
    EXPECT_EQ(fs::file_size(C() + "/Outside/keep.avr"), 4u);

    // A folder that is itself a link: the link goes, its target stays.
    FocusFolder("C:\\Work\\Linked");
    m_env.User().QueueAnswer(IDYES);
    Command(ID_FILE_DELETE);
    ASSERT_EQ(Boxes().size(), 3u);
    EXPECT_EQ(Boxes()[2].text, kNotEmpty + "C:\\Work\\Linked\\");
    EXPECT_TRUE(Children("C:\\Work").empty());
    EXPECT_FALSE(fs::exists(fs::symlink_status(C() + "/Work/Linked")));
    EXPECT_TRUE(fs::exists(C() + "/Outside/Inner/deep.mp3"));
}

TEST_F(PcCommands, FileDeleteAsksPerFileOrOnceForAll) {
    for (const char* name : {"a.avr", "b.mp3", "c.avr"}) {
        m_env.Drives().MakeFile(std::string("Music/") + name, "x");
    }
    Start();
    FocusFolder("C:\\Music");
    ASSERT_EQ(Rows(), (std::vector<std::string>{"a.avr", "b.mp3", "c.avr"}));
    TraceCapture trace;

    // One file: no question about all of them.
    FocusFiles({"b.mp3"});
    m_env.User().QueueAnswer(IDYES);
    Command(ID_TB_DELETE);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Are you sure remove the file?\nC:\\Music\\b.mp3");
    EXPECT_EQ(Boxes()[0].type, kQuestion);
    EXPECT_FALSE(fs::exists(C() + "/Music/b.mp3"));
    EXPECT_NE(trace.Text().find("delete> C:\\Music\\b.mp3...\n"), std::string::npos);

    // Yes to all: no single questions.
    m_env.User().ClearHistory();
    FocusFiles({"a.avr", "c.avr"});
    m_env.User().QueueAnswer(IDYES);
    Command(ID_TB_DELETE);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Do you want to remove ALL of selected files WITHOUT CONFIRM?");
    EXPECT_EQ(Boxes()[0].type, kQuestion);
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(fs::is_empty(C() + "/Music"));
}

TEST_F(PcCommands, NewFolderOnlyFromTheTreeAndOnlyWithAPlainName) {
    m_env.Drives().MakeFolder("Work/Existing");
    m_env.Drives().MakeFile("Work/a.avr", "x");
    Start();
    FocusFolder("C:\\Work");
    TraceCapture trace;

    std::string preset = "unset";
    QueueNameAnswer(m_env.User(), "New", &preset);
    Command(ID_TB_NEW_FOLDER);
    EXPECT_EQ(preset, "");
    EXPECT_TRUE(fs::is_directory(C() + "/Work/New"));
    EXPECT_EQ(Children("C:\\Work"), (std::vector<std::string>{"Existing", "New"}));
    EXPECT_NE(trace.Text().find("PC.......C:\\Work\\New\n"), std::string::npos);
    EXPECT_TRUE(Boxes().empty());

    QueueNameAnswer(m_env.User(), "existing");
    Command(ID_FILE_NEW_FOLDER);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "The directory cannot be created.\nC:\\Work\\existing");
    EXPECT_EQ(Boxes()[0].type, MB_ICONSTOP);

    // Names that would address another folder are refused before anything is made.
    for (const char* name : {"..", ".", "Sub\\Dir", "Sub/Dir", "..\\Escaped", "\\"}) {
        m_env.User().ClearHistory();
        QueueNameAnswer(m_env.User(), name);
        Command(ID_NEW_FOLDER_SPARE);
        const auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1u) << name;
        EXPECT_EQ(boxes[0].text,
                  std::string("The name \"") + name +
                      "\" cannot be used.\nA name must not contain \"\\\" or \"/\", and must "
                      "not be \".\" or \"..\".");
        EXPECT_EQ(boxes[0].type, MB_ICONSTOP);
    }
    EXPECT_EQ(Children("C:\\Work"), (std::vector<std::string>{"Existing", "New"}));
    EXPECT_FALSE(fs::exists(C() + "/Escaped"));
    EXPECT_FALSE(fs::exists(C() + "/Work/Sub"));

    // With the file list focused nothing happens: only the trees count.
    m_env.User().ClearHistory();
    FocusFiles({"a.avr"});
    QueueNameAnswer(m_env.User(), "FromList");
    Command(ID_TB_NEW_FOLDER);
    EXPECT_TRUE(m_env.User().History().empty());
    EXPECT_FALSE(fs::exists(C() + "/Work/FromList"));
}

TEST_F(PcCommands, RenameOffersTheFolderOrTheFirstSelectedFile) {
    m_env.Drives().MakeFile("Work/Clips/x.avr", "x");
    for (const char* name : {"a.avr", "b.mp3", "c.avr"}) {
        m_env.Drives().MakeFile(std::string("Work/") + name, name);
    }
    Start();

    FocusFolder("C:\\Work\\Clips");
    std::string preset;
    QueueNameAnswer(m_env.User(), "Films", &preset);
    Command(ID_TB_RENAME);
    EXPECT_EQ(preset, "Clips");
    EXPECT_TRUE(fs::exists(C() + "/Work/Films/x.avr"));
    EXPECT_EQ(Children("C:\\Work"), (std::vector<std::string>{"Films"}));
    // A folder of the new name exists: the rename fails and says so.
    m_env.Drives().MakeFolder("Work/Taken");
    QueueNameAnswer(m_env.User(), "taken");
    Command(ID_TB_RENAME);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Error occurred.");
    EXPECT_EQ(Boxes()[0].type, MB_ICONSTOP);
    EXPECT_TRUE(fs::exists(C() + "/Work/Films/x.avr"));
    m_env.User().ClearHistory();

    // Several files selected: only the first is offered and renamed.
    FocusFolder("C:\\Work");
    FocusFiles({"b.mp3", "c.avr"});
    QueueNameAnswer(m_env.User(), "tune.mp3", &preset);
    Command(ID_FILE_RENAME);
    EXPECT_EQ(preset, "b.mp3");
    EXPECT_TRUE(fs::exists(C() + "/Work/tune.mp3"));
    EXPECT_TRUE(fs::exists(C() + "/Work/c.avr"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.avr", "tune.mp3", "c.avr"}));

    // A name that is taken: the rename fails, nothing is lost, and the user is told.
    FocusFiles({"c.avr"});
    QueueNameAnswer(m_env.User(), "A.AVR");
    Command(ID_FILE_RENAME);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Error occurred.");
    EXPECT_EQ(Boxes()[0].type, MB_ICONSTOP);
    EXPECT_TRUE(fs::exists(C() + "/Work/c.avr"));
    EXPECT_TRUE(fs::exists(C() + "/Work/a.avr"));
    m_env.User().ClearHistory();

    // A name with a separator would move the file elsewhere: refused.
    FocusFiles({"a.avr"});
    QueueNameAnswer(m_env.User(), "..\\a.avr");
    Command(ID_FILE_RENAME);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].type, MB_ICONSTOP);
    EXPECT_TRUE(fs::exists(C() + "/Work/a.avr"));
    EXPECT_FALSE(fs::exists(C() + "/a.avr"));

    // A drive's root is never renamed: no dialog.
    m_env.User().ClearHistory();
    FocusFolder("C:\\");
    Command(ID_FILE_RENAME);
    EXPECT_TRUE(m_env.User().History().empty());
}

TEST_F(PcCommands, WithoutAnActivePaneDeleteAndRenameAskForASelection) {
    Start();
    Focus(Frame().GetToolBar());
    ASSERT_EQ(Frame().GetActivePane(), CMainFrame::Pane::None);
    Command(ID_FILE_DELETE);
    Command(ID_TB_RENAME);
    Command(ID_FILE_NEW_FOLDER);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const ShownBox& box : boxes) {
        EXPECT_EQ(box.text, kSelectFile);
        EXPECT_EQ(box.caption, "Tavrix");
        EXPECT_EQ(box.type, MB_OK);
    }
    EXPECT_EQ(DialogsShown(m_env.User()), 0);
}

TEST_F(PcCommands, ShowHiddenToggledTwice) {
    Start();
    const QAction* item = platform::FindMenuItem(Frame().menuBar(), ID_VIEW_SHOW_HIDDEN);
    CSTBTreeView& pvrTree = *Frame().GetSTBTreeView();
    const int refreshes = pvrTree.GetRefreshCount();
    for (const bool expected : {true, false}) {
        platform::FindMenuItem(Frame().menuBar(), ID_VIEW_SHOW_HIDDEN)->trigger();
        EXPECT_EQ(platform::IsMenuItemChecked(Frame().menuBar(), ID_VIEW_SHOW_HIDDEN), expected);
        EXPECT_EQ(item->isChecked(), expected);
        EXPECT_EQ(pvrTree.GetShowHidden(), expected);
    }
    // Each change lists the PVR again.
    EXPECT_EQ(pvrTree.GetRefreshCount(), refreshes + 2);
}

}  // namespace
