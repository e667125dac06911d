// Asks for the new name of a file or folder, on either side, starting from its
// current name.
#pragma once

#include <string>

#include "app/dialogs/namedlg.h"

class CRenameDlg : public CNameDlg {
public:
    explicit CRenameDlg(QWidget* parent = nullptr);

    // Runs with the field preset to name: 1 when the user confirmed a name of
    // at least one character (the unchanged one included), else 0. After a
    // cancel GetName() is still the name passed in.
    int DoModal(const std::string& name);

protected:
    bool OnInitDialog() override;
};
