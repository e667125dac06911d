#include "app/pc/hostfilelistview.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QResizeEvent>
#include <QShowEvent>

#include "app/controls/listctrlx.h"
#include "core/names.h"
#include "core/xstring.h"
#include "platform/shell.h"
#include "platform/trace.h"
#include "platform/usermessages.h"

namespace {

std::string ExtensionOf(const std::string& name) {
    XString text;
    text = name.c_str();
    return text.GetExtension();
}

}  // namespace

CHostFileListView::CHostFileListView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document) {
    setAccessibleName("PC files");
}

// The list goes first: it must not call back into a half-destroyed view.
CHostFileListView::~CHostFileListView() {
    m_list.reset();
}

LRESULT CHostFileListView::WindowProc(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_LIST_DBLCLK) {
        OnOpenRow(static_cast<int>(wParam));
    }
    return 0;
}

void CHostFileListView::OnInitialUpdate() {
    if (m_list != nullptr) {
        return;
    }
    m_list = std::make_unique<CListCtrlX>();
    m_list->Create(this, rect(), kListId);
    m_list->setAccessibleName("PC files");
    m_list->Init(1);
    m_list->InsertColumn(0, "File Name", CListCtrlX::kFormatCenter, 0);
    m_list->InsertColumn(1, "Size(KB)", CListCtrlX::kFormatCenter, 0);
    m_list->InsertColumn(2, "Date", CListCtrlX::kFormatCenter, 0);
    // The same widths as the PVR list: whole dates, the name taking the rest.
    m_list->UseFileColumns();
    FillList(m_initialFolder);
}

void CHostFileListView::SetFolder(const std::string& path) {
    m_initialFolder = path;
}

bool CHostFileListView::IsListedType(const std::string& extension) {
    // AVI: what a recording converts to, so a conversion's result shows where
    // its recording is.
    for (const char* listed : {"AVR", "MP3", "FRM", "SDB", "AVI"}) {
        if (EqualsNoCase(extension, listed)) {
            return true;
        }
    }
    return false;
}

std::string CHostFileListView::FormatSize(std::uint64_t bytes) {
    // All 64 bits: a long recording is well past 4 GiB.
    return WithThousandsCommas(static_cast<std::int64_t>(bytes >> 10));
}

std::string CHostFileListView::FormatDate(const platform::LocalTime& time) {
    const bool morning = time.hour <= 12;
    const int hour12 = morning ? time.hour : time.hour - 12;
    char text[64];
    std::snprintf(text, sizeof text, "%4d-%02d-%02d %s %2d:%02d:%02d", time.year, time.month,
                  time.day, morning ? "AM" : "PM", hour12, time.minute, time.second);
    return text;
}

int CHostFileListView::ImageFor(const std::string& pcPath) {
    const auto program = platform::FindExecutable(pcPath);
    if (!program) {
        return 0;
    }
    const std::string key =
        program->desktopId.empty() ? "type:" + program->mimeType : "app:" + program->desktopId;
    if (const auto it = m_programImages.find(key); it != m_programImages.end()) {
        return it->second;
    }
    int image = m_list->AddImage(platform::ExtractIcon(*program));
    if (image < 0) {
        image = 0;
    }
    m_programImages.emplace(key, image);
    return image;
}

void CHostFileListView::FillList(const std::string& folder) {
    if (m_list == nullptr) {
        return;
    }
    m_list->DeleteAllItems();
    m_nextSelected = -1;
    if (folder.empty()) {
        return;
    }
    const std::string pattern = folder + "\\*.*";
    TRACE("FindFile %s\n", pattern.c_str());
    std::vector<platform::FindEntry> entries;
    if (!platform::FindFiles(pattern, entries)) {
        return;
    }
    m_currentFolder = folder;

    // One repaint for the whole listing rather than one per row.
    m_list->setUpdatesEnabled(false);
    // A program is associated with a file type, so it is looked up once per
    // extension in a listing, not once per file.
    std::map<std::string, int> imageOfType;
    int row = 0;
    for (const platform::FindEntry& entry : entries) {
        if (entry.isFolder) {
            TRACE("Dir===>%s\n", entry.name.c_str());
            continue;
        }
        TRACE("FILE===>%s\n", entry.name.c_str());
        const std::string extension = ExtensionOf(entry.name);
        if (!IsListedType(extension)) {
            continue;
        }
        const std::string type = QString::fromStdString(extension).toUpper().toStdString();
        auto known = imageOfType.find(type);
        if (known == imageOfType.end()) {
            known = imageOfType.emplace(type, ImageFor(m_currentFolder + "\\" + entry.name)).first;
        }
        const int image = known->second;
        m_list->InsertItem(row, entry.name, image);
        m_list->SetItemText(row, 1, FormatSize(entry.size));
        m_list->SetItemText(row, 2, FormatDate(platform::ToLocalTime(entry.creationTime)));
        // The columns sort by the exact size and the real time, not by the texts.
        m_list->SetItemSortKey(row, 1, static_cast<std::int64_t>(entry.size));
        m_list->SetItemSortKey(row, 2, entry.creationTime);
        ++row;
    }
    m_list->ApplySort();
    m_list->setUpdatesEnabled(true);
}

bool CHostFileListView::BeginSelection() {
    m_nextSelected = m_list != nullptr ? m_list->GetNextSelectedItem(-1) : -1;
    return m_nextSelected >= 0;
}

bool CHostFileListView::GetNextSelected(std::string& name, int* flag, std::uintptr_t* value) {
    if (m_list == nullptr || m_nextSelected < 0) {
        return false;
    }
    const int row = m_nextSelected;
    m_nextSelected = m_list->GetNextSelectedItem(row);
    name = m_list->GetItemName(row);
    if (flag != nullptr) {
        *flag = 0;
    }
    if (value != nullptr) {
        *value = m_list->GetItemData(row);
    }
    return true;
}

int CHostFileListView::CountSelected() {
    int count = 0;
    if (BeginSelection()) {
        std::string name;
        while (GetNextSelected(name)) {
            ++count;
        }
    }
    return count;
}

bool CHostFileListView::HasFocus() const {
    return m_list != nullptr && QApplication::focusWidget() == m_list.get();
}

int CHostFileListView::FindRow(const std::string& name) const {
    if (m_list == nullptr) {
        return -1;
    }
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (EqualsNoCase(m_list->GetItemName(row), name)) {
            return row;
        }
    }
    return -1;
}

bool CHostFileListView::DeleteFile(const std::string& path) {
    if (!platform::DeleteFile(path)) {
        return false;
    }
    const int row = FindRow(LastComponent(path));
    return row >= 0 && m_list->DeleteItem(row);
}

bool CHostFileListView::RenameFile(const std::string& oldPath, const std::string& newPath) {
    const std::string oldName = LastComponent(oldPath);
    const std::string newName = LastComponent(newPath);
    if (!platform::MoveFile(oldPath, newPath)) {
        return false;
    }
    const int row = FindRow(oldName);
    if (row < 0) {
        return false;
    }
    // Size, date and image stay: it is the same file under another name.
    if (!m_list->SetItemText(row, 0, newName)) {
        return false;
    }
    m_list->ApplySort();
    return true;
}

HWND CHostFileListView::MainWindow() const {
    if (m_mainWindow != nullptr) {
        return m_mainWindow;
    }
    QWidget* top = window();
    if (top == this) {
        return nullptr;
    }
    const auto* frame = dynamic_cast<const CMessageTarget*>(top);
    return frame != nullptr ? frame->GetSafeHwnd() : nullptr;
}

void CHostFileListView::OnOpenRow(int row) {
    if (m_list == nullptr || row < 0 || row >= m_list->GetItemCount()) {
        return;
    }
    const std::string name = m_list->GetItemName(row);
    const std::string path = m_currentFolder + "\\" + name;
    const std::string extension = ExtensionOf(name);
    if (EqualsNoCase(extension, "exe")) {
        platform::StartProgram(path, {}, m_currentFolder);
        return;
    }
    if (EqualsNoCase(extension, "AVR")) {
        SendMessage(MainWindow(), WM_OPEN_AVR, 0, 0);
        return;
    }
    if (const auto program = platform::FindExecutable(path)) {
        platform::OpenWithProgram(*program, path, m_currentFolder);
    }
}

int CHostFileListView::GetItemCount() const {
    return m_list != nullptr ? m_list->GetItemCount() : 0;
}

void CHostFileListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_list != nullptr) {
        m_list->setGeometry(rect());
    }
}

void CHostFileListView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    OnInitialUpdate();
}
