#include "app/pc/hosttreeview.h"

#include <cctype>
#include <vector>

#include <QApplication>
#include <QResizeEvent>

#include "app/controls/treectrlx.h"
#include "app/pc/hostfilelistview.h"
#include "core/names.h"
#include "platform/pcfs.h"
#include "platform/templates.h"
#include "platform/trace.h"

CHostTreeView::CHostTreeView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document) {
    setAccessibleName("PC folders");
}

// The tree goes first: its last signals must not reach a half-destroyed view.
CHostTreeView::~CHostTreeView() {
    if (m_tree != nullptr) {
        m_tree->SetSelChangedHandler(nullptr);
        m_tree->SetKeyDownHandler(nullptr);
    }
    m_tree.reset();
}

LRESULT CHostTreeView::WindowProc(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return 0;
}

bool CHostTreeView::InitTree() {
    if (m_tree == nullptr) {
        m_tree = std::make_unique<CTreeCtrlX>();
        if (!m_tree->Create(this, rect(), kTreeId)) {
            m_tree.reset();
            return false;
        }
        m_tree->SetPaneName("PC folders");
        m_tree->SetSelChangedHandler([this]() { OnSelChanged(); });
        m_tree->SetKeyDownHandler([this](int virtualKey) { OnKeyDown(virtualKey); });
    }
    // Init expects an empty control; a second call only selects again.
    if (m_tree->GetRootItem() == nullptr) {
        m_tree->Init(CTreeCtrlX::kPcMode);
    }
    m_tree->SelectPath(m_initialPath);
    return true;
}

void CHostTreeView::SelectPath(const std::string& path) {
    m_initialPath = path;
    if (m_tree != nullptr) {
        m_tree->SelectPath(path);
    }
}

void CHostTreeView::Refresh() {
    ++m_refreshCount;
    if (m_tree == nullptr || m_fileList == nullptr) {
        return;
    }
    std::string path;
    m_tree->GetSelectedPath(path);
    m_fileList->FillList(path);
}

bool CHostTreeView::GetCurrentFolder(std::string& path) const {
    if (m_tree == nullptr) {
        return false;
    }
    if (m_tree->GetSelectedPath(path) == nullptr || path.empty()) {
        return false;
    }
    if (!path.ends_with('\\')) {
        path += '\\';
    }
    return true;
}

bool CHostTreeView::BeginSelection() {
    return m_fileList != nullptr && m_fileList->BeginSelection();
}

bool CHostTreeView::GetNextSelected(std::string& name, int* flag, std::uintptr_t* value) {
    return m_fileList != nullptr && m_fileList->GetNextSelected(name, flag, value);
}

bool CHostTreeView::HasFocus() const {
    return m_tree != nullptr && QApplication::focusWidget() == m_tree.get();
}

// ---- Folder commands ------------------------------------------------------------

bool CHostTreeView::MakeFolder(const std::string& path) {
    if (!platform::CreateDirectory(path)) {
        return false;
    }
    const std::string folder = WithoutTrailingBackslash(path);
    const std::size_t slash = folder.rfind('\\');
    const std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash);
    const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    if (m_tree != nullptr) {
        m_tree->AddFolder(parent, name);
    }
    return true;
}

bool CHostTreeView::RemoveFolder(const std::string& path) {
    if (!platform::RemoveDirectory(path)) {
        return false;
    }
    if (m_tree != nullptr) {
        m_tree->DeleteItemByPath(path);
    }
    return true;
}

bool CHostTreeView::RenameFolder(const std::string& oldPath, const std::string& newPath) {
    const std::string newName =
        QString::fromStdString(WithoutTrailingBackslash(newPath)).section('\\', -1).toStdString();
    if (!platform::MoveFile(oldPath, newPath)) {
        return false;
    }
    if (m_tree == nullptr) {
        return true;
    }
    // The renamed folder's own item, found by its path: a folder of the same
    // name elsewhere (on another drive, say) keeps its label.
    HTREEITEM item = m_tree->FindExactItemByPath(oldPath);
    if (item == nullptr || item == m_tree->GetRootItem()) {
        return true;
    }
    m_tree->SetItemText(item, newName);
    // The list names its rows' folder by path; if that folder was the renamed
    // one or lies inside it, list it again under its new name.
    HTREEITEM selected = m_tree->GetSelectedItem();
    if (selected != nullptr && CTreeCtrlX::IsSelfOrAncestor(item, selected)) {
        Refresh();
    }
    return true;
}

bool CHostTreeView::IsDriveRoot(const std::string& path) {
    if (path.empty()) {
        return true;
    }
    std::string copy = path;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(copy[0])));
    if (copy.size() >= 2 && copy[1] == ':' && letter >= 'A' && letter <= 'Z') {
        copy.erase(0, 1);
    }
    if (copy.ends_with('\\')) {
        copy.pop_back();
    }
    return copy == ":";
}

bool CHostTreeView::HasEntries(const std::string& path) {
    std::string pattern = path;
    if (!pattern.ends_with('\\')) {
        pattern += '\\';
    }
    pattern += '*';
    std::vector<platform::FindEntry> entries;
    if (!platform::FindFiles(pattern, entries)) {
        return false;
    }
    int count = 0;
    for (const platform::FindEntry& entry : entries) {
        TRACE(">> %s\n", entry.name.c_str());
        if (entry.name != "." && entry.name != "..") {
            ++count;
        }
    }
    return count > 0;
}

// ---- Notifications ----------------------------------------------------------------

void CHostTreeView::OnSelChanged() {
    TRACE_AT("Changed.");
    std::string path;
    m_tree->GetSelectedPath(path);
    TRACE_AT("selected = %s", path.c_str());
    Refresh();
}

void CHostTreeView::OnKeyDown(int virtualKey) {
    if (virtualKey == platform::VK_F5) {
        Refresh();
    }
}

void CHostTreeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_tree != nullptr) {
        m_tree->setGeometry(rect());
    }
}
