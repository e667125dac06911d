#include "app/controls/treectrlx.h"

#include <cstring>
#include <string>
#include <vector>

#include <QFontMetrics>
#include <QLineEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "app/controls/visibletext.h"
#include "device/tavrixapi.h"
#include "platform/syscolor.h"
#include "platform/trace.h"
#include "platform/user.h"
#include "support/controlfixture.h"
#include "support/tracecapture.h"

namespace {

StbFindData Entry(const char* name, int kind) {
    StbFindData e{};
    std::strncpy(e.name, name, sizeof(e.name) - 1);
    e.kind = kind;
    return e;
}

std::vector<std::string> ChildLabels(const CTreeCtrlX& tree, HTREEITEM item) {
    std::vector<std::string> labels;
    for (int i = 0; item != nullptr && i < item->childCount(); ++i) {
        labels.push_back(tree.GetItemText(item->child(i)));
    }
    return labels;
}

// Labels from the top down to the item, joined by "/"; "<none>" for no item.
std::string Chain(const CTreeCtrlX& tree, HTREEITEM item) {
    if (item == nullptr) {
        return "<none>";
    }
    std::string chain = tree.GetItemText(item);
    for (HTREEITEM it = item->parent(); it != nullptr; it = it->parent()) {
        chain.insert(0, tree.GetItemText(it) + "/");
    }
    return chain;
}

class UserCapture {
public:
    UserCapture() { platform::SetUser(&m_user); }
    ~UserCapture() { platform::SetUser(nullptr); }
    UserCapture(const UserCapture&) = delete;
    UserCapture& operator=(const UserCapture&) = delete;
    platform::ScriptedUser& User() { return m_user; }

private:
    platform::ScriptedUser m_user;
};

// A PC-mode tree over a private drive table:
//   C:\Empty (one file), C:\Gone, C:\Movies\{Clips,Old,Trailers}, C:\Music
//   D:\Clips; E: a CD drive without a disc; F: a network drive.
class PcTree : public testing::Test {
protected:
    void SetUp() override {
        drives.MakeFolder("c", "Movies/Clips");
        drives.MakeFolder("c", "Movies/Trailers");
        drives.MakeFolder("c", "Movies/Old");
        drives.MakeFolder("c", "Music");
        drives.MakeFolder("c", "Gone");
        drives.MakeFolder("c", "Empty");
        drives.MakeFile("c", "Empty/readme.txt");
        drives.MakeFolder("d", "Clips");
        tree.Init(CTreeCtrlX::kPcMode);
    }

    HTREEITEM Item(const std::string& path) const {
        HTREEITEM item = tree.FindItemByPath(path);
        EXPECT_NE(item, nullptr) << path;
        return item;
    }

    ControlDrives drives;
    CTreeCtrlX tree;
};

// A PVR-mode tree with AV\Films and MP3 below the root.
class PvrTree : public testing::Test {
protected:
    void SetUp() override {
        tree.m_rootLabel = "Recorder / Maker";
        tree.Init(CTreeCtrlX::kPvrMode);
        const StbFindData top[] = {Entry("C:\\PVR\\MP3", STB_ENTRY_FOLDER),
                                   Entry("AV", STB_ENTRY_FOLDER)};
        tree.FillFromList("C:\\PVR", 2, top);
        const StbFindData av[] = {Entry("Films", STB_ENTRY_FOLDER)};
        tree.FillFromList("C:\\PVR\\AV\\", 1, av);
    }

    CTreeCtrlX tree;
};

TEST_F(PcTree, InitListsTheDrivesUnderAnExpandedRoot) {
    HTREEITEM root = tree.GetRootItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(tree.GetItemText(root), "My Computer");
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(tree.GetItemImage(root), CTreeCtrlX::kImageRoot);
    EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"C:\\", "D:\\", "E:\\", "F:\\"}));
    const int images[] = {CTreeCtrlX::kImageFixedDrive, CTreeCtrlX::kImageRemovableDrive,
                          CTreeCtrlX::kImageCdromDrive, CTreeCtrlX::kImageRemoteDrive};
    for (int i = 0; i < root->childCount(); ++i) {
        HTREEITEM drive = root->child(i);
        EXPECT_EQ(tree.GetItemImage(drive), images[i]) << tree.GetItemText(drive);
        // Unread: only the placeholder gives it its expand button.
        EXPECT_EQ(ChildLabels(tree, drive), std::vector<std::string>{"AAAAA"});
        EXPECT_FALSE(drive->isExpanded());
    }
    EXPECT_EQ(tree.GetImageCount(), 7);
}

TEST(TreePaths, SelectedPathInBothModes) {
    ControlDrives drives;
    drives.MakeFolder("c", "Movies/Clips");
    CTreeCtrlX pc;
    pc.Init(CTreeCtrlX::kPcMode);
    CTreeCtrlX pvr;
    pvr.m_rootLabel = "Recorder / Maker";
    pvr.Init(CTreeCtrlX::kPvrMode);
    const StbFindData top[] = {Entry("AV", STB_ENTRY_FOLDER)};
    pvr.FillFromList("C:\\PVR", 1, top);
    const StbFindData av[] = {Entry("Films", STB_ENTRY_FOLDER)};
    pvr.FillFromList("C:\\PVR\\AV\\", 1, av);

    struct Case {
        const char* name;
        CTreeCtrlX* tree;
        const char* select;  // "" selects nothing; "<root>" the root
        const char* path;
        const char* item;
    };
    const Case cases[] = {
        {"pc, nothing selected", &pc, "", "", "My Computer"},
        {"pc root", &pc, "<root>", "", "My Computer"},
        {"drive", &pc, "C:", "C:\\", "C:\\"},
        {"folder", &pc, "C:\\Movies", "C:\\Movies\\", "Movies"},
        {"sub-folder", &pc, "C:\\Movies\\Clips", "C:\\Movies\\Clips\\", "Clips"},
        {"pvr root", &pvr, "<root>", "C:\\PVR", "Recorder / Maker"},
        {"pvr, nothing selected", &pvr, "", "C:\\PVR", "Recorder / Maker"},
        {"pvr folder", &pvr, "C:\\PVR\\AV", "C:\\PVR\\AV\\", "AV"},
        {"pvr sub-folder", &pvr, "C:\\PVR\\AV\\Films", "C:\\PVR\\AV\\Films\\", "Films"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string select = c.select;
        if (select.empty()) {
            c.tree->SelectItem(nullptr);
        } else if (select == "<root>") {
            c.tree->SelectItem(c.tree->GetRootItem());
        } else {
            c.tree->SelectPath(select);
        }
        std::string path = "junk";
        HTREEITEM item = c.tree->GetSelectedPath(path);
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(c.tree->GetItemText(item), c.item);
    }

    CTreeCtrlX empty;
    std::string path = "junk";
    EXPECT_EQ(empty.GetSelectedPath(path), nullptr);
    EXPECT_EQ(path, "");
    EXPECT_EQ(empty.FindItemByPath("C:\\"), nullptr);
    EXPECT_FALSE(empty.NeedsListing());
}

TEST_F(PcTree, FindItemByPathWalksComponentByComponent) {
    tree.SelectPath("C:\\Movies\\Clips");
    struct Case {
        const char* path;
        const char* found;
    };
    const Case cases[] = {
        {"C:\\Missing\\Movies", "My Computer/C:\\/Movies"},
        {"c:\\movies", "My Computer/C:\\/Movies"},
        {"C:", "My Computer/C:\\"},
        {"C:\\Movies\\Clips\\", "My Computer/C:\\/Movies/Clips"},
        {"X:\\Nothing", "My Computer"},
        {"", "My Computer"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Chain(tree, tree.FindItemByPath(c.path)), c.found) << c.path;
    }
}

TEST_F(PvrTree, FindItemByPathDropsThePvrPrefix) {
    struct Case {
        const char* path;
        const char* found;
    };
    const Case cases[] = {
        {"C:\\PVR\\AV\\", "Recorder / Maker/AV"},
        {"C:\\PVR", "Recorder / Maker"},
        {"C:\\PVR\\AV\\Films", "Recorder / Maker/AV/Films"},
        // Without the prefix the path is walked as it is.
        {"AV\\Films", "Recorder / Maker/AV/Films"},
        // The prefix is matched with its case: "c:\" and "pvr" are skipped.
        {"c:\\pvr\\AV", "Recorder / Maker/AV"},
        {"C:\\PVR\\MP3\\Nothing", "Recorder / Maker/MP3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Chain(tree, tree.FindItemByPath(c.path)), c.found) << c.path;
    }
}

TEST_F(PcTree, SelectPathExpandsDownToTheFolder) {
    int changes = 0;
    tree.SetSelChangedHandler([&changes]() { ++changes; });
    tree.SelectPath("C:\\Movies\\Clips");
    HTREEITEM clips = tree.GetSelectedItem();
    EXPECT_EQ(Chain(tree, clips), "My Computer/C:\\/Movies/Clips");
    EXPECT_TRUE(clips->parent()->isExpanded());
    EXPECT_EQ(tree.GetItemImage(clips->parent()), CTreeCtrlX::kImageOpenFolder);
    EXPECT_GE(changes, 1);

    tree.SelectPath("");  // nothing happens
    EXPECT_EQ(tree.GetSelectedItem(), clips);
}

TEST_F(PcTree, SelectPathToAVanishedFolderLeavesNothingSelected) {
    tree.SelectPath("C:\\Movies\\Old");
    ASSERT_EQ(Chain(tree, tree.GetSelectedItem()), "My Computer/C:\\/Movies/Old");
    // Collapsing re-reads Movies; the selection moves up out of the children.
    tree.Expand(Item("C:\\Movies"), false);
    EXPECT_EQ(Chain(tree, tree.GetSelectedItem()), "My Computer/C:\\/Movies");

    drives.Remove("c", "Movies/Old");
    tree.SelectPath("C:\\Movies\\Old");
    EXPECT_EQ(tree.GetSelectedItem(), nullptr);
    EXPECT_EQ(ChildLabels(tree, Item("C:\\Movies")),
              (std::vector<std::string>{"Clips", "Trailers"}));

    // A folder that never existed, with a drive selected before.
    tree.SelectPath("C:\\");
    ASSERT_NE(tree.GetSelectedItem(), nullptr);
    tree.SelectPath("C:\\Nowhere");
    EXPECT_EQ(tree.GetSelectedItem(), nullptr);
}

TEST_F(PcTree, FindItemByNameSearchesInPreOrder) {
    tree.SelectPath("C:\\Movies\\Clips");
    tree.SelectPath("D:\\Clips");
    // Breadth-first would find D:\Clips first; pre-order reaches C:\Movies\Clips.
    EXPECT_EQ(Chain(tree, tree.FindItemByName("CLIPS")), "My Computer/C:\\/Movies/Clips");
    EXPECT_EQ(tree.FindItemByName("my computer"), tree.GetRootItem());
    EXPECT_EQ(tree.FindItemByName("Nothing"), nullptr);
}

TEST_F(PcTree, ExpandingReadsTheFolderAndCollapsingReadsItAgain) {
    TraceCapture trace;
    tree.Expand(Item("C:"), true);
    HTREEITEM movies = Item("C:\\Movies");
    EXPECT_EQ(tree.GetItemImage(movies), CTreeCtrlX::kImageClosedFolder);
    EXPECT_EQ(ChildLabels(tree, movies), std::vector<std::string>{"AAAAA"});

    tree.Expand(movies, true);
    EXPECT_EQ(ChildLabels(tree, movies), (std::vector<std::string>{"Clips", "Old", "Trailers"}));
    for (int i = 0; i < movies->childCount(); ++i) {
        EXPECT_EQ(ChildLabels(tree, movies->child(i)), std::vector<std::string>{"AAAAA"});
        EXPECT_EQ(tree.GetItemImage(movies->child(i)), CTreeCtrlX::kImageClosedFolder);
    }
    EXPECT_EQ(tree.GetItemImage(movies), CTreeCtrlX::kImageOpenFolder);
    EXPECT_NE(trace.Text().find("====>Clips\n"), std::string::npos);

    drives.MakeFolder("c", "Movies/Archive");
    tree.Expand(movies, false);
    EXPECT_EQ(tree.GetItemImage(movies), CTreeCtrlX::kImageClosedFolder);
    EXPECT_EQ(ChildLabels(tree, movies),
              (std::vector<std::string>{"Archive", "Clips", "Old", "Trailers"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PcTree, FolderWithoutSubFoldersKeepsClosedImageAndLosesItsButton) {
    tree.Expand(Item("C:"), true);
    HTREEITEM empty = Item("C:\\Empty");
    ASSERT_EQ(empty->childCount(), 1);  // the placeholder
    tree.Expand(empty, true);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(tree.GetItemImage(empty), CTreeCtrlX::kImageClosedFolder);
}

TEST_F(PcTree, UnreadableFolderIsLeftEmptyWithoutAMessage) {
    UserCapture user;
    tree.Expand(Item("C:"), true);
    drives.Remove("c", "Gone");
    struct Case {
        const char* name;
        const char* path;
    };
    const Case cases[] = {{"drive without a disc", "E:"}, {"folder gone from disk", "C:\\Gone"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TraceCapture trace;
        HTREEITEM item = Item(c.path);
        ASSERT_EQ(item->childCount(), 1);
        tree.Expand(item, true);
        EXPECT_EQ(item->childCount(), 0);
        EXPECT_FALSE(item->isExpanded());
        EXPECT_NE(trace.Text().find("FindFile() error "), std::string::npos);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_TRUE(user.User().History().empty());
}

TEST_F(PcTree, RootReadsNothing) {
    TraceCapture trace;
    HTREEITEM root = tree.GetRootItem();
    tree.Expand(root, false);
    tree.Expand(root, true);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(trace.Text().find("====>"), std::string::npos);
    EXPECT_EQ(ChildLabels(tree, Item("C:")), std::vector<std::string>{"AAAAA"});
}

TEST_F(PvrTree, FillFromListTakesFolderEntriesOnly) {
    HTREEITEM root = tree.GetRootItem();
    EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"AV", "MP3"}));
    EXPECT_TRUE(root->isExpanded());

    const StbFindData entries[] = {
        Entry("C:\\PVR\\Zed", STB_ENTRY_FOLDER), Entry("IMG", STB_ENTRY_FOLDER),
        Entry("movie.AVR", STB_ENTRY_FILE),      Entry("", STB_ENTRY_FOLDER),
        Entry("C:\\PVR\\a", STB_ENTRY_FOLDER),
    };
    tree.FillFromList("C:\\PVR", 5, entries);
    // The old children are replaced; no placeholders in PVR mode.
    EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"a", "IMG", "Zed"}));
    for (int i = 0; i < root->childCount(); ++i) {
        EXPECT_EQ(root->child(i)->childCount(), 0);
        EXPECT_EQ(tree.GetItemImage(root->child(i)), CTreeCtrlX::kImageClosedFolder);
    }
}

TEST_F(PvrTree, FillFromListStripsTheFolderPathOfASubFolder) {
    // The listed path ends with "\"; names that repeat it lose it once.
    const StbFindData entries[] = {Entry("C:\\PVR\\AV\\Series", STB_ENTRY_FOLDER),
                                   Entry("Films", STB_ENTRY_FOLDER)};
    tree.FillFromList("C:\\PVR\\AV\\", 2, entries);
    EXPECT_EQ(ChildLabels(tree, tree.FindItemByPath("C:\\PVR\\AV")),
              (std::vector<std::string>{"Films", "Series"}));
}

TEST_F(PvrTree, NeedsListingUntilTheFolderIsShownExpanded) {
    CTreeCtrlX fresh;
    fresh.m_rootLabel = "Recorder";
    fresh.Init(CTreeCtrlX::kPvrMode);
    EXPECT_EQ(fresh.GetSelectedItem(), fresh.GetRootItem());
    EXPECT_TRUE(fresh.NeedsListing());

    EXPECT_FALSE(tree.NeedsListing());  // the root: expanded with children
    tree.SelectPath("C:\\PVR\\MP3");
    EXPECT_TRUE(tree.NeedsListing());  // no children
    tree.SelectPath("C:\\PVR\\AV");    // expands AV on the way
    EXPECT_FALSE(tree.NeedsListing());
    tree.Expand(tree.GetSelectedItem(), false);
    EXPECT_TRUE(tree.NeedsListing());  // children, but not on show
}

TEST_F(PvrTree, AddFolderAndDeleteItemByPath) {
    HTREEITEM root = tree.GetRootItem();
    EXPECT_TRUE(tree.AddFolder("C:\\PVR", "IMG"));
    EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"AV", "IMG", "MP3"}));
    tree.Expand(tree.FindItemByPath("C:\\PVR\\MP3"), false);
    EXPECT_TRUE(tree.AddFolder("C:\\PVR\\MP3\\", "Rock"));
    EXPECT_TRUE(tree.FindItemByPath("C:\\PVR\\MP3")->isExpanded());
    // A parent that is not there gets nothing, rather than an ancestor getting it.
    EXPECT_FALSE(tree.AddFolder("C:\\PVR\\Nope", "X"));
    EXPECT_EQ(tree.FindItemByName("X"), nullptr);

    int changes = 0;
    tree.SetSelChangedHandler([&changes]() { ++changes; });
    tree.SelectPath("C:\\PVR\\AV\\Films");
    changes = 0;
    tree.DeleteItemByPath("C:\\PVR\\AV");
    EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"IMG", "MP3"}));
    EXPECT_EQ(tree.FindItemByName("Films"), nullptr);
    // The selection went with it and moved on to the next folder.
    EXPECT_EQ(Chain(tree, tree.GetSelectedItem()), "Recorder / Maker/IMG");
    EXPECT_GE(changes, 1);

    // Paths without an item of their own delete nothing, and the root stays.
    tree.DeleteItemByPath("C:\\PVR\\Nope");
    tree.DeleteItemByPath("C:\\PVR");
    EXPECT_EQ(tree.GetRootItem(), root);
    EXPECT_EQ(ChildLabels(tree, root), (std::vector<std::string>{"IMG", "MP3"}));
}

TEST_F(PcTree, AddFolderUnderACollapsedFolderReadsItAgain) {
    tree.Expand(Item("C:"), true);
    drives.MakeFolder("c", "Music/New");
    EXPECT_TRUE(tree.AddFolder("C:\\Music", "New"));
    EXPECT_EQ(ChildLabels(tree, Item("C:\\Music")), std::vector<std::string>{"New"});
    // Under an expanded folder the item is added at its sorted place.
    drives.MakeFolder("c", "Movies/Drafts");
    tree.Expand(Item("C:\\Movies"), true);
    drives.MakeFolder("c", "Movies/Drafts2");
    EXPECT_TRUE(tree.AddFolder("C:\\Movies", "Drafts2"));
    EXPECT_EQ(ChildLabels(tree, Item("C:\\Movies")),
              (std::vector<std::string>{"Clips", "Drafts", "Drafts2", "Old", "Trailers"}));
}

TEST_F(PcTree, BusyModeDropsInputAndShowsTheWaitCursor) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* tree2 = new CTreeCtrlX;
    layout->addWidget(tree2);
    window.resize(300, 300);
    tree2->Init(CTreeCtrlX::kPcMode);
    ASSERT_TRUE(ShowActive(window));
    GiveFocus(*tree2);
    std::vector<int> keys;
    tree2->SetKeyDownHandler([&keys](int vk) { keys.push_back(vk); });
    HTREEITEM drive = tree2->FindItemByPath("C:");
    const QPoint at = tree2->GetItemRect(drive, true).center();

    tree2->SetEnabled(false);
    EXPECT_EQ(tree2->viewport()->cursor().shape(), Qt::WaitCursor);
    QTest::mouseClick(tree2->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::keyClick(tree2, Qt::Key_F5);
    EXPECT_EQ(tree2->GetSelectedItem(), nullptr);
    EXPECT_TRUE(keys.empty());

    tree2->SetEnabled(true);
    EXPECT_EQ(tree2->viewport()->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(tree2->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::keyClick(tree2, Qt::Key_F5);
    EXPECT_EQ(tree2->GetSelectedItem(), drive);
    EXPECT_EQ(keys, std::vector<int>{0x74});
}

TEST_F(PcTree, ClickOnEmptySpaceKeepsTheSelection) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* view = new CTreeCtrlX;
    layout->addWidget(view);
    window.resize(300, 400);
    view->Init(CTreeCtrlX::kPcMode);
    view->SelectPath("C:\\Movies");
    ASSERT_TRUE(ShowActive(window));
    HTREEITEM selected = view->GetSelectedItem();
    ASSERT_NE(selected, nullptr);
    int changes = 0;
    view->SetSelChangedHandler([&changes] { ++changes; });

    const QPoint below(20, view->viewport()->height() - 4);
    ASSERT_EQ(view->itemAt(below), nullptr);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, below);
    EXPECT_EQ(view->GetSelectedItem(), selected);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(view->hasFocus()) << "the click still brings the tree the focus";

    // A click on an item still selects it.
    HTREEITEM music = view->FindItemByPath("C:\\Music");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->GetItemRect(music, true).center());
    EXPECT_EQ(view->GetSelectedItem(), music);
}

TEST_F(PcTree, LabelsArePaintedWithFocusSelectionAndBusyColours) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit;
    auto* view = new CTreeCtrlX;
    layout->addWidget(edit);
    layout->addWidget(view);
    window.resize(400, 400);
    view->Init(CTreeCtrlX::kPcMode);
    view->SelectPath("C:\\Movies");
    ASSERT_TRUE(ShowActive(window));
    HTREEITEM selected = view->GetSelectedItem();
    ASSERT_NE(selected, nullptr);
    HTREEITEM other = view->FindItemByPath("C:\\Music");

    struct Case {
        const char* name;
        bool selectedItem;
        bool focused;
        bool enabled;
        int fill;  // system colour index
        int text;  // system colour index
    };
    const Case cases[] = {
        {"selected, unfocused", true, false, true, COLOR_INACTIVEBORDER, COLOR_GRAYTEXT},
        {"selected, focused", true, true, true, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT},
        {"not selected", false, true, true, COLOR_WINDOW, COLOR_WINDOWTEXT},
        {"not selected, busy", false, false, false, COLOR_SCROLLBAR, COLOR_GRAYTEXT},
    };
    const QFontMetrics pane(platform::PaneFont());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GiveFocus(c.focused ? static_cast<QWidget&>(*view) : static_cast<QWidget&>(*edit));
        ASSERT_EQ(view->hasFocus(), c.focused);
        view->SetEnabled(c.enabled);
        HTREEITEM item = c.selectedItem ? selected : other;
        const QImage image = view->viewport()->grab().toImage();
        const QRect text = view->GetItemRect(item, true);
        const int width = pane.horizontalAdvance(QString::fromStdString(view->GetItemText(item)));
        const int midY = text.top() + text.height() / 2;

        EXPECT_EQ(ColorName(image.pixelColor(text.left(), midY)), ColorName(GetSysColor(c.fill)));
        const QRect glyphs(text.left() + 2, text.top() + 1, width, text.height() - 1);
        EXPECT_GE(CountColor(image, glyphs, GetSysColor(c.text)), 3);
        if (c.selectedItem) {
            // The fill ends ten pixels after the label's text, over the row's height.
            EXPECT_EQ(ColorName(image.pixelColor(text.left() + width + 9, midY)),
                      ColorName(GetSysColor(c.fill)));
            EXPECT_EQ(ColorName(image.pixelColor(text.left() + width + 9, text.top())),
                      ColorName(GetSysColor(c.fill)));
            EXPECT_EQ(ColorName(image.pixelColor(text.left() + width + 10, midY)),
                      ColorName(GetSysColor(COLOR_WINDOW)));
        }
    }
    view->SetEnabled(true);
}

TEST(PaneText, ControlCharactersShowAsQuestionMarks) {
    struct Case {
        const char* in;
        const char* shown;
    };
    for (const Case& c :
         {Case{"plain name.AVR", "plain name.AVR"}, Case{"two\nlines\r", "two?lines?"},
          Case{"\x1b]0;title\a\t\x7f", "?]0;title???"},
          Case{"C1 \xc2\x85 NEL \xc2\x9b CSI", "C1 ? NEL ? CSI"},
          Case{"sep \xe2\x80\xa8 \xe2\x80\xa9 rtl \xe2\x80\xaegpj.exe", "sep ? ? rtl ?gpj.exe"},
          Case{"Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac", "Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac"}}) {
        EXPECT_EQ(VisibleText(QString::fromUtf8(c.in)).toStdString(), c.shown) << c.in;
    }
}

TEST(PvrTreePainting, FolderNameWithControlCharactersPaintsOnOneRow) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* tree = new CTreeCtrlX;
    layout->addWidget(tree);
    window.resize(400, 300);
    tree->m_rootLabel = "Recorder / Maker";
    tree->Init(CTreeCtrlX::kPvrMode);
    const StbFindData top[] = {Entry("a\nb\x1b[1m", STB_ENTRY_FOLDER),
                               Entry("a?b?[1m", STB_ENTRY_FOLDER)};
    tree->FillFromList("C:\\PVR", 2, top);
    ASSERT_TRUE(ShowActive(window));
    HTREEITEM raw = tree->FindItemByName("a\nb\x1b[1m");
    HTREEITEM shown = tree->FindItemByName("a?b?[1m");
    ASSERT_TRUE(raw != nullptr && shown != nullptr);
    const QImage image = tree->viewport()->grab().toImage();
    const QRect rawRow = tree->GetItemRect(raw, false);
    const QRect shownRow = tree->GetItemRect(shown, false);
    ASSERT_EQ(rawRow.size(), shownRow.size());
    EXPECT_TRUE(image.copy(rawRow) == image.copy(shownRow)) << "painted as the row with \"?\" is";
    tree->SelectItem(raw);
    std::string path;
    tree->GetSelectedPath(path);
    EXPECT_EQ(path, "C:\\PVR\\a\nb\x1b[1m\\") << "the path still names the folder";
}

}  // namespace
