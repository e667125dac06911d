#include "app/transfer/transferdlg.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>

#include <QShowEvent>

#include "app/controls/enhprogressctrl.h"
#include "app/res/resources.h"
#include "core/xstring.h"
#include "platform/clock.h"
#include "platform/trace.h"
#include "platform/usermessages.h"
#include "transfer/transferengine.h"

namespace {

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1048576;
constexpr std::int64_t kTenMiB = 10485760;

}  // namespace

CTransferDlg::CTransferDlg(std::function<void()> stop, QWidget* parent)
    : CDialog(res::TransferDialog(), parent), m_stop(std::move(stop)) {
    setAccessibleName("Transferring");
}

CTransferDlg::~CTransferDlg() {
    DestroyWindow();
}

HWND CTransferDlg::GetSafeHwnd() const {
    return m_handle ? m_handle->GetSafeHwnd() : nullptr;
}

std::int64_t CTransferDlg::NowSeconds() {
    return static_cast<std::int64_t>(platform::TheClock().Now() / 1000);
}

std::string CTransferDlg::FormatDuration(std::int64_t seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64 ":%02" PRId64, seconds / 3600,
                  (seconds % 3600) / 60, (seconds % 3600) % 60);
    return text;
}

bool CTransferDlg::OnInitDialog() {
    m_closedHandles.clear();
    m_handle = std::make_unique<CWindowHandle>([this](UINT message, WPARAM wParam, LPARAM lParam) {
        return WindowProc(message, wParam, lParam);
    });
    // The bar covers the placeholder, which stays where it is beneath it.
    QWidget* placeholder = platform::GetDlgItem(this, IDC_TRANSFER_PLACEHOLDER);
    m_bar = new CEnhProgressCtrl;
    m_bar->CreateBar(placeholder != nullptr ? placeholder->geometry() : QRect(), this);
    m_bar->SetRange32(0, 100);
    m_bar->setAccessibleName("Progress");
    m_remainingSeconds = 0;
    m_shared = nullptr;
    m_batchStart = NowSeconds();
    SetTimer(GetSafeHwnd(), kTimerId, 1000);
    return true;
}

void CTransferDlg::DestroyWindow() {
    if (m_handle) {
        KillTimer(m_handle->GetSafeHwnd(), kTimerId);
        m_handle->Close();
        m_closedHandles.push_back(std::move(m_handle));
    }
    CDialog::DestroyWindow();
    delete m_bar;
    m_bar = nullptr;
}

void CTransferDlg::showEvent(QShowEvent* event) {
    CDialog::showEvent(event);
    if (const QWidget* parent = parentWidget(); parent != nullptr) {
        const QRect outer = parent->frameGeometry();
        const QRect own = frameGeometry();
        move(outer.left() + (outer.width() - own.width()) / 2,
             outer.top() + (outer.height() - own.height()) / 2);
        update();
    }
}

LRESULT CTransferDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the worker's messages carry the record
    const auto* shared = reinterpret_cast<const CSharedProgress*>(lParam);
    switch (message) {
        case WM_TRANSFER_ITEM:
            if (shared != nullptr) {
                OnFileStart(wParam, *shared);
            }
            return 0;
        case WM_TRANSFER_BYTES:
            if (shared != nullptr) {
                OnProgressUpdate(*shared);
            }
            return 0;
        case WM_TRANSFER_FAILED:
        case WM_TRANSFER_DONE:
            OnBatchEnd(message);
            return 0;
        case WM_TIMER:
            if (wParam == kTimerId) {
                OnTimer();
            }
            return 0;
        default:
            return 0;
    }
}

void CTransferDlg::OnFileStart(WPARAM wParam, const CSharedProgress& shared) {
    const TransferProgress progress = shared.Snapshot();
    m_shared = &shared;
    m_remainingSeconds = 0;
    m_bar->SetPos(0);
    platform::SetDlgItemText(this, IDC_TRANSFER_STATUS, "Initializing...");
    platform::SetDlgItemText(this, IDC_TRANSFER_SOURCE, progress.source);
    platform::SetDlgItemText(this, IDC_TRANSFER_DESTINATION, progress.destination);
    platform::SetDlgItemText(this, IDC_TRANSFER_TOTAL,
                             WithThousandsCommas(progress.byteCount + progress.offset));
    platform::SetDlgItemText(this, IDC_TRANSFER_DONE, WithThousandsCommas(progress.done));
    platform::SetDlgItemText(this, IDC_TRANSFER_REMAINS, "Unpredictable");
    const int index = static_cast<int>((wParam >> 16) & 0xFFFF);
    const int count = static_cast<int>(wParam & 0xFFFF);
    char files[32];
    std::snprintf(files, sizeof files, "%d of %d", index + 1, count);
    platform::SetDlgItemText(this, IDC_TRANSFER_FILES, files);
    // Measured from the previous file's start, as the figures it replaces were.
    OnProgressUpdate(shared);
    m_startTime = NowSeconds();
}

void CTransferDlg::OnProgressUpdate(const CSharedProgress& shared) {
    const TransferProgress progress = shared.Snapshot();
    m_shared = &shared;
    const std::int64_t size = progress.byteCount;
    const std::int64_t done = progress.done;
    const std::int64_t total = size + progress.offset;
    const std::int64_t present = done + progress.offset;
    const std::int64_t elapsed = NowSeconds() - m_startTime;

    std::uint32_t speed = 0;  // kilobits per second
    std::int64_t percent = 0;
    std::int64_t remaining = 0;
    if (elapsed != 0) {
        speed = static_cast<std::uint32_t>(done / kKiB / elapsed * 8);
        if (total > 0) {
            // Under 10 MiB the bytes themselves; above, KiB, so that the product
            // with 100 stays far from overflowing.
            percent =
                size < kTenMiB ? present * 100 / total : present / kKiB * 100 / (total / kKiB);
        }
        if (speed / 8 != 0) {
            remaining = (size - done) / kKiB / (speed / 8);
        }
    }
    char status[96];
    if (done > kMiB) {
        std::snprintf(status, sizeof status, "Transfered... %" PRId64 " Mbytes", present / kMiB);
    } else {
        std::snprintf(status, sizeof status, "Transfered... %" PRId64 " Kbytes", present / kKiB);
    }
    platform::SetDlgItemText(this, IDC_TRANSFER_STATUS, status);
    TRACE_AT("%" PRId64 " MBytes - SPEED %u Kbps", present / kMiB, speed);
    m_remainingSeconds = static_cast<int>(std::clamp<std::int64_t>(remaining, 0, INT_MAX));
    platform::SetDlgItemText(this, IDC_TRANSFER_DONE, WithThousandsCommas(present));
    // Compared as unsigned, so nonsense below zero shows as a full bar too.
    m_bar->SetPos(static_cast<std::uint64_t>(percent) > 100 ? 100 : static_cast<int>(percent));
    ShowBatchFigures();
}

void CTransferDlg::OnTimer() {
    const std::int64_t elapsed = NowSeconds() - m_startTime;
    platform::SetDlgItemText(this, IDC_TRANSFER_ELAPSED, FormatDuration(elapsed));
    if (m_remainingSeconds != 0) {
        m_remainingSeconds = std::max(0, m_remainingSeconds - 1);
        platform::SetDlgItemText(this, IDC_TRANSFER_REMAINS, FormatDuration(m_remainingSeconds));
    }
    ShowBatchFigures();
}

void CTransferDlg::ShowBatchFigures() {
    if (m_shared == nullptr) {
        return;
    }
    const CSharedProgress::BatchFigures batch = m_shared->Batch();
    const std::int64_t elapsed = NowSeconds() - m_batchStart;
    std::string left = "Unpredictable";
    if (elapsed > 0 && batch.done > 0 && batch.total >= batch.done) {
        // The average over the whole batch: steadier than the current file's rate.
        const double seconds = static_cast<double>(batch.total - batch.done) *
                               static_cast<double>(elapsed) / static_cast<double>(batch.done);
        left = FormatDuration(static_cast<std::int64_t>(seconds));
    }
    platform::SetDlgItemText(this, IDC_TRANSFER_BATCH,
                             "All files: " + WithThousandsCommas(batch.done) + " of " +
                                 WithThousandsCommas(batch.total) + " bytes, remaining " + left);
}

void CTransferDlg::OnCommand(int id) {
    if (id == IDC_TRANSFER_CANCEL) {
        OnCancel();
        return;
    }
    CDialog::OnCommand(id);
}

void CTransferDlg::OnCancel() {
    const HWND window = GetSafeHwnd();
    if (window == nullptr) {
        return;
    }
    platform::SetDlgItemText(this, IDC_TRANSFER_STATUS, "Please wait for terminating transfer..");
    KillTimer(window, kTimerId);
    platform::EnableDlgItem(this, IDC_TRANSFER_CANCEL, false);
    // The stop waits for the worker, whose end message takes this window down;
    // the button that was clicked must be off the stack by then.
    platform::PostToUiThread([this, window] {
        if (IsWindow(window) && m_stop) {
            m_stop();
        }
    });
}

void CTransferDlg::OnBatchEnd(UINT message) {
    const HWND window = GetSafeHwnd();
    KillTimer(window, kTimerId);
    const bool failed = message == WM_TRANSFER_FAILED;
    platform::SetDlgItemText(this, IDC_TRANSFER_STATUS,
                             failed ? "User cancelled or failed.." : "Completed..");
    const auto* parent = dynamic_cast<const CMessageTarget*>(parentWidget());
    if (parent != nullptr && IsWindow(parent->GetSafeHwnd())) {
        PostMessage(parent->GetSafeHwnd(), message, 0, 0);
        if (failed) {
            TRACE_AT("User cancelled or failed.");
        }
    }
    DestroyWindow();
}
