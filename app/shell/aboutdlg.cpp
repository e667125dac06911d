#include "app/shell/aboutdlg.h"

#include <cstdio>

#include "app/res/resources.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(res::AboutDialog(), parent) {}

bool CAboutDlg::OnInitDialog() {
    // The template's text is a stale default; the shipped version is set here.
    char version[32];
    std::snprintf(version, sizeof version, "%x.%x.%x", 1, 1, 0);
    platform::SetDlgItemText(this, IDC_ABOUT_VERSION, version);
    return true;
}
