#include "app/shell/tavrixapp.h"

#include <algorithm>

#include <QApplication>
#include <QTreeWidget>

#include "app/pc/hosttreeview.h"
#include "app/res/resources.h"
#include "app/shell/mainfrm.h"
#include "app/shell/tavrixdoc.h"
#include "core/names.h"
#include "platform/registry.h"
#include "platform/syscolor.h"
#include "platform/trace.h"
#include "platform/user.h"

namespace {

CTavrixApp* g_app = nullptr;

std::string RecentFileKey() {
    return CTavrixApp::ProfileKey() + "\\Recent File List";
}

std::string RecentFileValue(int index) {
    return "File" + std::to_string(index + 1);
}

}  // namespace

int AppMessageBox(HWND owner, const std::string& text, unsigned type) {
    return MessageBox(owner, text, kAppTitle, type);
}

CTavrixApp::CTavrixApp() {
    g_app = this;
}

CTavrixApp::~CTavrixApp() {
    m_frame.reset();
    if (g_app == this) {
        g_app = nullptr;
    }
}

CTavrixApp* CTavrixApp::Current() {
    return g_app;
}

std::string CTavrixApp::ProfileKey() {
    return std::string("Software\\") + kProfileKey + "\\" + kAppTitle;
}

bool CTavrixApp::InitInstance(const QStringList& args) {
    res::RegisterResources();
    QApplication::setApplicationName(kAppTitle);
    // Ties the windows to the installed desktop entry (tavrix.desktop) and its icon.
    QApplication::setDesktopFileName("tavrix");
    LoadStdProfileSettings();

    // The one document type: this document, the main frame and its panes.
    m_document = std::make_unique<CTavrixDoc>();
    if (args.isEmpty()) {
        m_document->OnNewDocument();
    } else {
        const std::string path = args.front().toStdString();
        if (!m_document->OnOpenDocument(path)) {
            TRACE("Cannot open document %s\n", path.c_str());
            return false;
        }
        AddToRecentFileList(path);
    }

    m_frame = std::make_unique<CMainFrame>(m_document.get());
    if (!m_frame->Create()) {
        m_frame.reset();
        return false;
    }

    platform::CreatePaneFont();
    m_frame->show();
    // The first pane is the active one at start, as the keyboard user expects.
    if (QWidget* tree = m_frame->GetHostTreeView()->GetTreeCtrl()) {
        tree->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

int CTavrixApp::ExitInstance() {
    m_frame.reset();
    platform::DeletePaneFont();
    SaveStdProfileSettings();
    return 0;
}

void CTavrixApp::AddToRecentFileList(const std::string& path) {
    if (path.empty()) {
        return;
    }
    m_recentFiles.erase(std::remove_if(m_recentFiles.begin(), m_recentFiles.end(),
                                       [&](const std::string& p) { return EqualsNoCase(p, path); }),
                        m_recentFiles.end());
    m_recentFiles.insert(m_recentFiles.begin(), path);
    if (m_recentFiles.size() > static_cast<std::size_t>(kRecentFileCount)) {
        m_recentFiles.resize(kRecentFileCount);
    }
}

void CTavrixApp::LoadStdProfileSettings() {
    m_recentFiles.clear();
    for (int i = 0; i < kRecentFileCount; ++i) {
        const auto value = platform::RegReadString(RecentFileKey(), RecentFileValue(i));
        if (value && !value->empty()) {
            m_recentFiles.push_back(*value);
        }
    }
}

void CTavrixApp::SaveStdProfileSettings() const {
    if (m_recentFiles.empty() && !platform::RegKeyExists(RecentFileKey())) {
        return;
    }
    for (int i = 0; i < kRecentFileCount; ++i) {
        const std::size_t index = static_cast<std::size_t>(i);
        platform::RegWriteString(RecentFileKey(), RecentFileValue(i),
                                 index < m_recentFiles.size() ? m_recentFiles[index] : "");
    }
}
