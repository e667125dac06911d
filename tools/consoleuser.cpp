#include "tools/consoleuser.h"

#include <cstdio>

int CConsoleUser::ShowMessageBox(HWND, const std::string& text, const std::string&, unsigned type) {
    std::fprintf(stderr, "%s: %s\n", m_program.c_str(), text.c_str());
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
            return IDNO;
        case MB_YESNOCANCEL:
        case MB_OKCANCEL:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

int CConsoleUser::RunModal(QDialog*) {
    return IDCANCEL;
}

std::optional<std::string> CConsoleUser::GetOpenFileName(HWND, const platform::FileDialogRequest&) {
    return std::nullopt;
}

std::optional<std::string> CConsoleUser::GetSaveFileName(HWND, const platform::FileDialogRequest&) {
    return std::nullopt;
}
