// The PVR information dialog: the descriptor's texts, the version and byte
// count forms, the speed marks and the used-space bar.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include <QImage>

#include "app/dialogs/pvrinfodlg.h"
#include "app/res/resource.h"
#include "platform/user.h"

namespace {

TEST(PvrInfoTexts, VersionIsMajorDotMinorInDecimal) {
    struct Case {
        std::uint16_t word;
        const char* text;
    };
    for (const Case& c : {Case{0x0105, "1.5"}, Case{0x0110, "1.16"}, Case{0x0102, "1.2"},
                          Case{0x0A00, "10.0"}, Case{0x0000, "0.0"}, Case{0xFFFF, "255.255"}}) {
        EXPECT_EQ(CPVRInfoDlg::FormatVersion(c.word), c.text) << c.word;
    }
}

TEST(PvrInfoTexts, ByteCountsHaveACommaPerThreeDigits) {
    struct Case {
        std::int64_t bytes;
        const char* text;
    };
    for (const Case& c : {
             Case{0, "0 Bytes"},
             Case{999, "999 Bytes"},
             Case{1000, "1,000 Bytes"},
             Case{123456789012, "123,456,789,012 Bytes"},
             Case{std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807 Bytes"},
             // The device's figure is shown as it came, sign and all.
             Case{-1048576, "-1,048,576 Bytes"},
             Case{std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808 Bytes"},
         }) {
        EXPECT_EQ(CPVRInfoDlg::FormatBytes(c.bytes), c.text) << c.bytes;
    }
}

// What the dialog showed when it opened.
struct Shown {
    std::string caption, model, company, software, hardware, freeText, totalText;
    bool low = false, full = false, high = false;
    int lower = -1, upper = -1, pos = -1;
    CEnhProgressCtrl::Look look;
    bool levelMode = false;
    bool barOverPlaceholder = false;
    bool barLeftIsWhite = false;
};

class PvrInfoDialog : public ::testing::Test {
protected:
    void SetUp() override { platform::SetUser(&m_user); }
    void TearDown() override { platform::SetUser(nullptr); }

    Shown Run(const DeviceDescriptor& descriptor, std::int64_t freeBytes, std::int64_t totalBytes) {
        Shown shown;
        CPVRInfoDlg dialog;
        dialog.SetDeviceDescriptor(descriptor);
        dialog.SetDiskSpace(freeBytes, totalBytes);
        m_user.QueueDialog([&](QDialog* d) {
            d->show();
            const auto text = [d](int id) { return platform::GetDlgItemText(d, id); };
            shown.caption = d->windowTitle().toStdString();
            shown.model = text(IDC_INFO_MODEL);
            shown.company = text(IDC_INFO_COMPANY);
            shown.software = text(IDC_INFO_SW_VERSION);
            shown.hardware = text(IDC_INFO_HW_VERSION);
            shown.freeText = text(IDC_INFO_FREE);
            shown.totalText = text(IDC_INFO_TOTAL);
            shown.low = platform::IsDlgButtonChecked(d, IDC_INFO_LOW_SPEED);
            shown.full = platform::IsDlgButtonChecked(d, IDC_INFO_FULL_SPEED);
            shown.high = platform::IsDlgButtonChecked(d, IDC_INFO_HIGH_SPEED);
            CEnhProgressCtrl& bar = dialog.GetUsedBar();
            bar.GetRange(shown.lower, shown.upper);
            shown.pos = bar.GetPos();
            shown.look = bar.CurrentLook();
            shown.levelMode = bar.GetLevelMode();
            shown.barOverPlaceholder =
                bar.parentWidget() == d && bar.isVisible() &&
                bar.geometry() == platform::GetDlgItem(d, IDC_INFO_USED_BAR)->geometry();
            const QImage image = bar.grab().toImage();
            shown.barLeftIsWhite = image.pixelColor(2, image.height() / 2) == QColor(Qt::white);
            // "&Close" is the standard OK.
            platform::GetDlgItem(d, IDOK)->setFocus();
            dialog.SendCommand(IDOK);
            return d->result();
        });
        EXPECT_EQ(dialog.DoModal(), IDOK);
        return shown;
    }

    static DeviceDescriptor Descriptor(std::uint16_t version, std::uint32_t speed) {
        DeviceDescriptor d{};
        std::strcpy(d.productName, "TX-PVR 100");
        std::strcpy(d.oemName, "Tavrix");
        d.stbVersion = version;
        d.usbVersion = 0x01010000;
        d.speed = speed;
        return d;
    }

    platform::ScriptedUser m_user;
};

TEST_F(PvrInfoDialog, ShowsTheDescriptorAndTheSpeedMark) {
    struct Case {
        std::uint16_t version;
        std::uint32_t speed;
        const char* software;
        bool full, high;
    };
    for (const Case& c : {Case{0x0105, 0, "1.5", true, false}, Case{0x0110, 1, "1.16", false, true},
                          Case{0x0203, 0x80000000u, "2.3", false, true}}) {
        const Shown shown = Run(Descriptor(c.version, c.speed), 0, 0);
        EXPECT_EQ(shown.caption, "PVR informations");
        EXPECT_EQ(shown.model, "TX-PVR 100");
        EXPECT_EQ(shown.company, "Tavrix");
        EXPECT_EQ(shown.software, c.software);
        EXPECT_EQ(shown.hardware, "All");
        EXPECT_FALSE(shown.low) << c.software;
        EXPECT_EQ(shown.full, c.full) << c.software;
        EXPECT_EQ(shown.high, c.high) << c.software;
    }
    // Names that fill their fields without a terminating zero end at the field.
    DeviceDescriptor full = Descriptor(0x0105, 0);
    std::memset(full.productName, 'P', sizeof full.productName);
    std::memset(full.oemName, 'O', sizeof full.oemName);
    const Shown shown = Run(full, 0, 0);
    EXPECT_EQ(shown.model, std::string(20, 'P'));
    EXPECT_EQ(shown.company, std::string(20, 'O'));
}

TEST_F(PvrInfoDialog, DiskFiguresAndTheUsedSpaceBar) {
    constexpr std::int64_t kGiB = 1073741824;
    struct Case {
        const char* what;
        std::int64_t freeBytes, totalBytes;
        const char* freeText;
        const char* totalText;
        int upper, pos, percent;
        const char* label;
    };
    const Case cases[] = {
        // Before any listing: nothing known, an empty bar and no division by zero.
        {"no listing yet", 0, 0, "0 Bytes", "0 Bytes", 0, 0, 0, "(A Little)"},
        {"half full", 100 * kGiB, 200 * kGiB, "107,374,182,400 Bytes", "214,748,364,800 Bytes",
         204800, 102400, 50, "(Half or Higher)"},
        {"nearly full", 95 * kGiB / 10, 100 * kGiB, "10,200,547,328 Bytes", "107,374,182,400 Bytes",
         102400, 92672, 90, "(Nearly Full)"},
        {"full", 0, 300 * kGiB, "0 Bytes", "322,122,547,200 Bytes", 307200, 307200, 100, "(Full)"},
        {"under one MiB", 1000, 1048575, "1,000 Bytes", "1,048,575 Bytes", 0, 0, 0, "(A Little)"},
        // A device that reports more free than total, or less than nothing, cannot
        // push the bar past its ends.
        {"free above total", 300 * kGiB, 200 * kGiB, "322,122,547,200 Bytes",
         "214,748,364,800 Bytes", 204800, 0, 0, "(A Little)"},
        {"negative free", -kGiB, 200 * kGiB, "-1,073,741,824 Bytes", "214,748,364,800 Bytes",
         204800, 204800, 100, "(Full)"},
        {"negative total", 0, -kGiB, "0 Bytes", "-1,073,741,824 Bytes", 0, 0, 0, "(A Little)"},
    };
    for (const Case& c : cases) {
        const Shown shown = Run(Descriptor(0x0105, 1), c.freeBytes, c.totalBytes);
        EXPECT_EQ(shown.freeText, c.freeText) << c.what;
        EXPECT_EQ(shown.totalText, c.totalText) << c.what;
        EXPECT_TRUE(shown.levelMode) << c.what;
        EXPECT_TRUE(shown.barOverPlaceholder) << c.what;
        EXPECT_EQ(shown.lower, 0) << c.what;
        EXPECT_EQ(shown.upper, c.upper) << c.what;
        EXPECT_EQ(shown.pos, c.pos) << c.what;
        EXPECT_EQ(shown.look.percent, c.percent) << c.what;
        EXPECT_EQ(shown.look.label.toStdString(), c.label) << c.what;
        if (c.percent == 0) {
            EXPECT_EQ(shown.look.barRight, 0) << c.what;
            EXPECT_TRUE(shown.barLeftIsWhite) << c.what;
        }
    }
}

}  // namespace
