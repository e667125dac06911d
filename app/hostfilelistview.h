// The PC file list pane (row 0, column 1).
//
// PLACEHOLDER: offers the operations the main window and the PC folder tree
// call, over a plain Qt list. The real pane, with its own list control, icons
// and file commands, replaces it; keep the operations' names and meanings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QWidget>

#include "platform/message.h"

class CTavrixDoc;
class QTreeWidget;

class CHostFileListView : public QWidget, public CMessageTarget {
public:
    explicit CHostFileListView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CHostFileListView() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The folder the list starts with (the last PC folder at start-up).
    void SetFolder(const std::string& path);
    const std::string& GetFolder() const { return m_folder; }
    // Rows from the files of the folder (folders are not listed).
    void FillList(const std::string& folder);

    // A walk over the selected rows in ascending order.
    bool BeginSelection();
    bool GetNextSelected(std::string& name, std::int64_t* size = nullptr);
    int CountSelected();
    // True when the keyboard focus is on the list control itself.
    bool HasFocus() const;

    // The inner list control: the window whose focus makes this pane active.
    QTreeWidget* GetListCtrl() const { return m_list; }
    int GetItemCount() const;
    CTavrixDoc* GetDocument() const { return m_document; }

private:
    CTavrixDoc* m_document;
    QTreeWidget* m_list;
    std::string m_folder;
    std::vector<int> m_walk;
    std::size_t m_walkPos = 0;
};
