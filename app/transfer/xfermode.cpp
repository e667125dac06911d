#include "app/transfer/xfermode.h"

#include "app/res/resources.h"

CXferMode::CXferMode(QWidget* parent) : CDialog(res::XferModeDialog(), parent) {}

void CXferMode::SetMessage(const std::string& text) {
    m_message = text;
    if (IsCreated()) {
        platform::SetDlgItemText(this, IDC_XFER_MESSAGE, m_message);
    }
}

bool CXferMode::OnInitDialog() {
    platform::SetDlgItemText(this, IDC_XFER_MESSAGE, m_message);
    return true;
}

void CXferMode::OnCancel() {
    EndDialog(IDC_XFER_CANCEL);
}
