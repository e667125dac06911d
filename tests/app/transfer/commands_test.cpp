// The transfer commands in a real main window against a served PVR: the
// selection goes through the engine, the progress window shows it, the end
// comes back to the main window, which enables itself and refreshes the side
// that received the files.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QToolBar>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/controls/listctrlx.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/res/resource.h"
#include "app/transfer/transfercommands.h"
#include "app/transfer/transferdlg.h"
#include "support/browserfixture.h"

namespace {

constexpr std::int64_t kMiB = 1 << 20;
constexpr const char* kRecording = "Movie_A1B2C3D4E5F6.AVR";

class TransferCommands : public PvrBrowserTest {
protected:
    void SetUp() override {
        PvrBrowserTest::SetUp();
        m_parts = Bytes(3 * kMiB, 21);
        PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVR", m_parts.substr(0, 2 * kMiB));
        PutHost("AV/Movie_#002_A1B2C3D4E5F6.AVR", m_parts.substr(2 * kMiB));
        PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVF", Bytes(8192, 22));
        MakeHostFolder("AV/Copy");
    }

    void Start(const std::function<void(pvrd::PvrOptions&)>& tweak = nullptr) {
        StartBrowser(tweak);
        FinishListing();
        ListFolder("C:\\PVR\\AV\\");
        std::filesystem::create_directories(C() + "/rec");
        Frame().GetHostTreeView()->SelectPath("C:\\rec");
        Frame().GetHostFileListView()->SetFolder("C:\\rec");
    }

    std::string C() { return m_env->Drives().C(); }
    std::string ReadPc(const std::string& relative) {
        std::ifstream in(C() + "/" + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void SelectRow(CListCtrlX* list, const std::string& name) {
        for (int row = 0; row < list->GetItemCount(); ++row) {
            if (list->GetItemName(row) == name || list->GetItemText(row, 0) == name) {
                list->SetItemState(row, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
                return;
            }
        }
        std::string all;
        for (int row = 0; row < list->GetItemCount(); ++row) {
            all += list->GetItemName(row) + ";";
        }
        ADD_FAILURE() << name << " is not listed: " << all;
    }
    // The transfer commands' own switch, apart from the listing that may follow.
    bool UiEnabled() { return !Frame().GetToolBar()->testAttribute(Qt::WA_ForceDisabled); }
    CTransferDlg* Dialog() { return Frame().GetTransferCommands().Dialog(); }
    bool Idle() { return !Frame().GetTransferCommands().Engine().WorkerRegistered(); }
    // Runs the clock until the main window has the batch's end.
    void RunToEnd() {
        ASSERT_TRUE(DriveClock(m_clock, [&] {
            return Idle() && (Dialog() == nullptr || Dialog()->GetSafeHwnd() == nullptr) &&
                   UiEnabled();
        }));
        platform::ProcessMessages();
    }
    std::vector<ShownBox> Boxes() { return MessageBoxes(m_env->User()); }

    std::string m_parts;
};

}  // namespace

TEST_F(TransferCommands, ARecordingGoesDownAndBackUpByteForByte) {
    Start();
    SelectRow(Files().GetListCtrl(), kRecording);
    Frame().OnCommand(ID_TB_DOWNLOAD);
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_TRUE(Dialog()->isVisible());
    EXPECT_EQ(Dialog()->windowTitle().toStdString(), "Transferring....");
    EXPECT_FALSE(UiEnabled());
    RunToEnd();
    EXPECT_FALSE(Dialog()->isVisible());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(ReadPc(std::string("rec/") + kRecording), m_parts);
    EXPECT_EQ(ReadPc("rec/Movie_A1B2C3D4E5F6.AVF"), Bytes(8192, 22));
    // The PC side was refreshed: the list shows the recording, not its companion.
    const CListCtrlX* pcList = Frame().GetHostFileListView()->GetListCtrl();
    ASSERT_EQ(pcList->GetItemCount(), 1);
    EXPECT_EQ(pcList->GetItemName(0), kRecording);

    // Up again, into another PVR folder.
    ListFolder("C:\\PVR\\AV\\Copy\\");
    SelectRow(Frame().GetHostFileListView()->GetListCtrl(), kRecording);
    const int refreshes = Tree().GetRefreshCount();
    Frame().OnCommand(ID_TRANSFER_UPLOAD);
    EXPECT_FALSE(UiEnabled());
    RunToEnd();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Download(std::string("C:\\PVR\\AV\\Copy\\") + kRecording, 0, 3 * kMiB), m_parts);
    EXPECT_EQ(GetHost("AV/Copy/Movie_#001_A1B2C3D4E5F6.AVF"), Bytes(8192, 22));
    // The PVR side is read again and lists the recording as one row.
    EXPECT_EQ(Tree().GetRefreshCount(), refreshes + 1);
    FinishListing();
    EXPECT_EQ(Rows(), (std::vector<std::string>{std::string(kRecording) + "|3,072|3145728"}));
}

TEST_F(TransferCommands, AnExistingFileIsAskedAboutAndCancelMovesNothing) {
    Start();
    std::ofstream(C() + "/rec/" + kRecording, std::ios::binary) << "old";
    SelectRow(Files().GetListCtrl(), kRecording);
    m_env->User().QueueDialog([](QDialog* d) {
        EXPECT_EQ(platform::GetDlgItemText(d, 1017),
                  std::string(kRecording) +
                      " is already exist.\nSelect button to overwrite existing file or resume.");
        return 1012;
    });
    Frame().OnCommand(ID_TRANSFER_DOWNLOAD);
    EXPECT_TRUE(UiEnabled());
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(Dialog() == nullptr || !Dialog()->isVisible());
    EXPECT_EQ(ReadPc(std::string("rec/") + kRecording), "old");
}

// A folder chosen while its sub-folders are on show is not read, and its list
// is emptied: the upload reads it first, so a file already there is asked
// about rather than overwritten.
TEST_F(TransferCommands, AnUploadReadsAnUnreadFolderFirst) {
    PutHost("AV/up.mp3", "old");
    Start();
    ListFolder("C:\\PVR\\AV\\Copy\\");
    Tree().GetTreeCtrl()->SelectItem(Item("C:\\PVR\\AV\\"));
    ASSERT_FALSE(Tree().IsBusy());
    ASSERT_EQ(Files().GetItemCount(), 0);
    std::ofstream(C() + "/rec/up.mp3", std::ios::binary) << Bytes(1000);
    Frame().GetHostTreeView()->Refresh();
    SelectRow(Frame().GetHostFileListView()->GetListCtrl(), "up.mp3");
    std::string asked;
    m_env->User().QueueDialog([&asked](QDialog* d) {
        asked = platform::GetDlgItemText(d, 1017);
        return 1012;
    });
    Frame().OnCommand(ID_TRANSFER_UPLOAD);
    EXPECT_TRUE(asked.empty()) << "asked before the folder was read";
    FinishListing();
    EXPECT_EQ(asked,
              "up.mp3 is already exist in PVR.\nDo you want to overwrite or resume the file?");
    EXPECT_TRUE(Idle());
    EXPECT_EQ(GetHost("AV/up.mp3"), "old");
}

struct FaultCase {
    const char* name;
    std::function<void(pvrd::PvrOptions&)> tweak;
    bool upload;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class TransferFaults : public TransferCommands, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(TransferFaults, EndWithTheFailureBoxAndARefreshAndLoseNothing) {
    Start(GetParam().tweak);
    const bool upload = GetParam().upload;
    std::ofstream(C() + "/rec/up.mp3", std::ios::binary) << Bytes(kMiB);
    Frame().GetHostTreeView()->Refresh();
    if (upload) {
        SelectRow(Frame().GetHostFileListView()->GetListCtrl(), "up.mp3");
    } else {
        SelectRow(Files().GetListCtrl(), kRecording);
    }
    const int pvrRefreshes = Tree().GetRefreshCount();
    Frame().OnCommand(upload ? ID_TB_UPLOAD : ID_TB_DOWNLOAD);
    RunToEnd();
    const auto boxes = Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, "Transfer failed or user cancelled.");
    EXPECT_EQ(boxes.back().caption, "Tavrix");
    EXPECT_EQ(boxes.back().type, MB_ICONSTOP);
    EXPECT_TRUE(UiEnabled());
    if (upload) {
        EXPECT_EQ(Tree().GetRefreshCount(), pvrRefreshes + 1);
    }
    EXPECT_TRUE(GetHost("AV/Movie_#001_A1B2C3D4E5F6.AVR") == m_parts.substr(0, 2 * kMiB));
    EXPECT_TRUE(GetHost("AV/Movie_#002_A1B2C3D4E5F6.AVR") == m_parts.substr(2 * kMiB));
    EXPECT_EQ(ReadPc("rec/up.mp3").size(), static_cast<std::size_t>(kMiB));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransferFaults,
    ::testing::Values(
        FaultCase{"RefusedStream", [](pvrd::PvrOptions& o) { o.refuseStream = true; }, false},
        FaultCase{"Unplugged", [](pvrd::PvrOptions& o) { o.unplugAfter = kMiB; }, false},
        FaultCase{"SendsAlwaysFail",
                  [](pvrd::PvrOptions& o) {
                      o.failBulkOut = 1;
                      o.failBulkOutCount = 1000000;
                  },
                  true}),
    [](const ::testing::TestParamInfo<FaultCase>& row) { return std::string(row.param.name); });

TEST_F(TransferCommands, CancelStopsTheUploadClosesThePvrFileAndRefreshes) {
    Start();
    std::ofstream(C() + "/rec/big.mp3", std::ios::binary) << Bytes(6 * kMiB);
    Frame().GetHostTreeView()->Refresh();
    SelectRow(Frame().GetHostFileListView()->GetListCtrl(), "big.mp3");
    const int refreshes = Tree().GetRefreshCount();
    Frame().OnCommand(ID_TB_UPLOAD);
    ASSERT_TRUE(DriveClock(m_clock, [&] {
        return platform::GetDlgItemText(Dialog(), IDC_TRANSFER_STATUS).rfind("Transfered", 0) == 0;
    }));
    static_cast<QPushButton*>(platform::GetDlgItem(Dialog(), IDC_TRANSFER_CANCEL))->click();
    RunToEnd();
    EXPECT_FALSE(Dialog()->isVisible());
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Transfer failed or user cancelled.");
    EXPECT_EQ(Tree().GetRefreshCount(), refreshes + 1);
    EXPECT_FALSE(Fcntl(FCNTL_CLOSE, ""));  // nothing is open on the PVR
}

// A worker that shows a message box while the user's Cancel waits for it must
// get its box answered: the wait keeps handling messages.
TEST_F(TransferCommands, AWorkersMessageBoxDoesNotDeadlockCancel) {
    Start();
    std::ofstream(C() + "/rec/x.mp3", std::ios::binary) << Bytes(100);
    Frame().GetHostTreeView()->Refresh();
    SelectRow(Frame().GetHostFileListView()->GetListCtrl(), "x.mp3");
    // The folder goes away under the tree: the PVR cannot create the file.
    ListFolder("C:\\PVR\\AV\\Copy\\");
    std::filesystem::remove_all(m_disk / "AV" / "Copy");
    Frame().OnCommand(ID_TB_UPLOAD);
    static_cast<QPushButton*>(platform::GetDlgItem(Dialog(), IDC_TRANSFER_CANCEL))->click();
    RunToEnd();
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "OpenFile failed..");
    EXPECT_EQ(boxes[1].text, "Transfer failed or user cancelled.");
}

TEST_F(TransferCommands, ASecondTransferIsRefusedWhileOneRuns) {
    Start();
    SelectRow(Files().GetListCtrl(), kRecording);
    Frame().OnCommand(ID_TB_DOWNLOAD);
    ASSERT_FALSE(Idle());
    Frame().OnCommand(ID_TRANSFER_UPLOAD);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Another transfer is still running. Please wait until it has finished.");
    RunToEnd();
    EXPECT_EQ(ReadPc(std::string("rec/") + kRecording), m_parts);
}
