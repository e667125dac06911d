// The PC folder tree: how its selection drives the file list, F5, and the
// folder commands that keep the tree in step with the disk.
#include "app/pc/hosttreeview.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QTest>

#include <gtest/gtest.h>

#include "support/pcpanes.h"

namespace {

using Labels = std::vector<std::string>;

TEST(PcFolderTree, SelectionListsTheFolderAndMyComputerListsNothing) {
    PcPanes panes;
    panes.drives.MakeFile("Movies/a.avr", "x");
    TraceCapture trace;

    panes.tree->SelectPath("c:\\movies");
    std::string folder;
    ASSERT_TRUE(panes.tree->GetCurrentFolder(folder));
    EXPECT_EQ(folder, "C:\\Movies\\");
    EXPECT_EQ(panes.list->GetItemCount(), 1);
    EXPECT_NE(trace.Text().find("Changed.\r\n"), std::string::npos);
    EXPECT_NE(trace.Text().find("selected = C:\\Movies\\\r\n"), std::string::npos);
    // The selection trace lines are located ones.
    EXPECT_NE(trace.Text().find("hosttreeview.cpp, "), std::string::npos);

    panes.tree->SelectPath("C:");
    ASSERT_TRUE(panes.tree->GetCurrentFolder(folder));
    EXPECT_EQ(folder, "C:\\");

    CTreeCtrlX* ctrl = panes.tree->GetTreeCtrl();
    ctrl->SelectItem(ctrl->GetRootItem());
    EXPECT_FALSE(panes.tree->GetCurrentFolder(folder));
    EXPECT_EQ(panes.list->GetItemCount(), 0);
    std::string name;
    EXPECT_FALSE(panes.tree->BeginSelection());
    EXPECT_FALSE(panes.tree->GetNextSelected(name));
}

TEST(PcFolderTree, F5ListsTheFilesAgainButDoesNotReReadTheTree) {
    PcPanes panes;
    panes.drives.MakeFile("Movies/a.avr", "x");
    panes.tree->SelectPath("C:\\Movies");
    ASSERT_TRUE(panes.Activate());
    CTreeCtrlX* ctrl = panes.tree->GetTreeCtrl();
    ctrl->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(panes.tree->HasFocus());
    EXPECT_FALSE(panes.list->HasFocus());

    panes.drives.MakeFile("Movies/b.avr", "x");
    panes.drives.MakeFolder("Movies/New");
    const Labels before = panes.Children("C:\\Movies");
    const int refreshes = panes.tree->GetRefreshCount();

    QTest::keyClick(ctrl, Qt::Key_F5);

    EXPECT_EQ(panes.tree->GetRefreshCount(), refreshes + 1);
    EXPECT_EQ(panes.list->GetItemCount(), 2);
    EXPECT_EQ(panes.Children("C:\\Movies"), before);
}

TEST(PcFolderTree, IsDriveRoot) {
    struct Case {
        const char* path;
        bool root;
    };
    const Case cases[] = {
        {"", true},        {"C:", true},          {"C:\\", true},      {"c:\\", true},
        {"z:", true},      {"C:\\Movies", false}, {"\\Movies", false}, {"Movies", false},
        {"C:\\\\", false}, {"1:\\", false},       {"CD:\\", false},    {"C:Movies", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CHostTreeView::IsDriveRoot(c.path), c.root) << '"' << c.path << '"';
    }
}

TEST(PcFolderTree, HasEntries) {
    PrivateDrives drives;
    drives.MakeFile("OneFile/a.txt", "x");
    drives.MakeFolder("OneFolder/Sub");
    drives.MakeFolder("Empty");
    drives.MakeFile(".hidden/.x", "x");
    struct Case {
        const char* path;
        bool entries;
    };
    const Case cases[] = {
        {"C:\\OneFile", true},         {"C:\\OneFile\\", true}, {"C:\\OneFolder", true},
        {"C:\\Empty", false},          {"C:\\Missing", false},  {"C:\\.hidden", true},
        {"C:\\OneFile\\a.txt", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CHostTreeView::HasEntries(c.path), c.entries) << c.path;
    }
}

TEST(PcFolderTree, MakeFolderShowsItInSortedPlace) {
    PcPanes panes;
    panes.drives.MakeFolder("Movies/Alpha");
    panes.drives.MakeFolder("Movies/Gamma");
    panes.drives.MakeFolder("Shows/One");
    panes.tree->SelectPath("C:\\Movies");
    ASSERT_EQ(panes.Children("C:\\Movies"), (Labels{"Alpha", "Gamma"}));

    // Under an expanded parent the item goes straight to its place.
    EXPECT_TRUE(panes.tree->MakeFolder("C:\\Movies\\beta"));
    EXPECT_EQ(panes.Children("C:\\Movies"), (Labels{"Alpha", "beta", "Gamma"}));
    EXPECT_TRUE(std::filesystem::is_directory(panes.drives.C() + "/Movies/beta"));

    // Under a collapsed parent the folder is read again as it expands.
    HTREEITEM shows = panes.tree->GetTreeCtrl()->FindItemByPath("C:\\Shows");
    ASSERT_NE(shows, nullptr);
    ASSERT_FALSE(shows->isExpanded());
    EXPECT_TRUE(panes.tree->MakeFolder("C:\\Shows\\Two"));
    EXPECT_TRUE(shows->isExpanded());
    EXPECT_EQ(panes.Children("C:\\Shows"), (Labels{"One", "Two"}));

    // The disk refuses an existing name (in any case) and a missing parent.
    EXPECT_FALSE(panes.tree->MakeFolder("C:\\Movies\\ALPHA"));
    EXPECT_FALSE(panes.tree->MakeFolder("C:\\Nowhere\\New"));
    EXPECT_EQ(panes.Children("C:\\Movies"), (Labels{"Alpha", "beta", "Gamma"}));

    // A folder right under the drive.
    EXPECT_TRUE(panes.tree->MakeFolder("C:\\Top"));
    const Labels drive = panes.Children("C:\\");
    EXPECT_NE(std::find(drive.begin(), drive.end(), "Top"), drive.end());
}

TEST(PcFolderTree, RemoveFolderTakesOnlyAnEmptyFolder) {
    PcPanes panes;
    panes.drives.MakeFile("Movies/Full/a.avr", "x");
    panes.drives.MakeFolder("Movies/Empty");
    panes.tree->SelectPath("C:\\Movies");
    ASSERT_EQ(panes.Children("C:\\Movies"), (Labels{"Empty", "Full"}));

    EXPECT_FALSE(panes.tree->RemoveFolder("C:\\Movies\\Full"));
    EXPECT_EQ(panes.Children("C:\\Movies"), (Labels{"Empty", "Full"}));
    EXPECT_TRUE(std::filesystem::exists(panes.drives.C() + "/Movies/Full/a.avr"));

    EXPECT_TRUE(panes.tree->RemoveFolder("C:\\Movies\\Empty"));
    EXPECT_EQ(panes.Children("C:\\Movies"), (Labels{"Full"}));
    EXPECT_FALSE(std::filesystem::exists(panes.drives.C() + "/Movies/Empty"));
}

TEST(PcFolderTree, RemovingTheSelectedFolderMovesTheSelectionAndTheList) {
    PcPanes panes;
    panes.drives.MakeFolder("Movies/Empty");
    panes.drives.MakeFile("Movies/a.avr", "x");
    panes.tree->SelectPath("C:\\Movies\\Empty");
    EXPECT_EQ(panes.list->GetItemCount(), 0);

    EXPECT_TRUE(panes.tree->RemoveFolder("C:\\Movies\\Empty\\"));
    std::string folder;
    ASSERT_TRUE(panes.tree->GetCurrentFolder(folder));
    EXPECT_EQ(folder, "C:\\Movies\\");
    EXPECT_EQ(panes.list->GetItemCount(), 1);
}

TEST(PcFolderTree, RenameRetitlesTheRenamedFolderOnly) {
    PcPanes panes;
    panes.drives.MakeFolder("Clips");
    panes.drives.MakeFolder("Other");
    std::filesystem::create_directories(panes.drives.D() + "/Clips/Inner");
    std::ofstream(panes.drives.D() + "/Clips/Inner/r.avr") << "x";
    panes.tree->SelectPath("C:\\Clips");
    panes.tree->SelectPath("D:\\Clips\\Inner");
    ASSERT_EQ(panes.list->GetListedFolder(), "D:\\Clips\\Inner\\");

    // A same-named folder on C: comes first in the tree; it keeps its label.
    panes.tree->RenameFolder("D:\\Clips", "D:\\Cuts\\");
    EXPECT_EQ(panes.Children("C:\\"), (Labels{"Clips", "Other"}));
    EXPECT_EQ(panes.Children("D:\\"), (Labels{"Cuts"}));
    EXPECT_TRUE(std::filesystem::is_directory(panes.drives.D() + "/Cuts/Inner"));
    // The list's folder lay inside the renamed one: it follows the new name.
    std::string folder;
    ASSERT_TRUE(panes.tree->GetCurrentFolder(folder));
    EXPECT_EQ(folder, "D:\\Cuts\\Inner\\");
    EXPECT_EQ(panes.list->GetListedFolder(), "D:\\Cuts\\Inner\\");
    EXPECT_EQ(panes.list->GetItemCount(), 1);

    // A rename the disk refuses changes nothing.
    panes.tree->RenameFolder("C:\\Clips", "C:\\Other");
    EXPECT_EQ(panes.Children("C:\\"), (Labels{"Clips", "Other"}));
    EXPECT_TRUE(std::filesystem::is_directory(panes.drives.C() + "/Clips"));
}

}  // namespace
