// Listings from the device: the polling budget, its timing and texts, the
// completion step and the disk space it reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/browserfixture.h"

namespace {

const std::string kRetry = "Retrying, wait just for a while...retry remains ";

struct BudgetCase {
    const char* name;
    int busy;           // busy answers before each listing's entries
    bool laterRefresh;  // judge a refresh after the arrival's listing
    int calls;          // TAVRIX_FindNext calls of the judged listing
    bool listed;
    int firstRetryCount;  // the number in the first retry text
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BudgetCase& c, std::ostream* os) {
    *os << c.name;
}

class ListingBudget : public PvrBrowserTest, public ::testing::WithParamInterface<BudgetCase> {};

TEST_P(ListingBudget, PollsOnTimeAndCountsDown) {
    const BudgetCase& c = GetParam();
    MakeHostFolder("Early");
    StartBrowser([&](pvrd::PvrOptions& o) { o.busy = c.busy; });
    // The listing waits for its first poll, behind a disabled window.
    EXPECT_EQ(Frame().GetStatusText(), "Requested refresh file lists....");
    EXPECT_EQ(m_clock.TimerRemaining(Tree().GetSafeHwnd(), CSTBTreeView::kPollTimer), 1000);
    EXPECT_FALSE(Frame().isEnabled());
    EXPECT_TRUE(DialogVisible());
    if (c.laterRefresh) {
        ASSERT_FALSE(FinishListing().statuses.empty());
        ASSERT_EQ(ChildLabels("C:\\PVR"),
                  (std::vector<std::string>{"AV", "Early", "Firmware", "IMG", "MP3"}));
        // Something new on the disk, which only a listing that counts can show.
        MakeHostFolder("Late");
        m_findCloseCalls = 0;
        Tree().Refresh();
        EXPECT_FALSE(Frame().isEnabled());
    }

    const ListingRun run = FinishListing();

    std::vector<std::uint64_t> times;
    times.reserve(static_cast<std::size_t>(c.calls));
    for (int i = 0; i < c.calls; ++i) {
        times.push_back(1000 + 500 * static_cast<std::uint64_t>(i));
    }
    EXPECT_EQ(run.pollTimes, times);
    ASSERT_EQ(run.statuses.size(), static_cast<std::size_t>(c.calls));
    for (int i = 0; i + 1 < c.calls; ++i) {
        const std::string retry = kRetry + std::to_string(c.firstRetryCount - i);
        EXPECT_EQ(run.statuses[static_cast<std::size_t>(i)], retry) << "poll " << i + 1;
        EXPECT_EQ(run.dialogLines[static_cast<std::size_t>(i)], retry) << "poll " << i + 1;
    }
    EXPECT_EQ(run.endDelay, 1000);
    EXPECT_FALSE(run.pollTimerLeft);

    if (c.listed) {
        EXPECT_EQ(run.statuses.back().rfind(
                      c.laterRefresh ? "6 files found...." : "5 files found....", 0),
                  0u)
            << run.statuses.back();
        EXPECT_EQ(run.dialogLines.back(), "Completed");
        EXPECT_EQ(m_findCloseCalls, 1);
    } else {
        EXPECT_EQ(run.statuses.back(), "Failed while getting file lists..");
        EXPECT_EQ(run.dialogLines.back(), "Failed while getting file lists...");
        EXPECT_EQ(m_findCloseCalls, 0);
    }
    std::vector<std::string> folders{"AV", "Early", "Firmware", "IMG", "MP3"};
    if (c.laterRefresh && c.listed) {
        folders.insert(folders.begin() + 4, "Late");
    } else if (!c.laterRefresh && !c.listed) {
        folders.clear();
    }
    // A failed listing shows nothing of what the device answered last.
    EXPECT_EQ(ChildLabels("C:\\PVR"), folders);

    // Ended either way: the window works again and the notice is gone.
    EXPECT_FALSE(Tree().IsBusy());
    EXPECT_TRUE(Frame().isEnabled());
    EXPECT_FALSE(DialogVisible());
    EXPECT_TRUE(Tree().GetTreeCtrl()->IsEnabledFlag());
}

INSTANTIATE_TEST_SUITE_P(
    PvrBrowser, ListingBudget,
    ::testing::Values(BudgetCase{"ArrivalListedOnThe29thCall", 28, false, 29, true, 29},
                      BudgetCase{"ArrivalFailsAfter30Calls", 29, false, 30, false, 29},
                      BudgetCase{"RefreshListedOnThe9thCall", 8, true, 9, true, 9},
                      BudgetCase{"RefreshIgnoresEntriesOfThe10thCall", 9, true, 10, false, 9},
                      BudgetCase{"QuietDeviceListedOnTheFirstCall", 0, true, 1, true, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PvrBrowserTest, CompletedListingFillsTreeAndListAndTraces) {
    MakeHostFolder("AV/Films");
    PutHost("readme.txt", std::string(2048, 'r'));
    PutHost("AV/News_200503211830.AVR", std::string(3000, 'n'));
    StartBrowser();

    const ListingRun root = FinishListing();
    ASSERT_EQ(root.statuses.size(), 1u);
    EXPECT_EQ(root.statuses[0].rfind("5 files found....(", 0), 0u) << root.statuses[0];
    EXPECT_EQ(ChildLabels("C:\\PVR"), (std::vector<std::string>{"AV", "Firmware", "IMG", "MP3"}));
    EXPECT_TRUE(Item("C:\\PVR")->isExpanded());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"readme.txt|2|2048"}));
    EXPECT_EQ(Tree().GetListedFolder(), "C:\\PVR");

    const ListingRun av = ListFolder("C:\\PVR\\AV\\");
    EXPECT_EQ(Tree().GetListedFolder(), "C:\\PVR\\AV\\");
    EXPECT_EQ(ChildLabels("C:\\PVR\\AV"), (std::vector<std::string>{"Films"}));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"News_200503211830.AVR|2|3000"}));
    EXPECT_EQ(av.endDelay, 1000);

    const std::string trace = Trace();
    for (const char* line : {"==>[AV]\r\n", "==>[readme.txt] 2048 bytes\r\n", "==>[Films]\r\n",
                             "==>[News_200503211830.AVR] 3000 bytes\r\n", "Changed.\r\n",
                             "selected = C:\\PVR\\AV\\\r\n", "Free Disk "}) {
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }
}

struct DiskCase {
    const char* name;
    std::int64_t diskSize;
    std::int64_t fileSize;  // one file in the root
    const char* status;
    std::int64_t knownFree;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DiskCase& c, std::ostream* os) {
    *os << c.name;
}

class ListingDisk : public PvrBrowserTest, public ::testing::WithParamInterface<DiskCase> {};

TEST_P(ListingDisk, StatusShowsFreeMiBAndUsedPercentage) {
    const DiskCase& c = GetParam();
    if (c.fileSize > 0) {
        PutHost("data.bin", std::string(static_cast<std::size_t>(c.fileSize), 'd'));
    }
    StartBrowser([&](pvrd::PvrOptions& o) { o.diskSize = c.diskSize; });
    const ListingRun run = FinishListing();
    ASSERT_FALSE(run.statuses.empty());
    EXPECT_EQ(run.statuses.back(), c.status);
    std::int64_t freeBytes = 0;
    std::int64_t totalBytes = 0;
    Tree().GetDiskSpace(freeBytes, totalBytes);
    EXPECT_EQ(freeBytes, c.knownFree);
    EXPECT_EQ(totalBytes, c.diskSize);
}

INSTANTIATE_TEST_SUITE_P(
    PvrBrowser, ListingDisk,
    ::testing::Values(
        // 6 MiB less one byte free is 5 whole MiB: (10 - 5) * 100 / 10.
        DiskCase{"WholeMiBRoundDown", 10 << 20, (4 << 20) + 1,
                 "5 files found....(5 MBytes free, 50 % used)", (6 << 20) - 1},
        // Under 1 MiB in all: nothing to divide by, and free shows as 0 MBytes.
        DiskCase{"DiskUnderOneMiB", 1048575, 0, "4 files found....(0 MBytes free, 0 % used)",
                 1048575}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PvrBrowserTest, FullListingSaysThePvrListsAtMostAThousandEntries) {
    const std::string note = "; the PVR lists at most 1000 entries, so the folder may hold more";
    // With the four system folders, one entry short of the listing's capacity.
    for (int i = 0; i < 995; ++i) {
        PutHost("f" + std::to_string(1000 + i) + ".txt", "");
    }
    StartBrowser();
    const ListingRun below = FinishListing();
    ASSERT_EQ(below.statuses.size(), 1u);
    EXPECT_EQ(below.statuses[0].rfind("999 files found....(", 0), 0u) << below.statuses[0];
    EXPECT_EQ(below.statuses[0].find(note), std::string::npos);

    PutHost("f9999.txt", "");
    PutHost("f9998.txt", "");
    Tree().Refresh();
    const ListingRun full = FinishListing();
    ASSERT_EQ(full.statuses.size(), 1u);
    const std::string& status = full.statuses[0];
    EXPECT_EQ(status.rfind("1000 files found....(", 0), 0u) << status;
    ASSERT_GE(status.size(), note.size());
    EXPECT_EQ(status.substr(status.size() - note.size()), note) << status;
    // What came is shown; the rest of the folder is not.
    EXPECT_EQ(Files().GetItemCount() + static_cast<int>(ChildLabels("C:\\PVR").size()), 1000);
}

TEST_F(PvrBrowserTest, ZeroTotalShowsNoUseAndKeepsTheLastKnownSpace) {
    StartBrowser([](pvrd::PvrOptions& o) { o.diskSize = 10 << 20; });
    FinishListing();
    std::int64_t freeBytes = 0;
    std::int64_t totalBytes = 0;
    Tree().GetDiskSpace(freeBytes, totalBytes);
    ASSERT_EQ(totalBytes, 10 << 20);

    m_bendFindNext = [](int&, StbDiskSpace* space) {
        space->freeBytes = 3 << 20;
        space->totalBytes = 0;
    };
    Tree().Refresh();
    const ListingRun run = FinishListing();
    EXPECT_EQ(run.statuses.back(), "4 files found....(3 MBytes free, 0 % used)");
    std::int64_t freeAfter = 0;
    std::int64_t totalAfter = 0;
    Tree().GetDiskSpace(freeAfter, totalAfter);
    EXPECT_EQ(freeAfter, freeBytes);
    EXPECT_EQ(totalAfter, totalBytes);
}

TEST_F(PvrBrowserTest, EmptyAnswerAndUnknownAnswersEndTheListing) {
    PutHost("keep.txt", "k");
    StartBrowser();
    FinishListing();
    ASSERT_EQ(Rows().size(), 1u);

    struct Case {
        int answer;
        const char* status;
        const char* dialog;
    };
    // 0 leaves the dialog's line as it was; anything below -1 is a failure.
    for (const Case& c :
         {Case{0, "No files found.", ""},
          Case{-2, "Failed while getting file lists..", "Failed while getting file lists..."},
          Case{-77, "Failed while getting file lists..", "Failed while getting file lists..."}}) {
        SCOPED_TRACE(c.answer);
        m_bendFindNext = [&](int& result, StbDiskSpace*) { result = c.answer; };
        m_findCloseCalls = 0;
        Tree().Refresh();
        const ListingRun run = FinishListing();
        EXPECT_EQ(run.pollTimes, (std::vector<std::uint64_t>{1000}));
        EXPECT_EQ(run.statuses, (std::vector<std::string>{c.status}));
        EXPECT_EQ(run.dialogLines, (std::vector<std::string>{c.dialog}));
        EXPECT_EQ(run.endDelay, 1000);
        EXPECT_EQ(m_findCloseCalls, 0);
        EXPECT_TRUE(Frame().isEnabled());
        EXPECT_FALSE(Tree().IsBusy());
        // The panes keep what the last good listing showed.
        EXPECT_EQ(Rows().size(), 1u);
        EXPECT_EQ(ChildLabels("C:\\PVR").size(), 4u);
    }
}

struct RecordingCase {
    const char* name;
    bool namePrefix;
    bool avfFirst;
    bool showHidden;
    std::vector<std::string> rows;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RecordingCase& c, std::ostream* os) {
    *os << c.name;
}

class ListingRecordings : public PvrBrowserTest,
                          public ::testing::WithParamInterface<RecordingCase> {};

TEST_P(ListingRecordings, AreListedOnceWithTheTotalOfTheirParts) {
    const RecordingCase& c = GetParam();
    PutHost("AV/News_#001_200503211830.AVR", std::string(10, 'a'));
    PutHost("AV/News_#002_200503211830.AVR", std::string(20, 'b'));
    PutHost("AV/News_#003_200503211830.AVR", std::string(5, 'c'));
    PutHost("AV/News_#001_200503211830.AVF", std::string(4, 'f'));
    PutHost("AV/Lone_#002_200501010000.AVR", std::string(7, 'l'));
    PutHost("AV/song.mp3", "mp3");
    StartBrowser([&](pvrd::PvrOptions& o) {
        o.namePrefix = c.namePrefix;
        o.avfFirst = c.avfFirst;
    });
    FinishListing();
    if (c.showHidden) {
        Tree().SetShowHidden(true);
        FinishListing();
    }
    ListFolder("C:\\PVR\\AV\\");
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(Trace().find("Removed!!! Lone_#002_200501010000.AVR\r\n") != std::string::npos,
              !c.showHidden);
}

INSTANTIATE_TEST_SUITE_P(
    PvrBrowser, ListingRecordings,
    ::testing::Values(
        RecordingCase{"Plain", false, false, false, {"News_200503211830.AVR|0|35", "song.mp3|0|3"}},
        RecordingCase{"NamesWithTheirFolder",
                      true,
                      false,
                      false,
                      {"News_200503211830.AVR|0|35", "song.mp3|0|3"}},
        RecordingCase{"AvfListedFirst",
                      false,
                      true,
                      false,
                      {"News_#001_200503211830.AVR|0|35", "song.mp3|0|3"}},
        RecordingCase{"ShowHidden",
                      false,
                      false,
                      true,
                      {"Lone_#002_200501010000.AVR|0|7", "News_#001_200503211830.AVR|0|10",
                       "News_#002_200503211830.AVR|0|20", "News_#003_200503211830.AVR|0|5",
                       "News_#001_200503211830.AVF|0|4", "song.mp3|0|3"}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
