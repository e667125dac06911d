#include "app/shell/mainfrm.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

#include "app/controls/visibletext.h"
#include "app/convert/convertavi.h"
#include "app/dialogs/newfolderdlg.h"
#include "app/dialogs/pvrinfodlg.h"
#include "app/dialogs/renamedlg.h"
#include "app/dialogs/upgradesoftwaredlg.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/pvr/stbfilelistview.h"
#include "app/pvr/stbtreeview.h"
#include "app/res/resources.h"
#include "app/shell/aboutdlg.h"
#include "app/shell/onrefreshdlg.h"
#include "app/shell/paneactions.h"
#include "app/shell/tavrixapp.h"
#include "app/shell/tavrixdoc.h"
#include "app/transfer/transfercommands.h"
#include "core/names.h"
#include "device/tavrixapi.h"
#include "platform/pcfs.h"
#include "platform/registry.h"
#include "platform/templates.h"
#include "platform/trace.h"
#include "platform/user.h"
#include "platform/usermessages.h"

// The library posts its own notice numbers to the window it is opened with;
// the frame takes them as its arrival and removal messages.
static_assert(TAVRIX_WM_ARRIVAL == WM_DEVICE_ARRIVAL);
static_assert(TAVRIX_WM_REMOVAL == WM_DEVICE_REMOVAL);
#include "stream/conversion.h"

namespace {

constexpr const char* kRegistryKey = "Software\\Tavrix";
constexpr const char* kLastPathValue = "last path";
// The value is read into a buffer of this many bytes; a longer one counts as unreadable.
constexpr std::size_t kLastPathBuffer = 260;

constexpr const char* kNoDeviceText =
    "No device is attached!\nCheck whether USB cable is connected properly or PVR is under "
    "electric power.";

// The file commands' texts.
constexpr const char* kRemoveFolderQuestion = "Are you sure remove directory?\n";
constexpr const char* kNotEmptyQuestion =
    "The directory is not empty!\nDo you really \t\t\t\twant to remove the directory including "
    "any file(s) or \t\t\t\tsub-directory(s)?\n";
constexpr const char* kRemoveAllQuestion =
    "Do you want to remove ALL of selected files WITHOUT CONFIRM?";
constexpr const char* kRemoveFileQuestion = "Are you sure remove the file?\n";
constexpr const char* kCannotRemove = "\nIt can't be removed.";
constexpr const char* kCannotCreate = "The directory cannot be created.\n";
// A PC rename that fails says so as a PVR one does: the name in the pane would
// otherwise be the only sign.
constexpr const char* kRenameFailed = "Error occurred.";
constexpr const char* kSelectFileText =
    "Please select a file you want to delete.\nYou should select a file at least.";

struct CommandEntry {
    UINT id;
    CMainFrame::CommandHandler handler;
};

// The command table. A menu id and a toolbar id often reach the same handler.
// 32790 (online update) is deliberately absent: its item stays greyed.
const std::array kCommands{
    CommandEntry{ID_FILE_NEW_FOLDER, &CMainFrame::OnNewFolder},
    CommandEntry{ID_TB_NEW_FOLDER, &CMainFrame::OnNewFolder},
    CommandEntry{ID_NEW_FOLDER_SPARE, &CMainFrame::OnNewFolder},
    CommandEntry{ID_FILE_RENAME, &CMainFrame::OnRename},
    CommandEntry{ID_TB_RENAME, &CMainFrame::OnRename},
    CommandEntry{ID_FILE_DELETE, &CMainFrame::OnDelete},
    CommandEntry{ID_TB_DELETE, &CMainFrame::OnDelete},
    CommandEntry{ID_FILE_CONVERT_AVI, &CMainFrame::OnConvertAvi},
    CommandEntry{ID_APP_EXIT, &CMainFrame::OnAppExit},
    CommandEntry{ID_VIEW_SHOW_HIDDEN, &CMainFrame::OnShowHidden},
    CommandEntry{ID_TRANSFER_DOWNLOAD, &CMainFrame::OnDownload},
    CommandEntry{ID_TB_DOWNLOAD, &CMainFrame::OnDownload},
    CommandEntry{ID_TRANSFER_UPLOAD, &CMainFrame::OnUpload},
    CommandEntry{ID_TB_UPLOAD, &CMainFrame::OnUpload},
    CommandEntry{ID_PVR_INFORMATION, &CMainFrame::OnPvrInformation},
    CommandEntry{ID_PVR_UPGRADE, &CMainFrame::OnUpgradeSoftware},
    CommandEntry{ID_APP_ABOUT, &CMainFrame::OnAppAbout},
    CommandEntry{ID_PVR_REFRESH, &CMainFrame::OnRefreshPvr},
    CommandEntry{ID_PC_REFRESH, &CMainFrame::OnRefreshPc},
    CommandEntry{ID_FILE_NEW, &CMainFrame::OnFileNew},
    CommandEntry{ID_FILE_OPEN, &CMainFrame::OnFileOpen},
    CommandEntry{ID_FILE_SAVE, &CMainFrame::OnFileSave},
    CommandEntry{ID_NEXT_PANE, &CMainFrame::OnNextPane},
    CommandEntry{ID_PREV_PANE, &CMainFrame::OnPrevPane},
};

}  // namespace

CMainFrame::PaneGrid CMainFrame::ComputePaneGrid(int clientWidth, int clientHeight) {
    return PaneGrid{clientWidth / 3, 2 * (clientWidth / 3), clientHeight / 2 - 20};
}

QRect CMainFrame::CenteredRect(QSize frameClient, QPoint frameTopLeft, QSize dialog) {
    const int left = (frameClient.width() - dialog.width()) / 2 + frameTopLeft.x();
    const int top = (frameClient.height() - dialog.height()) / 2 + frameTopLeft.y();
    return QRect(left, top, dialog.width(), dialog.height());
}

CMainFrame::CMainFrame(CTavrixDoc* document) : m_document(document) {
    m_refreshDlg = std::make_unique<COnRefreshDlg>();
    m_transfers = std::make_unique<CTransferCommands>(*this);
    m_paneActions = std::make_unique<CPaneActions>(*this);
    setAccessibleName("Vexlo");
}

CMainFrame::~CMainFrame() {
    // The panes' hooks lead here; they go before anything else does.
    m_paneActions.reset();
    // A running worker is stopped while the device library is still open.
    m_transfers.reset();
    DestroyWindow();
    if (m_deviceOpen) {
        TAVRIX_UninitDevice();
    }
}

bool CMainFrame::Create(const QRect& geometry) {
    if (m_created) {
        return true;
    }
    const platform::CommandSink sink = [this](UINT id) { OnCommand(id); };
    platform::BuildMenuBar(menuBar(), res::MainMenu(), sink);
    menuBar()->setAccessibleName("Menu bar");
    platform::InstallAccelerators(res::MainAccelerators(), this, sink);
    setWindowIcon(platform::LoadIcon(IDR_MAINFRAME));
    if (geometry.isValid()) {
        setGeometry(geometry);
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        resize(area.width() * 3 / 4, area.height() * 3 / 4);
        move(area.center() - rect().center());
    } else {
        resize(1024, 768);
    }
    m_created = OnCreate();
    if (m_created) {
        // The panes' first update, as a document's frame gets it before it is shown.
        m_hostFileList->OnInitialUpdate();
        OnPaneControlCreated();
    }
    return m_created;
}

bool CMainFrame::OnCreate() {
    if (!OnCreateClient()) {
        return false;
    }
    // Only the application's name: the document's never goes into the title.
    setWindowTitle(QString::fromStdString(platform::LoadString(IDS_APP_TITLE)));

    m_toolBar =
        platform::BuildToolBar(res::MainToolbar(), this, [this](UINT id) { OnCommand(id); });
    if (m_toolBar == nullptr) {
        TRACE("Failed to create toolbar\n");
        return false;
    }
    m_toolBar->setWindowTitle("Toolbar");
    m_toolBar->setAccessibleName("Toolbar");
    for (QAction* action : m_toolBar->actions()) {
        if (QWidget* button = m_toolBar->widgetForAction(action); button != nullptr) {
            button->setAccessibleName(res::ToolbarButtonName(action->data().toUInt()));
        }
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    QStatusBar* bar = statusBar();
    if (bar == nullptr) {
        TRACE("Failed to create status bar\n");
        return false;
    }
    bar->setAccessibleName("Status bar");
    bar->setSizeGripEnabled(true);
    m_statusPane = new QLabel(QString::fromStdString(platform::LoadString(IDS_STATUS_PANE)), bar);
    // Its name is the text it shows (SetStatusText); what it is, is its description.
    m_statusPane->setAccessibleName(m_statusPane->text());
    m_statusPane->setAccessibleDescription("Status");
    bar->addWidget(m_statusPane, 1);

    // The library announces a PVR that is already plugged in like a new one.
    TAVRIX_InitDevice(GetSafeHwnd());
    m_deviceOpen = true;

    // The pane keeps the width it is given now.
    m_statusPane->setMaximumWidth(ClientSize().width());

    m_refreshDlg->Create(this);
    CenterRefreshDialog();
    return true;
}

bool CMainFrame::OnCreateClient() {
    const QSize client = ClientSize();
    const PaneGrid grid = ComputePaneGrid(client.width(), client.height());

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setAccessibleName("Panes");
    for (QSplitter*& row : m_rows) {
        row = new QSplitter(Qt::Horizontal, m_splitter);
        row->setChildrenCollapsible(false);
        m_splitter->addWidget(row);
    }
    m_hostTree = new CHostTreeView(m_document, m_rows[0]);
    if (!m_hostTree->InitTree()) {
        return false;
    }
    m_hostFileList = new CHostFileListView(m_document, m_rows[0]);
    m_stbTree = new CSTBTreeView(m_document, m_rows[1]);
    m_stbFileList = new CSTBFileListView(m_document, m_rows[1]);
    m_rows[0]->addWidget(m_hostTree);
    m_rows[0]->addWidget(m_hostFileList);
    m_rows[1]->addWidget(m_stbTree);
    m_rows[1]->addWidget(m_stbFileList);

    m_splitter->setSizes({grid.rowHeight, grid.rowHeight});
    for (QSplitter* row : m_rows) {
        row->setSizes({grid.leftWidth, grid.rightWidth});
    }
    // The grid has one column boundary for both rows, as a static splitter does.
    for (int r = 0; r < 2; ++r) {
        QSplitter* moved = m_rows[r];
        QSplitter* other = m_rows[1 - r];
        connect(moved, &QSplitter::splitterMoved, this,
                [moved, other](int, int) { other->setSizes(moved->sizes()); });
    }
    setCentralWidget(m_splitter);

    m_hostTree->SetFileListView(m_hostFileList);
    m_stbTree->SetFileListView(m_stbFileList);
    RestoreLastPath();
    return true;
}

void CMainFrame::RestoreLastPath() {
    if (!platform::RegKeyExists(kRegistryKey)) {
        // First run: make the key for the exit to write into, restore nothing.
        m_registryKeyOpen = platform::RegCreateKey(kRegistryKey);
        return;
    }
    m_registryKeyOpen = true;
    const auto value = platform::RegReadString(kRegistryKey, kLastPathValue);
    if (!value || value->size() >= kLastPathBuffer) {
        return;
    }
    const std::string path = value->empty() ? std::string("C:\\") : *value;
    m_hostTree->SelectPath(path);
    m_hostFileList->SetFolder(path);
}

void CMainFrame::DestroyWindow() {
    if (!m_created || m_destroyed) {
        return;
    }
    m_destroyed = true;
    // With no folder selected there is nothing to remember: an empty path would
    // only send the next start to C:\, so the folder saved before stays.
    std::string folder;
    if (m_registryKeyOpen && m_hostTree->GetCurrentFolder(folder) && !folder.empty()) {
        platform::RegWriteString(kRegistryKey, kLastPathValue, folder);
    }
    m_registryKeyOpen = false;
    m_refreshDlg->DestroyWindow();
}

QSize CMainFrame::ClientSize() const {
    const QWidget* menu = menuWidget();
    const int menuHeight = menu != nullptr ? menu->sizeHint().height() : 0;
    return QSize(width(), height() - menuHeight);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        DestroyWindow();
    }
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    CenterRefreshDialog();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    CenterRefreshDialog();
}

void CMainFrame::CenterRefreshDialog() {
    if (m_refreshDlg == nullptr || !m_refreshDlg->IsCreated()) {
        return;
    }
    const QRect target =
        CenteredRect(ClientSize(), frameGeometry().topLeft(), m_refreshDlg->size());
    m_refreshDlg->setGeometry(target);
    m_refreshDlg->update();
}

// ---- Messages and commands ---------------------------------------------------------------

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_OPEN_AVR:
            OnConvertAvi();
            return 0;
        case WM_SET_STATUS_TEXT:
            if (wParam != 0) {
                // NOLINTNEXTLINE(performance-no-int-to-ptr): the message carries the text
                SetStatusText(reinterpret_cast<const char*>(wParam));
            }
            return 0;
        case WM_DEVICE_ARRIVAL:
            return OnDeviceArrival();
        case WM_DEVICE_REMOVAL:
            return OnDeviceRemoved();
        case WM_TRANSFER_FAILED:
            return OnTransferFailed();
        case WM_TRANSFER_DONE:
            return OnTransferDone();
        case WM_COMMAND:
            OnCommand(static_cast<UINT>(wParam & 0xFFFF));
            return 0;
        default:
            (void)lParam;
            return 0;
    }
}

CMainFrame::CommandHandler CMainFrame::FindCommandHandler(UINT id) {
    for (const CommandEntry& entry : kCommands) {
        if (entry.id == id) {
            return entry.handler;
        }
    }
    return nullptr;
}

void CMainFrame::OnCommand(UINT id) {
    if (const CommandHandler handler = FindCommandHandler(id); handler != nullptr) {
        (this->*handler)();
    }
}

void CMainFrame::OnPaneCommand(Pane pane, UINT id) {
    const Pane outer = m_commandPane;
    m_commandPane = pane;
    OnCommand(id);
    m_commandPane = outer;
}

// ---- Services ------------------------------------------------------------------------------

void CMainFrame::SetStatusText(const std::string& text) {
    if (m_statusPane == nullptr) {
        return;
    }
    // Texts carry device names, which must not break the line.
    const QString shown = VisibleText(QString::fromStdString(text));
    m_statusPane->setText(shown);
    // The text is the pane's name for screen readers; a new name is announced
    // to them as a change of it.
    m_statusPane->setAccessibleName(shown);
    // Callers set texts in the middle of long work; show it now, not at the next event.
    m_statusPane->repaint();
    if (m_statusObserver) {
        m_statusObserver(text);
    }
}

std::string CMainFrame::GetStatusText() const {
    return m_statusPane != nullptr ? m_statusPane->text().toStdString() : std::string();
}

void CMainFrame::EnableUserInterface(bool enable) {
    if (!m_created) {
        return;
    }
    m_hostTree->setEnabled(enable);
    m_hostFileList->setEnabled(enable);
    m_stbTree->setEnabled(enable);
    m_stbFileList->setEnabled(enable);
    m_toolBar->setEnabled(enable);
    for (int position = 0; position < 5; ++position) {
        platform::EnableMenuItemByPosition(menuBar(), position, enable);
    }
}

CMainFrame::Pane CMainFrame::GetActivePane() const {
    if (!m_created) {
        return Pane::None;
    }
    if (m_commandPane != Pane::None) {
        return m_commandPane;
    }
    if (m_stbTree->HasFocus()) {
        return Pane::StbTree;
    }
    if (m_hostTree->HasFocus()) {
        return Pane::HostTree;
    }
    if (m_stbFileList->HasFocus()) {
        return Pane::StbFileList;
    }
    if (m_hostFileList->HasFocus()) {
        return Pane::HostFileList;
    }
    return Pane::None;
}

void CMainFrame::UpdateTabOrder() {
    if (!m_created) {
        return;
    }
    std::vector<QWidget*> chain;
    for (int i = 0; i < 4; ++i) {
        if (QWidget* control = PaneControl(static_cast<Pane>(i))) {
            chain.push_back(control);
        }
    }
    for (QAction* action : m_toolBar->actions()) {
        if (QWidget* button = m_toolBar->widgetForAction(action);
            button != nullptr && !action->isSeparator()) {
            // Toolbars keep their buttons out of the keyboard's way; here they
            // are the last stop of the Tab key.
            button->setFocusPolicy(Qt::TabFocus);
            chain.push_back(button);
        }
    }
    for (std::size_t i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

void CMainFrame::OnPaneControlCreated() {
    UpdateTabOrder();
    if (m_created) {
        m_paneActions->AttachControls();
    }
}

QWidget* CMainFrame::PaneControl(Pane pane) const {
    switch (pane) {
        case Pane::HostTree:
            return m_hostTree != nullptr ? m_hostTree->GetTreeCtrl() : nullptr;
        case Pane::HostFileList:
            return m_hostFileList != nullptr ? m_hostFileList->GetListCtrl() : nullptr;
        case Pane::StbTree:
            return m_stbTree != nullptr ? m_stbTree->GetTreeCtrl() : nullptr;
        case Pane::StbFileList:
            return m_stbFileList != nullptr ? m_stbFileList->GetListCtrl() : nullptr;
        default:
            return nullptr;
    }
}

CMainFrame::Pane CMainFrame::GetActiveTreePane() const {
    const Pane pane = GetActivePane();
    return pane == Pane::StbTree || pane == Pane::HostTree ? pane : Pane::None;
}

QWidget* CMainFrame::GetPane(Pane pane) const {
    switch (pane) {
        case Pane::HostTree:
            return m_hostTree;
        case Pane::HostFileList:
            return m_hostFileList;
        case Pane::StbTree:
            return m_stbTree;
        case Pane::StbFileList:
            return m_stbFileList;
        default:
            return nullptr;
    }
}

bool CMainFrame::CheckDevicePresent() {
    if (TAVRIX_DevicePresent()) {
        return true;
    }
    AppMessageBox(GetSafeHwnd(), kNoDeviceText, MB_ICONSTOP);
    return false;
}

// ---- Device --------------------------------------------------------------------------------

LRESULT CMainFrame::OnDeviceArrival() {
    TRACE("CMainFrame::OnDeviceArrival\r\n");
    // Read into a scratch copy: a failed read must not spoil the descriptor kept
    // from the last PVR.
    DeviceDescriptor descriptor{};
    if (!TAVRIX_GetDeviceDescriptor(&descriptor)) {
        return 0;
    }
    m_deviceDescriptor = descriptor;
    // Descriptor texts come from the device and need not be terminated.
    const std::string product(FieldText(m_deviceDescriptor.productName));
    const std::string oem(FieldText(m_deviceDescriptor.oemName));
    const bool highSpeed = m_deviceDescriptor.speed != 0;
    TRACE_AT("product_name ; %s", product.c_str());
    TRACE_AT("oem_name     ; %s", oem.c_str());
    TRACE_AT("stb_version  ; %x", static_cast<unsigned>(m_deviceDescriptor.stbVersion));
    TRACE_AT("USB version  ; %x", static_cast<unsigned>(m_deviceDescriptor.usbVersion));
    TRACE_AT("usb speed    ; %s", highSpeed ? "High Speed(480MHz)" : "Full Speed(12MHz)");

    SetStatusText(product + " has been attached by " + (highSpeed ? "High" : "Full") +
                  " speeded USB");
    if (m_deviceDescriptor.usbVersion != TAVRIX_USB_VERSION) {
        AppMessageBox(GetSafeHwnd(), "Incompatible PVR unit has been detected.!", MB_OK);
        return 0;
    }
    if (m_stbTree == nullptr) {
        return 0;
    }
    SendMessage(m_stbTree->GetSafeHwnd(), WM_DEVICE_ARRIVAL,
                reinterpret_cast<WPARAM>(&m_deviceDescriptor), 0);
    return 0;
}

LRESULT CMainFrame::OnDeviceRemoved() {
    TRACE("CMainFrame::OnDeviceRemoved\r\n");
    if (!m_created) {
        return 0;
    }
    // A listing cannot go on without the PVR, and must not later overwrite
    // the removal with its failure.
    m_stbTree->StopListing();
    m_stbFileList->ClearList();
    m_stbTree->ClearTree();
    SetStatusText(std::string(FieldText(m_deviceDescriptor.productName)) + " has been removed...");
    return 0;
}

// ---- End of a transfer batch ---------------------------------------------------------------

LRESULT CMainFrame::OnTransferFailed() {
    AppMessageBox(GetSafeHwnd(), "Transfer failed or user cancelled.", MB_ICONSTOP);
    EnableUserInterface(true);
    RefreshDestination();
    return 0;
}

LRESULT CMainFrame::OnTransferDone() {
    EnableUserInterface(true);
    // A software upgrade is a batch too, but it changes nothing either side shows.
    if (m_batchHead != nullptr && m_batchHead->kind == TRANSFER_KIND_FILE) {
        RefreshDestination();
    }
    return 0;
}

void CMainFrame::RefreshDestination() {
    if (m_batchHead == nullptr || !m_created) {
        return;
    }
    if (m_batchHead->direction == TRANSFER_UPLOAD) {
        m_stbTree->Refresh();
    } else {
        m_hostTree->Refresh();
    }
}

// ---- File commands ---------------------------------------------------------------------------

namespace {

// A name a new folder or a renamed file or folder may take: one holding "\"
// or "/", or "." or "..", would address another folder than the one shown.
bool IsUsableName(const std::string& name) {
    return name != "." && name != ".." && name.find_first_of("\\/") == std::string::npos;
}

}  // namespace

bool CMainFrame::AskYesNo(const std::string& question) {
    return AppMessageBox(GetSafeHwnd(), question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CMainFrame::ShowStop(const std::string& text) {
    AppMessageBox(GetSafeHwnd(), text, MB_ICONSTOP);
}

bool CMainFrame::CheckName(const std::string& name) {
    if (IsUsableName(name)) {
        return true;
    }
    ShowStop("The name \"" + name +
             "\" cannot be used.\nA name must not contain \"\\\" or \"/\", and must not be "
             "\".\" or \"..\".");
    return false;
}

void CMainFrame::OnNewFolder() {
    const Pane pane = GetActiveTreePane();
    if (pane == Pane::None) {
        return;
    }
    const bool pvr = pane == Pane::StbTree;
    std::string folder;
    const bool found =
        pvr ? m_stbTree->GetCurrentFolder(folder) : m_hostTree->GetCurrentFolder(folder);
    if (!found || folder.empty()) {
        return;
    }
    CNewFolderDlg dialog(this);
    if (dialog.DoModal() == 0 || !CheckName(dialog.GetName())) {
        return;
    }
    const std::string path = folder + dialog.GetName();
    const bool made = pvr ? m_stbTree->MakeFolder(path) : m_hostTree->MakeFolder(path);
    if (!made) {
        ShowStop(kCannotCreate + path);
    }
    TRACE(pvr ? "STB.......%s\n" : "PC.......%s\n", path.c_str());
}

void CMainFrame::OnRename() {
    const Pane pane = GetActivePane();
    switch (pane) {
        case Pane::StbTree:
        case Pane::HostTree: {
            const bool pvr = pane == Pane::StbTree;
            std::string path;
            if (!(pvr ? m_stbTree->GetCurrentFolder(path) : m_hostTree->GetCurrentFolder(path))) {
                path.clear();
            }
            if (pvr ? CSTBTreeView::IsProtectedFolder(path) : CHostTreeView::IsDriveRoot(path)) {
                return;
            }
            if (path.back() == '\\') {
                path.pop_back();
            }
            const std::size_t slash = path.rfind('\\');
            const std::string oldName = slash == std::string::npos ? path : path.substr(slash + 1);
            const std::string parent =
                slash == std::string::npos ? std::string() : path.substr(0, slash);
            CRenameDlg dialog(this);
            if (dialog.DoModal(oldName) == 0 || !CheckName(dialog.GetName())) {
                return;
            }
            const std::string newPath = parent + "\\" + dialog.GetName();
            // The PVR tree reports its own failure.
            if (pvr) {
                m_stbTree->RenameFolder(path, newPath);
            } else if (!m_hostTree->RenameFolder(path, newPath)) {
                ShowStop(kRenameFailed);
            }
            return;
        }
        case Pane::StbFileList:
        case Pane::HostFileList: {
            const bool pvr = pane == Pane::StbFileList;
            std::string folder;
            if (!(pvr ? m_stbTree->GetCurrentFolder(folder)
                      : m_hostTree->GetCurrentFolder(folder))) {
                folder.clear();
            }
            // Only the first selected file is offered, whatever else is selected.
            std::string name;
            const bool any =
                pvr ? m_stbFileList->BeginSelection() && m_stbFileList->GetNextSelected(name)
                    : m_hostTree->BeginSelection() && m_hostTree->GetNextSelected(name);
            if (!any) {
                return;
            }
            CRenameDlg dialog(this);
            if (dialog.DoModal(name) == 0 || !CheckName(dialog.GetName())) {
                return;
            }
            if (pvr) {
                m_stbFileList->RenameFile(folder + name, folder + dialog.GetName());
            } else if (!m_hostFileList->RenameFile(folder + name, folder + dialog.GetName())) {
                ShowStop(kRenameFailed);
            }
            return;
        }
        case Pane::None:
            AppMessageBox(GetSafeHwnd(), kSelectFileText, MB_OK);
            return;
    }
}

void CMainFrame::OnDelete() {
    switch (GetActivePane()) {
        case Pane::StbTree:
            DeletePvrFolder();
            return;
        case Pane::HostTree:
            DeletePcFolder();
            return;
        case Pane::StbFileList:
            DeleteSelectedFiles(true);
            return;
        case Pane::HostFileList:
            DeleteSelectedFiles(false);
            return;
        case Pane::None:
            AppMessageBox(GetSafeHwnd(), kSelectFileText, MB_OK);
            return;
    }
}

void CMainFrame::DeletePvrFolder() {
    std::string folder;
    if (!m_stbTree->GetCurrentFolder(folder)) {
        folder.clear();
    }
    if (CSTBTreeView::IsProtectedFolder(folder) || !AskYesNo(kRemoveFolderQuestion + folder)) {
        return;
    }
    if (!m_stbTree->RemoveFolder(folder)) {
        ShowStop(folder + kCannotRemove);
    }
}

void CMainFrame::DeletePcFolder() {
    std::string folder;
    if (!m_hostTree->GetCurrentFolder(folder)) {
        folder.clear();
    }
    if (CHostTreeView::IsDriveRoot(folder)) {
        return;
    }
    const bool hasEntries = CHostTreeView::HasEntries(folder);
    if (!AskYesNo((hasEntries ? kNotEmptyQuestion : kRemoveFolderQuestion) + folder)) {
        return;
    }
    // The contents go first, never through a link out of the folder; a part
    // that stays keeps the folder, and the user hears of it once.
    const bool removed =
        (!hasEntries || platform::RemoveFolderContents(folder)) && m_hostTree->RemoveFolder(folder);
    if (!removed) {
        ShowStop(folder + kCannotRemove);
    }
}

void CMainFrame::DeleteSelectedFiles(bool pvr) {
    std::string folder;
    if (!(pvr ? m_stbTree->GetCurrentFolder(folder) : m_hostTree->GetCurrentFolder(folder))) {
        folder.clear();
    }
    const int selected = pvr ? m_stbFileList->CountSelected() : m_hostFileList->CountSelected();
    const bool confirmAll = selected > 1 && AskYesNo(kRemoveAllQuestion);
    const auto begin = [&] {
        return pvr ? m_stbFileList->BeginSelection() : m_hostTree->BeginSelection();
    };
    const auto next = [&](std::string& name) {
        return pvr ? m_stbFileList->GetNextSelected(name) : m_hostTree->GetNextSelected(name);
    };
    // Files that could not be removed: the walks that start again after each
    // deletion pass them by rather than fail and report them once more.
    std::vector<std::string> refused;
    begin();
    std::string name;
    while (next(name)) {
        if (std::find(refused.begin(), refused.end(), name) != refused.end()) {
            continue;
        }
        const std::string path = folder + name;
        TRACE("delete> %s...\n", path.c_str());
        if (!confirmAll && !AskYesNo(kRemoveFileQuestion + path)) {
            continue;
        }
        const bool deleted =
            pvr ? m_stbFileList->DeleteFile(path) : m_hostFileList->DeleteFile(path);
        if (!deleted) {
            ShowStop(path + kCannotRemove);
            refused.push_back(name);
            continue;
        }
        // The deleted row is gone; the walk starts again from the first
        // selected file, so one declined before is asked about once more.
        begin();
    }
}

// ---- Command handlers ----------------------------------------------------------------------
// The upgrade command arrives with its own part of the program; until then its
// handler is reached and does nothing.

void CMainFrame::OnShowHidden() {
    const bool show = !platform::IsMenuItemChecked(menuBar(), ID_VIEW_SHOW_HIDDEN);
    platform::CheckMenuItem(menuBar(), ID_VIEW_SHOW_HIDDEN, show);
    if (m_created) {
        m_stbTree->SetShowHidden(show);
    }
}

// The convert command, and what opening an .AVR in the PC file list does: the
// dialog, preset with the first selected PC file and its default target.
void CMainFrame::OnConvertAvi() {
    std::string source;
    std::string target;
    std::string name;
    if (m_created && m_hostFileList->BeginSelection() && m_hostFileList->GetNextSelected(name)) {
        std::string folder;
        if (!m_hostTree->GetCurrentFolder(folder)) {
            folder.clear();
        }
        source = folder + name;
        target = default_conversion_target(source);
    }
    CConvertAVI dialog(this);
    // The new file shows in the PC list as soon as it is there.
    dialog.SetConversionEndObserver([this] {
        if (m_created) {
            m_hostTree->Refresh();
        }
    });
    dialog.DoModalWithPaths(source, target);
}

void CMainFrame::OnDownload() {
    m_transfers->OnDownload();
}

void CMainFrame::OnUpload() {
    m_transfers->OnUpload();
}

void CMainFrame::OnAppExit() {
    close();
}

void CMainFrame::OnPvrInformation() {
    if (!CheckDevicePresent()) {
        return;
    }
    CPVRInfoDlg dialog(this);
    dialog.SetDeviceDescriptor(m_deviceDescriptor);
    std::int64_t freeBytes = 0;
    std::int64_t totalBytes = 0;
    if (m_created) {
        m_stbTree->GetDiskSpace(freeBytes, totalBytes);
    }
    dialog.SetDiskSpace(freeBytes, totalBytes);
    dialog.DoModal();
}

void CMainFrame::OnUpgradeSoftware() {
    if (!CheckDevicePresent()) {
        return;
    }
    // Said before the user picks an image rather than after: the running
    // worker is never stopped for an upgrade.
    if (!m_transfers->CheckIdle()) {
        return;
    }
    CUpgradeSoftwareDlg dialog(this);
    dialog.SetDeviceDescriptor(m_deviceDescriptor);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    m_transfers->StartUpgrade(dialog.GetImagePath(), dialog.GetImageKind());
}

void CMainFrame::OnAppAbout() {
    CAboutDlg dialog(this);
    dialog.DoModal();
}

void CMainFrame::OnRefreshPvr() {
    if (m_created) {
        m_stbTree->Refresh();
    }
}

void CMainFrame::OnRefreshPc() {
    if (m_created) {
        m_hostTree->Refresh();
    }
}

// ---- The standard keys ------------------------------------------------------------------------

void CMainFrame::OnFileNew() {
    m_document->OnNewDocument();
}

void CMainFrame::OnFileOpen() {
    platform::FileDialogRequest request;
    request.title = "Open";
    request.filter = "All Files (*.*)";
    const auto path = platform::TheUser().GetOpenFileName(GetSafeHwnd(), request);
    if (!path) {
        return;
    }
    if (!m_document->OnOpenDocument(*path)) {
        AppMessageBox(GetSafeHwnd(), "Failed to open document.", MB_ICONSTOP);
        return;
    }
    if (CTavrixApp* app = CTavrixApp::Current()) {
        app->AddToRecentFileList(*path);
    }
}

void CMainFrame::OnFileSave() {
    std::string path = m_document->GetPathName();
    if (path.empty()) {
        platform::FileDialogRequest request;
        request.title = "Save As";
        request.filter = "All Files (*.*)";
        const auto chosen = platform::TheUser().GetSaveFileName(GetSafeHwnd(), request);
        if (!chosen) {
            return;
        }
        path = *chosen;
    }
    if (!m_document->OnSaveDocument(path)) {
        AppMessageBox(GetSafeHwnd(), "Failed to save document.", MB_ICONSTOP);
        return;
    }
    if (CTavrixApp* app = CTavrixApp::Current()) {
        app->AddToRecentFileList(path);
    }
}

CMainFrame::Pane CMainFrame::PaneWithFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    for (int i = 0; i < 4; ++i) {
        const QWidget* pane = GetPane(static_cast<Pane>(i));
        if (focus != nullptr && pane != nullptr && (pane == focus || pane->isAncestorOf(focus))) {
            return static_cast<Pane>(i);
        }
    }
    return Pane::None;
}

void CMainFrame::ActivatePane(int step) {
    if (!m_created) {
        return;
    }
    const Pane current = PaneWithFocus();
    int next = 0;
    if (current == Pane::None) {
        next = step > 0 ? 0 : 3;
    } else {
        next = (static_cast<int>(current) + step + 4) % 4;
    }
    QWidget* target = PaneControl(static_cast<Pane>(next));
    // A pane without its control yet (the PVR tree before the first PVR) takes
    // the focus itself.
    if (target == nullptr) {
        target = GetPane(static_cast<Pane>(next));
        target->setFocusPolicy(Qt::StrongFocus);
    }
    target->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::OnNextPane() {
    ActivatePane(1);
}

void CMainFrame::OnPrevPane() {
    ActivatePane(-1);
}
