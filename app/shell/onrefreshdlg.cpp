#include "app/shell/onrefreshdlg.h"

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
