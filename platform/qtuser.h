// The User for people: Qt message boxes, modal dialogs and file pickers.
//
// Any thread may call it; the questions are asked on the UI thread. The pickers
// take and give PC paths and show the host folders behind them.
#pragma once

#include "platform/user.h"

class QWidget;

namespace platform {

class QtUser : public User {
public:
    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       unsigned type) override;
    int RunModal(QDialog* dialog) override;
    std::optional<std::string> GetOpenFileName(HWND owner,
                                               const FileDialogRequest& request) override;
    std::optional<std::string> GetSaveFileName(HWND owner,
                                               const FileDialogRequest& request) override;
};

// The host folder and file name a picker starts in for a PC path ("C:\Movies\"
// opens the folder, "C:\Movies\x.AVR" preselects the file); a bare name
// ("Untitled.avi") is offered as it is; empty when the path does not map.
std::string PickerStartPath(const std::string& pcPath);

}  // namespace platform
