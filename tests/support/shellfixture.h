// A main window built as start-up builds it, on a private C:, a private
// registry and a scripted user, so cases run side by side without touching
// the machine's settings or each other.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/mainfrm.h"
#include "app/shell/tavrixdoc.h"
#include "platform/user.h"
#include "support/privatedrive.h"

class ShellEnvironment {
public:
    // socket: where the frame's device library looks for the PVR; empty for a
    // private path where none ever listens.
    explicit ShellEnvironment(const std::string& socket = std::string());
    ~ShellEnvironment();
    ShellEnvironment(const ShellEnvironment&) = delete;
    ShellEnvironment& operator=(const ShellEnvironment&) = delete;

    // The frame as start-up makes it (not shown).
    CMainFrame& MakeFrame();
    // Destroys the frame as shut-down does.
    void CloseFrame();
    CMainFrame& Frame() { return *m_frame; }

    std::optional<std::string> LastPath() const;
    void SetLastPath(const std::string& value) const;
    bool KeyExists() const;

    const PrivateDrives& Drives() const { return m_drives; }
    platform::ScriptedUser& User() { return m_user; }
    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
    PrivateDrives m_drives;
    platform::ScriptedUser m_user;
    CTavrixDoc m_document;
    std::unique_ptr<CMainFrame> m_frame;
};

// The message boxes the user was shown, in order.
struct ShownBox {
    std::string text;
    std::string caption;
    unsigned type = 0;
};
std::vector<ShownBox> MessageBoxes(platform::ScriptedUser& user);

// Answers the next name dialog (new folder or rename): its field becomes text
// and OK is clicked. *preset receives what the field held when it opened.
void QueueNameAnswer(platform::ScriptedUser& user, const std::string& text,
                     std::string* preset = nullptr);
// The dialogs the user was shown.
int DialogsShown(platform::ScriptedUser& user);
