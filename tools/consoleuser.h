// A User for the command-line programs: message boxes become one line on
// stderr, and nothing can be asked interactively.
#pragma once

#include <string>
#include <utility>

#include "platform/user.h"

class CConsoleUser : public platform::User {
public:
    // Lines are written as "PROGRAM: TEXT".
    explicit CConsoleUser(std::string program) : m_program(std::move(program)) {}

    // OK for plain notices; questions get their negative answer, since no one
    // is there to agree.
    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       unsigned type) override;
    int RunModal(QDialog* dialog) override;
    std::optional<std::string> GetOpenFileName(HWND owner,
                                               const platform::FileDialogRequest& request) override;
    std::optional<std::string> GetSaveFileName(HWND owner,
                                               const platform::FileDialogRequest& request) override;

private:
    std::string m_program;
};
