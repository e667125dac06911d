// The PC file list: which files it lists and how, the selection walk, the
// file commands and opening a row.
#include "app/pc/hostfilelistview.h"

#include <filesystem>
#include <string>
#include <vector>

#include <QFontMetrics>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/pcfs.h"
#include "platform/syscolor.h"
#include "platform/usermessages.h"
#include "support/filecolumns.h"
#include "support/pcpanes.h"

namespace {

using Rows = std::vector<std::string>;

TEST(PcFileList, ListsRecordingsMusicAndSoftwareOnly) {
    PcPanes panes;
    panes.drives.MakeFile("Mixed/Movie.avr", "x");
    panes.drives.MakeFile("Mixed/Movie_#001_x.AVF", "x");
    panes.drives.MakeFile("Mixed/song.MP3", "x");
    panes.drives.MakeFile("Mixed/readme.txt", "x");
    panes.drives.MakeFile("Mixed/main.FRM", "x");
    panes.drives.MakeFile("Mixed/channels.sdb", "x");
    panes.drives.MakeFile("Mixed/noext", "x");
    panes.drives.MakeFile("Mixed/avr", "x");
    panes.drives.MakeFolder("Mixed/Sub.avr");
    TraceCapture trace;

    panes.tree->SelectPath("C:\\Mixed");

    EXPECT_EQ(panes.Rows(), (Rows{"channels.sdb", "main.FRM", "Movie.avr", "song.MP3"}));
    EXPECT_EQ(panes.list->GetListedFolder(), "C:\\Mixed\\");
    // Every entry is traced, listed or not; folders as folders.
    EXPECT_NE(trace.Text().find("FindFile C:\\Mixed\\\\*.*\n"), std::string::npos);
    EXPECT_NE(trace.Text().find("Dir===>Sub.avr\n"), std::string::npos);
    EXPECT_NE(trace.Text().find("FILE===>readme.txt\n"), std::string::npos);
    EXPECT_NE(trace.Text().find("FILE===>Movie.avr\n"), std::string::npos);
}

TEST(PcFileList, SizeColumnIsWholeKilobytesOfTheFull64BitLength) {
    struct Case {
        const char* name;
        std::uintmax_t bytes;
        const char* shown;
    };
    const Case cases[] = {
        {"empty.avr", 0, "0"},
        {"almost.avr", 1023, "0"},
        {"one.avr", 1024, "1"},
        {"big.avr", 1234567890, "1,205,632"},
        // Past 4 GiB: the low 32 bits alone would give 1,048,576.
        {"huge.avr", 5ULL << 30, "5,242,880"},
        {"odd.avr", (4ULL << 30) + 1023, "4,194,304"},
    };
    PcPanes panes;
    for (const Case& c : cases) {
        panes.drives.MakeFile(std::string("Sizes/") + c.name, "");
        // Sparse: no disk space is used for the large ones.
        std::filesystem::resize_file(panes.drives.C() + "/Sizes/" + c.name, c.bytes);
    }
    panes.tree->SelectPath("C:\\Sizes");
    CListCtrlX* ctrl = panes.list->GetListCtrl();
    ASSERT_EQ(ctrl->GetItemCount(), static_cast<int>(std::size(cases)));
    for (const Case& c : cases) {
        bool found = false;
        for (int row = 0; row < ctrl->GetItemCount(); ++row) {
            if (ctrl->GetItemName(row) == c.name) {
                EXPECT_EQ(ctrl->GetItemText(row, 1), c.shown) << c.name;
                found = true;
            }
        }
        EXPECT_TRUE(found) << c.name;
    }
    // The size heading sorts by bytes, not by the KB text (which would put
    // 1,205,632 first and leave 0 and 0 in listing order).
    ctrl->OnColumnClick(1);
    EXPECT_EQ(panes.Rows(),
              (Rows{"empty.avr", "almost.avr", "one.avr", "big.avr", "odd.avr", "huge.avr"}));
    // A listing of the folder again keeps that order.
    panes.tree->Refresh();
    EXPECT_EQ(panes.Rows()[1], "almost.avr");
}

TEST(PcFileList, DateIsTheTwelveHourClockOfTheListing) {
    struct Case {
        platform::LocalTime time;
        const char* shown;
    };
    const Case cases[] = {
        {{2004, 3, 5, 12, 5, 9}, "2004-03-05 AM 12:05:09"},
        {{2004, 3, 5, 13, 7, 33}, "2004-03-05 PM  1:07:33"},
        {{2004, 3, 5, 0, 15, 0}, "2004-03-05 AM  0:15:00"},
        {{2004, 3, 5, 9, 0, 1}, "2004-03-05 AM  9:00:01"},
        {{1999, 12, 31, 23, 59, 59}, "1999-12-31 PM 11:59:59"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CHostFileListView::FormatDate(c.time), c.shown);
    }
}

TEST(PcFileList, DateColumnShowsTheCreationTime) {
    PcPanes panes;
    panes.drives.MakeFile("Dated/a.mp3", "x");
    const auto info = platform::GetFileInfo("C:\\Dated\\a.mp3");
    ASSERT_TRUE(info.has_value());
    panes.tree->SelectPath("C:\\Dated");
    ASSERT_EQ(panes.list->GetItemCount(), 1);
    EXPECT_EQ(panes.list->GetListCtrl()->GetItemText(0, 2),
              CHostFileListView::FormatDate(platform::ToLocalTime(info->creationTime)));
}

TEST(PcFileList, WalkHandsOutSelectedRowsInOrderAndCountSelectedRestartsIt) {
    PcPanes panes;
    for (const char* name : {"a.avr", "b.avr", "c.avr", "d.avr"}) {
        panes.drives.MakeFile(std::string("Walk/") + name, "x");
    }
    panes.tree->SelectPath("C:\\Walk");
    ASSERT_EQ(panes.list->GetItemCount(), 4);
    panes.SelectRows({3, 1});

    ASSERT_TRUE(panes.list->BeginSelection());
    std::string name;
    int flag = -1;
    std::uintptr_t data = 99;
    ASSERT_TRUE(panes.list->GetNextSelected(name, &flag, &data));
    EXPECT_EQ(name, "b.avr");
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(data, 0u);

    // Counting runs the same walk from the start and to its end.
    EXPECT_EQ(panes.list->CountSelected(), 2);
    EXPECT_FALSE(panes.list->GetNextSelected(name));

    ASSERT_TRUE(panes.list->BeginSelection());
    std::vector<std::string> walked;
    while (panes.tree->GetNextSelected(name)) {
        walked.push_back(name);
    }
    EXPECT_EQ(walked, (Rows{"b.avr", "d.avr"}));

    panes.SelectRows({});
    EXPECT_FALSE(panes.list->BeginSelection());
    EXPECT_FALSE(panes.list->GetNextSelected(name));
    EXPECT_EQ(panes.list->CountSelected(), 0);
}

TEST(PcFileList, RenameKeepsTheRowWithItsSizeDateAndImage) {
    PcPanes panes;
    panes.drives.MakeFile("Music/song.MP3", std::string(3000, 'x'));
    panes.drives.MakeFile("Music/tune.mp3", "x");
    panes.drives.MakeFile("Music/notes.txt", "x");
    panes.tree->SelectPath("C:\\Music");
    CListCtrlX* ctrl = panes.list->GetListCtrl();
    ASSERT_EQ(panes.Rows(), (Rows{"song.MP3", "tune.mp3"}));
    const std::string size = ctrl->GetItemText(0, 1);
    const std::string date = ctrl->GetItemText(0, 2);
    const int image = ctrl->GetItemImage(0);

    // A name that no longer is a listed type still keeps its row until the
    // next listing.
    EXPECT_TRUE(panes.list->RenameFile("C:\\Music\\song.MP3", "C:\\Music\\song.txt"));
    EXPECT_EQ(panes.Rows(), (Rows{"song.txt", "tune.mp3"}));
    EXPECT_EQ(ctrl->GetItemText(0, 1), size);
    EXPECT_EQ(ctrl->GetItemText(0, 2), date);
    EXPECT_EQ(ctrl->GetItemImage(0), image);
    EXPECT_TRUE(std::filesystem::exists(panes.drives.C() + "/Music/song.txt"));

    // The disk refuses: an existing name is not replaced, and the row stays.
    EXPECT_FALSE(panes.list->RenameFile("C:\\Music\\tune.mp3", "C:\\Music\\song.txt"));
    EXPECT_EQ(panes.Rows(), (Rows{"song.txt", "tune.mp3"}));
    // Renamed on the disk, but no row shows the file.
    EXPECT_FALSE(panes.list->RenameFile("C:\\Music\\notes.txt", "C:\\Music\\notes2.txt"));

    panes.tree->Refresh();
    EXPECT_EQ(panes.Rows(), (Rows{"tune.mp3"}));
}

TEST(PcFileList, DeleteRemovesTheFileAndItsRow) {
    PcPanes panes;
    panes.drives.MakeFile("Del/a.avr", "x");
    panes.drives.MakeFile("Del/b.avr", "x");
    panes.tree->SelectPath("C:\\Del");
    ASSERT_EQ(panes.list->GetItemCount(), 2);

    EXPECT_TRUE(panes.list->DeleteFile("C:\\Del\\A.AVR"));
    EXPECT_EQ(panes.Rows(), (Rows{"b.avr"}));
    EXPECT_FALSE(std::filesystem::exists(panes.drives.C() + "/Del/a.avr"));

    EXPECT_FALSE(panes.list->DeleteFile("C:\\Del\\a.avr"));
    EXPECT_EQ(panes.Rows(), (Rows{"b.avr"}));
}

TEST(PcFileList, FolderStatesLeaveTheListEmpty) {
    PcPanes panes;
    panes.drives.MakeFile("Full/a.avr", "x");
    panes.drives.MakeFolder("Empty");
    panes.tree->SelectPath("C:\\Full");
    ASSERT_EQ(panes.list->GetItemCount(), 1);

    // A folder that cannot be read keeps the listed folder it had.
    panes.list->FillList("C:\\Missing");
    EXPECT_EQ(panes.list->GetItemCount(), 0);
    EXPECT_EQ(panes.list->GetListedFolder(), "C:\\Full\\");

    panes.list->FillList("C:\\Empty");
    EXPECT_EQ(panes.list->GetItemCount(), 0);
    EXPECT_EQ(panes.list->GetListedFolder(), "C:\\Empty");

    panes.list->FillList("C:\\Full");
    panes.list->FillList("");
    EXPECT_EQ(panes.list->GetItemCount(), 0);
}

TEST(PcFileList, ListsNothingBeforeItsInitialUpdateAndThenTheInitialFolder) {
    PrivateDrives drives;
    drives.MakeFile("Start/a.avr", "x");
    CHostFileListView list(nullptr);
    list.SetFolder("C:\\Start");
    list.FillList("C:\\Start");
    EXPECT_EQ(list.GetListCtrl(), nullptr);
    EXPECT_EQ(list.GetItemCount(), 0);

    list.resize(700, 300);
    list.OnInitialUpdate();
    ASSERT_NE(list.GetListCtrl(), nullptr);
    EXPECT_EQ(list.GetItemCount(), 1);
    EXPECT_EQ(list.GetListedFolder(), "C:\\Start");
    // The same widths as the PVR list; an empty list does not scroll sideways.
    CListCtrlX* ctrl = list.GetListCtrl();
    list.show();
    ExpectFileColumns(*ctrl, CHostFileListView::FormatDate({2004, 3, 5, 13, 7, 33}));
    list.FillList("C:\\Nowhere");
    ExpectFileColumns(*ctrl, CHostFileListView::FormatDate({2004, 3, 5, 13, 7, 33}));
    EXPECT_EQ(ctrl->headerItem()->text(1).toStdString(), "Size(KB)");
}

TEST(PcFileList, ImagesAreKeptOnePerProgramAcrossListings) {
    PcPanes panes;
    for (int i = 0; i < 20; ++i) {
        panes.drives.MakeFile("Icons/song" + std::to_string(i) + ".mp3", "x");
    }
    panes.drives.MakeFile("Icons/rec.avr", "x");
    panes.tree->SelectPath("C:\\Icons");
    CListCtrlX* ctrl = panes.list->GetListCtrl();
    ASSERT_EQ(ctrl->GetItemCount(), 21);
    const int images = ctrl->GetImageCount();
    // At most the default image plus one for each of the two kinds of file.
    EXPECT_LE(images, 3);
    int songImage = -2;
    for (int row = 0; row < ctrl->GetItemCount(); ++row) {
        const int image = ctrl->GetItemImage(row);
        EXPECT_GE(image, 0);
        EXPECT_LT(image, images);
        if (ctrl->GetItemName(row).ends_with(".mp3")) {
            if (songImage == -2) {
                songImage = image;
            }
            EXPECT_EQ(image, songImage) << "the same program, the same image";
        }
    }
    for (int i = 0; i < 5; ++i) {
        panes.tree->Refresh();
    }
    EXPECT_EQ(ctrl->GetImageCount(), images);
}

TEST(PcFileList, OpeningARecordingAsksTheMainWindowToConvertIt) {
    PcPanes panes;
    panes.drives.MakeFile("Rec/show.AVR", "x");
    panes.drives.MakeFile("Rec/zz.avr", "x");
    panes.tree->SelectPath("C:\\Rec");
    ASSERT_TRUE(panes.Activate());
    RecordingWindow frame;
    panes.list->SetMainWindow(frame.GetSafeHwnd());
    CListCtrlX* ctrl = panes.list->GetListCtrl();

    // Double-click with nothing selected: nothing happens.
    const QPoint emptySpace(10, ctrl->viewport()->height() - 5);
    QTest::mouseDClick(ctrl->viewport(), Qt::LeftButton, {}, emptySpace);
    EXPECT_TRUE(frame.received.empty());

    panes.SelectRows({0});
    QTest::mouseDClick(ctrl->viewport(), Qt::LeftButton, {}, emptySpace);
    ASSERT_EQ(frame.received.size(), 1u);
    EXPECT_EQ(frame.received[0].message, WM_OPEN_AVR);
    EXPECT_EQ(frame.received[0].wParam, 0u);
    EXPECT_EQ(frame.received[0].lParam, 0);

    // A row index past the rows is no row.
    SendMessage(panes.list->GetSafeHwnd(), WM_LIST_DBLCLK, 7, 0);
    EXPECT_EQ(frame.received.size(), 1u);

    // Enter opens the selection as a double-click does; with a modifier it is
    // another key.
    QTest::keyClick(ctrl, Qt::Key_Return);
    QTest::keyClick(ctrl, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(ctrl, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(frame.received.size(), 3u);
    panes.SelectRows({});
    QTest::keyClick(ctrl, Qt::Key_Return);
    EXPECT_EQ(frame.received.size(), 3u);
}

}  // namespace
