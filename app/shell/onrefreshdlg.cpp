#include "app/shell/onrefreshdlg.h"

#include <QEvent>

#include "app/res/resources.h"

COnRefreshDlg::COnRefreshDlg(QWidget* parent) : CDialog(res::OnRefreshDialog(), parent) {
    setAccessibleName("Now updating PVR files");
}

void COnRefreshDlg::SetText(const std::string& text) {
    platform::SetDlgItemText(this, IDC_REFRESH_STATUS, text);
}

std::string COnRefreshDlg::GetText() const {
    return platform::GetDlgItemText(this, IDC_REFRESH_STATUS);
}

void COnRefreshDlg::showEvent(QShowEvent* event) {
    CDialog::showEvent(event);
    SetText("");
}

void COnRefreshDlg::changeEvent(QEvent* event) {
    CDialog::changeEvent(event);
    // Disabling the owner disables the windows it owns as well; a window may
    // be enabled again on its own.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        setEnabled(true);
    }
}
