// The main window: the 2 x 2 pane grid, the toolbar and the status bar, the
// command table of the menu, toolbar and accelerators, the connection to the
// device library, and the services the rest of the program uses.
//
// Services for the other parts of the program (keep these stable):
//   SetStatusText(text)          status bar text, painted at once (also WM_SET_STATUS_TEXT)
//   EnableUserInterface(flag)    panes, toolbar and the five top-level menus
//   GetHostTreeView() ...        the four panes; nothing reaches a pane but through here
//   GetActivePane() / GetActiveTreePane()   which side a file command concerns
//   CheckDevicePresent()         the presence check of a device command
//   GetDeviceDescriptor()        the PVR attached last (speed picks the chunk size)
//   GetRefreshDialog()           the wait notice the PVR tree shows during a listing
//   SetTransferBatchHead(item)   the first item of the running batch, for the
//                                refresh that follows WM_TRANSFER_FAILED / _DONE
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QMainWindow>
#include <QRect>
#include <QSize>

#include "device/tavrixapi.h"
#include "platform/message.h"

class CHostFileListView;
class CHostTreeView;
class COnRefreshDlg;
class CPaneActions;
class CSTBFileListView;
class CSTBTreeView;
class CTavrixDoc;
class CTransferCommands;
class QLabel;
class QSplitter;
class QToolBar;
class QWidget;

class CMainFrame : public QMainWindow, public CMessageTarget {
public:
    // The panes, in the order F6 visits them.
    enum class Pane { None = -1, HostTree = 0, HostFileList = 1, StbTree = 2, StbFileList = 3 };
    using CommandHandler = void (CMainFrame::*)();

    // Initial pane sizes for a client area: integer divisions, so the right
    // column is twice the quotient rather than two thirds of the width.
    struct PaneGrid {
        int leftWidth;   // client width / 3
        int rightWidth;  // 2 * (client width / 3)
        int rowHeight;   // client height / 2 - 20, both rows
    };
    static PaneGrid ComputePaneGrid(int clientWidth, int clientHeight);
    // Where the wait dialog goes: centred on the frame's client size, offset by
    // the frame's screen position (divisions truncate toward zero).
    static QRect CenteredRect(QSize frameClient, QPoint frameTopLeft, QSize dialog);

    explicit CMainFrame(CTavrixDoc* document);
    ~CMainFrame() override;

    // Builds the window as start-up does: client area (panes, last PC folder),
    // title, toolbar, status bar, device library, wait dialog. geometry sets the
    // initial frame size (empty: a default). False when a part could not be made.
    bool Create(const QRect& geometry = QRect());
    // What closing the window does once: saves the last PC folder and takes the
    // wait dialog down. Closing the window and destruction call it.
    void DestroyWindow();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Routes a command id of the menu, toolbar or accelerators to its handler.
    void OnCommand(UINT id);
    // The command as a key or a context menu of a pane asks for it: that pane
    // counts as the active one whatever has the focus (a command that waited
    // for a PVR listing runs when the window may not have it back yet).
    void OnPaneCommand(Pane pane, UINT id);
    // The handler of a command id; nullptr for an id nobody handles.
    static CommandHandler FindCommandHandler(UINT id);

    // ---- Services ----
    void SetStatusText(const std::string& text);
    std::string GetStatusText() const;
    // Told every status text as it is set: texts often follow each other within
    // one message (an arrival is at once replaced by its listing's text).
    void SetStatusObserver(std::function<void(const std::string&)> observer) {
        m_statusObserver = std::move(observer);
    }
    // In this order: PC tree, PC list, PVR tree, PVR list, toolbar, then the
    // top-level menus by position 0 to 4.
    void EnableUserInterface(bool enable);
    // The pane whose inner control has the keyboard focus, asked in the order
    // PVR tree, PC tree, PVR list, PC list (delete and rename).
    Pane GetActivePane() const;
    // As GetActivePane, asking only the PVR tree and then the PC tree (new folder).
    Pane GetActiveTreePane() const;
    // Tab and Shift+Tab visit the panes in the F6 order (PC tree, PC list, PVR
    // tree, PVR list) and then the toolbar. Panes make their controls at
    // different times; each new one is put in its place again.
    void UpdateTabOrder();
    // A pane made its inner control late (the PVR tree, at the first PVR): it
    // takes its place in the tab order and gets the panes' keys, menu and drops.
    void OnPaneControlCreated();
    // False, after telling the user, when no PVR is attached.
    bool CheckDevicePresent();
    const DeviceDescriptor& GetDeviceDescriptor() const { return m_deviceDescriptor; }
    COnRefreshDlg* GetRefreshDialog() const { return m_refreshDlg.get(); }
    void SetTransferBatchHead(const TransferItem* item) { m_batchHead = item; }

    CHostTreeView* GetHostTreeView() const { return m_hostTree; }
    CHostFileListView* GetHostFileListView() const { return m_hostFileList; }
    CSTBTreeView* GetSTBTreeView() const { return m_stbTree; }
    CSTBFileListView* GetSTBFileListView() const { return m_stbFileList; }
    QWidget* GetPane(Pane pane) const;
    QToolBar* GetToolBar() const { return m_toolBar; }
    QLabel* GetStatusPane() const { return m_statusPane; }
    QSplitter* GetSplitter() const { return m_splitter; }
    CTavrixDoc* GetDocument() const { return m_document; }
    CTransferCommands& GetTransferCommands() { return *m_transfers; }
    CPaneActions& GetPaneActions() { return *m_paneActions; }
    // The pane's inner tree or list; null while the pane has not made it.
    QWidget* PaneControl(Pane pane) const;
    // The frame's client area: the window below its menu bar.
    QSize ClientSize() const;

    // ---- Message handlers ----
    LRESULT OnDeviceArrival();
    LRESULT OnDeviceRemoved();
    LRESULT OnTransferFailed();
    LRESULT OnTransferDone();

    // ---- Command handlers ----
    void OnNewFolder();
    void OnRename();
    void OnDelete();
    void OnConvertAvi();
    void OnAppExit();
    void OnShowHidden();
    void OnDownload();
    void OnUpload();
    void OnPvrInformation();
    void OnUpgradeSoftware();
    void OnAppAbout();
    void OnRefreshPvr();
    void OnRefreshPc();
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnNextPane();
    void OnPrevPane();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool OnCreate();
    bool OnCreateClient();
    void RestoreLastPath();
    void CenterRefreshDialog();
    void RefreshDestination();
    void ActivatePane(int step);
    Pane PaneWithFocus() const;

    // The file commands' parts.
    void DeletePvrFolder();
    void DeletePcFolder();
    void DeleteSelectedFiles(bool pvr);
    bool AskYesNo(const std::string& question);
    void ShowStop(const std::string& text);
    // False, after telling the user, for a name that would address another
    // folder: one holding "\" or "/", or "." or "..".
    bool CheckName(const std::string& name);

    // Members in the order the window builds on them.
    QSplitter* m_splitter = nullptr;  // rows; each row a splitter of two columns
    QSplitter* m_rows[2] = {nullptr, nullptr};
    DeviceDescriptor m_deviceDescriptor{};
    CSTBFileListView* m_stbFileList = nullptr;
    CHostFileListView* m_hostFileList = nullptr;
    CHostTreeView* m_hostTree = nullptr;
    CSTBTreeView* m_stbTree = nullptr;
    bool m_registryKeyOpen = false;
    std::unique_ptr<COnRefreshDlg> m_refreshDlg;
    QLabel* m_statusPane = nullptr;
    std::function<void(const std::string&)> m_statusObserver;
    QToolBar* m_toolBar = nullptr;

    CTavrixDoc* m_document;
    std::unique_ptr<CTransferCommands> m_transfers;
    std::unique_ptr<CPaneActions> m_paneActions;
    const TransferItem* m_batchHead = nullptr;
    bool m_created = false;
    bool m_destroyed = false;
    bool m_deviceOpen = false;
    Pane m_commandPane = Pane::None;
};
