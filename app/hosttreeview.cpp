#include "app/hosttreeview.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/hostfilelistview.h"
#include "platform/pcfs.h"

CHostTreeView::CHostTreeView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setAccessibleName("PC folders");
}

CHostTreeView::~CHostTreeView() = default;

LRESULT CHostTreeView::WindowProc(UINT, WPARAM, LPARAM) {
    return 0;
}

bool CHostTreeView::InitTree() {
    if (m_tree == nullptr) {
        m_tree = new QTreeWidget(this);
        m_tree->setHeaderHidden(true);
        m_tree->setAccessibleName("PC folders");
        layout()->addWidget(m_tree);
    }
    if (!m_initialPath.empty()) {
        SelectPath(m_initialPath);
    }
    return true;
}

void CHostTreeView::SelectPath(const std::string& path) {
    m_initialPath = path;
    const auto folder = platform::NormalizePcPath(path);
    if (m_tree == nullptr || !folder || !platform::FolderExists(*folder)) {
        return;
    }
    m_selected = *folder;
    m_tree->clear();
    auto* item = new QTreeWidgetItem(m_tree, {QString::fromStdString(m_selected)});
    item->setIcon(0, QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_tree->setCurrentItem(item);
    if (m_fileList != nullptr) {
        m_fileList->FillList(m_selected);
    }
}

bool CHostTreeView::GetCurrentFolder(std::string& path) const {
    if (m_selected.empty()) {
        return false;
    }
    path = m_selected;
    if (path.back() != '\\') {
        path += '\\';
    }
    return true;
}

void CHostTreeView::Refresh() {
    ++m_refreshCount;
    if (m_fileList != nullptr && !m_selected.empty()) {
        m_fileList->FillList(m_selected);
    }
}

bool CHostTreeView::BeginSelection() {
    return m_fileList != nullptr && m_fileList->BeginSelection();
}

bool CHostTreeView::GetNextSelected(std::string& name, std::int64_t* size) {
    return m_fileList != nullptr && m_fileList->GetNextSelected(name, size);
}

bool CHostTreeView::HasFocus() const {
    return m_tree != nullptr && QApplication::focusWidget() == m_tree;
}
