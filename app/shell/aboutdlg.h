// The modal About box of the Help menu.
#pragma once

#include "platform/templates.h"

class CAboutDlg : public platform::CDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
};
