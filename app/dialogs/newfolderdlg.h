// Asks for the name of a new folder, on either side. The name comes back as
// typed; whether it suits the folder is the caller's question.
#pragma once

#include <string>

#include "platform/templates.h"

class CNewFolderDlg : public platform::CDialog {
public:
    explicit CNewFolderDlg(QWidget* parent = nullptr);

    // 1 when the user confirmed a name of at least one character, else 0.
    int DoModal();
    // The name typed, when DoModal gave 1.
    const std::string& GetName() const { return m_name; }

protected:
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;

private:
    std::string m_name;
};
