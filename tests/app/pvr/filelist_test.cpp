// The PVR file list: its rows, their exact sizes, the selection walk and the
// file commands on the device.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "app/controls/listctrlx.h"
#include "app/res/resources.h"
#include "support/browserfixture.h"
#include "support/filecolumns.h"

namespace {

StbFindData Entry(const std::string& name, std::int64_t size, std::int32_t kind = STB_ENTRY_FILE) {
    StbFindData e{};
    std::strncpy(e.name, name.c_str(), sizeof e.name - 1);
    e.kind = kind;
    e.size = size;
    e.year = 2005;
    e.month = 3;
    e.day = 21;
    e.hour = 18;
    e.minute = 30;
    e.second = 7;
    return e;
}

class PvrFileList : public ::testing::Test {
protected:
    PvrFileList() { res::RegisterResources(); }
    std::vector<std::string> Texts(int column) {
        std::vector<std::string> texts;
        texts.reserve(static_cast<std::size_t>(m_view.GetItemCount()));
        for (int row = 0; row < m_view.GetItemCount(); ++row) {
            texts.push_back(m_view.GetListCtrl()->GetItemText(row, column));
        }
        return texts;
    }
    CSTBFileListView m_view{nullptr};
};

TEST_F(PvrFileList, ColumnsAndWidthsAtTheFirstShowing) {
    m_view.resize(1000, 300);
    m_view.show();
    CListCtrlX* list = m_view.GetListCtrl();
    ASSERT_EQ(list->GetColumnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0).toStdString(), "File Name");
    EXPECT_EQ(list->headerItem()->text(1).toStdString(), "Size(KB)");
    EXPECT_EQ(list->headerItem()->text(2).toStdString(), "Date");
    EXPECT_EQ(list->GetDlgCtrlID(), 105);
    const std::string date = CSTBFileListView::FormatDate(Entry("x", 1));
    ExpectFileColumns(*list, date);
    // The same as the PC list, also in a narrow pane and once resized.
    m_view.resize(420, 300);
    ExpectFileColumns(*list, date);
}

TEST_F(PvrFileList, RowsShowFilesInListingOrderWithExactSizes) {
    const std::vector<StbFindData> entries{
        Entry("C:\\PVR\\AV\\b.ts", 1023),
        Entry("Films", 0, STB_ENTRY_FOLDER),
        Entry("", 99),
        Entry("a.mp3", 1024),
        Entry("odd", 5, 7),
        Entry("big.AVR", 5000000000LL),
        Entry("C:\\PVR\\AVX\\c", 2500000),
    };
    m_view.FillList("C:\\PVR\\AV\\", static_cast<int>(entries.size()), entries.data());
    // The folder's own prefix goes; another folder's does not match it.
    EXPECT_EQ(Texts(0), (std::vector<std::string>{"b.ts", "a.mp3", "big.AVR", "C:\\PVR\\AVX\\c"}));
    EXPECT_EQ(Texts(1), (std::vector<std::string>{"0", "1", "4,882,812", "2,441"}));
    for (const auto& [row, size] : {std::pair{0, 1023LL}, std::pair{1, 1024LL},
                                    std::pair{2, 5000000000LL}, std::pair{3, 2500000LL}}) {
        EXPECT_EQ(m_view.GetRowSize(row), size) << row;
    }

    // A later listing replaces the rows.
    const StbFindData one = Entry("only", 1);
    m_view.FillList("C:\\PVR\\", 1, &one);
    EXPECT_EQ(Texts(0), (std::vector<std::string>{"only"}));
    m_view.ClearList();
    EXPECT_EQ(m_view.GetItemCount(), 0);
}

TEST_F(PvrFileList, DateColumnCountsHoursUpToTwelveAsAm) {
    struct Case {
        int hour, minute, second;
        const char* text;
    };
    for (const Case& c :
         {Case{0, 5, 0, "2005-03-21 AM  0:05:00"}, Case{9, 0, 59, "2005-03-21 AM  9:00:59"},
          Case{12, 30, 0, "2005-03-21 AM 12:30:00"}, Case{13, 5, 0, "2005-03-21 PM  1:05:00"},
          Case{23, 59, 59, "2005-03-21 PM 11:59:59"}}) {
        StbFindData e = Entry("x", 1);
        e.hour = static_cast<std::uint8_t>(c.hour);
        e.minute = static_cast<std::uint8_t>(c.minute);
        e.second = static_cast<std::uint8_t>(c.second);
        m_view.FillList("C:\\PVR\\", 1, &e);
        EXPECT_EQ(Texts(2), (std::vector<std::string>{c.text})) << c.hour;
    }
}

TEST_F(PvrFileList, SelectionWalkAndLookUp) {
    std::string name;
    std::int64_t size = 0;
    EXPECT_FALSE(m_view.GetNextSelected(name, &size)) << "no walk begun";
    std::vector<StbFindData> entries;
    entries.reserve(5);
    for (int i = 0; i < 5; ++i) {
        entries.push_back(Entry("f" + std::to_string(i) + ".ts", 100 + i));
    }
    m_view.FillList("C:\\PVR\\", 5, entries.data());
    EXPECT_FALSE(m_view.BeginSelection());
    EXPECT_EQ(m_view.CountSelected(), 0);

    CListCtrlX* list = m_view.GetListCtrl();
    list->SetItemState(3, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    list->SetItemState(1, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    EXPECT_EQ(m_view.CountSelected(), 2);
    ASSERT_TRUE(m_view.BeginSelection());
    ASSERT_TRUE(m_view.GetNextSelected(name, &size));
    EXPECT_EQ(name + "=" + std::to_string(size), "f1.ts=101");
    ASSERT_TRUE(m_view.GetNextSelected(name, &size));
    EXPECT_EQ(name + "=" + std::to_string(size), "f3.ts=103");
    EXPECT_FALSE(m_view.GetNextSelected(name, &size));

    EXPECT_TRUE(m_view.FindByName("F4.TS", &size));
    EXPECT_EQ(size, 104);
    EXPECT_FALSE(m_view.FindByName("f4.t", &size));
    // A refill ends a walk that was under way.
    ASSERT_TRUE(m_view.BeginSelection());
    m_view.FillList("C:\\PVR\\", 2, entries.data());
    EXPECT_FALSE(m_view.GetNextSelected(name, &size));
}

// A click on a heading sorts by that column, a second click the other way
// round. Sizes sort by bytes (1023 and 1000 both show "0", "1,000" would
// come before "999" as text), dates by time; each row keeps its own size, and
// the walk and the look-up follow the rows.
TEST_F(PvrFileList, HeadingsSortByNameExactSizeAndTime) {
    const auto dated = [](const std::string& name, std::int64_t size, int year, int hour) {
        StbFindData e = Entry(name, size);
        e.year = static_cast<std::uint16_t>(year);
        e.hour = static_cast<std::uint8_t>(hour);
        return e;
    };
    const std::vector<StbFindData> entries{
        dated("b.mp3", 1023, 2005, 18),
        dated("A.avr", 1048576000, 2004, 23),
        dated("c.ts", 1000, 2005, 9),
        dated("d.frm", 999 * 1024, 2006, 0),
    };
    m_view.resize(800, 300);
    m_view.show();
    m_view.FillList("C:\\PVR\\", static_cast<int>(entries.size()), entries.data());
    CListCtrlX* list = m_view.GetListCtrl();
    EXPECT_EQ(list->GetSortColumn(), -1);
    EXPECT_EQ(Texts(0), (std::vector<std::string>{"b.mp3", "A.avr", "c.ts", "d.frm"}));

    struct Click {
        int column;
        std::vector<std::string> names;
    };
    const std::vector<Click> clicks{
        {0, {"A.avr", "b.mp3", "c.ts", "d.frm"}}, {0, {"d.frm", "c.ts", "b.mp3", "A.avr"}},
        {1, {"c.ts", "b.mp3", "d.frm", "A.avr"}}, {1, {"A.avr", "d.frm", "b.mp3", "c.ts"}},
        {2, {"A.avr", "c.ts", "b.mp3", "d.frm"}},
    };
    QHeaderView* header = list->header();
    for (const Click& click : clicks) {
        const QPoint at(header->sectionViewportPosition(click.column) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(Texts(0), click.names) << "column " << click.column;
    }
    for (int row = 0; row < m_view.GetItemCount(); ++row) {
        const std::string name = list->GetItemText(row, 0);
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const StbFindData& e) { return name == e.name; });
        EXPECT_EQ(m_view.GetRowSize(row), entry->size) << name;
    }

    // Sorted by date: select c.ts and d.frm, the second and the last row.
    list->SetItemState(3, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    list->SetItemState(1, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    std::string walked;
    std::string name;
    std::int64_t size = 0;
    ASSERT_TRUE(m_view.BeginSelection());
    while (m_view.GetNextSelected(name, &size)) {
        walked += name + "=" + std::to_string(size) + ";";
    }
    EXPECT_EQ(walked, "c.ts=1000;d.frm=1022976;");
    EXPECT_TRUE(m_view.FindByName("B.MP3", &size));
    EXPECT_EQ(size, 1023);

    // A new listing comes in sorted as the last click asked.
    m_view.FillList("C:\\PVR\\", 3, entries.data());
    EXPECT_EQ(Texts(0), (std::vector<std::string>{"A.avr", "c.ts", "b.mp3"}));
}

class PvrFileCommands : public PvrBrowserTest {
protected:
    void SetUp() override {
        PvrBrowserTest::SetUp();
        for (int i = 1; i <= 5; ++i) {
            PutHost("AV/f" + std::to_string(i) + ".ts", std::string(1000 * i + 1, 'x'));
        }
        StartBrowser();
        FinishListing();
        ListFolder("C:\\PVR\\AV\\");
    }
};

TEST_F(PvrFileCommands, DeletingARowKeepsTheLaterRowsSizes) {
    ASSERT_EQ(Rows().size(), 5u);
    ASSERT_TRUE(Files().DeleteFile("C:\\PVR\\AV\\F2.TS"));
    EXPECT_FALSE(std::filesystem::exists(m_disk / "AV/f2.ts"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"f1.ts|0|1001", "f3.ts|2|3001", "f4.ts|3|4001",
                                                "f5.ts|4|5001"}));

    // The former rows 3 and 4 give their own sizes to the walk.
    CListCtrlX* list = Files().GetListCtrl();
    list->SetItemState(1, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    list->SetItemState(2, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    std::string name;
    std::int64_t size = 0;
    ASSERT_TRUE(Tree().BeginSelection());
    ASSERT_TRUE(Tree().GetNextSelected(name, &size));
    EXPECT_EQ(name + "=" + std::to_string(size), "f3.ts=3001");
    ASSERT_TRUE(Tree().GetNextSelected(name, &size));
    EXPECT_EQ(name + "=" + std::to_string(size), "f4.ts=4001");

    // The device refuses a file it does not have; the list stays.
    EXPECT_FALSE(Files().DeleteFile("C:\\PVR\\AV\\f2.ts"));
    // The device deletes a file the list does not show: false all the same.
    PutHost("AV/late.ts", "l");
    EXPECT_FALSE(Files().DeleteFile("C:\\PVR\\AV\\late.ts"));
    EXPECT_FALSE(std::filesystem::exists(m_disk / "AV/late.ts"));
    EXPECT_EQ(Rows().size(), 4u);
    EXPECT_TRUE(MessageBoxes(m_env->User()).empty());
}

TEST_F(PvrFileCommands, RenameRetitlesTheRowAndReportsFailures) {
    ASSERT_TRUE(Files().RenameFile("C:\\PVR\\AV\\f3.ts", "C:\\PVR\\AV\\three.ts"));
    EXPECT_TRUE(std::filesystem::exists(m_disk / "AV/three.ts"));
    EXPECT_EQ(Rows()[2], "three.ts|2|3001");
    EXPECT_TRUE(MessageBoxes(m_env->User()).empty());

    EXPECT_FALSE(Files().RenameFile("C:\\PVR\\AV\\gone.ts", "C:\\PVR\\AV\\back.ts"));
    const auto boxes = MessageBoxes(m_env->User());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error occurred.");
    EXPECT_EQ(boxes[0].type, MB_ICONSTOP);
    EXPECT_EQ(Rows()[2], "three.ts|2|3001");
}

}  // namespace
