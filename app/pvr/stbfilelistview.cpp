#include "app/pvr/stbfilelistview.h"

#include <algorithm>
#include <cstdio>

#include <QApplication>

#include "app/controls/listctrlx.h"
#include "app/shell/tavrixapp.h"
#include "core/names.h"
#include "core/xstring.h"
#include "device/tavrixcalls.h"
#include "platform/user.h"

namespace {

constexpr const char* kErrorText = "Error occurred.";

}  // namespace

CSTBFileListView::CSTBFileListView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document) {
    setAccessibleName("PVR files");
    OnInitialUpdate();
}

CSTBFileListView::~CSTBFileListView() = default;

LRESULT CSTBFileListView::WindowProc(UINT, WPARAM, LPARAM) {
    // A double-click in the PVR list opens nothing.
    return 0;
}

// The list is made with the view rather than at its first showing, so the
// frame and the PVR tree can fill and empty it before anything is on screen.
void CSTBFileListView::OnInitialUpdate() {
    m_list = new CListCtrlX(this);
    m_list->Create(this, rect(), kListId);
    m_list->setAccessibleName("PVR files");
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->ClearImages();
    m_list->InsertColumn(0, "File Name", CListCtrlX::kFormatCenter, 0);
    m_list->InsertColumn(1, "Size(KB)", CListCtrlX::kFormatCenter, 0);
    m_list->InsertColumn(2, "Date", CListCtrlX::kFormatCenter, 0);
    // The same widths as the PC list: whole dates, the name taking the rest.
    m_list->UseFileColumns();
    m_list->Init(0);
}

void CSTBFileListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_list != nullptr) {
        m_list->setGeometry(rect());
        m_list->update();
    }
}

std::string CSTBFileListView::FormatSizeKb(std::int64_t bytes) {
    // The device's sizes are not trusted; a negative one still reads as a number.
    return WithThousandsCommas(bytes / 1024);
}

std::string CSTBFileListView::FormatDate(const StbFindData& entry) {
    const bool pm = entry.hour > 12;
    char text[64];
    std::snprintf(text, sizeof text, "%4d-%02d-%02d %s %2d:%02d:%02d", entry.year, entry.month,
                  entry.day, pm ? "PM" : "AM", pm ? entry.hour - 12 : entry.hour, entry.minute,
                  entry.second);
    return text;
}

std::int64_t CSTBFileListView::DateKey(const StbFindData& entry) {
    std::int64_t key = entry.year;
    for (const int part : {entry.month, entry.day, entry.hour, entry.minute, entry.second}) {
        key = key * 100 + part;
    }
    return key;
}

void CSTBFileListView::FillList(const std::string& folder, int count, const StbFindData* entries) {
    if (m_list->GetItemCount() > 0) {
        m_list->DeleteAllItems();
    }
    m_walkPos = -1;
    int row = 0;
    for (int i = 0; entries != nullptr && i < count && row < kMaxRows; ++i) {
        const StbFindData& entry = entries[i];
        if (entry.kind != STB_ENTRY_FILE || entry.name[0] == '\0') {
            continue;
        }
        std::string name(FieldText(entry.name));
        if (!folder.empty() && name.compare(0, folder.size(), folder) == 0) {
            name.erase(0, folder.size());
        }
        m_list->InsertItem(row, name);
        m_list->SetItemText(row, 1, FormatSizeKb(entry.size));
        // The exact size travels with the row: it is the size column's key.
        m_list->SetItemSortKey(row, 1, entry.size);
        m_list->SetItemText(row, 2, FormatDate(entry));
        m_list->SetItemSortKey(row, 2, DateKey(entry));
        ++row;
    }
    m_list->ApplySort();
}

void CSTBFileListView::ClearList() {
    if (m_list == nullptr) {
        return;
    }
    m_list->ClearImages();
    m_list->DeleteAllItems();
    m_walkPos = -1;
}

bool CSTBFileListView::BeginSelection() {
    m_walkPos = m_list->GetNextSelectedItem(-1);
    return m_walkPos >= 0;
}

bool CSTBFileListView::GetNextSelected(std::string& name, std::int64_t* size) {
    if (m_walkPos < 0 || m_walkPos >= m_list->GetItemCount()) {
        m_walkPos = -1;
        return false;
    }
    const int row = m_walkPos;
    name = m_list->GetItemText(row, 0);
    if (size != nullptr) {
        *size = GetRowSize(row);
    }
    m_walkPos = m_list->GetNextSelectedItem(row);
    return true;
}

int CSTBFileListView::CountSelected() {
    int count = 0;
    if (BeginSelection()) {
        std::string name;
        while (GetNextSelected(name)) {
            ++count;
        }
    }
    return count;
}

int CSTBFileListView::FindRow(const std::string& name) const {
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (EqualsNoCase(m_list->GetItemText(row, 0), name)) {
            return row;
        }
    }
    return -1;
}

bool CSTBFileListView::FindByName(const std::string& name, std::int64_t* size) const {
    const int row = FindRow(name);
    if (row < 0) {
        return false;
    }
    if (size != nullptr) {
        *size = GetRowSize(row);
    }
    return true;
}

bool CSTBFileListView::HasFocus() const {
    return m_list != nullptr && QApplication::focusWidget() == m_list;
}

bool CSTBFileListView::DeleteFile(const std::string& path) {
    FileControlBlock fcb;
    if (!BuildFileControlBlock(&fcb, FCNTL_DELETE, path) || !m_device.fcntl(&fcb)) {
        return false;
    }
    const int row = FindRow(LastComponent(path));
    if (row < 0) {
        return false;
    }
    // Every later row moves up one, its size with it.
    m_list->DeleteItem(row);
    return true;
}

bool CSTBFileListView::RenameFile(const std::string& oldPath, const std::string& newPath) {
    const std::string oldName = LastComponent(oldPath);
    const std::string newName = LastComponent(newPath);
    FileControlBlock fcb;
    if (!BuildFileControlBlock(&fcb, FCNTL_RENAME, oldPath, newPath) || !m_device.fcntl(&fcb)) {
        AppMessageBox(GetSafeHwnd(), kErrorText, MB_ICONSTOP);
        return false;
    }
    const int row = FindRow(oldName);
    if (row < 0) {
        return false;
    }
    m_list->SetItemText(row, 0, newName);
    m_list->ApplySort();
    return true;
}

int CSTBFileListView::GetItemCount() const {
    return m_list->GetItemCount();
}

std::int64_t CSTBFileListView::GetRowSize(int row) const {
    if (row < 0 || row >= m_list->GetItemCount()) {
        return -1;
    }
    return m_list->GetItemSortKey(row, 1);
}
