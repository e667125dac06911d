// The user: message boxes, modal dialogs and file pickers.
//
// Everything the program asks of the person goes through one User, so tests can
// script the answers and read back exactly what was shown. Calls from worker
// threads are carried out on the UI thread.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/message.h"

class QDialog;

// Message box types and answers, with the classic values.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_OKCANCEL = 0x01;
constexpr unsigned MB_YESNOCANCEL = 0x03;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONERROR = MB_ICONSTOP;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TYPEMASK = 0x0F;
constexpr unsigned MB_ICONMASK = 0xF0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

namespace platform {

struct FileDialogRequest {
    std::string title;
    std::string filter;  // "Name (*.x *.y)" entries separated by ";;"
    // PC path in the program's form (C:\...), or a bare file name to offer in
    // the folder the picker opens anyway.
    std::string initialPath;
    // Added, after a ".", to a name the user gives without an extension.
    std::string defaultExtension;
    // Save pickers: ask before a chosen file that exists is taken.
    bool confirmOverwrite = true;
};

class User {
public:
    virtual ~User() = default;
    virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                               unsigned type) = 0;
    // Runs the dialog modally; returns its result code (IDOK, IDCANCEL, ...).
    virtual int RunModal(QDialog* dialog) = 0;
    virtual std::optional<std::string> GetOpenFileName(HWND owner,
                                                       const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> GetSaveFileName(HWND owner,
                                                       const FileDialogRequest& request) = 0;
};

// The process's user (a scripted one until the application installs the Qt one).
User& TheUser();
// Installs a user (nullptr: the default). The caller keeps ownership.
void SetUser(User* user);

// Scripted answers for tests: each question takes the next queued answer (or the
// default when none is queued) and is recorded with everything it showed.
class ScriptedUser : public User {
public:
    struct Shown {
        std::string kind;  // "messagebox", "dialog", "open", "save"
        std::string text;
        std::string caption;
        unsigned type = 0;
    };

    void QueueAnswer(int answer);
    void QueueDialog(std::function<int(QDialog*)> action);
    void QueueFile(std::optional<std::string> path);

    std::vector<Shown> History();
    void ClearHistory();

    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       unsigned type) override;
    int RunModal(QDialog* dialog) override;
    std::optional<std::string> GetOpenFileName(HWND owner,
                                               const FileDialogRequest& request) override;
    std::optional<std::string> GetSaveFileName(HWND owner,
                                               const FileDialogRequest& request) override;

private:
    std::mutex m_mutex;
    std::deque<int> m_answers;
    std::deque<std::function<int(QDialog*)>> m_dialogs;
    std::deque<std::optional<std::string>> m_files;
    std::vector<Shown> m_history;
};

}  // namespace platform

// Shows a message box through the process's user, on the UI thread whatever
// thread calls it.
int MessageBox(HWND owner, const std::string& text, const std::string& caption, unsigned type);
