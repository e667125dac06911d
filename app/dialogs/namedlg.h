// What the two name dialogs share: an edit field and OK/Cancel. The name comes
// back as typed; whether it suits the folder is the caller's question. An empty
// name ends the dialog as a cancel does, without a word.
#pragma once

#include <string>

#include "platform/templates.h"

class CNameDlg : public platform::CDialog {
public:
    // The name typed, once the dialog ended with 1.
    const std::string& GetName() const { return m_name; }

protected:
    CNameDlg(const platform::DialogTemplate& tpl, int editId, QWidget* parent);

    // 1 when the user confirmed a name of at least one character, else 0.
    int RunForName();
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;

    std::string m_name;

private:
    int m_editId;
};
