#include "app/stbfilelistview.h"

#include <algorithm>
#include <cstring>

#include <QApplication>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

CSTBFileListView::CSTBFileListView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document), m_list(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({"File Name", "Size(KB)"});
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    setAccessibleName("PVR files");
    m_list->setAccessibleName("PVR files");
}

CSTBFileListView::~CSTBFileListView() = default;

LRESULT CSTBFileListView::WindowProc(UINT, WPARAM, LPARAM) {
    return 0;
}

void CSTBFileListView::FillList(const std::string&, int count, const StbFindData* entries) {
    ClearList();
    for (int i = 0; entries != nullptr && i < count; ++i) {
        const StbFindData& e = entries[i];
        // The device's name field need not be terminated.
        const std::string name(e.name, strnlen(e.name, sizeof e.name));
        if (name.empty() || e.kind != STB_ENTRY_FILE) {
            continue;
        }
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, QString::fromStdString(name));
        row->setText(1, QString::number(e.size / 1024));
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        row->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(e.size));
    }
}

void CSTBFileListView::ClearList() {
    m_list->clear();
    m_walk.clear();
    m_walkPos = 0;
}

bool CSTBFileListView::BeginSelection() {
    m_walk.clear();
    m_walkPos = 0;
    for (QTreeWidgetItem* item : m_list->selectedItems()) {
        m_walk.push_back(m_list->indexOfTopLevelItem(item));
    }
    std::sort(m_walk.begin(), m_walk.end());
    return !m_walk.empty();
}

bool CSTBFileListView::GetNextSelected(std::string& name, std::int64_t* size) {
    if (m_walkPos >= m_walk.size()) {
        return false;
    }
    const QTreeWidgetItem* row = m_list->topLevelItem(m_walk[m_walkPos++]);
    if (row == nullptr) {
        return false;
    }
    name = row->text(0).toStdString();
    if (size != nullptr) {
        *size = row->data(0, Qt::UserRole).toLongLong();
    }
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

bool CSTBFileListView::FindByName(const std::string& name, std::int64_t* size) const {
    const QString wanted = QString::fromStdString(name);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_list->topLevelItem(i);
        if (row->text(0).compare(wanted, Qt::CaseInsensitive) == 0) {
            if (size != nullptr) {
                *size = row->data(0, Qt::UserRole).toLongLong();
            }
            return true;
        }
    }
    return false;
}

bool CSTBFileListView::HasFocus() const {
    return QApplication::focusWidget() == m_list;
}

int CSTBFileListView::GetItemCount() const {
    return m_list->topLevelItemCount();
}
