// The application object: start-up, the document, the main window, the shared
// pane font, the recent-file list and shut-down.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QStringList>

#include "platform/message.h"

class CMainFrame;
class CTavrixDoc;

// The caption of every message box.
constexpr const char* kAppTitle = "Tavrix";

// A message box with the application's caption.
int AppMessageBox(HWND owner, const std::string& text, unsigned type);

class CTavrixApp {
public:
    // Where the standard settings live: this key under "Software", then the title.
    static constexpr const char* kProfileKey = "Local AppWizard-Generated Applications";
    static constexpr int kRecentFileCount = 4;

    CTavrixApp();
    ~CTavrixApp();
    CTavrixApp(const CTavrixApp&) = delete;
    CTavrixApp& operator=(const CTavrixApp&) = delete;

    // The running application, or nullptr (tests build frames without one).
    static CTavrixApp* Current();

    // Start-up. args are the command-line arguments after the program name: none,
    // or a document file. False when start-up failed and the program must end.
    bool InitInstance(const QStringList& args);
    // Shut-down: the main window goes, then the pane font, then the settings are
    // written. Returns the exit code.
    int ExitInstance();

    CMainFrame* GetMainFrame() const { return m_frame.get(); }
    CTavrixDoc* GetDocument() const { return m_document.get(); }

    // The most recent first, at most kRecentFileCount; a path already listed moves up.
    void AddToRecentFileList(const std::string& path);
    const std::vector<std::string>& GetRecentFiles() const { return m_recentFiles; }
    // "Software\<profile key>\<title>".
    static std::string ProfileKey();

private:
    void LoadStdProfileSettings();
    void SaveStdProfileSettings() const;

    std::unique_ptr<CTavrixDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::vector<std::string> m_recentFiles;
};
