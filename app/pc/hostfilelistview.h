// The PC file list pane (row 0, column 1): the files of the folder selected in
// the PC folder tree that the PVR can take (recordings, music and software
// images) and converted recordings, one row each with its size in kilobytes
// and its creation date. A click on a column's heading sorts the rows by it.
//
// The PC folder tree drives it through FillList; the file commands and the
// upload engine read its selection and delete or rename single files through
// it. Opening a row starts the file's program, or the recording conversion for
// an .AVR recording (the message 0x414 to the main window).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <QWidget>

#include "app/controls/listctrlx.h"
#include "platform/message.h"
#include "platform/pcfs.h"

class CTavrixDoc;

class CHostFileListView : public QWidget, public CMessageTarget {
public:
    static constexpr int kListId = 106;

    explicit CHostFileListView(CTavrixDoc* document, QWidget* parent = nullptr);
    ~CHostFileListView() override;
    CHostFileListView(const CHostFileListView&) = delete;
    CHostFileListView& operator=(const CHostFileListView&) = delete;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Creates the list and its columns and lists the initial folder. Runs once:
    // the main window calls it when its panes are in place, and a pane shown
    // without that does it itself.
    void OnInitialUpdate();

    // The folder the list starts with (the last PC folder at start-up).
    void SetFolder(const std::string& path);
    const std::string& GetFolder() const { return m_initialFolder; }
    // The folder whose files the rows are: the last one FillList could read.
    const std::string& GetListedFolder() const { return m_currentFolder; }

    // Rebuilds the rows from the listed types among the folder's files. Does
    // nothing before OnInitialUpdate; an empty folder path empties the list; a
    // folder that cannot be read leaves it empty and the listed folder as it was.
    void FillList(const std::string& folder);

    // A walk over the selected rows in ascending order. flag is always 0 (rows
    // are never folders) and data the row's value (0).
    bool BeginSelection();
    bool GetNextSelected(std::string& name, int* flag = nullptr, std::uintptr_t* value = nullptr);
    // Restarts the walk and runs it to its end.
    int CountSelected();
    // True when the keyboard focus is on the list control itself.
    bool HasFocus() const;

    // Delete or rename a file on the disk and keep its row in step. False when
    // the disk operation fails or no row shows the file.
    bool DeleteFile(const std::string& path);
    bool RenameFile(const std::string& oldPath, const std::string& newPath);

    // Opens a row: an .exe is started, an .AVR is handed to the main window
    // for conversion, anything else goes to its associated program.
    void OnOpenRow(int row);
    // Where 0x414 goes. Unset, it goes to the top-level window when that has a handle.
    void SetMainWindow(HWND hWnd) { m_mainWindow = hWnd; }

    // The inner list control (nullptr before OnInitialUpdate): the window whose
    // focus makes this pane active.
    CListCtrlX* GetListCtrl() const { return m_list.get(); }
    int GetItemCount() const;
    CTavrixDoc* GetDocument() const { return m_document; }

    // The listed file types: AVR, MP3, FRM, SDB and AVI (converted
    // recordings), in any case.
    static bool IsListedType(const std::string& extension);
    // Kilobytes, rounded down, with "," between groups of three digits.
    static std::string FormatSize(std::uint64_t bytes);
    // "2004-03-05 PM  1:07:33": the 12-hour clock of the listing, where the
    // hours up to 12 count as morning.
    static std::string FormatDate(const platform::LocalTime& time);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The row's image: one per associated program for the life of the view, so
    // repeated listings do not grow the image list.
    int ImageFor(const std::string& pcPath);
    int FindRow(const std::string& name) const;
    HWND MainWindow() const;

    std::unique_ptr<CListCtrlX> m_list;
    std::string m_initialFolder;
    std::string m_currentFolder;
    int m_nextSelected = -1;  // the row the walk hands out next; -1 when it has ended

    CTavrixDoc* m_document;
    HWND m_mainWindow = nullptr;
    std::map<std::string, int> m_programImages;
};
