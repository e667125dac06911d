// The PVR file list pane (row 1, column 1).
//
// PLACEHOLDER: offers the operations the main window and the PVR folder tree
// call, over a plain Qt list. The real pane, with its own list control, the
// recording rows and the device file commands, replaces it; keep the
// operations' names and meanings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QWidget>

#include "device/tavrixapi.h"
#include "platform/message.h"

class CTavrixDoc;
class QTreeWidget;

class CSTBFileListView : public QWidget, public CMessageTarget {
public:
    explicit CSTBFileListView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CSTBFileListView() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Replaces the rows by the file entries of a listing of folder.
    void FillList(const std::string& folder, int count, const StbFindData* entries);
    // Removes every row.
    void ClearList();

    // A walk over the selected rows in ascending order.
    bool BeginSelection();
    bool GetNextSelected(std::string& name, std::int64_t* size = nullptr);
    int CountSelected();
    // The size of the first row named name, compared without regard to case.
    bool FindByName(const std::string& name, std::int64_t* size = nullptr) const;
    // True when the keyboard focus is on the list control itself.
    bool HasFocus() const;

    QTreeWidget* GetListCtrl() const { return m_list; }
    CTavrixDoc* GetDocument() const { return m_document; }
    int GetItemCount() const;

private:
    CTavrixDoc* m_document;
    QTreeWidget* m_list;
    std::vector<int> m_walk;
    std::size_t m_walkPos = 0;
};
