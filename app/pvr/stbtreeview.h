// The PVR folder tree pane (row 1, column 0).
//
// The only place that reads listings from the device. A listing runs on window
// timers, not on a thread: TAVRIX_FindFile starts it, timer 100 polls
// TAVRIX_FindNext one second later and then every half second while the device
// answers "busy", within a budget of polls (30 right after an arrival, when the
// device is often still waking up, else 10), and timer 101 ends it a second
// after the last poll. Meanwhile the main window is disabled and the wait
// notice stands over it. A completed listing gives its folders to the tree
// control and its files, after the recording rules, to the PVR file list.
//
// It also carries out the folder commands on the device and keeps the disk's
// last known free and total bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QWidget>

#include "app/controls/treectrlx.h"
#include "app/pvr/stbfilelistview.h"
#include "device/tavrixapi.h"
#include "platform/message.h"

class CMainFrame;
class CTavrixDoc;

class CSTBTreeView : public QWidget, public CMessageTarget {
public:
    static constexpr int kTreeId = 103;
    static constexpr UINT_PTR kPollTimer = 100;
    static constexpr UINT_PTR kEndTimer = 101;
    static constexpr std::uint32_t kFirstPollMs = 1000;
    static constexpr std::uint32_t kRetryPollMs = 500;
    static constexpr std::uint32_t kEndMs = 1000;
    static constexpr int kArrivalRetries = 30;
    static constexpr int kRetries = 10;
    // Entries one listing can hold.
    static constexpr int kListingCapacity = 1000;

    explicit CSTBTreeView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CSTBTreeView() override;

    // WM_DEVICE_ARRIVAL (wParam: the DeviceDescriptor), WM_DEVICE_REMOVAL and
    // the two listing timers.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void SetFileListView(CSTBFileListView* list) { m_fileList = list; }
    // Starts a listing of the selected folder. When the device refuses to list
    // it, the request ends at once with "Failed while getting file lists..".
    void Refresh();
    // Ends a running listing at once, without a word: the PVR has gone. Its
    // timers stop, the wait notice goes and the main window works again.
    void StopListing();
    // The selected PVR folder with a trailing "\" (C:\PVR\ for the root); false
    // when the tree has no item.
    bool GetCurrentFolder(std::string& path) const;
    // Removes every item; the next arrival builds the root again.
    void ClearTree();
    // Runs action once the file list shows the files of the folder at path (a
    // full PVR path): at once when it does already, else once the folder is
    // selected and listed (a folder whose sub-folders are on show is listed
    // too). False, with nothing run, when the tree has no such folder or its
    // listing could not start; a listing that fails drops the action. A later
    // request replaces one still waiting.
    bool RunInFolder(const std::string& path, std::function<void()> action);
    // True while the file list shows the selected folder's files as listed:
    // what an upload asks about existing files.
    bool IsListShowingFolder() const;
    // The walk over the PVR file list's selection.
    bool BeginSelection();
    bool GetNextSelected(std::string& name, std::int64_t* size = nullptr);
    // Lists recordings' part files as the device lists them; lists again.
    void SetShowHidden(bool show);
    bool GetShowHidden() const { return m_showHidden; }
    // The PVR disk's last known free and total bytes (0 before any listing that
    // reported a disk).
    void GetDiskSpace(std::int64_t& freeBytes, std::int64_t& totalBytes) const;
    // True when the keyboard focus is on the tree control itself.
    bool HasFocus() const;

    // Folder commands on the device, with full PVR paths. The tree follows a
    // successful command. MakeFolder and RemoveFolder leave reporting a failure
    // to the caller; RenameFolder reports it itself.
    bool MakeFolder(const std::string& path);
    bool RemoveFolder(const std::string& path);
    bool RenameFolder(const std::string& oldPath, const std::string& newPath);
    // The PVR's own folders AV, MP3 and IMG (and an empty path), under any drive
    // letter, in any case, with or without one trailing "\".
    static bool IsSystemFolder(const std::string& path);
    // The PVR root C:\PVR (and an empty path), prepared as for IsSystemFolder.
    static bool IsPvrRoot(const std::string& path);
    // Folders no command may delete or rename: the root and the system folders.
    static bool IsProtectedFolder(const std::string& path) {
        return IsPvrRoot(path) || IsSystemFolder(path);
    }

    // The tree control; null until the first arrival creates it.
    CTreeCtrlX* GetTreeCtrl() const { return m_tree; }
    CTavrixDoc* GetDocument() const { return m_document; }
    // The root's label: "product / OEM" of the last arrival.
    const std::string& GetRootLabel() const { return m_rootLabel; }
    // True from a refresh request until its listing has ended.
    bool IsBusy() const { return m_busy; }
    // The folder being listed or listed last.
    const std::string& GetListedFolder() const { return m_currentFolder; }
    // How often a refresh was asked for.
    int GetRefreshCount() const { return m_refreshCount; }

    void SetDeviceCalls(StbDeviceCalls calls) { m_device = std::move(calls); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnDeviceArrived(const DeviceDescriptor* descriptor);
    // Refresh, telling whether the listing started.
    bool StartListing();
    void OnTimer(UINT_PTR id);
    void OnPoll();
    void OnListingEnd();
    void CompleteListing(int found);
    void OnSelChanged();
    void OnTreeKeyDown(int vk);

    CMainFrame* MainFrame() const;
    void SetStatus(const std::string& text) const;
    void SetDialogText(const std::string& text) const;
    void EnableMainFrame(bool enable) const;
    // The folder item at exactly this PVR path (the root for C:\PVR); null when
    // the tree has none there.
    HTREEITEM FindFolderItem(const std::string& path) const;
    // Runs the action waiting for the listing that just ended, if that listing
    // showed its folder.
    void RunPending();

    CTavrixDoc* m_document;
    // Members in the order the listing builds on them.
    CSTBFileListView* m_fileList = nullptr;
    CTreeCtrlX* m_tree = nullptr;
    std::int64_t m_totalBytes = 0;
    std::int64_t m_freeBytes = 0;
    bool m_showHidden = false;
    StbDiskSpace m_diskSpace{};
    int m_retriesLeft = 0;
    bool m_firstListing = false;
    std::string m_currentFolder;
    bool m_busy = false;

    // The folder whose files the list shows as listed; empty once the list
    // was emptied for another folder or a listing failed.
    std::string m_filesOf;
    std::function<void()> m_pending;
    std::string m_pendingFolder;

    QPersistentModelIndex m_lastSelected;
    std::string m_rootLabel;
    int m_refreshCount = 0;
    StbDeviceCalls m_device;
};
