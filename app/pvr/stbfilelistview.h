// The PVR file list pane (row 1, column 1).
//
// Shows the files of the PVR folder the PVR tree listed last, one row each with
// its name, its size in KB and its time stamp, and keeps every row's exact byte
// count with it: the transfer and file commands read those sizes together
// with the selection, and the KB column is rounded down. The columns sort by
// name, by that exact size and by the time stamp when their headings are
// clicked; each row keeps its own size wherever it goes. It never reads a
// listing itself; the PVR tree fills it when a listing completes. Delete and
// rename go to the device from here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "device/tavrixapi.h"
#include "platform/message.h"

class CListCtrlX;
class CTavrixDoc;

// The device calls of the PVR panes. They default to the device library; a test
// can put a filter in between to watch the calls or bend the answers.
struct StbDeviceCalls {
    std::function<int(const char* pattern)> findFile = TAVRIX_FindFile;
    std::function<int(int handle, int capacity, StbDiskSpace* space, StbFindData* entries)>
        findNext = TAVRIX_FindNext;
    std::function<void(int handle)> findClose = TAVRIX_FindClose;
    std::function<bool()> devicePresent = TAVRIX_DevicePresent;
    std::function<bool(const FileControlBlock* fcb)> fcntl = TAVRIX_FCntl;
};

class CSTBFileListView : public QWidget, public CMessageTarget {
public:
    static constexpr int kListId = 105;
    // As many rows as a listing holds entries.
    static constexpr int kMaxRows = 1000;
    // The date column's sort key: the time stamp as one number that orders
    // as time does.
    static std::int64_t DateKey(const StbFindData& entry);

    explicit CSTBFileListView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CSTBFileListView() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Replaces every row by the file entries of a listing of folder, in listing
    // order; folders and empty slots are skipped.
    void FillList(const std::string& folder, int count, const StbFindData* entries);
    // Removes every row.
    void ClearList();

    // A walk over the selected rows in ascending order. GetNextSelected gives
    // each row's text and exact byte count; false when the walk is over or was
    // never begun.
    bool BeginSelection();
    bool GetNextSelected(std::string& name, std::int64_t* size = nullptr);
    int CountSelected();
    // The size of the first row named name, compared without regard to case.
    bool FindByName(const std::string& name, std::int64_t* size = nullptr) const;
    // True when the keyboard focus is on the list control itself.
    bool HasFocus() const;

    // Deletes the file on the device (full PVR path) and drops its row. False
    // when the device refused, or when no row had the file's name.
    bool DeleteFile(const std::string& path);
    // Renames the file on the device (full PVR paths) and retitles its row. A
    // device failure is reported to the user here; false also when no row had
    // the old name.
    bool RenameFile(const std::string& oldPath, const std::string& newPath);

    CListCtrlX* GetListCtrl() const { return m_list; }
    CTavrixDoc* GetDocument() const { return m_document; }
    int GetItemCount() const;
    // The exact byte count kept for a row; -1 for a row that does not exist.
    std::int64_t GetRowSize(int row) const;

    void SetDeviceCalls(StbDeviceCalls calls) { m_device = std::move(calls); }

    // The texts of the size and date columns.
    static std::string FormatSizeKb(std::int64_t bytes);
    static std::string FormatDate(const StbFindData& entry);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnInitialUpdate();
    int FindRow(const std::string& name) const;

    CTavrixDoc* m_document;
    CListCtrlX* m_list = nullptr;
    int m_walkPos = -1;  // the next selected row of the walk; -1 when it is over
    StbDeviceCalls m_device;
};
