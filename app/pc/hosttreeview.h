// The PC folder tree pane (row 0, column 0): "My Computer", the PC's drives and
// their folders, read from the disk as they are expanded.
//
// Selecting a folder lists its files in the PC file list, which this pane
// drives directly. It is also the PC side's entry point for the file commands
// and the transfer engines: the current folder, the walk over the selected
// files, and making, removing and renaming folders with the tree kept in step.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QWidget>

#include "app/controls/treectrlx.h"
#include "platform/message.h"

class CHostFileListView;
class CTavrixDoc;

class CHostTreeView : public QWidget, public CMessageTarget {
public:
    static constexpr int kTreeId = 103;

    explicit CHostTreeView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CHostTreeView() override;
    CHostTreeView(const CHostTreeView&) = delete;
    CHostTreeView& operator=(const CHostTreeView&) = delete;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Creates and fills the tree control, then selects the initial path; the
    // main window calls it right after creating the pane. False when the
    // control could not be made.
    bool InitTree();
    void SetFileListView(CHostFileListView* list) { m_fileList = list; }
    // Expands the tree down the path and selects its last folder, which lists
    // that folder's files.
    void SelectPath(const std::string& path);
    // The selected folder with a trailing "\"; false when nothing or "My
    // Computer" is selected.
    bool GetCurrentFolder(std::string& path) const;
    // Lists the selected folder's files again; the tree itself is not re-read.
    void Refresh();
    // The walk over the PC file list's selection.
    bool BeginSelection();
    bool GetNextSelected(std::string& name, int* flag = nullptr, std::uintptr_t* value = nullptr);
    // True when the keyboard focus is on the tree control itself.
    bool HasFocus() const;

    // Folder commands: the disk first, then the tree. A failure on the disk
    // leaves the tree as it was.
    bool MakeFolder(const std::string& path);
    // Only an empty folder can be removed.
    bool RemoveFolder(const std::string& path);
    // Retitles the renamed folder's own item (found by its path); nothing
    // changes when the rename fails, and the result is false.
    bool RenameFolder(const std::string& oldPath, const std::string& newPath);

    // True for a drive root (C:, C:\, c:\) and for the empty path.
    static bool IsDriveRoot(const std::string& path);
    // True when the folder holds at least one file or folder.
    static bool HasEntries(const std::string& path);

    // The tree control (nullptr before InitTree).
    CTreeCtrlX* GetTreeCtrl() const { return m_tree.get(); }
    CTavrixDoc* GetDocument() const { return m_document; }
    // How often the file list was asked to list the selected folder again.
    int GetRefreshCount() const { return m_refreshCount; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The tree control's notifications.
    void OnSelChanged();
    void OnKeyDown(int virtualKey);

    std::unique_ptr<CTreeCtrlX> m_tree;
    std::string m_initialPath;
    CHostFileListView* m_fileList = nullptr;

    CTavrixDoc* m_document;
    int m_refreshCount = 0;
};
