// The PC folder tree pane (row 0, column 0).
//
// PLACEHOLDER: offers the operations the main window calls, over a plain Qt
// tree that shows only the selected folder. The real pane, with the drives
// under "My Computer" and lazy reading, replaces it; keep the operations' names
// and meanings.
#pragma once

#include <cstdint>
#include <string>

#include <QWidget>

#include "platform/message.h"

class CHostFileListView;
class CTavrixDoc;
class QTreeWidget;

class CHostTreeView : public QWidget, public CMessageTarget {
public:
    explicit CHostTreeView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CHostTreeView() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Creates and fills the tree control; the main window calls it right after
    // creating the pane. False when the control could not be made.
    bool InitTree();
    void SetFileListView(CHostFileListView* list) { m_fileList = list; }
    CHostFileListView* GetFileListView() const { return m_fileList; }
    // Selects the folder (a PC path) and lists its files. A folder that does not
    // exist leaves the selection as it was.
    void SelectPath(const std::string& path);
    // The selected folder with a trailing "\"; false when none is selected.
    bool GetCurrentFolder(std::string& path) const;
    // Lists the selected folder's files again.
    void Refresh();
    // The walk over the PC file list's selection.
    bool BeginSelection();
    bool GetNextSelected(std::string& name, std::int64_t* size = nullptr);
    // True when the keyboard focus is on the tree control itself.
    bool HasFocus() const;

    QTreeWidget* GetTreeCtrl() const { return m_tree; }
    CTavrixDoc* GetDocument() const { return m_document; }
    // Placeholder instrumentation: how often Refresh ran.
    int GetRefreshCount() const { return m_refreshCount; }

private:
    CTavrixDoc* m_document;
    CHostFileListView* m_fileList = nullptr;
    QTreeWidget* m_tree = nullptr;
    std::string m_initialPath;
    std::string m_selected;  // the selected folder as a PC path, empty for none
    int m_refreshCount = 0;
};
