// Asks for the name of a new folder, on either side.
#pragma once

#include "app/dialogs/namedlg.h"

class CNewFolderDlg : public CNameDlg {
public:
    explicit CNewFolderDlg(QWidget* parent = nullptr);

    // 1 when the user confirmed a name of at least one character, else 0.
    int DoModal() { return RunForName(); }
};
