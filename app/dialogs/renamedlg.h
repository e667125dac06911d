// Asks for the new name of a file or folder, on either side, starting from its
// current name. The name comes back as typed.
#pragma once

#include <string>

#include "platform/templates.h"

class CRenameDlg : public platform::CDialog {
public:
    explicit CRenameDlg(QWidget* parent = nullptr);

    // Runs with the field preset to name: 1 when the user confirmed a name of
    // at least one character (the unchanged one included), else 0.
    int DoModal(const std::string& name);
    // The name typed; after a cancel, still the name passed in.
    const std::string& GetName() const { return m_name; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;

private:
    std::string m_name;
};
