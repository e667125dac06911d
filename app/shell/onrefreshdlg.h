// The caption-less notice that stands over the main window while the PVR
// folder tree reads a listing. The main window owns it and keeps it centred;
// the tree shows it, puts its progress on the status line and hides it.
#pragma once

#include <string>

#include "platform/templates.h"

class COnRefreshDlg : public platform::CDialog {
public:
    explicit COnRefreshDlg(QWidget* parent = nullptr);

    // The status line under the fixed notice.
    void SetText(const std::string& text);
    std::string GetText() const;

protected:
    // Every listing starts with a blank line, whatever the last one left there.
    void showEvent(QShowEvent* event) override;
    // The window under the notice is disabled while it stands; the notice is
    // not, so that its lines read as text and not as greyed-out controls.
    void changeEvent(QEvent* event) override;
    // Only the listing takes the notice down; Enter and Escape, which it now
    // receives, do nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
