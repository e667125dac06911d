#include "platform/user.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<User*> g_user{nullptr};

ScriptedUser& DefaultUser() {
    static ScriptedUser user;
    return user;
}

// What a person pressing Enter would get: the first button of the set.
int DefaultAnswer(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDYES;
        default:
            return IDOK;
    }
}

}  // namespace

User& TheUser() {
    User* u = g_user.load();
    return u ? *u : DefaultUser();
}

void SetUser(User* user) {
    g_user.store(user);
}

void ScriptedUser::QueueAnswer(int answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

void ScriptedUser::QueueDialog(std::function<int(QDialog*)> action) {
    std::lock_guard lock(m_mutex);
    m_dialogs.push_back(std::move(action));
}

void ScriptedUser::QueueFile(std::optional<std::string> path) {
    std::lock_guard lock(m_mutex);
    m_files.push_back(std::move(path));
}

std::vector<ScriptedUser::Shown> ScriptedUser::History() {
    std::lock_guard lock(m_mutex);
    return m_history;
}

void ScriptedUser::ClearHistory() {
    std::lock_guard lock(m_mutex);
    m_history.clear();
}

int ScriptedUser::ShowMessageBox(HWND, const std::string& text, const std::string& caption,
                                 unsigned type) {
    std::lock_guard lock(m_mutex);
    m_history.push_back({"messagebox", text, caption, type});
    if (m_answers.empty()) {
        return DefaultAnswer(type);
    }
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

int ScriptedUser::RunModal(QDialog* dialog) {
    std::function<int(QDialog*)> action;
    {
        std::lock_guard lock(m_mutex);
        m_history.push_back({"dialog", {}, {}, 0});
        if (m_dialogs.empty()) {
            return IDCANCEL;
        }
        action = std::move(m_dialogs.front());
        m_dialogs.pop_front();
    }
    // Outside the lock: the action may itself ask the user something.
    return action(dialog);
}

std::optional<std::string> ScriptedUser::GetOpenFileName(HWND, const FileDialogRequest& request) {
    std::lock_guard lock(m_mutex);
    m_history.push_back({"open", request.initialPath, request.title, 0});
    if (m_files.empty()) {
        return std::nullopt;
    }
    auto path = m_files.front();
    m_files.pop_front();
    return path;
}

std::optional<std::string> ScriptedUser::GetSaveFileName(HWND, const FileDialogRequest& request) {
    std::lock_guard lock(m_mutex);
    m_history.push_back({"save", request.initialPath, request.title, 0});
    if (m_files.empty()) {
        return std::nullopt;
    }
    auto path = m_files.front();
    m_files.pop_front();
    return path;
}

}  // namespace platform

int MessageBox(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
    int answer = IDCANCEL;
    auto ask = [&] { answer = platform::TheUser().ShowMessageBox(owner, text, caption, type); };
    // Without a UI loop there is no UI thread to carry the call to; the console
    // user answers on the calling thread.
    if (!platform::HasUiLoop()) {
        ask();
    } else {
        platform::RunOnUiThread(ask);
    }
    return answer;
}
