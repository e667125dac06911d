#include "app/dialogs/newfolderdlg.h"

#include "app/res/resources.h"

CNewFolderDlg::CNewFolderDlg(QWidget* parent)
    : CNameDlg(res::NewFolderDialog(), IDC_NEWFOLDER_NAME, parent) {}
