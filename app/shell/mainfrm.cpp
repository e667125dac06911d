#include "app/shell/mainfrm.h"

#include <array>
#include <cstring>

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

#include "app/convert/convertavi.h"
#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/pvr/stbfilelistview.h"
#include "app/pvr/stbtreeview.h"
#include "app/res/resources.h"
#include "app/shell/aboutdlg.h"
#include "app/shell/onrefreshdlg.h"
#include "app/shell/tavrixapp.h"
#include "app/shell/tavrixdoc.h"
#include "app/shell/usermessages.h"
#include "app/transfer/transfercommands.h"
#include "platform/registry.h"
#include "platform/templates.h"
#include "platform/trace.h"
#include "platform/user.h"
#include "stream/conversion.h"

namespace {

constexpr const char* kRegistryKey = "Software\\Tavrix";
constexpr const char* kLastPathValue = "last path";
// The value is read into a buffer of this many bytes; a longer one counts as unreadable.
constexpr std::size_t kLastPathBuffer = 260;

constexpr const char* kNoDeviceText =
    "No device is attached!\nCheck whether USB cable is connected properly or PVR is under "
    "electric power.";

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
    CommandEntry{ID_FILE_NEW, &CMainFrame::OnFileNew},
    CommandEntry{ID_FILE_OPEN, &CMainFrame::OnFileOpen},
    CommandEntry{ID_FILE_SAVE, &CMainFrame::OnFileSave},
    CommandEntry{ID_NEXT_PANE, &CMainFrame::OnNextPane},
    CommandEntry{ID_PREV_PANE, &CMainFrame::OnPrevPane},
};

// Descriptor texts come from the device and need not be terminated.
std::string Field(const char* text, std::size_t size) {
    return std::string(text, strnlen(text, size));
}

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
    setAccessibleName("Vexlo");
}

CMainFrame::~CMainFrame() {
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
    m_statusPane->setAccessibleName("Status");
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
    std::string folder;
    if (!m_hostTree->GetCurrentFolder(folder)) {
        folder.clear();
    }
    if (m_registryKeyOpen) {
        platform::RegWriteString(kRegistryKey, kLastPathValue, folder);
        m_registryKeyOpen = false;
    }
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

// ---- Services ------------------------------------------------------------------------------

void CMainFrame::SetStatusText(const std::string& text) {
    if (m_statusPane == nullptr) {
        return;
    }
    m_statusPane->setText(QString::fromStdString(text));
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
    const std::string product =
        Field(m_deviceDescriptor.productName, sizeof m_deviceDescriptor.productName);
    const std::string oem = Field(m_deviceDescriptor.oemName, sizeof m_deviceDescriptor.oemName);
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
    m_stbFileList->ClearList();
    m_stbTree->ClearTree();
    SetStatusText(Field(m_deviceDescriptor.productName, sizeof m_deviceDescriptor.productName) +
                  " has been removed...");
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

// ---- Command handlers ----------------------------------------------------------------------
// The file and upgrade commands arrive with their own parts of the program;
// until then their handlers are reached and do nothing.

void CMainFrame::OnNewFolder() {}

void CMainFrame::OnRename() {}

void CMainFrame::OnDelete() {}

void CMainFrame::OnShowHidden() {}

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
}

void CMainFrame::OnUpgradeSoftware() {
    if (!CheckDevicePresent()) {
        return;
    }
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
    QWidget* target = nullptr;
    switch (static_cast<Pane>(next)) {
        case Pane::HostTree:
            target = m_hostTree->GetTreeCtrl();
            break;
        case Pane::HostFileList:
            target = m_hostFileList->GetListCtrl();
            break;
        case Pane::StbTree:
            target = m_stbTree->GetTreeCtrl();
            break;
        case Pane::StbFileList:
            target = m_stbFileList->GetListCtrl();
            break;
        default:
            break;
    }
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
