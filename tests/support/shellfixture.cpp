#include "support/shellfixture.h"

#include <stdlib.h>

#include <filesystem>

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "app/res/resources.h"
#include "platform/registry.h"
#include "platform/templates.h"

ShellEnvironment::ShellEnvironment(const std::string& socket) {
    char tmpl[] = "/tmp/tavrix-shell-test-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    m_dir = made != nullptr ? made : "/tmp";
    ::setenv("TAVRIX_CONFIG_DIR", (m_dir + "/config").c_str(), 1);
    if (socket.empty()) {
        ::setenv("TAVRIX_PVR_SOCKET", (m_dir + "/no-pvr.sock").c_str(), 1);
    }
    res::RegisterResources();
    platform::SetUser(&m_user);
}

ShellEnvironment::~ShellEnvironment() {
    m_frame.reset();
    platform::SetUser(nullptr);
    ::unsetenv("TAVRIX_CONFIG_DIR");
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

CMainFrame& ShellEnvironment::MakeFrame() {
    m_frame = std::make_unique<CMainFrame>(&m_document);
    m_frame->Create(QRect(100, 80, 900, 700));
    return *m_frame;
}

void ShellEnvironment::CloseFrame() {
    m_frame.reset();
}

std::optional<std::string> ShellEnvironment::LastPath() const {
    return platform::RegReadString("Software\\Tavrix", "last path");
}

void ShellEnvironment::SetLastPath(const std::string& value) const {
    platform::RegWriteString("Software\\Tavrix", "last path", value);
}

bool ShellEnvironment::KeyExists() const {
    return platform::RegKeyExists("Software\\Tavrix");
}

std::vector<ShownBox> MessageBoxes(platform::ScriptedUser& user) {
    std::vector<ShownBox> boxes;
    for (const auto& shown : user.History()) {
        if (shown.kind == "messagebox") {
            boxes.push_back({shown.text, shown.caption, shown.type});
        }
    }
    return boxes;
}

void QueueNameAnswer(platform::ScriptedUser& user, const std::string& text, std::string* preset) {
    user.QueueDialog([text, preset](QDialog* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>();
        auto* ok = qobject_cast<QAbstractButton*>(platform::GetDlgItem(dialog, IDC_NAME_OK));
        if (edit == nullptr || ok == nullptr) {
            ADD_FAILURE() << "not a name dialog: " << dialog->windowTitle().toStdString();
            return 0;
        }
        if (preset != nullptr) {
            *preset = edit->text().toStdString();
        }
        edit->setText(QString::fromStdString(text));
        ok->click();
        return dialog->result();
    });
}

int DialogsShown(platform::ScriptedUser& user) {
    int count = 0;
    for (const auto& shown : user.History()) {
        count += shown.kind == "dialog" ? 1 : 0;
    }
    return count;
}
