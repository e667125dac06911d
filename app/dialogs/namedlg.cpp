#include "app/dialogs/namedlg.h"

#include "app/res/resources.h"

CNameDlg::CNameDlg(const platform::DialogTemplate& tpl, int editId, QWidget* parent)
    : CDialog(tpl, parent), m_editId(editId) {}

int CNameDlg::RunForName() {
    // Only our own OK ends the run with 1; whatever else ended it is a cancel.
    return CDialog::DoModal() == 1 ? 1 : 0;
}

void CNameDlg::OnCommand(int id) {
    if (id == IDC_NAME_OK) {
        OnOK();
    } else if (id == IDC_NAME_CANCEL) {
        OnCancel();
    } else {
        CDialog::OnCommand(id);
    }
}

void CNameDlg::OnOK() {
    m_name = platform::GetDlgItemText(this, m_editId);
    EndDialog(m_name.empty() ? 0 : 1);
}

void CNameDlg::OnCancel() {
    EndDialog(0);
}
