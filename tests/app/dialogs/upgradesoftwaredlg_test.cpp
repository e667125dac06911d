// The software update dialog: the PVR's identity, the image's path and kind,
// and the refusals that keep it open.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QTest>

#include "app/dialogs/upgradesoftwaredlg.h"
#include "app/res/resource.h"
#include "platform/user.h"
#include "support/privatedrive.h"

namespace {

TEST(UpgradeDialogTexts, SoftwareVersionIsTwoHexFieldsTheFirstPaddedWithASpace) {
    struct Case {
        std::uint16_t word;
        const char* text;
    };
    for (const Case& c : {Case{0x0105, " 1.05"}, Case{0x0110, " 1.10"}, Case{0x0A0F, " a.0f"},
                          Case{0x1234, "12.34"}, Case{0x0000, " 0.00"}, Case{0xFFFF, "ff.ff"}}) {
        EXPECT_EQ(CUpgradeSoftwareDlg::FormatVersion(c.word), c.text) << c.word;
    }
}

class UpgradeDialog : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetUser(&m_user);
        std::filesystem::create_directories(m_drives.D() + "/img/folder.mem");
        std::ofstream(m_drives.D() + "/img/main.mem", std::ios::binary) << "image";
        std::ofstream(m_drives.D() + "/img/empty.mem", std::ios::binary) << "";
        m_descriptor = Descriptor();
    }
    void TearDown() override { platform::SetUser(nullptr); }

    static DeviceDescriptor Descriptor() {
        DeviceDescriptor d{};
        std::strcpy(d.productName, "TX-PVR 100");
        std::strcpy(d.oemName, "Tavrix");
        d.stbVersion = 0x0105;
        d.usbVersion = 0x01010000;
        return d;
    }

    // Runs the dialog; the action plays the user on it, shown.
    int Run(const std::function<void(QDialog*)>& action) {
        m_dialog = std::make_unique<CUpgradeSoftwareDlg>();
        m_dialog->SetDeviceDescriptor(m_descriptor);
        m_user.QueueDialog([&](QDialog* d) {
            d->show();
            action(d);
            return d->result();
        });
        return m_dialog->DoModal();
    }
    static void Click(QDialog* d, int id) {
        auto* button = qobject_cast<QAbstractButton*>(platform::GetDlgItem(d, id));
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }
    static std::vector<int> Checked(QDialog* d) {
        std::vector<int> checked;
        for (const int id : {IDC_UPGRADE_FIRMWARE, IDC_UPGRADE_BOOT_LOADER, IDC_UPGRADE_DATABASE}) {
            if (platform::IsDlgButtonChecked(d, id)) {
                checked.push_back(id);
            }
        }
        return checked;
    }
    // The message boxes shown since the last call.
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& shown : m_user.History()) {
            if (shown.kind == "messagebox") {
                EXPECT_EQ(shown.caption, "Tavrix");
                EXPECT_EQ(shown.type, MB_ICONSTOP);
                texts.push_back(shown.text);
            }
        }
        m_user.ClearHistory();
        return texts;
    }

    PrivateDrives m_drives;
    platform::ScriptedUser m_user;
    DeviceDescriptor m_descriptor{};
    std::unique_ptr<CUpgradeSoftwareDlg> m_dialog;
};

TEST_F(UpgradeDialog, OpensWithThePvrsIdentityAndFirmwareSelected) {
    const auto text = [](QDialog* d, int id) { return platform::GetDlgItemText(d, id); };
    EXPECT_EQ(Run([&](QDialog* d) {
                  EXPECT_EQ(d->windowTitle().toStdString(), "Software Update");
                  EXPECT_EQ(text(d, IDC_UPGRADE_PRODUCT), "Tavrix/TX-PVR 100");
                  EXPECT_EQ(text(d, IDC_UPGRADE_PLATFORM), "All");
                  EXPECT_EQ(text(d, IDC_UPGRADE_SW_VERSION), " 1.05");
                  EXPECT_EQ(text(d, IDC_UPGRADE_PATH), "");
                  EXPECT_EQ(Checked(d), std::vector<int>{IDC_UPGRADE_FIRMWARE});
                  Click(d, IDC_UPGRADE_EXIT);
              }),
              IDCANCEL);
    EXPECT_EQ(m_dialog->GetImageKind(), CUpgradeSoftwareDlg::kNoKind);

    // Names that fill their fields without a terminating zero end at the field.
    std::memset(m_descriptor.productName, 'P', sizeof m_descriptor.productName);
    std::memset(m_descriptor.oemName, 'O', sizeof m_descriptor.oemName);
    EXPECT_EQ(Run([&](QDialog* d) {
                  EXPECT_EQ(text(d, IDC_UPGRADE_PRODUCT),
                            std::string(20, 'O') + "/" + std::string(20, 'P'));
                  QTest::keyClick(d, Qt::Key_Escape);
              }),
              IDCANCEL);
}

TEST_F(UpgradeDialog, StartTakesThePathAndTheSelectedKind) {
    struct Case {
        int radio;
        int kind;
    };
    for (const Case& c : {Case{IDC_UPGRADE_FIRMWARE, TRANSFER_KIND_FIRMWARE},
                          Case{IDC_UPGRADE_BOOT_LOADER, TRANSFER_KIND_BOOT_LOADER},
                          Case{IDC_UPGRADE_DATABASE, TRANSFER_KIND_DATABASE}}) {
        EXPECT_EQ(Run([&](QDialog* d) {
                      Click(d, c.radio);
                      EXPECT_EQ(Checked(d), std::vector<int>{c.radio});
                      platform::SetDlgItemText(d, IDC_UPGRADE_PATH, "D:\\img\\main.mem");
                      Click(d, IDC_UPGRADE_START);
                  }),
                  IDOK)
            << c.radio;
        EXPECT_EQ(m_dialog->GetImageKind(), c.kind);
        EXPECT_EQ(m_dialog->GetImagePath(), "D:\\img\\main.mem");
    }
    // Enter is Start, checks and all.
    EXPECT_EQ(Run([&](QDialog* d) {
                  platform::SetDlgItemText(d, IDC_UPGRADE_PATH, "D:\\img\\main.mem");
                  QTest::keyClick(d, Qt::Key_Return);
              }),
              IDOK);
    EXPECT_EQ(m_dialog->GetImageKind(), TRANSFER_KIND_FIRMWARE);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(UpgradeDialog, BrowseAfterBootLoaderLeavesNoKindAndStartRefuses) {
    EXPECT_EQ(Run([&](QDialog* d) {
                  Click(d, IDC_UPGRADE_BOOT_LOADER);
                  m_user.QueueFile("D:\\img\\main.mem");
                  Click(d, IDC_UPGRADE_BROWSE);
                  EXPECT_EQ(platform::GetDlgItemText(d, IDC_UPGRADE_PATH), "D:\\img\\main.mem");
                  EXPECT_TRUE(Checked(d).empty());
                  Boxes();
                  Click(d, IDC_UPGRADE_START);
                  EXPECT_EQ(Boxes(),
                            std::vector<std::string>{"Please select the kind of the software file: "
                                                     "Firmware, Boot Loader or Database."});
                  EXPECT_TRUE(d->isVisible()) << "Start keeps the dialog open";
                  // The user chooses again.
                  Click(d, IDC_UPGRADE_DATABASE);
                  Click(d, IDC_UPGRADE_START);
              }),
              IDOK);
    EXPECT_EQ(m_dialog->GetImageKind(), TRANSFER_KIND_DATABASE);

    // Browse clears only "Boot Loader"; a picker closed without a file changes nothing.
    EXPECT_EQ(Run([&](QDialog* d) {
                  platform::SetDlgItemText(d, IDC_UPGRADE_PATH, "D:\\img\\main.mem");
                  Click(d, IDC_UPGRADE_BROWSE);
                  EXPECT_EQ(platform::GetDlgItemText(d, IDC_UPGRADE_PATH), "D:\\img\\main.mem");
                  EXPECT_EQ(Checked(d), std::vector<int>{IDC_UPGRADE_FIRMWARE});
                  Click(d, IDC_UPGRADE_START);
              }),
              IDOK);
    EXPECT_EQ(m_dialog->GetImageKind(), TRANSFER_KIND_FIRMWARE);
}

TEST_F(UpgradeDialog, StartRefusesAnImageThatCannotGoAndStaysOpen) {
    struct Case {
        const char* path;
        const char* text;
    };
    const Case cases[] = {
        {"", "Please choose the software file to upgrade."},
        {"D:\\img\\gone.mem", "The software file cannot be found:\nD:\\img\\gone.mem"},
        {"D:\\img\\empty.mem", "The software file is empty:\nD:\\img\\empty.mem"},
        {"D:\\img\\folder.mem", "The path does not name one software file:\nD:\\img\\folder.mem"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run([&](QDialog* d) {
                      platform::SetDlgItemText(d, IDC_UPGRADE_PATH, c.path);
                      Click(d, IDC_UPGRADE_START);
                      EXPECT_EQ(Boxes(), std::vector<std::string>{c.text});
                      EXPECT_TRUE(d->isVisible());
                      Click(d, IDC_UPGRADE_EXIT);
                  }),
                  IDCANCEL)
            << c.path;
        EXPECT_EQ(m_dialog->GetImageKind(), CUpgradeSoftwareDlg::kNoKind) << c.path;
    }
}

}  // namespace
