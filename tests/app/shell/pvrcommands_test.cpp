// The file commands on the PVR side, the PVR information command and the
// refresh command, against a PVR served from a thread of the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QTest>

#include "app/controls/listctrlx.h"
#include "app/controls/treectrlx.h"
#include "app/dialogs/pvrinfodlg.h"
#include "app/res/resource.h"
#include "platform/templates.h"
#include "support/browserfixture.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned kQuestion = MB_YESNO | MB_ICONQUESTION;

class PvrCommands : public PvrBrowserTest {
protected:
    void Start(const std::function<void(pvrd::PvrOptions&)>& tweak = nullptr) {
        MakeHostFolder("AV/Clips");
        MakeHostFolder("AV/Empty");
        PutHost("AV/Full/inside.mp3", "x");
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
            PutHost(std::string("MP3/") + name, name);
        }
        StartBrowser(tweak);
        FinishListing();
        Frame().show();
        Frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    }

    void Focus(QWidget* widget) {
        // A listing disables the window, which may cost it its activation.
        Frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
        widget->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), widget);
    }
    // Selects the folder's item, lists it when the tree does, and gives the
    // tree the focus.
    void SelectFolder(const std::string& path) {
        HTREEITEM item = Item(path);
        ASSERT_NE(item, nullptr);
        Tree().GetTreeCtrl()->SelectItem(item);
        if (Tree().IsBusy()) {
            FinishListing();
        }
        std::string selected;
        ASSERT_TRUE(Tree().GetCurrentFolder(selected));
        ASSERT_EQ(selected, path.back() == '\\' ? path : path + "\\");
        Focus(Tree().GetTreeCtrl());
    }
    // Lists the folder and selects the given rows of the file list, with the focus on it.
    void SelectRows(const std::string& folder, const std::vector<int>& rows) {
        SelectFolder(folder);
        CListCtrlX* list = Files().GetListCtrl();
        for (const int row : rows) {
            list->SetItemState(row, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
        }
        Focus(list);
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        names.reserve(static_cast<std::size_t>(Files().GetListCtrl()->GetItemCount()));
        for (int row = 0; row < Files().GetListCtrl()->GetItemCount(); ++row) {
            names.push_back(Files().GetListCtrl()->GetItemName(row));
        }
        return names;
    }
    std::vector<ShownBox> Boxes() { return MessageBoxes(m_env->User()); }
    platform::ScriptedUser& User() { return m_env->User(); }
    void Command(UINT id) { Frame().OnCommand(id); }
};

TEST_F(PvrCommands, FolderDeleteSparesTheProtectedFoldersAndReportsRefusals) {
    Start();
    SelectFolder("C:\\PVR\\AV\\");
    struct Case {
        const char* folder;
        std::vector<std::string> boxes;
        bool remains;
    };
    const std::string ask = "Are you sure remove directory?\n";
    const Case cases[] = {
        // The root and the system folders: no question at all.
        {"C:\\PVR", {}, true},
        {"C:\\PVR\\AV", {}, true},
        {"C:\\PVR\\MP3", {}, true},
        {"C:\\PVR\\AV\\Empty", {ask + "C:\\PVR\\AV\\Empty\\"}, false},
        // The device removes only an empty folder.
        {"C:\\PVR\\AV\\Full",
         {ask + "C:\\PVR\\AV\\Full\\", "C:\\PVR\\AV\\Full\\\nIt can't be removed."},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        User().ClearHistory();
        SelectFolder(c.folder);
        const int fcntls = m_fcntlCalls;
        if (!c.boxes.empty()) {
            User().QueueAnswer(IDYES);
        }
        Command(ID_FILE_DELETE);
        const auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), c.boxes.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].text, c.boxes[i]);
            EXPECT_EQ(boxes[i].caption, "Tavrix");
            EXPECT_EQ(boxes[i].type, i == 0 ? kQuestion : MB_ICONSTOP);
        }
        if (c.boxes.empty()) {
            EXPECT_EQ(m_fcntlCalls, fcntls);
        }
        const std::string relative = std::string(c.folder).substr(std::string("C:\\PVR").size());
        fs::path host = m_disk;
        for (const char ch : relative) {
            host += ch == '\\' ? '/' : ch;
        }
        EXPECT_EQ(fs::exists(host), c.remains);
    }
    EXPECT_EQ(ChildLabels("C:\\PVR\\AV"), (std::vector<std::string>{"Clips", "Full"}));
}

TEST_F(PvrCommands, ThreeFilesNoToAllThenYesNoYesAsksTheSecondAgain) {
    Start();
    SelectRows("C:\\PVR\\MP3\\", {0, 1, 2});
    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 3u);
    for (const int answer : {IDNO, IDYES, IDNO, IDYES, IDNO}) {
        User().QueueAnswer(answer);
    }
    Command(ID_TB_DELETE);

    const std::string ask = "Are you sure remove the file?\nC:\\PVR\\MP3\\";
    const std::vector<std::string> expected = {
        "Do you want to remove ALL of selected files WITHOUT CONFIRM?",
        ask + names[0],
        ask + names[1],
        ask + names[2],
        // The walk starts again after each deletion: the declined one comes up again.
        ask + names[1],
    };
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), expected.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text, expected[i]) << i;
        EXPECT_EQ(boxes[i].type, kQuestion) << i;
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{names[1]}));
    EXPECT_FALSE(ExistsHost("MP3/" + names[0]));
    EXPECT_TRUE(ExistsHost("MP3/" + names[1]));
    EXPECT_FALSE(ExistsHost("MP3/" + names[2]));
    EXPECT_NE(Trace().find("delete> C:\\PVR\\MP3\\" + names[2] + "...\n"), std::string::npos);
}

TEST_F(PvrCommands, FileDeleteTheDeviceRefusesIsReportedAndTheRestGoOn) {
    Start();
    SelectRows("C:\\PVR\\MP3\\", {0, 2});
    const std::vector<std::string> names = Names();
    // The first file vanished from the device after the listing.
    fs::remove(m_disk / "MP3" / names[0]);
    User().QueueAnswer(IDYES);
    Command(ID_FILE_DELETE);
    // Told once: the walk that starts again after the next deletion does not
    // try the refused file a second time.
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "C:\\PVR\\MP3\\" + names[0] + "\nIt can't be removed.");
    EXPECT_EQ(boxes[1].type, MB_ICONSTOP);
    EXPECT_FALSE(ExistsHost("MP3/" + names[2]));
    EXPECT_TRUE(ExistsHost("MP3/" + names[1]));
}

TEST_F(PvrCommands, RenameFolderOrFirstSelectedFile) {
    Start();
    SelectFolder("C:\\PVR\\AV\\");
    SelectFolder("C:\\PVR\\AV\\Clips");
    std::string preset;
    QueueNameAnswer(User(), "Films", &preset);
    Command(ID_TB_RENAME);
    EXPECT_EQ(preset, "Clips");
    EXPECT_TRUE(fs::is_directory(m_disk / "AV/Films"));
    std::vector<std::string> labels = ChildLabels("C:\\PVR\\AV");
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, (std::vector<std::string>{"Empty", "Films", "Full"}));

    // A system folder: no dialog, nothing sent.
    User().ClearHistory();
    SelectFolder("C:\\PVR\\IMG");
    const int fcntls = m_fcntlCalls;
    Command(ID_TB_RENAME);
    EXPECT_TRUE(User().History().empty());
    EXPECT_EQ(m_fcntlCalls, fcntls);

    // Several files: only the first selected one is offered and renamed.
    SelectRows("C:\\PVR\\MP3\\", {1, 2});
    const std::vector<std::string> names = Names();
    QueueNameAnswer(User(), "renamed.mp3", &preset);
    Command(ID_FILE_RENAME);
    EXPECT_EQ(preset, names[1]);
    EXPECT_EQ(GetHost("MP3/renamed.mp3"), names[1]);
    EXPECT_TRUE(ExistsHost("MP3/" + names[2]));
    EXPECT_EQ(Names(), (std::vector<std::string>{names[0], "renamed.mp3", names[2]}));

    // A name that would reach another folder never reaches the device.
    User().ClearHistory();
    const int before = m_fcntlCalls;
    QueueNameAnswer(User(), "..\\AV\\moved.mp3");
    Command(ID_FILE_RENAME);
    EXPECT_EQ(m_fcntlCalls, before);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].type, MB_ICONSTOP);
}

TEST_F(PvrCommands, NewFolderOnTheDevice) {
    Start();
    SelectFolder("C:\\PVR\\AV\\");
    QueueNameAnswer(User(), "New");
    Command(ID_FILE_NEW_FOLDER);
    EXPECT_TRUE(fs::is_directory(m_disk / "AV/New"));
    EXPECT_EQ(ChildLabels("C:\\PVR\\AV"),
              (std::vector<std::string>{"Clips", "Empty", "Full", "New"}));
    EXPECT_NE(Trace().find("STB.......C:\\PVR\\AV\\New\n"), std::string::npos);
    EXPECT_TRUE(Boxes().empty());

    QueueNameAnswer(User(), "Clips");
    Command(ID_TB_NEW_FOLDER);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "The directory cannot be created.\nC:\\PVR\\AV\\Clips");
    EXPECT_EQ(Boxes()[0].type, MB_ICONSTOP);

    for (const char* name : {"..", ".", "a\\b", "a/b"}) {
        const int before = m_fcntlCalls;
        QueueNameAnswer(User(), name);
        Command(ID_TB_NEW_FOLDER);
        EXPECT_EQ(m_fcntlCalls, before) << name;
    }
    EXPECT_EQ(Boxes().size(), 5u);

    // The file list focused: new folder is for the trees only.
    User().ClearHistory();
    SelectRows("C:\\PVR\\MP3\\", {0});
    Command(ID_TB_NEW_FOLDER);
    EXPECT_TRUE(User().History().empty());
}

// What the information dialog showed.
struct InfoShown {
    std::string model, company, software, freeText, totalText;
    bool full = false, high = false;
    int upper = -1, pos = -1;
};

InfoShown RunInformation(CMainFrame& frame, platform::ScriptedUser& user) {
    InfoShown shown;
    user.QueueDialog([&shown](QDialog* d) {
        const auto text = [d](int id) { return platform::GetDlgItemText(d, id); };
        shown.model = text(IDC_INFO_MODEL);
        shown.company = text(IDC_INFO_COMPANY);
        shown.software = text(IDC_INFO_SW_VERSION);
        shown.freeText = text(IDC_INFO_FREE);
        shown.totalText = text(IDC_INFO_TOTAL);
        shown.full = platform::IsDlgButtonChecked(d, IDC_INFO_FULL_SPEED);
        shown.high = platform::IsDlgButtonChecked(d, IDC_INFO_HIGH_SPEED);
        if (auto* dialog = dynamic_cast<CPVRInfoDlg*>(d)) {
            int lower = 0;
            dialog->GetUsedBar().GetRange(lower, shown.upper);
            shown.pos = dialog->GetUsedBar().GetPos();
        }
        return IDOK;
    });
    frame.OnCommand(ID_PVR_INFORMATION);
    return shown;
}

TEST_F(PvrCommands, InformationShowsTheDescriptorAndTheLastListedDisk) {
    Start([](pvrd::PvrOptions& options) {
        options.product = "PVR-9000";
        options.oem = "Acme Video";
        options.stbVersion = 0x0110;
        options.highSpeed = false;
    });
    // The first listing's disk figures are the host's own; the next listing's
    // are bent to fixed ones below.
    constexpr std::int64_t kGiB = 1073741824;
    InfoShown shown = RunInformation(Frame(), User());
    EXPECT_EQ(shown.model, "PVR-9000");
    EXPECT_EQ(shown.company, "Acme Video");
    EXPECT_EQ(shown.software, "1.16");
    EXPECT_TRUE(shown.full);
    EXPECT_FALSE(shown.high);

    m_bendFindNext = [](int& result, StbDiskSpace* space) {
        if (result > 0) {
            space->freeBytes = 100 * kGiB;
            space->totalBytes = 200 * kGiB;
        }
    };
    Command(ID_PVR_REFRESH);
    ASSERT_TRUE(Tree().IsBusy());
    FinishListing();
    shown = RunInformation(Frame(), User());
    EXPECT_EQ(shown.freeText, "107,374,182,400 Bytes");
    EXPECT_EQ(shown.totalText, "214,748,364,800 Bytes");
    EXPECT_EQ(shown.upper, 204800);
    EXPECT_EQ(shown.pos, 102400);
    EXPECT_TRUE(Boxes().empty());
}

// Before the first listing has ended the disk is unknown: 0 bytes and an empty bar.
TEST_F(PvrCommands, InformationBeforeAnyListing) {
    StartBrowser();
    const InfoShown shown = RunInformation(Frame(), m_env->User());
    EXPECT_EQ(shown.model, "TX-PVR 100");
    EXPECT_EQ(shown.software, "1.5");
    EXPECT_TRUE(shown.high);
    EXPECT_EQ(shown.freeText, "0 Bytes");
    EXPECT_EQ(shown.totalText, "0 Bytes");
    EXPECT_EQ(shown.upper, 0);
    EXPECT_EQ(shown.pos, 0);
    FinishListing();
}

}  // namespace
