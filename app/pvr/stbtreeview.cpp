#include "app/pvr/stbtreeview.h"

#include <array>
#include <cstdio>
#include <vector>

#include <QApplication>

#include "app/shell/mainfrm.h"
#include "app/shell/onrefreshdlg.h"
#include "app/shell/tavrixapp.h"
#include "core/names.h"
#include "device/listingrules.h"
#include "device/tavrixcalls.h"
#include "platform/clock.h"
#include "platform/syscolor.h"
#include "platform/templates.h"
#include "platform/trace.h"
#include "platform/user.h"
#include "platform/usermessages.h"

namespace {

constexpr std::int64_t kMiB = 1048576;
constexpr const char* kFailedDialogText = "Failed while getting file lists...";
constexpr const char* kFailedStatusText = "Failed while getting file lists..";
constexpr const char* kErrorText = "Error occurred.";

// The one listing buffer of the program. The completion step lends it to the
// recording rules, the tree control and the file list; none of them keeps it.
struct ListingBuffer {
    std::array<StbFindData, CSTBTreeView::kListingCapacity> entries{};
    int count = 0;
};
ListingBuffer& Listing() {
    static ListingBuffer buffer;
    return buffer;
}

std::string Format(const char* format, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Any drive letter goes, and one trailing "\" is dropped, so that C:\PVR\AV\,
// d:\pvr\av and the like all come out as ":\PVR\AV" in some case.
std::string PrepareProtectedPath(std::string path) {
    if (path.size() >= 2 && path[1] == ':' && Upper(path[0]) >= 'A' && Upper(path[0]) <= 'Z') {
        path.erase(0, 1);
    }
    return WithoutTrailingBackslash(std::move(path));
}

}  // namespace

CSTBTreeView::CSTBTreeView(CTavrixDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document) {
    setAccessibleName("PVR folders");
    // Until the first PVR the pane has no tree to cover it; it looks empty the
    // same way before and after one, as the other panes do.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, GetSysColor(COLOR_WINDOW));
    setPalette(pal);
    setAutoFillBackground(true);
}

CSTBTreeView::~CSTBTreeView() {
    // A listing may still be running; its timers must not outlive the view.
    KillTimer(GetSafeHwnd(), kPollTimer);
    KillTimer(GetSafeHwnd(), kEndTimer);
    if (m_tree != nullptr) {
        m_tree->SetSelChangedHandler(nullptr);
        m_tree->SetKeyDownHandler(nullptr);
    }
}

LRESULT CSTBTreeView::WindowProc(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_DEVICE_ARRIVAL:
            TRACE_AT("OnDeviceArrived");
            if (wParam != 0) {
                // NOLINTNEXTLINE(performance-no-int-to-ptr): the message carries the pointer
                OnDeviceArrived(reinterpret_cast<const DeviceDescriptor*>(wParam));
            }
            return 0;
        case WM_DEVICE_REMOVAL:
            TRACE_AT("OnDeviceRemoved");
            return 0;
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            return 0;
        default:
            return 0;
    }
}

void CSTBTreeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_tree != nullptr) {
        m_tree->setGeometry(rect());
        m_tree->update();
    }
}

// ---- The main window's services ------------------------------------------------------

CMainFrame* CSTBTreeView::MainFrame() const {
    return dynamic_cast<CMainFrame*>(window());
}

void CSTBTreeView::SetStatus(const std::string& text) const {
    const CMainFrame* frame = MainFrame();
    if (frame != nullptr && IsWindow(frame->GetSafeHwnd())) {
        SendMessage(frame->GetSafeHwnd(), WM_SET_STATUS_TEXT,
                    reinterpret_cast<WPARAM>(text.c_str()), 0);
    }
}

void CSTBTreeView::SetDialogText(const std::string& text) const {
    const CMainFrame* frame = MainFrame();
    COnRefreshDlg* dialog = frame != nullptr ? frame->GetRefreshDialog() : nullptr;
    if (dialog != nullptr && dialog->IsCreated()) {
        dialog->SetText(text);
    }
}

void CSTBTreeView::EnableMainFrame(bool enable) const {
    CMainFrame* frame = MainFrame();
    if (frame == nullptr) {
        return;
    }
    frame->setEnabled(enable);
    COnRefreshDlg* dialog = frame->GetRefreshDialog();
    if (dialog != nullptr && dialog->IsCreated()) {
        dialog->setVisible(!enable);
    }
}

// ---- Device arrival ------------------------------------------------------------------

void CSTBTreeView::OnDeviceArrived(const DeviceDescriptor* descriptor) {
    // Descriptor texts come from the device and need not be terminated.
    m_rootLabel = std::string(FieldText(descriptor->productName)) + " / " +
                  std::string(FieldText(descriptor->oemName));
    m_firstListing = true;
    if (m_tree == nullptr) {
        m_tree = new CTreeCtrlX(this);
        m_tree->SetPaneName("PVR folders");
        m_tree->Create(this, rect(), kTreeId);
        m_tree->SetSelChangedHandler([this] { OnSelChanged(); });
        m_tree->SetKeyDownHandler([this](int vk) { OnTreeKeyDown(vk); });
        if (CMainFrame* frame = MainFrame()) {
            frame->OnPaneControlCreated();
        }
    } else if (m_tree->GetRootItem() != nullptr) {
        // Announced again without a removal between: one root, not two.
        m_lastSelected = QPersistentModelIndex();
        m_tree->ClearImages();
        m_tree->DeleteAllItems();
    }
    m_tree->m_rootLabel = m_rootLabel;
    m_tree->Init(CTreeCtrlX::kPvrMode);
    m_lastSelected = m_tree->ItemHandle(m_tree->GetRootItem());
    Refresh();
}

// ---- Listing -------------------------------------------------------------------------

void CSTBTreeView::Refresh() {
    StartListing();
}

bool CSTBTreeView::StartListing() {
    ++m_refreshCount;
    Listing().count = 0;
    m_busy = true;
    if (m_tree == nullptr || m_tree->GetSelectedPath(m_currentFolder) == nullptr) {
        return false;
    }
    std::string pattern = m_currentFolder;
    if (pattern.empty() || pattern.back() != '\\') {
        pattern += '\\';
    }
    pattern += "*.*";
    SetStatus("Requested refresh file lists....");
    if (m_device.findFile(pattern.c_str()) == 0) {
        TRACE_AT("TAVRIX_FindFile() seems to get an error...");
        // Nothing is being listed, so nothing may hold the selection: a folder
        // that has vanished from the PVR would otherwise trap it for good.
        m_busy = false;
        SetStatus(kFailedStatusText);
        return false;
    }
    if (m_firstListing) {
        m_retriesLeft = kArrivalRetries;
        m_firstListing = false;
    } else {
        m_retriesLeft = kRetries;
    }
    // The end of an earlier listing still pending would end this one early.
    KillTimer(GetSafeHwnd(), kEndTimer);
    SetTimer(GetSafeHwnd(), kPollTimer, kFirstPollMs);
    EnableMainFrame(false);
    return true;
}

void CSTBTreeView::StopListing() {
    m_pending = nullptr;
    if (!m_busy) {
        return;
    }
    KillTimer(GetSafeHwnd(), kPollTimer);
    KillTimer(GetSafeHwnd(), kEndTimer);
    m_busy = false;
    if (m_tree != nullptr) {
        m_tree->SetEnabled(true);
    }
    EnableMainFrame(true);
}

void CSTBTreeView::OnTimer(UINT_PTR id) {
    if (id == kPollTimer) {
        OnPoll();
    } else if (id == kEndTimer) {
        OnListingEnd();
    }
}

void CSTBTreeView::OnPoll() {
    if (CMainFrame* frame = MainFrame()) {
        frame->setEnabled(false);
    }
    KillTimer(GetSafeHwnd(), kPollTimer);
    ListingBuffer& listing = Listing();
    const int room = kListingCapacity - listing.count;
    int n = m_device.findNext(0, room, &m_diskSpace, listing.entries.data() + listing.count);
    --m_retriesLeft;
    // The library answers "busy" for a PVR that has gone; polling it on would
    // only count down behind a disabled window. Its removal notice follows.
    if (n == -1 && !m_device.devicePresent()) {
        SetStatus(kFailedStatusText);
        StopListing();
        return;
    }
    // A device that answers anything but "busy", "none" or a count that fits has
    // failed the listing as surely as one that stays busy; ending it like one
    // keeps the main window from staying disabled.
    if (m_retriesLeft <= 0 || n < -1 || n > room) {
        m_filesOf.clear();
        SetDialogText(kFailedDialogText);
        SetStatus(kFailedStatusText);
        SetTimer(GetSafeHwnd(), kEndTimer, kEndMs);
        return;
    }
    if (n == 0) {
        // The list is left as it was: it shows the folder only when it was
        // emptied for it (or already showed it empty).
        if (m_fileList == nullptr || m_fileList->GetItemCount() == 0) {
            m_filesOf = m_currentFolder;
        } else {
            m_filesOf.clear();
        }
        SetStatus("No files found.");
        SetTimer(GetSafeHwnd(), kEndTimer, kEndMs);
        return;
    }
    if (n == -1) {
        const std::string text =
            Format("Retrying, wait just for a while...retry remains %d", m_retriesLeft);
        SetDialogText(text);
        SetStatus(text);
        SetTimer(GetSafeHwnd(), kPollTimer, kRetryPollMs);
        return;
    }
    CompleteListing(n);
    SetDialogText("Completed");
    SetTimer(GetSafeHwnd(), kEndTimer, kEndMs);
}

void CSTBTreeView::CompleteListing(int found) {
    ListingBuffer& listing = Listing();
    const StbDiskSpace space = m_diskSpace;
    TRACE_AT("Free Disk %d / %d", static_cast<int>(space.freeBytes / kMiB),
             static_cast<int>(space.totalBytes / kMiB));
    listing.count += found;
    m_device.findClose(0);

    std::uint32_t used = 0;
    if (space.totalBytes > 0) {
        const auto totalMiB = static_cast<std::uint32_t>(space.totalBytes / kMiB);
        const auto freeMiB = static_cast<std::uint32_t>(space.freeBytes / kMiB);
        // A disk under 1 MiB has no whole MiB to divide by; it counts as unused.
        if (totalMiB > 0) {
            used = ((totalMiB - freeMiB) * 100u) / totalMiB;
        }
        m_freeBytes = space.freeBytes;
        m_totalBytes = space.totalBytes;
    }

    // Sanitising always runs: the names come from the device and end up in
    // paths on both sides.
    PrepareListing(m_currentFolder, listing.count, listing.entries.data(), m_showHidden);

    int shown = 0;
    for (int i = 0; i < listing.count; ++i) {
        const StbFindData& entry = listing.entries[static_cast<std::size_t>(i)];
        if (entry.name[0] == '\0') {
            continue;
        }
        const std::string name(FieldText(entry.name));
        if (entry.kind == STB_ENTRY_FILE) {
            TRACE_AT("==>[%s] %lld bytes", name.c_str(), static_cast<long long>(entry.size));
            ++shown;
        } else if (entry.kind == STB_ENTRY_FOLDER) {
            TRACE_AT("==>[%s]", name.c_str());
            ++shown;
        }
    }
    std::string status = Format("%d files found....(%d MBytes free, %d %% used)", shown,
                                static_cast<int>(space.freeBytes / kMiB), static_cast<int>(used));
    // A full buffer may be all the device would give, not all the folder holds.
    if (listing.count >= kListingCapacity) {
        status += Format("; the PVR lists at most %d entries, so the folder may hold more",
                         kListingCapacity);
    }
    SetStatus(status);

    if (m_tree != nullptr) {
        m_tree->FillFromList(m_currentFolder, listing.count, listing.entries.data());
    }
    if (m_fileList != nullptr) {
        m_fileList->FillList(m_currentFolder, listing.count, listing.entries.data());
    }
    m_filesOf = m_currentFolder;
}

void CSTBTreeView::OnListingEnd() {
    m_busy = false;
    if (m_tree != nullptr) {
        m_tree->SetEnabled(true);
    }
    KillTimer(GetSafeHwnd(), kEndTimer);
    EnableMainFrame(true);
    if (m_tree != nullptr) {
        m_tree->setFocus();
    }
    RunPending();
}

bool CSTBTreeView::IsListShowingFolder() const {
    std::string selected;
    return !m_busy && m_tree != nullptr && m_tree->GetSelectedItem() != nullptr &&
           m_tree->GetSelectedPath(selected) != nullptr && !m_filesOf.empty() &&
           EqualsNoCase(WithoutTrailingBackslash(selected), WithoutTrailingBackslash(m_filesOf));
}

bool CSTBTreeView::RunInFolder(const std::string& path, std::function<void()> action) {
    m_pending = nullptr;
    HTREEITEM item = FindFolderItem(path);
    if (item == nullptr || m_busy) {
        return false;
    }
    if (item == m_tree->GetSelectedItem() && IsListShowingFolder()) {
        action();
        return true;
    }
    m_pending = std::move(action);
    m_pendingFolder = m_tree->GetItemPath(item);
    if (item != m_tree->GetSelectedItem()) {
        m_tree->SelectItem(item);
    }
    // A folder whose sub-folders are on show is not listed on selection.
    if (!m_busy) {
        StartListing();
    }
    if (!m_busy) {
        m_pending = nullptr;
        return false;
    }
    return true;
}

void CSTBTreeView::RunPending() {
    std::function<void()> action = std::move(m_pending);
    m_pending = nullptr;
    if (action && IsListShowingFolder() &&
        EqualsNoCase(WithoutTrailingBackslash(m_currentFolder),
                     WithoutTrailingBackslash(m_pendingFolder))) {
        action();
    }
}

// ---- Tree notifications --------------------------------------------------------------

void CSTBTreeView::OnSelChanged() {
    TRACE_AT("Changed.");
    if (m_firstListing) {
        return;
    }
    if (m_busy) {
        // The listing fills the folder it started on; the selection goes back
        // there. The item may have gone with a deleted folder meanwhile.
        HTREEITEM last = m_tree->ItemOf(m_lastSelected);
        if (m_tree->GetSelectedItem() != last) {
            m_tree->SelectItem(last);
        }
        return;
    }
    m_lastSelected = m_tree->ItemHandle(m_tree->GetSelectedItem());
    std::string path;
    m_tree->GetSelectedPath(path);
    TRACE_AT("selected = %s", path.c_str());
    SetStatus(path);
    if (m_tree->NeedsListing()) {
        Refresh();
    }
    if (m_fileList != nullptr) {
        m_fileList->ClearList();
    }
    m_filesOf.clear();
}

void CSTBTreeView::OnTreeKeyDown(int vk) {
    if (vk != platform::VK_F5 || StartListing()) {
        return;
    }
    // A folder the PVR cannot list any more has most likely vanished: its parent
    // is listed instead, which also takes the folder out of the tree. With the
    // PVR itself gone there is nothing to go up to.
    HTREEITEM item = m_tree != nullptr ? m_tree->GetSelectedItem() : nullptr;
    if (item == nullptr || item->parent() == nullptr || !m_device.devicePresent()) {
        return;
    }
    const int refreshes = m_refreshCount;
    m_tree->SelectItem(item->parent());
    // With its sub-folders on show, selecting the parent asked for no listing.
    if (m_refreshCount == refreshes) {
        StartListing();
    }
}

// ---- Operations ----------------------------------------------------------------------

bool CSTBTreeView::GetCurrentFolder(std::string& path) const {
    if (m_tree == nullptr) {
        return false;
    }
    std::string selected;
    if (m_tree->GetSelectedPath(selected) == nullptr) {
        return false;
    }
    if (selected.empty() || selected.back() != '\\') {
        selected += '\\';
    }
    path = selected;
    return true;
}

void CSTBTreeView::ClearTree() {
    if (m_tree == nullptr) {
        return;
    }
    m_lastSelected = QPersistentModelIndex();
    m_pending = nullptr;
    m_filesOf.clear();
    m_tree->ClearImages();
    m_tree->DeleteAllItems();
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

bool CSTBTreeView::MakeFolder(const std::string& path) {
    FileControlBlock fcb;
    if (!BuildFileControlBlock(&fcb, FCNTL_MAKE_FOLDER, path) || !m_device.fcntl(&fcb)) {
        return false;
    }
    const std::size_t slash = path.rfind('\\');
    const std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (m_tree != nullptr) {
        m_tree->AddFolder(parent, LastComponent(path));
    }
    return true;
}

bool CSTBTreeView::RemoveFolder(const std::string& path) {
    FileControlBlock fcb;
    if (!BuildFileControlBlock(&fcb, FCNTL_REMOVE_FOLDER, path) || !m_device.fcntl(&fcb)) {
        return false;
    }
    if (m_tree != nullptr) {
        m_tree->DeleteItemByPath(path);
    }
    return true;
}

bool CSTBTreeView::RenameFolder(const std::string& oldPath, const std::string& newPath) {
    FileControlBlock fcb;
    if (!BuildFileControlBlock(&fcb, FCNTL_RENAME, oldPath, newPath) || !m_device.fcntl(&fcb)) {
        AppMessageBox(GetSafeHwnd(), kErrorText, MB_ICONSTOP);
        return false;
    }
    // The item at the old path, not merely the first one with its name: folders
    // of the same name elsewhere in the tree were not renamed.
    HTREEITEM item = FindFolderItem(oldPath);
    if (item == nullptr) {
        return false;
    }
    m_tree->SetItemText(item, LastComponent(newPath));
    return true;
}

HTREEITEM CSTBTreeView::FindFolderItem(const std::string& path) const {
    if (m_tree == nullptr) {
        return nullptr;
    }
    if (EqualsNoCase(WithoutTrailingBackslash(path), "C:\\PVR")) {
        return m_tree->GetRootItem();
    }
    // Nothing else names the root, not even an empty path.
    HTREEITEM item = m_tree->FindExactItemByPath(path);
    return item == m_tree->GetRootItem() ? nullptr : item;
}

bool CSTBTreeView::IsSystemFolder(const std::string& path) {
    if (path.empty()) {
        return true;
    }
    const std::string copy = PrepareProtectedPath(path);
    return EqualsNoCase(copy, ":\\PVR\\AV") || EqualsNoCase(copy, ":\\PVR\\MP3") ||
           EqualsNoCase(copy, ":\\PVR\\IMG");
}

bool CSTBTreeView::IsPvrRoot(const std::string& path) {
    return path.empty() || EqualsNoCase(PrepareProtectedPath(path), ":\\PVR");
}
