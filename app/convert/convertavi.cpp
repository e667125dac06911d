#include "app/convert/convertavi.h"

#include <cinttypes>
#include <cstdio>

#include <QString>

#include "app/controls/enhprogressctrl.h"
#include "app/res/resources.h"
#include "app/shell/tavrixapp.h"
#include "platform/clock.h"
#include "platform/user.h"
#include "platform/usermessages.h"
#include "stream/conversion.h"

namespace {

constexpr const char* kStartCaption = "&Start";
constexpr const char* kStopCaption = "&Stop";

std::string PercentText(int percent) {
    char text[16];
    std::snprintf(text, sizeof text, "%d %%", percent);
    return text;
}

}  // namespace

CConvertAVI::CConvertAVI(QWidget* parent) : CDialog(res::ConvertAviDialog(), parent) {
    setAccessibleName("AVR --> AVI");
}

CConvertAVI::~CConvertAVI() {
    KillTimer(GetSafeHwnd(), kTimerId);
    if (m_converting) {
        // Nothing the worker still sends may reach a dialog on its way out.
        DetachHandle();
        stop_conversion();
    }
}

std::string CConvertAVI::ByteCountText(std::int64_t count) {
    return WithThousandsCommas(count) + " Bytes";
}

int CConvertAVI::DoModalWithPaths(const std::string& sourcePath, const std::string& targetPath) {
    m_sourcePath = sourcePath.c_str();
    m_targetPath = targetPath.c_str();
    return DoModal();
}

bool CConvertAVI::OnInitDialog() {
    CDialog::OnInitDialog();
    platform::SetDlgItemText(this, IDC_CONVERT_SOURCE, m_sourcePath);
    platform::SetDlgItemText(this, IDC_CONVERT_TARGET, m_targetPath);
    // The bar covers the placeholder, which stays where it is beneath it.
    delete m_progressBar;
    const QWidget* placeholder = platform::GetDlgItem(this, IDC_CONVERT_PLACEHOLDER);
    m_progressBar = new CEnhProgressCtrl;
    m_progressBar->CreateBar(placeholder != nullptr ? placeholder->geometry() : QRect(), this);
    m_progressBar->setAccessibleName("Progress");
    ShowConverting(false);
    return true;
}

LRESULT CConvertAVI::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kTimerId) {
                OnTimer();
            }
            return 0;
        case WM_CONVERT_TOTAL:
            OnConvertTotal(wParam, lParam);
            return 0;
        case WM_CONVERT_DONE:
            OnConvertDone();
            return 0;
        case WM_CONVERT_FAILED:
            OnConvertFailed();
            return 0;
        default:
            return 0;
    }
}

void CConvertAVI::OnCommand(int id) {
    switch (id) {
        case IDC_CONVERT_OPEN:
            OnOpen();
            return;
        case IDC_CONVERT_SAVE:
            OnSave();
            return;
        case IDC_CONVERT_START:
            OnStartStop();
            return;
        default:
            CDialog::OnCommand(id);
            return;
    }
}

void CConvertAVI::OnCancel() {
    // Exit is disabled while converting; Escape must not get round that.
    if (m_converting) {
        return;
    }
    CDialog::OnCancel();
}

void CConvertAVI::OnOpen() {
    platform::FileDialogRequest request;
    request.title = "Open";
    request.filter = "Kesto PVR file (*.AVR *.avr);;All Files (*)";
    request.defaultExtension = "AVR";
    if (const auto path = platform::TheUser().GetOpenFileName(GetSafeHwnd(), request)) {
        platform::SetDlgItemText(this, IDC_CONVERT_SOURCE, *path);
    }
}

void CConvertAVI::OnSave() {
    platform::FileDialogRequest request;
    request.title = "Save As";
    request.filter = "AVI file (*.avi *.AVI);;All Files (*)";
    request.initialPath = "Untitled.avi";
    request.defaultExtension = "avi";
    // Starting a conversion replaces the target without a question; the picker
    // asks none either.
    request.confirmOverwrite = false;
    if (const auto path = platform::TheUser().GetSaveFileName(GetSafeHwnd(), request)) {
        platform::SetDlgItemText(this, IDC_CONVERT_TARGET, *path);
    }
}

void CConvertAVI::OnStartStop() {
    const QString caption =
        QString::fromStdString(platform::GetDlgItemText(this, IDC_CONVERT_START));
    if (caption.compare(QLatin1String(kStartCaption), Qt::CaseInsensitive) == 0) {
        OnStart();
    } else {
        OnStop();
    }
}

void CConvertAVI::OnStart() {
    m_sourcePath = platform::GetDlgItemText(this, IDC_CONVERT_SOURCE).c_str();
    m_targetPath = platform::GetDlgItemText(this, IDC_CONVERT_TARGET).c_str();
    m_progressBar->SetRange32(0, 100);
    m_progressBar->SetPos(0);
    platform::SetDlgItemText(this, IDC_CONVERT_TOTAL, ByteCountText(0));
    platform::SetDlgItemText(this, IDC_CONVERT_DONE, ByteCountText(0));
    platform::SetDlgItemText(this, IDC_CONVERT_PERCENT, PercentText(0));
    if (m_sourcePath.Text().empty() || m_targetPath.Text().empty()) {
        return;
    }
    if (!start_conversion(m_sourcePath.Text().c_str(), m_targetPath.Text().c_str(),
                          GetSafeHwnd())) {
        return;
    }
    SetTimer(GetSafeHwnd(), kTimerId, kTimerPeriod);
    ShowConverting(true);
}

void CConvertAVI::OnStop() {
    KillTimer(GetSafeHwnd(), kTimerId);
    // The worker's end message is handled inside this wait, or later on its own.
    stop_conversion();
    ShowConverting(false);
}

void CConvertAVI::ShowConverting(bool converting) {
    m_converting = converting;
    platform::SetDlgItemText(this, IDC_CONVERT_START, converting ? kStopCaption : kStartCaption);
    for (const int id : {IDCANCEL, IDC_CONVERT_OPEN, IDC_CONVERT_SAVE}) {
        platform::EnableDlgItem(this, id, !converting);
    }
}

void CConvertAVI::ShowProgress(std::int64_t converted, int percent) {
    m_progressBar->SetPos(percent);
    platform::SetDlgItemText(this, IDC_CONVERT_DONE, ByteCountText(converted));
    platform::SetDlgItemText(this, IDC_CONVERT_PERCENT, PercentText(percent));
}

void CConvertAVI::OnTimer() {
    ShowProgress(get_converted_bytes(), get_convert_percent());
}

void CConvertAVI::OnConvertTotal(WPARAM wParam, LPARAM lParam) {
    const std::uint64_t high = static_cast<std::uint32_t>(wParam);
    const std::uint64_t low = static_cast<std::uint32_t>(lParam);
    m_totalBytes = static_cast<std::int64_t>((high << 32) + low);
    platform::SetDlgItemText(this, IDC_CONVERT_TOTAL, ByteCountText(m_totalBytes));
    platform::SetDlgItemText(this, IDC_CONVERT_DONE, ByteCountText(0));
    platform::SetDlgItemText(this, IDC_CONVERT_PERCENT, PercentText(0));
}

void CConvertAVI::OnConvertDone() {
    KillTimer(GetSafeHwnd(), kTimerId);
    const ConversionResult result = get_conversion_result();
    if (result.end == ConversionEnd::Stopped) {
        // The figures stay where the stop found them: the user sees how far it got.
        ShowProgress(get_converted_bytes(), get_convert_percent());
    } else {
        m_progressBar->SetPos(100);
        platform::SetDlgItemText(this, IDC_CONVERT_DONE, ByteCountText(m_totalBytes));
        platform::SetDlgItemText(this, IDC_CONVERT_PERCENT, PercentText(100));
    }
    ShowConverting(false);
    if (m_onConversionEnd) {
        m_onConversionEnd();
    }
    AppMessageBox(GetSafeHwnd(),
                  result.end == ConversionEnd::Stopped ? result.reason : std::string("Completed."),
                  MB_OK);
}

void CConvertAVI::OnConvertFailed() {
    KillTimer(GetSafeHwnd(), kTimerId);
    // Where it gave up; the reason itself the conversion has told the user.
    ShowProgress(get_converted_bytes(), get_convert_percent());
    ShowConverting(false);
    AppMessageBox(GetSafeHwnd(), "Operation failed!!", MB_OK | MB_ICONSTOP);
}
