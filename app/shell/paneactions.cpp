#include "app/shell/paneactions.h"

#include <QDataStream>
#include <QIODevice>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTreeWidgetItem>
#include <QUrl>

#include "app/controls/listctrlx.h"
#include "app/controls/treectrlx.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/pvr/stbfilelistview.h"
#include "app/pvr/stbtreeview.h"
#include "app/res/resources.h"
#include "app/shell/tavrixapp.h"
#include "app/transfer/transfercommands.h"
#include "core/names.h"
#include "core/recordingname.h"
#include "platform/pcfs.h"
#include "platform/templates.h"
#include "platform/user.h"

namespace {

using Pane = CMainFrame::Pane;

// Bumped when the layout of the drag data changes.
constexpr quint8 kDragDataVersion = 1;

std::string ParentOf(const std::string& pcPath) {
    const std::size_t slash = pcPath.rfind('\\');
    return slash == std::string::npos ? std::string() : pcPath.substr(0, slash + 1);
}

// A desktop file as a PC path, or the reason it cannot be one.
struct DesktopFile {
    std::optional<std::string> pcPath;
    std::string refusal;
};

DesktopFile MapDesktopFile(const QUrl& url) {
    const std::string shown =
        url.isLocalFile() ? url.toLocalFile().toStdString() : url.toDisplayString().toStdString();
    if (!url.isLocalFile()) {
        return {std::nullopt, shown + " is not a file on this computer, so it cannot be uploaded."};
    }
    const std::optional<std::string> pcPath = platform::ToPcPath(shown);
    if (!pcPath && shown.find('\\') != std::string::npos) {
        return {std::nullopt, shown +
                                  " has a \"\\\" in its name, which a PC path cannot hold, so it "
                                  "cannot be uploaded."};
    }
    if (!pcPath) {
        return {std::nullopt,
                shown + " is not on any of the PC's drives, so it cannot be uploaded."};
    }
    const auto info = platform::GetFileInfo(*pcPath);
    if (!info) {
        return {std::nullopt, shown + " cannot be found."};
    }
    if (info->isFolder) {
        return {std::nullopt, shown + " is a folder; only files can be uploaded."};
    }
    return {pcPath, {}};
}

}  // namespace

CPaneActions::CPaneActions(CMainFrame& frame) : m_frame(frame) {}

CPaneActions::~CPaneActions() {
    // The controls outlive this object by a little while the frame goes down.
    for (int i = 0; i < 4; ++i) {
        QWidget* control = m_frame.PaneControl(static_cast<Pane>(i));
        if (auto* tree = dynamic_cast<CTreeCtrlX*>(control)) {
            tree->SetPaneHooks({});
        } else if (auto* list = dynamic_cast<CListCtrlX*>(control)) {
            list->SetPaneHooks({});
        }
    }
}

void CPaneActions::AttachControls() {
    for (int i = 0; i < 4; ++i) {
        const auto pane = static_cast<Pane>(i);
        PaneHooks hooks;
        hooks.key = [this, pane](int vk, unsigned modifiers) { return OnKey(pane, vk, modifiers); };
        hooks.contextMenu = [this, pane](QTreeWidgetItem* item, const QPoint& at) {
            OnContextMenu(pane, item, at);
        };
        hooks.canDrop = [this, pane](const QMimeData* data, QTreeWidgetItem* item) {
            return CanDrop(pane, data, item);
        };
        hooks.drop = [this, pane](const QMimeData* data, QTreeWidgetItem* item) {
            OnDrop(pane, data, item);
        };
        QWidget* control = m_frame.PaneControl(pane);
        if (auto* tree = dynamic_cast<CTreeCtrlX*>(control)) {
            tree->SetPaneHooks(std::move(hooks));
        } else if (auto* list = dynamic_cast<CListCtrlX*>(control)) {
            hooks.dragData = [this, pane] { return MakeDragData(pane); };
            list->SetPaneHooks(std::move(hooks));
        }
    }
}

// ---- Keys and commands --------------------------------------------------------------------

void CPaneActions::Activate(Pane pane) const {
    if (QWidget* control = m_frame.PaneControl(pane)) {
        control->setFocus(Qt::OtherFocusReason);
    }
}

void CPaneActions::RunCommand(Pane pane, UINT id) {
    // Only the trees make folders; from a file list the new folder goes into
    // the folder that list shows, which is its tree's.
    if (id == ID_FILE_NEW_FOLDER && !IsTreePane(pane)) {
        pane = IsPvrPane(pane) ? Pane::StbTree : Pane::HostTree;
        if (m_frame.PaneControl(pane) == nullptr) {
            return;
        }
    }
    Activate(pane);
    m_frame.OnPaneCommand(pane, id);
}

bool CPaneActions::OnKey(Pane pane, int vk, unsigned modifiers) {
    // With a modifier these are other keys (Shift+Delete is an accelerator).
    if (modifiers != 0) {
        return false;
    }
    switch (vk) {
        case platform::VK_DELETE:
            RunCommand(pane, ID_FILE_DELETE);
            return true;
        case platform::VK_F2:
            RunCommand(pane, ID_FILE_RENAME);
            return true;
        case platform::VK_F7:
            RunCommand(pane, ID_FILE_NEW_FOLDER);
            return true;
        case platform::VK_F5:
            // The trees list again by themselves.
            if (IsTreePane(pane)) {
                return false;
            }
            m_frame.OnCommand(IsPvrPane(pane) ? ID_PVR_REFRESH : ID_PC_REFRESH);
            return true;
        default:
            return false;
    }
}

// ---- Context menus --------------------------------------------------------------------------

std::optional<std::string> CPaneActions::TargetFolder(Pane pane, QTreeWidgetItem* item) const {
    std::string folder;
    if (IsTreePane(pane) && item != nullptr) {
        const auto* tree = static_cast<const CTreeCtrlX*>(m_frame.PaneControl(pane));
        folder = tree->GetItemPath(item);
        // "My Computer" is no folder.
        if (folder.empty()) {
            return std::nullopt;
        }
        return WithTrailingBackslash(folder);
    }
    const bool found = IsPvrPane(pane) ? m_frame.GetSTBTreeView()->GetCurrentFolder(folder)
                                       : m_frame.GetHostTreeView()->GetCurrentFolder(folder);
    if (!found || folder.empty()) {
        return std::nullopt;
    }
    return folder;
}

void CPaneActions::BuildContextMenu(Pane pane, QTreeWidgetItem* item, QMenu* menu) const {
    switch (pane) {
        case Pane::HostTree:
            platform::BuildPopupMenu(menu, res::PcTreeMenu(), nullptr);
            break;
        case Pane::HostFileList:
            platform::BuildPopupMenu(menu, res::PcListMenu(), nullptr);
            break;
        case Pane::StbTree:
            platform::BuildPopupMenu(menu, res::PvrTreeMenu(), nullptr);
            break;
        case Pane::StbFileList:
            platform::BuildPopupMenu(menu, res::PvrListMenu(), nullptr);
            break;
        case Pane::None:
            return;
    }
    const std::optional<std::string> folder = TargetFolder(pane, item);
    std::string pcFolder;
    std::string pvrFolder;
    const bool havePc = m_frame.GetHostTreeView()->GetCurrentFolder(pcFolder);
    const bool havePvr = m_frame.GetSTBTreeView()->GetCurrentFolder(pvrFolder);
    CHostFileListView* pcList = m_frame.GetHostFileListView();
    CSTBFileListView* pvrList = m_frame.GetSTBFileListView();
    const bool pcSelected =
        pcList->GetListCtrl() != nullptr && pcList->GetListCtrl()->GetSelectedCount() > 0;
    const bool pvrSelected = pvrList->GetListCtrl()->GetSelectedCount() > 0;

    bool canChange = false;  // delete and rename
    bool canMake = folder.has_value();
    switch (pane) {
        case Pane::HostTree:
            canChange = folder && !CHostTreeView::IsDriveRoot(*folder);
            platform::EnableMenuItem(menu, ID_TRANSFER_DOWNLOAD, folder && pvrSelected);
            break;
        case Pane::StbTree:
            canChange = folder && !CSTBTreeView::IsProtectedFolder(*folder);
            platform::EnableMenuItem(menu, ID_TRANSFER_UPLOAD, folder && pcSelected);
            break;
        case Pane::HostFileList: {
            canChange = pcSelected;
            platform::EnableMenuItem(menu, ID_TRANSFER_UPLOAD, pcSelected && havePvr);
            const int first = pcSelected ? pcList->GetListCtrl()->GetNextSelectedItem(-1) : -1;
            const bool recording =
                first >= 0 && HasExtension(pcList->GetListCtrl()->GetItemName(first), "AVR");
            platform::EnableMenuItem(menu, ID_FILE_CONVERT_AVI, recording);
            break;
        }
        case Pane::StbFileList:
            canChange = pvrSelected;
            platform::EnableMenuItem(menu, ID_TRANSFER_DOWNLOAD, pvrSelected && havePc);
            break;
        case Pane::None:
            break;
    }
    platform::EnableMenuItem(menu, ID_FILE_DELETE, canChange);
    platform::EnableMenuItem(menu, ID_FILE_RENAME, canChange);
    platform::EnableMenuItem(menu, ID_FILE_NEW_FOLDER, canMake);
    if (IsPvrPane(pane)) {
        platform::EnableMenuItem(menu, ID_PVR_REFRESH, folder.has_value());
        platform::CheckMenuItem(
            menu, ID_VIEW_SHOW_HIDDEN,
            platform::IsMenuItemChecked(m_frame.menuBar(), ID_VIEW_SHOW_HIDDEN));
    }
}

void CPaneActions::OnContextMenu(Pane pane, QTreeWidgetItem* item, const QPoint& globalPos) {
    Activate(pane);
    // A PC folder is chosen at once; a PVR folder only once a command is, since
    // choosing it there means reading it from the PVR.
    if (pane == Pane::HostTree && item != nullptr) {
        m_frame.GetHostTreeView()->GetTreeCtrl()->SelectItem(item);
    }
    QMenu menu(m_frame.PaneControl(pane));
    BuildContextMenu(pane, item, &menu);
    std::string pvrFolder;
    if (pane == Pane::StbTree && item != nullptr) {
        pvrFolder = m_frame.GetSTBTreeView()->GetTreeCtrl()->GetItemPath(item);
    }
    const UINT id = platform::TrackPopupMenu(&menu, globalPos);
    if (id == 0) {
        return;
    }
    if (pane != Pane::StbTree || id == ID_VIEW_SHOW_HIDDEN || pvrFolder.empty()) {
        RunCommand(pane, id);
        return;
    }
    CSTBTreeView* tree = m_frame.GetSTBTreeView();
    HTREEITEM selected = tree->GetTreeCtrl()->GetSelectedItem();
    const bool listed = selected != nullptr && tree->IsListShowingFolder() &&
                        EqualsNoCase(tree->GetTreeCtrl()->GetItemPath(selected), pvrFolder);
    if (id == ID_PVR_REFRESH && !listed) {
        // Choosing the folder reads it.
        tree->RunInFolder(pvrFolder, [] {});
        return;
    }
    tree->RunInFolder(pvrFolder, [this, id] { RunCommand(Pane::StbTree, id); });
}

// ---- Drag and drop --------------------------------------------------------------------------

QMimeData* CPaneActions::MakeDragData(Pane pane) const {
    if (IsTreePane(pane) || pane == Pane::None) {
        return nullptr;
    }
    const bool pvr = IsPvrPane(pane);
    std::string folder;
    if (!(pvr ? m_frame.GetSTBTreeView()->GetCurrentFolder(folder)
              : m_frame.GetHostTreeView()->GetCurrentFolder(folder))) {
        return nullptr;
    }
    std::vector<TransferSelection> files;
    TransferSelection file;
    if (pvr) {
        CSTBFileListView* list = m_frame.GetSTBFileListView();
        // Files shown for another folder than the tree's cannot be named by it.
        if (!m_frame.GetSTBTreeView()->IsListShowingFolder() || !list->BeginSelection()) {
            return nullptr;
        }
        while (list->GetNextSelected(file.name, &file.size)) {
            files.push_back(file);
        }
    } else {
        CHostFileListView* list = m_frame.GetHostFileListView();
        if (!list->BeginSelection()) {
            return nullptr;
        }
        while (list->GetNextSelected(file.name)) {
            files.push_back(file);
        }
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kDragDataVersion << pvr << QString::fromStdString(folder)
        << static_cast<qint32>(files.size());
    for (const TransferSelection& f : files) {
        out << QString::fromStdString(f.name) << static_cast<qint64>(f.size);
    }
    auto* data = new QMimeData();
    data->setData(kMimeType, bytes);
    return data;
}

std::optional<CPaneActions::DroppedFiles> CPaneActions::ReadDropped(const QMimeData* data) {
    if (data == nullptr) {
        return std::nullopt;
    }
    DroppedFiles dropped;
    if (data->hasFormat(kMimeType)) {
        QDataStream in(data->data(kMimeType));
        quint8 version = 0;
        QString folder;
        qint32 count = 0;
        in >> version >> dropped.fromPvr >> folder >> count;
        if (in.status() != QDataStream::Ok || version != kDragDataVersion || count < 0) {
            return std::nullopt;
        }
        dropped.folder = folder.toStdString();
        for (qint32 i = 0; i < count; ++i) {
            QString name;
            qint64 size = 0;
            in >> name >> size;
            if (in.status() != QDataStream::Ok) {
                return std::nullopt;
            }
            dropped.files.push_back(TransferSelection{name.toStdString(), size, {}});
        }
        return dropped.files.empty() ? std::nullopt : std::optional(dropped);
    }
    if (!data->hasUrls()) {
        return std::nullopt;
    }
    // Desktop files: one batch takes the files of one folder, the folder of
    // the first file that can be taken.
    for (const QUrl& url : data->urls()) {
        const DesktopFile file = MapDesktopFile(url);
        if (!file.pcPath) {
            dropped.refused.push_back(file.refusal);
            continue;
        }
        const std::string folder = ParentOf(*file.pcPath);
        if (dropped.files.empty()) {
            dropped.folder = folder;
        } else if (!EqualsNoCase(folder, dropped.folder)) {
            dropped.refused.push_back(
                url.toLocalFile().toStdString() +
                " is in another folder than the first file; files of one folder are uploaded "
                "at a time.");
            continue;
        }
        dropped.files.push_back(TransferSelection{LastComponent(*file.pcPath), 0, {}});
    }
    if (dropped.files.empty() && dropped.refused.empty()) {
        return std::nullopt;
    }
    return dropped;
}

bool CPaneActions::CanDrop(Pane pane, const QMimeData* data, QTreeWidgetItem* item) const {
    if (pane == Pane::None || data == nullptr) {
        return false;
    }
    const bool internal = data->hasFormat(kMimeType);
    if (!internal && !data->hasUrls()) {
        return false;
    }
    if (internal) {
        // Files cross from one side to the other; within a side they stay.
        const std::optional<DroppedFiles> dropped = ReadDropped(data);
        if (!dropped || dropped->fromPvr == IsPvrPane(pane)) {
            return false;
        }
    } else if (!IsPvrPane(pane)) {
        return false;  // desktop files only go up to the PVR
    }
    return TargetFolder(pane, item).has_value();
}

void CPaneActions::OnDrop(Pane pane, const QMimeData* data, QTreeWidgetItem* item) {
    std::optional<DroppedFiles> dropped = ReadDropped(data);
    const std::optional<std::string> target = TargetFolder(pane, item);
    if (!dropped || !target) {
        return;
    }
    // The transfer asks and shows windows of its own: not inside the drag.
    const HWND frame = m_frame.GetSafeHwnd();
    platform::PostToUiThread([this, frame, pane, folder = *target, files = std::move(*dropped)] {
        if (IsWindow(frame)) {
            RunDrop(pane, folder, files);
        }
    });
}

void CPaneActions::RunDrop(Pane pane, const std::string& target, const DroppedFiles& dropped) {
    if (!dropped.refused.empty()) {
        std::string text;
        for (const std::string& line : dropped.refused) {
            text += (text.empty() ? "" : "\n") + line;
        }
        AppMessageBox(m_frame.GetSafeHwnd(), text, MB_ICONSTOP);
    }
    if (dropped.files.empty()) {
        return;
    }
    CTransferCommands& transfers = m_frame.GetTransferCommands();
    if (IsPvrPane(pane)) {
        std::vector<std::string> names;
        names.reserve(dropped.files.size());
        for (const TransferSelection& file : dropped.files) {
            names.push_back(file.name);
        }
        // The PVR folder is read first, so that the files already there are
        // asked about.
        m_frame.GetSTBTreeView()->RunInFolder(
            target, [&transfers, folder = dropped.folder, names = std::move(names)] {
                transfers.UploadFiles(folder, names);
            });
        return;
    }
    // PVR files: they must still be the ones the PVR list shows.
    std::string pvrFolder;
    if (!m_frame.GetSTBTreeView()->GetCurrentFolder(pvrFolder) ||
        !EqualsNoCase(pvrFolder, dropped.folder) ||
        !m_frame.GetSTBTreeView()->IsListShowingFolder()) {
        return;
    }
    CHostTreeView* pcTree = m_frame.GetHostTreeView();
    std::string pcFolder;
    if (!pcTree->GetCurrentFolder(pcFolder) || !EqualsNoCase(pcFolder, target)) {
        pcTree->SelectPath(target);
        if (!pcTree->GetCurrentFolder(pcFolder) || !EqualsNoCase(pcFolder, target)) {
            return;  // the folder has gone
        }
    }
    transfers.DownloadFiles(dropped.files);
}
