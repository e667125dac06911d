#include "app/hostfilelistview.h"

#include <algorithm>

#include <QApplication>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/pcfs.h"

CHostFileListView::CHostFileListView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document), m_list(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({"File Name", "Size(KB)"});
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    setAccessibleName("PC files");
    m_list->setAccessibleName("PC files");
}

CHostFileListView::~CHostFileListView() = default;

LRESULT CHostFileListView::WindowProc(UINT, WPARAM, LPARAM) {
    return 0;
}

void CHostFileListView::SetFolder(const std::string& path) {
    m_folder = path;
}

void CHostFileListView::FillList(const std::string& folder) {
    m_folder = folder;
    m_list->clear();
    m_walk.clear();
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '\\') {
        pattern += '\\';
    }
    std::vector<platform::FindEntry> entries;
    if (!platform::FindFiles(pattern + "*.*", entries)) {
        return;
    }
    for (const platform::FindEntry& e : entries) {
        if (e.isFolder) {
            continue;
        }
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, QString::fromStdString(e.name));
        row->setText(1, QString::number(e.size / 1024));
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        row->setData(0, Qt::UserRole,
                     QVariant::fromValue<qlonglong>(static_cast<qlonglong>(e.size)));
    }
}

bool CHostFileListView::BeginSelection() {
    m_walk.clear();
    m_walkPos = 0;
    for (QTreeWidgetItem* item : m_list->selectedItems()) {
        m_walk.push_back(m_list->indexOfTopLevelItem(item));
    }
    std::sort(m_walk.begin(), m_walk.end());
    return !m_walk.empty();
}

bool CHostFileListView::GetNextSelected(std::string& name, std::int64_t* size) {
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
    return QApplication::focusWidget() == m_list;
}

int CHostFileListView::GetItemCount() const {
    return m_list->topLevelItemCount();
}
