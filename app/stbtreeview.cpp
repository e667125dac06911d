#include "app/stbtreeview.h"

#include <cstring>

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/stbfilelistview.h"
#include "app/usermessages.h"
#include "platform/trace.h"

namespace {

// Descriptor texts come from the device and need not be terminated.
std::string Field(const char* text, std::size_t size) {
    return std::string(text, strnlen(text, size));
}

}  // namespace

CSTBTreeView::CSTBTreeView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setAccessibleName("PVR folders");
}

CSTBTreeView::~CSTBTreeView() = default;

LRESULT CSTBTreeView::WindowProc(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_DEVICE_ARRIVAL:
            TRACE("OnDeviceArrived\n");
            if (wParam != 0) {
                // NOLINTNEXTLINE(performance-no-int-to-ptr): the message carries the pointer
                OnDeviceArrived(reinterpret_cast<const DeviceDescriptor*>(wParam));
            }
            return 0;
        case WM_DEVICE_REMOVAL:
            TRACE("OnDeviceRemoved\n");
            return 0;
        default:
            return 0;
    }
}

void CSTBTreeView::OnDeviceArrived(const DeviceDescriptor* descriptor) {
    m_rootLabel = Field(descriptor->productName, sizeof descriptor->productName) + " / " +
                  Field(descriptor->oemName, sizeof descriptor->oemName);
    if (m_tree == nullptr) {
        m_tree = new QTreeWidget(this);
        m_tree->setHeaderHidden(true);
        m_tree->setAccessibleName("PVR folders");
        layout()->addWidget(m_tree);
    }
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree, {QString::fromStdString(m_rootLabel)});
    root->setIcon(0, QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon));
    m_tree->setCurrentItem(root);
    Refresh();
}

void CSTBTreeView::Refresh() {
    ++m_refreshCount;
}

bool CSTBTreeView::GetCurrentFolder(std::string& path) const {
    if (m_tree == nullptr || m_tree->currentItem() == nullptr) {
        return false;
    }
    path = "C:\\PVR\\";
    return true;
}

void CSTBTreeView::ClearTree() {
    if (m_tree != nullptr) {
        m_tree->clear();
    }
}

bool CSTBTreeView::BeginSelection() {
    return m_fileList != nullptr && m_fileList->BeginSelection();
}

bool CSTBTreeView::GetNextSelected(std::string& name, std::int64_t* size) {
    return m_fileList != nullptr && m_fileList->GetNextSelected(name, size);
}

void CSTBTreeView::SetShowHidden(bool show) {
    m_showHidden = show;
    Refresh();
}

void CSTBTreeView::GetDiskSpace(std::int64_t& freeBytes, std::int64_t& totalBytes) const {
    freeBytes = m_freeBytes;
    totalBytes = m_totalBytes;
}

bool CSTBTreeView::HasFocus() const {
    return m_tree != nullptr && QApplication::focusWidget() == m_tree;
}
