// The transfer progress window on its own: its arithmetic, its timer, its
// Cancel and its end, driven by the worker's messages on manual time.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QWidget>

#include <cstring>
#include <vector>

#include "app/controls/enhprogressctrl.h"
#include "app/res/resources.h"
#include "app/transfer/transferdlg.h"
#include "platform/clock.h"
#include "platform/usermessages.h"
#include "transfer/transferengine.h"

namespace {

constexpr std::int64_t kMiB = 1048576;

// A parent window that records what the dialog passes on.
class CParentWindow : public QWidget, public CMessageTarget {
public:
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override {
        messages.push_back(message);
        return 0;
    }
    std::vector<UINT> messages;
};

class TransferDialog : public ::testing::Test {
protected:
    TransferDialog() {
        res::RegisterResources();
        platform::SetClock(&m_clock);
        m_clock.Advance(1000000);  // a start time of 0 means "no file yet"
        m_parent.setGeometry(100, 100, 800, 600);
        m_parent.show();
    }
    ~TransferDialog() override {
        m_dialog.DestroyWindow();
        platform::SetClock(nullptr);
    }

    void StartFile(std::int64_t size, std::int64_t offset, int index = 0, int count = 1) {
        TransferProgress p{};
        p.byteCount = size;
        p.offset = offset;
        std::strcpy(p.source, "[PVR]C:\\PVR\\AV\\a.bin");
        std::strcpy(p.destination, "[PC]C:\\pc\\a.bin");
        m_shared.Set(p, {size, 0});
        SendMessage(m_dialog.GetSafeHwnd(), WM_TRANSFER_ITEM,
                    (static_cast<WPARAM>(index) << 16) | static_cast<WPARAM>(count),
                    reinterpret_cast<LPARAM>(&m_shared));
    }
    void Progress(std::int64_t done) {
        m_shared.Update([&](TransferProgress& p, CSharedProgress::BatchFigures& batch) {
            p.done = done;
            batch.done = done;
        });
        SendMessage(m_dialog.GetSafeHwnd(), WM_TRANSFER_BYTES, 0,
                    reinterpret_cast<LPARAM>(&m_shared));
    }
    std::string Text(int id) { return platform::GetDlgItemText(&m_dialog, id); }
    int Bar() { return m_dialog.GetProgressBar()->GetPos(); }

    platform::ManualClock m_clock;
    CParentWindow m_parent;
    CSharedProgress m_shared;
    int m_stops = 0;
    bool m_buttonEnabledAtStop = true;
    CTransferDlg m_dialog{[this] {
        ++m_stops;
        m_buttonEnabledAtStop = platform::GetDlgItem(&m_dialog, IDC_TRANSFER_CANCEL)->isEnabled();
    }};
};

}  // namespace

TEST_F(TransferDialog, FiguresOfAFile) {
    struct Case {
        const char* name;
        std::int64_t size, offset, done;
        int elapsed;  // seconds between the file's start and the progress
        int bar;
        const char* doneText;
        const char* totalText;
        const char* status;
        int remaining;
    };
    const Case cases[] = {
        {"under 10 MiB, in bytes", 5 * kMiB, 0, 5 * kMiB / 2, 2, 50, "2,621,440", "5,242,880",
         "Transfered... 2 Mbytes", 2},
        {"over 10 MiB, in KiB", 100 * kMiB, 0, 30 * kMiB, 3, 30, "31,457,280", "104,857,600",
         "Transfered... 30 Mbytes", 7},
        {"resumed 40 of 100 MiB", 60 * kMiB, 40 * kMiB, 0, 1, 40, "41,943,040", "104,857,600",
         "Transfered... 40960 Kbytes", 0},
        {"over 4 GiB", 5000000000, 0, 4500000000, 10, 90, "4,500,000,000", "5,000,000,000",
         "Transfered... 4291 Mbytes", 1},
        {"the unit follows done, the number present", 10 * kMiB, 5 * kMiB, kMiB, 1, 40, "6,291,456",
         "15,728,640", "Transfered... 6144 Kbytes", 9},
        {"elapsed 0: nothing estimated", 5 * kMiB, 0, 2 * kMiB, 0, 0, "2,097,152", "5,242,880",
         "Transfered... 2 Mbytes", 0},
        {"speed 0: no remaining time", 5 * kMiB, 0, 500, 5, 0, "500", "5,242,880",
         "Transfered... 0 Kbytes", 0},
        {"a bar over 100 shows 100", 100, 0, 300, 1, 100, "300", "100", "Transfered... 0 Kbytes",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_dialog.Create(&m_parent);
        StartFile(c.size, c.offset);
        EXPECT_EQ(Text(IDC_TRANSFER_REMAINS), "Unpredictable");
        EXPECT_EQ(Text(IDC_TRANSFER_FILES), "1 of 1");
        EXPECT_EQ(Text(IDC_TRANSFER_SOURCE), "[PVR]C:\\PVR\\AV\\a.bin");
        EXPECT_EQ(Text(IDC_TRANSFER_DESTINATION), "[PC]C:\\pc\\a.bin");
        m_clock.Advance(static_cast<std::uint32_t>(c.elapsed) * 1000);
        Progress(c.done);
        EXPECT_EQ(Bar(), c.bar);
        EXPECT_EQ(Text(IDC_TRANSFER_DONE), c.doneText);
        EXPECT_EQ(Text(IDC_TRANSFER_TOTAL), c.totalText);
        EXPECT_EQ(Text(IDC_TRANSFER_STATUS), c.status);
        EXPECT_EQ(m_dialog.RemainingSeconds(), c.remaining);
        m_dialog.DestroyWindow();
    }
}

TEST_F(TransferDialog, TheTimerCountsElapsedUpAndRemainingDown) {
    m_dialog.Create(&m_parent);
    StartFile(100 * kMiB, 0, 1, 3);
    EXPECT_EQ(Text(IDC_TRANSFER_FILES), "2 of 3");
    m_clock.Advance(3000);
    Progress(30 * kMiB);  // 7 seconds to go
    EXPECT_EQ(Text(IDC_TRANSFER_REMAINS), "Unpredictable");
    m_clock.Advance(1000);
    EXPECT_EQ(Text(IDC_TRANSFER_ELAPSED), "00:00:04");
    EXPECT_EQ(Text(IDC_TRANSFER_REMAINS), "00:00:06");
    m_clock.Advance(6000);
    EXPECT_EQ(Text(IDC_TRANSFER_REMAINS), "00:00:00");
    EXPECT_EQ(m_dialog.RemainingSeconds(), 0);
    // At zero the last text stays.
    m_clock.Advance(3000);
    EXPECT_EQ(Text(IDC_TRANSFER_REMAINS), "00:00:00");
    EXPECT_EQ(Text(IDC_TRANSFER_ELAPSED), "00:00:13");
    EXPECT_EQ(CTransferDlg::FormatDuration(3 * 3600 + 25 * 60 + 7), "03:25:07");
}

TEST_F(TransferDialog, TheBatchLineCountsAllFiles) {
    m_dialog.Create(&m_parent);
    TransferProgress p{};
    p.byteCount = 4 * kMiB;
    m_shared.Set(p, {10 * kMiB, 2 * kMiB});
    SendMessage(m_dialog.GetSafeHwnd(), WM_TRANSFER_ITEM, 1, reinterpret_cast<LPARAM>(&m_shared));
    m_clock.Advance(4000);
    m_shared.Update([](TransferProgress& progress, CSharedProgress::BatchFigures& batch) {
        progress.done = 2 * kMiB;
        batch.done = 4 * kMiB;
    });
    SendMessage(m_dialog.GetSafeHwnd(), WM_TRANSFER_BYTES, 0, reinterpret_cast<LPARAM>(&m_shared));
    // 4 MiB in 4 s: 6 MiB more take 6 s.
    EXPECT_EQ(Text(IDC_TRANSFER_BATCH),
              "All files: 4,194,304 of 10,485,760 bytes, remaining 00:00:06");
}

TEST_F(TransferDialog, CancelWaitsForTheWorkersEndMessage) {
    m_dialog.Create(&m_parent);
    m_dialog.show();
    StartFile(10 * kMiB, 0);
    const HWND window = m_dialog.GetSafeHwnd();
    platform::GetDlgItem(&m_dialog, IDC_TRANSFER_CANCEL)->setFocus();
    static_cast<QPushButton*>(platform::GetDlgItem(&m_dialog, IDC_TRANSFER_CANCEL))->click();
    // At once: the button is off, the timer stopped, the status says why.
    EXPECT_FALSE(platform::GetDlgItem(&m_dialog, IDC_TRANSFER_CANCEL)->isEnabled());
    EXPECT_EQ(Text(IDC_TRANSFER_STATUS), "Please wait for terminating transfer..");
    EXPECT_EQ(m_clock.TimerRemaining(window, CTransferDlg::kTimerId), -1);
    platform::ProcessMessages();
    EXPECT_EQ(m_stops, 1);
    EXPECT_FALSE(m_buttonEnabledAtStop);
    // Still open until the worker says it has ended.
    EXPECT_TRUE(m_dialog.isVisible());
    EXPECT_TRUE(IsWindow(window));
    PostMessage(window, WM_TRANSFER_FAILED, 0, 0);
    platform::ProcessMessages();
    EXPECT_FALSE(m_dialog.isVisible());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(m_dialog.GetSafeHwnd(), nullptr);
    platform::ProcessMessages();
    EXPECT_EQ(m_parent.messages, std::vector<UINT>{WM_TRANSFER_FAILED});

    // Late messages for the closed window are dropped; the next batch gets a new one.
    EXPECT_FALSE(PostMessage(window, WM_TRANSFER_DONE, 0, 0));
    m_dialog.Create(&m_parent);
    EXPECT_NE(m_dialog.GetSafeHwnd(), window);
    EXPECT_TRUE(platform::GetDlgItem(&m_dialog, IDC_TRANSFER_CANCEL)->isEnabled());
    SendMessage(m_dialog.GetSafeHwnd(), WM_TRANSFER_DONE, 0, 0);
    platform::ProcessMessages();
    EXPECT_EQ(m_parent.messages, (std::vector<UINT>{WM_TRANSFER_FAILED, WM_TRANSFER_DONE}));
}

TEST_F(TransferDialog, ShownCentredOverItsParent) {
    m_dialog.Create(&m_parent);
    m_dialog.show();
    const QRect outer = m_parent.frameGeometry();
    const QRect own = m_dialog.frameGeometry();
    EXPECT_EQ(own.left(), outer.left() + (outer.width() - own.width()) / 2);
    EXPECT_EQ(own.top(), outer.top() + (outer.height() - own.height()) / 2);
    // The bar lies over its placeholder.
    EXPECT_EQ(m_dialog.GetProgressBar()->geometry(),
              platform::GetDlgItem(&m_dialog, IDC_TRANSFER_PLACEHOLDER)->geometry());
}
