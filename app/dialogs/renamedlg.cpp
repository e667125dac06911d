#include "app/dialogs/renamedlg.h"

#include "app/res/resources.h"

CRenameDlg::CRenameDlg(QWidget* parent) : CDialog(res::RenameDialog(), parent) {}

int CRenameDlg::DoModal(const std::string& name) {
    m_name = name;
    // Only our own OK ends the run with 1; whatever else ended it is a cancel.
    return CDialog::DoModal() == 1 ? 1 : 0;
}

bool CRenameDlg::OnInitDialog() {
    platform::SetDlgItemText(this, IDC_RENAME_NAME, m_name);
    return true;
}

void CRenameDlg::OnCommand(int id) {
    if (id == IDC_NAME_OK) {
        OnOK();
    } else if (id == IDC_NAME_CANCEL) {
        OnCancel();
    } else {
        CDialog::OnCommand(id);
    }
}

void CRenameDlg::OnOK() {
    m_name = platform::GetDlgItemText(this, IDC_RENAME_NAME);
    EndDialog(m_name.empty() ? 0 : 1);
}

void CRenameDlg::OnCancel() {
    EndDialog(0);
}
