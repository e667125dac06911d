#include "tools/consoleuser.h"

#include <cstdio>

#include "core/printable.h"

int CConsoleUser::ShowMessageBox(HWND, const std::string& text, const std::string&, unsigned type) {
    // A message can carry a file's name, which must not reach the terminal raw.
    std::fprintf(stderr, "%s: %s\n", m_program.c_str(), EscapeUnprintable(text).c_str());
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
