// What selecting folders in the PVR tree does while listings run or not.
#include <gtest/gtest.h>

#include <filesystem>

#include <QTest>

#include "support/browserfixture.h"

namespace {

class PvrSelection : public PvrBrowserTest {
protected:
    void SetUp() override {
        PvrBrowserTest::SetUp();
        MakeHostFolder("AV/Films");
        PutHost("root.txt", "r");
        PutHost("AV/News_200503211830.AVR", std::string(4096, 'n'));
        StartBrowser();
        FinishListing();
    }
    std::string Selected() {
        std::string path;
        Tree().GetTreeCtrl()->GetSelectedPath(path);
        return path;
    }
};

TEST_F(PvrSelection, AnotherFolderSelectedDuringAListingSnapsBack) {
    Tree().GetTreeCtrl()->SelectItem(Item("C:\\PVR\\AV\\"));
    ASSERT_TRUE(Tree().IsBusy());
    const int refreshes = Tree().GetRefreshCount();

    Tree().GetTreeCtrl()->SelectItem(Item("C:\\PVR\\MP3\\"));
    EXPECT_EQ(Selected(), "C:\\PVR\\AV\\");
    EXPECT_EQ(Tree().GetRefreshCount(), refreshes);

    FinishListing();
    EXPECT_EQ(Tree().GetListedFolder(), "C:\\PVR\\AV\\");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"News_200503211830.AVR|4|4096"}));
}

TEST_F(PvrSelection, ExpandedFolderIsClearedNotListedAndF5ListsIt) {
    ListFolder("C:\\PVR\\AV\\");
    ASSERT_EQ(Rows().size(), 1u);
    const int refreshes = Tree().GetRefreshCount();
    const int findFiles = m_findFileCalls;

    // The root shows its folders expanded: selecting it reads nothing.
    Tree().GetTreeCtrl()->SelectItem(Item("C:\\PVR"));
    EXPECT_FALSE(Tree().IsBusy());
    EXPECT_EQ(Tree().GetRefreshCount(), refreshes);
    EXPECT_EQ(m_findFileCalls, findFiles);
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(Frame().GetStatusText(), "C:\\PVR");

    QTest::keyClick(Tree().GetTreeCtrl(), Qt::Key_F5);
    ASSERT_TRUE(Tree().IsBusy());
    FinishListing();
    EXPECT_EQ(Tree().GetListedFolder(), "C:\\PVR");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"root.txt|0|1"}));
    // Its sub-folders were listed again in place, not added twice.
    EXPECT_EQ(ChildLabels("C:\\PVR"), (std::vector<std::string>{"AV", "Firmware", "IMG", "MP3"}));
}

TEST_F(PvrSelection, RefusedStartEndsTheRequest) {
    m_refuseFindFile = true;
    Tree().Refresh();
    EXPECT_EQ(Frame().GetStatusText(), "Failed while getting file lists..");
    EXPECT_NE(Trace().find("TAVRIX_FindFile() seems to get an error...\r\n"), std::string::npos);
    EXPECT_FALSE(Tree().IsBusy());
    EXPECT_TRUE(Frame().isEnabled());
    EXPECT_FALSE(DialogVisible());
    EXPECT_EQ(m_clock.TimerRemaining(Tree().GetSafeHwnd(), CSTBTreeView::kPollTimer), -1);

    // Nothing holds the selection: it moves, and the next folder is listed.
    m_refuseFindFile = false;
    ListFolder("C:\\PVR\\MP3\\");
    EXPECT_EQ(Selected(), "C:\\PVR\\MP3\\");
    EXPECT_EQ(Tree().GetListedFolder(), "C:\\PVR\\MP3\\");
    EXPECT_FALSE(Tree().IsBusy());
}

TEST_F(PvrSelection, VanishedFolderFailsAndF5ListsItsParent) {
    ListFolder("C:\\PVR\\AV\\");
    ASSERT_EQ(ChildLabels("C:\\PVR\\AV"), (std::vector<std::string>{"Films"}));
    // Gone behind the program's back.
    std::filesystem::remove_all(m_disk / "AV" / "Films");

    Tree().GetTreeCtrl()->SelectItem(Item("C:\\PVR\\AV\\Films\\"));
    EXPECT_EQ(Frame().GetStatusText(), "Failed while getting file lists..");
    EXPECT_FALSE(Tree().IsBusy());
    EXPECT_TRUE(Frame().isEnabled());

    // Another folder can be chosen, and the vanished one again.
    ListFolder("C:\\PVR\\MP3\\");
    Tree().GetTreeCtrl()->SelectItem(Item("C:\\PVR\\AV\\Films\\"));
    ASSERT_EQ(Selected(), "C:\\PVR\\AV\\Films\\");
    ASSERT_FALSE(Tree().IsBusy());

    // F5 there goes up to the parent and lists it, which drops the vanished folder.
    QTest::keyClick(Tree().GetTreeCtrl(), Qt::Key_F5);
    EXPECT_EQ(Selected(), "C:\\PVR\\AV\\");
    ASSERT_TRUE(Tree().IsBusy());
    FinishListing();
    EXPECT_EQ(Tree().GetListedFolder(), "C:\\PVR\\AV\\");
    EXPECT_TRUE(ChildLabels("C:\\PVR\\AV").empty());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"News_200503211830.AVR|4|4096"}));
    EXPECT_EQ(Frame().GetStatusText().rfind("1 files found....", 0), 0u);
}

TEST_F(PvrSelection, UnplugDuringAListingEndsItAtOnce) {
    // The device keeps the listing waiting until it is pulled.
    m_bendFindNext = [](int& result, StbDiskSpace*) { result = -1; };
    Tree().Refresh();
    FinishPolls(2);
    ASSERT_TRUE(Tree().IsBusy());
    ASSERT_TRUE(DialogVisible());

    StopPvr();
    ASSERT_TRUE(platform::WaitProcessingMessages(
        [this] { return Tree().GetTreeCtrl()->GetRootItem() == nullptr; }, 5000));
    const HWND view = Tree().GetSafeHwnd();
    EXPECT_EQ(m_clock.TimerRemaining(view, CSTBTreeView::kPollTimer), -1);
    EXPECT_EQ(m_clock.TimerRemaining(view, CSTBTreeView::kEndTimer), -1);
    EXPECT_FALSE(Tree().IsBusy());
    EXPECT_FALSE(DialogVisible());
    EXPECT_TRUE(Frame().isEnabled());
    // Nothing left to overwrite the removal.
    const std::size_t polls = m_pollTimes.size();
    m_clock.Advance(20000);
    EXPECT_EQ(m_pollTimes.size(), polls);
    EXPECT_EQ(Frame().GetStatusText(), "TX-PVR 100 has been removed...");
}

TEST_F(PvrSelection, PollThatFindsTheDeviceGoneEndsTheListing) {
    // The answer "busy" from a device that is no longer there, before its
    // removal notice has come.
    m_bendFindNext = [](int& result, StbDiskSpace*) { result = -1; };
    Tree().Refresh();
    m_devicePresent = false;
    m_pollTimes.clear();
    FinishPolls(1);
    EXPECT_EQ(m_pollTimes.size(), 1u);
    EXPECT_EQ(m_clock.TimerRemaining(Tree().GetSafeHwnd(), CSTBTreeView::kPollTimer), -1);
    EXPECT_FALSE(Tree().IsBusy());
    EXPECT_FALSE(DialogVisible());
    EXPECT_TRUE(Frame().isEnabled());
    EXPECT_EQ(Frame().GetStatusText(), "Failed while getting file lists..");
}

TEST_F(PvrSelection, UnplugAndPlugInAgainRebuildsTheRoot) {
    ListFolder("C:\\PVR\\AV\\");
    StopPvr();
    ASSERT_TRUE(platform::WaitProcessingMessages(
        [this] { return Tree().GetTreeCtrl()->GetRootItem() == nullptr; }, 5000));
    EXPECT_TRUE(Rows().empty());
    std::string folder;
    EXPECT_FALSE(Tree().GetCurrentFolder(folder));

    m_findFileCalls = 0;
    StartPvr([](pvrd::PvrOptions& o) { o.busy = 12; });
    ASSERT_TRUE(platform::WaitProcessingMessages([this] { return m_findFileCalls == 1; }, 5000));
    // A new arrival has the larger budget again.
    const ListingRun run = FinishListing();
    EXPECT_EQ(run.pollTimes.size(), 13u);
    EXPECT_EQ(run.dialogLines.back(), "Completed");
    EXPECT_EQ(ChildLabels("C:\\PVR"), (std::vector<std::string>{"AV", "Firmware", "IMG", "MP3"}));
    EXPECT_EQ(Tree().GetTreeCtrl()->topLevelItemCount(), 1);
    EXPECT_TRUE(Tree().GetCurrentFolder(folder));
    EXPECT_EQ(folder, "C:\\PVR\\");
}

}  // namespace
