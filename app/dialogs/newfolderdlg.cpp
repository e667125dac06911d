#include "app/dialogs/newfolderdlg.h"

#include "app/res/resources.h"

CNewFolderDlg::CNewFolderDlg(QWidget* parent) : CDialog(res::NewFolderDialog(), parent) {}

int CNewFolderDlg::DoModal() {
    // Only our own OK ends the run with 1; whatever else ended it is a cancel.
    return CDialog::DoModal() == 1 ? 1 : 0;
}

void CNewFolderDlg::OnCommand(int id) {
    if (id == IDC_NAME_OK) {
        OnOK();
    } else if (id == IDC_NAME_CANCEL) {
        OnCancel();
    } else {
        CDialog::OnCommand(id);
    }
}

void CNewFolderDlg::OnOK() {
    m_name = platform::GetDlgItemText(this, IDC_NEWFOLDER_NAME);
    // An empty name ends the dialog as a cancel does, without a word.
    EndDialog(m_name.empty() ? 0 : 1);
}

void CNewFolderDlg::OnCancel() {
    EndDialog(0);
}
