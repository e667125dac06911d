// The habits of a file manager in the four panes: keys, context menus, and
// dragging files from one side to the other or in from the desktop. None of
// them does anything of its own: each ends at the main window's command
// handlers, or at the transfer commands with the dropped files in place of a
// selection, with their prompts and their progress window.
//
//   Delete, F2, F7    delete, rename, new folder (F7 in a file list: in the
//                     folder of that side's tree, which takes the focus)
//   F5                the file lists too list their folder again
//   Enter, Ctrl+A     a file list opens its selection / selects every row
//   Backspace         a tree goes up to the parent folder
//
// A right click makes its pane the active one, so the file commands act on
// the side clicked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/mainfrm.h"
#include "transfer/batchbuilder.h"

class QMenu;
class QMimeData;
class QPoint;
class QTreeWidgetItem;

class CPaneActions {
public:
    // What a drag of pane files carries.
    static constexpr const char* kMimeType = "application/x-tavrix-pane-files";

    // Files dragged from a pane or from the desktop, ready to be moved.
    struct DroppedFiles {
        bool fromPvr = false;
        std::string folder;  // their folder, with its trailing "\"
        std::vector<TransferSelection> files;
        // Desktop files that cannot be taken, each with its reason.
        std::vector<std::string> refused;
    };

    explicit CPaneActions(CMainFrame& frame);
    ~CPaneActions();
    CPaneActions(const CPaneActions&) = delete;
    CPaneActions& operator=(const CPaneActions&) = delete;

    // Hands the hooks to every pane control there is. The PVR tree makes its
    // control at the first PVR and has this called again then.
    void AttachControls();

    // A key in a pane; true when it was taken.
    bool OnKey(CMainFrame::Pane pane, int vk, unsigned modifiers);
    // The pane's context menu, over a row or folder (null: none).
    void OnContextMenu(CMainFrame::Pane pane, QTreeWidgetItem* item, const QPoint& globalPos);
    // Fills the pane's context menu as it pops up for the item: what does not
    // apply is greyed, and "Show hidden PVR files" has the View menu's mark.
    void BuildContextMenu(CMainFrame::Pane pane, QTreeWidgetItem* item, QMenu* menu) const;

    // The selected files of a file list, as a drag carries them; null when
    // nothing is selected.
    QMimeData* MakeDragData(CMainFrame::Pane pane) const;
    bool CanDrop(CMainFrame::Pane pane, const QMimeData* data, QTreeWidgetItem* item) const;
    // Takes the files in: PC files go up into the PVR folder dropped on (the
    // PVR tree's folder for its list), PVR files come down into the PC folder.
    // The transfer starts once the drag has ended.
    void OnDrop(CMainFrame::Pane pane, const QMimeData* data, QTreeWidgetItem* item);

    // What the data holds: pane files, or desktop files (file URLs) mapped to
    // PC paths. nullopt when it holds neither.
    static std::optional<DroppedFiles> ReadDropped(const QMimeData* data);

private:
    static bool IsPvrPane(CMainFrame::Pane pane) {
        return pane == CMainFrame::Pane::StbTree || pane == CMainFrame::Pane::StbFileList;
    }
    static bool IsTreePane(CMainFrame::Pane pane) {
        return pane == CMainFrame::Pane::StbTree || pane == CMainFrame::Pane::HostTree;
    }
    // The folder a drop or a menu over the item concerns; nullopt when none.
    std::optional<std::string> TargetFolder(CMainFrame::Pane pane, QTreeWidgetItem* item) const;
    // Gives the pane's control the keyboard focus, so the file commands act on it.
    void Activate(CMainFrame::Pane pane) const;
    // A command as that pane asks for it: new folder from a file list goes to
    // the side's tree.
    void RunCommand(CMainFrame::Pane pane, UINT id);
    void RunDrop(CMainFrame::Pane pane, const std::string& target, const DroppedFiles& dropped);

    CMainFrame& m_frame;
};
