#include "app/dialogs/renamedlg.h"

#include "app/res/resources.h"

CRenameDlg::CRenameDlg(QWidget* parent) : CNameDlg(res::RenameDialog(), IDC_RENAME_NAME, parent) {}

int CRenameDlg::DoModal(const std::string& name) {
    m_name = name;
    return RunForName();
}

bool CRenameDlg::OnInitDialog() {
    platform::SetDlgItemText(this, IDC_RENAME_NAME, m_name);
    return true;
}
