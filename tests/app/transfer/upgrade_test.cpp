// The software upgrade in a real main window against a served PVR: the dialog,
// the one-item batch through the upload worker, only the two trees disabled
// meanwhile, and the refusals that send nothing.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMenuBar>
#include <QToolBar>

#include <filesystem>
#include <fstream>

#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/res/resource.h"
#include "app/transfer/transfercommands.h"
#include "app/transfer/transferdlg.h"
#include "platform/templates.h"
#include "support/browserfixture.h"

namespace {

constexpr std::int64_t kMiB = 1 << 20;

class UpgradeCommand : public PvrBrowserTest {
protected:
    void Start(const std::function<void(pvrd::PvrOptions&)>& tweak = nullptr) {
        StartBrowser(tweak);
        FinishListing();
        std::filesystem::create_directories(m_env->Drives().D() + "/img");
    }
    void PutD(const std::string& relative, const std::string& data) {
        std::ofstream(m_env->Drives().D() + "/" + relative, std::ios::binary) << data;
    }
    static void Click(QDialog* d, int id) {
        auto* button = qobject_cast<QAbstractButton*>(platform::GetDlgItem(d, id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }
    // The user names the image, keeps "Firmware" and presses Start; then runs
    // the rest of the dialog with more, if given.
    void QueueUpgrade(const std::string& path,
                      const std::function<void(QDialog*)>& more = nullptr) {
        m_env->User().QueueDialog([path, more](QDialog* d) {
            d->show();
            platform::SetDlgItemText(d, IDC_UPGRADE_PATH, path);
            Click(d, IDC_UPGRADE_START);
            if (more) {
                more(d);
            }
            return d->result();
        });
    }

    CTransferCommands& Transfers() { return Frame().GetTransferCommands(); }
    CTransferDlg* Dialog() { return Transfers().Dialog(); }
    bool Idle() { return !Transfers().Engine().WorkerRegistered(); }
    // The commands' own switches, apart from a listing that may follow and
    // disable the whole window for its while.
    static bool On(const QWidget* widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); }
    bool TreesEnabled() { return On(Frame().GetHostTreeView()) && On(&Tree()); }
    bool TreesDisabled() { return !On(Frame().GetHostTreeView()) && !On(&Tree()); }
    // The rest of the window: file lists, toolbar and the five menus.
    bool RestEnabled() {
        bool enabled =
            On(Frame().GetHostFileListView()) && On(&Files()) && On(Frame().GetToolBar());
        for (int position = 0; position < 5; ++position) {
            enabled = enabled &&
                      platform::GetMenuItemByPosition(Frame().menuBar(), position)->isEnabled();
        }
        return enabled;
    }
    void RunToEnd() {
        ASSERT_TRUE(DriveClock(m_clock, [&] {
            return Idle() && (Dialog() == nullptr || Dialog()->GetSafeHwnd() == nullptr) &&
                   TreesEnabled();
        }));
        platform::ProcessMessages();
    }
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const ShownBox& box : MessageBoxes(m_env->User())) {
            EXPECT_EQ(box.caption, "Tavrix");
            texts.push_back(box.text);
        }
        return texts;
    }
};

constexpr const char* kBusy =
    "Another transfer is still running. Please wait until it has finished.";

TEST_F(UpgradeCommand, TheImageArrivesWholeWithOnlyTheTreesDisabled) {
    Start();
    const std::string image = Bytes(2 * kMiB + 7, 41);
    PutD("img/main.mem", image);
    QueueUpgrade("D:\\img\\main.mem");
    const int refreshes = Tree().GetRefreshCount();
    Frame().OnCommand(ID_PVR_UPGRADE);

    // The one-item batch, 1 MiB chunks although this PVR is on high-speed USB.
    const TransferBatch& batch = Transfers().Engine().Batch();
    ASSERT_EQ(batch.itemCount, 1);
    const TransferItem& item = batch.items[0];
    EXPECT_EQ(item.kind, TRANSFER_KIND_FIRMWARE);
    EXPECT_EQ(item.direction, TRANSFER_UPLOAD);
    EXPECT_STREQ(item.pvrPath, "C:\\PVR\\Firmware\\main.mem");
    EXPECT_EQ(batch.pcPaths[0], "D:\\img\\main.mem");
    EXPECT_EQ(item.chunkSize, 0x100000u);
    EXPECT_EQ(item.offset, 0);
    EXPECT_EQ(item.byteCount, static_cast<std::int64_t>(image.size()));

    ASSERT_NE(Dialog(), nullptr);
    EXPECT_TRUE(Dialog()->isVisible());
    EXPECT_TRUE(TreesDisabled());
    EXPECT_TRUE(RestEnabled());
    ASSERT_TRUE(DriveClock(
        m_clock, [&] { return !platform::GetDlgItemText(Dialog(), IDC_TRANSFER_SOURCE).empty(); }));
    EXPECT_EQ(platform::GetDlgItemText(Dialog(), IDC_TRANSFER_SOURCE), "[PC]D:\\img\\main.mem");
    EXPECT_EQ(platform::GetDlgItemText(Dialog(), IDC_TRANSFER_DESTINATION),
              "[PVR]C:\\PVR\\Firmware\\main.mem");

    // The toolbar and the menus stay usable, but nothing replaces the running
    // worker or rebuilds its batch: a second upgrade and an upload are refused.
    const int dialogs = DialogsShown(m_env->User());
    Frame().OnCommand(ID_PVR_UPGRADE);
    Frame().OnCommand(ID_TB_UPLOAD);
    EXPECT_EQ(DialogsShown(m_env->User()), dialogs) << "refused before the dialog";
    EXPECT_EQ(Boxes(), (std::vector<std::string>{kBusy, kBusy}));
    EXPECT_FALSE(Idle());

    RunToEnd();
    EXPECT_EQ(Boxes().size(), 2u) << "no failure";
    EXPECT_TRUE(GetHost("Firmware/main.mem") == image);
    EXPECT_TRUE(LogContains("software image received: C:\\PVR\\Firmware\\main.mem (firmware, " +
                            std::to_string(image.size()) + " bytes)"));
    EXPECT_TRUE(RestEnabled());
    // Neither side shows what an upgrade changed.
    EXPECT_EQ(Tree().GetRefreshCount(), refreshes);
}

TEST_F(UpgradeCommand, BrowseAfterBootLoaderThenStartRefusesAndSendsNothing) {
    Start();
    PutD("img/main.mem", "image");
    m_env->User().QueueDialog([this](QDialog* d) {
        d->show();
        Click(d, IDC_UPGRADE_BOOT_LOADER);
        m_env->User().QueueFile("D:\\img\\main.mem");
        Click(d, IDC_UPGRADE_BROWSE);
        Click(d, IDC_UPGRADE_START);
        EXPECT_TRUE(d->isVisible());
        Click(d, IDC_UPGRADE_EXIT);
        return d->result();
    });
    Frame().OnCommand(ID_PVR_UPGRADE);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Please select the kind of the software file: "
                                                "Firmware, Boot Loader or Database."});
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(Dialog() == nullptr || !Dialog()->isVisible());
    EXPECT_TRUE(TreesEnabled());
    EXPECT_FALSE(ExistsHost("Firmware/main.mem"));
}

TEST_F(UpgradeCommand, AnEmptyOrAMissingImageIsNamedAndNothingIsSent) {
    Start();
    PutD("img/empty.mem", "");
    struct Case {
        const char* path;
        const char* text;
    };
    for (const Case& c :
         {Case{"D:\\img\\empty.mem", "The software file is empty:\nD:\\img\\empty.mem"},
          Case{"D:\\img\\gone.mem", "The software file cannot be found:\nD:\\img\\gone.mem"}}) {
        m_env->User().ClearHistory();
        QueueUpgrade(c.path, [](QDialog* d) { Click(d, IDC_UPGRADE_EXIT); });
        Frame().OnCommand(ID_PVR_UPGRADE);
        EXPECT_EQ(Boxes(), std::vector<std::string>{c.text}) << c.path;
        EXPECT_TRUE(Idle());
    }

    // An image that goes away after Start is found missing by the command itself.
    PutD("img/main.mem", "image");
    m_env->User().ClearHistory();
    QueueUpgrade("D:\\img\\main.mem", [this](QDialog*) {
        std::filesystem::remove(m_env->Drives().D() + "/img/main.mem");
    });
    Frame().OnCommand(ID_PVR_UPGRADE);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"The software file cannot be found:\nD:\\img\\main.mem"});
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(Dialog() == nullptr || !Dialog()->isVisible());
    EXPECT_TRUE(TreesEnabled());
    EXPECT_FALSE(ExistsHost("Firmware/empty.mem"));
    EXPECT_FALSE(ExistsHost("Firmware/main.mem"));
}

TEST_F(UpgradeCommand, ARefusedImageEndsWithTheFailureBoxAndAPvrRefresh) {
    Start([](pvrd::PvrOptions& o) { o.refuseStream = true; });
    PutD("img/main.mem", Bytes(1000));
    QueueUpgrade("D:\\img\\main.mem");
    const int refreshes = Tree().GetRefreshCount();
    Frame().OnCommand(ID_PVR_UPGRADE);
    RunToEnd();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Transfer failed or user cancelled."});
    EXPECT_EQ(Tree().GetRefreshCount(), refreshes + 1);
    FinishListing();
    EXPECT_TRUE(RestEnabled());
    EXPECT_FALSE(ExistsHost("Firmware/LASTIMG.TXT")) << "no image arrived";
}

}  // namespace
