// The PVR folder tree pane (row 1, column 0).
//
// PLACEHOLDER: takes the descriptor the main window sends on arrival and shows
// the PVR's root under its label, and offers the operations the main window
// calls. Listing the device (timers, retries, the wait dialog) belongs to the
// real pane, which replaces this one; keep the operations' names and meanings.
#pragma once

#include <cstdint>
#include <string>

#include <QWidget>

#include "device/tavrixapi.h"
#include "platform/message.h"

class CSTBFileListView;
class CTavrixDoc;
class QTreeWidget;

class CSTBTreeView : public QWidget, public CMessageTarget {
public:
    explicit CSTBTreeView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CSTBTreeView() override;

    // WM_DEVICE_ARRIVAL with wParam pointing at the DeviceDescriptor: a
    // compatible PVR is attached.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void SetFileListView(CSTBFileListView* list) { m_fileList = list; }
    CSTBFileListView* GetFileListView() const { return m_fileList; }
    // Reads the selected folder's listing from the device again.
    void Refresh();
    // The selected PVR folder with a trailing "\" (C:\PVR\ for the root); false
    // when the tree has no item.
    bool GetCurrentFolder(std::string& path) const;
    // Removes every item; the next arrival builds the root again.
    void ClearTree();
    // The walk over the PVR file list's selection.
    bool BeginSelection();
    bool GetNextSelected(std::string& name, std::int64_t* size = nullptr);
    // Shows recordings' part files as the device lists them.
    void SetShowHidden(bool show);
    bool GetShowHidden() const { return m_showHidden; }
    // The PVR disk's last known free and total bytes (0 before any listing).
    void GetDiskSpace(std::int64_t& freeBytes, std::int64_t& totalBytes) const;
    // True when the keyboard focus is on the tree control itself.
    bool HasFocus() const;

    // The tree control; null until the first arrival creates it.
    QTreeWidget* GetTreeCtrl() const { return m_tree; }
    CTavrixDoc* GetDocument() const { return m_document; }
    // The root's label: "product / OEM" of the last arrival.
    const std::string& GetRootLabel() const { return m_rootLabel; }
    // Placeholder instrumentation: how often Refresh ran.
    int GetRefreshCount() const { return m_refreshCount; }

private:
    void OnDeviceArrived(const DeviceDescriptor* descriptor);

    CTavrixDoc* m_document;
    CSTBFileListView* m_fileList = nullptr;
    QTreeWidget* m_tree = nullptr;
    std::string m_rootLabel;
    std::int64_t m_totalBytes = 0;
    std::int64_t m_freeBytes = 0;
    bool m_showHidden = false;
    int m_refreshCount = 0;
};
