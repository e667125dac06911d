// The question a transfer asks about a file that is already at its
// destination: overwrite or resume it, or every such file of the command, or
// give the whole command up.
#pragma once

#include <string>

#include "platform/templates.h"

class CXferMode : public platform::CDialog {
public:
    explicit CXferMode(QWidget* parent = nullptr);

    // Shown as soon as the dialog is, or at once when it already is.
    void SetMessage(const std::string& text);
    const std::string& GetMessage() const { return m_message; }

protected:
    bool OnInitDialog() override;
    // Escape and the close box give up the command, as the Cancel button does.
    void OnCancel() override;

private:
    std::string m_message;
};
