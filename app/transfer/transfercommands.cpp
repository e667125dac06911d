#include "app/transfer/transfercommands.h"

#include <atomic>

#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "app/pvr/stbfilelistview.h"
#include "app/pvr/stbtreeview.h"
#include "app/shell/mainfrm.h"
#include "app/shell/tavrixapp.h"
#include "app/transfer/transferdlg.h"
#include "app/transfer/xfermode.h"
#include "platform/user.h"
#include "platform/usermessages.h"
#include "transfer/batchbuilder.h"

// The worker's reports, as messages to the progress window (posted only while
// that window exists) and message boxes over the main window.
class CTransferCommands::CDialogReport : public ITransferReport {
public:
    CDialogReport(const CTransferEngine& engine, HWND frame)
        : m_shared(engine.SharedProgress()), m_frame(frame) {}

    void SetDialog(HWND dialog) { m_dialog = dialog; }

    void ItemStarted(int index, int count) override {
        Post(WM_TRANSFER_ITEM,
             (static_cast<WPARAM>(index) << 16) | (static_cast<WPARAM>(count) & 0xFFFF));
    }
    void Progressed() override { Post(WM_TRANSFER_BYTES, 0); }
    void Ended(bool failed) override {
        const UINT message = failed ? WM_TRANSFER_FAILED : WM_TRANSFER_DONE;
        // Without its window the end still has to reach the main window, or the
        // user interface would stay disabled.
        if (!PostMessage(m_dialog.load(), message, 0, 0)) {
            PostMessage(m_frame, message, 0, 0);
        }
    }
    void Tell(const std::string& text) override { AppMessageBox(m_frame, text, MB_ICONSTOP); }

private:
    void Post(UINT message, WPARAM wParam) {
        PostMessage(m_dialog.load(), message, wParam, reinterpret_cast<LPARAM>(&m_shared));
    }

    const CSharedProgress& m_shared;
    const HWND m_frame;
    std::atomic<HWND> m_dialog{nullptr};
};

CTransferCommands::CTransferCommands(CMainFrame& frame)
    : m_frame(frame),
      m_engine(std::make_unique<CTransferEngine>()),
      m_report(std::make_unique<CDialogReport>(*m_engine, frame.GetSafeHwnd())) {}

CTransferCommands::~CTransferCommands() {
    // The engine's own destructor cancels and joins; the window goes first, so
    // the worker's last posts find nothing to reach.
    m_dialog.reset();
    m_engine.reset();
}

bool CTransferCommands::CheckIdle() {
    if (!m_engine->WorkerRegistered()) {
        return true;
    }
    AppMessageBox(m_frame.GetSafeHwnd(),
                  "Another transfer is still running. Please wait until it has finished.", MB_OK);
    return false;
}

int CTransferCommands::Ask(const std::string& text) {
    CXferMode prompt;
    prompt.SetMessage(text);
    return prompt.DoModal();
}

void CTransferCommands::ShowDialog() {
    if (!m_dialog) {
        m_dialog = std::make_unique<CTransferDlg>([this] { m_engine->StopTransfer(); });
    }
    if (m_dialog->GetSafeHwnd() == nullptr) {
        m_dialog->Create(&m_frame);
    }
    m_dialog->show();
    m_report->SetDialog(m_dialog->GetSafeHwnd());
}

void CTransferCommands::Enable(Disables what, bool enable) {
    if (what == Disables::UserInterface) {
        m_frame.EnableUserInterface(enable);
        return;
    }
    for (QWidget* tree : {static_cast<QWidget*>(m_frame.GetHostTreeView()),
                          static_cast<QWidget*>(m_frame.GetSTBTreeView())}) {
        if (tree != nullptr) {
            tree->setEnabled(enable);
        }
    }
}

bool CTransferCommands::Start(bool upload, platform::ThreadPriority priority, Disables disables) {
    ShowDialog();
    m_frame.SetTransferBatchHead(&m_engine->Batch().items[0]);
    Enable(disables, false);
    const bool started = upload ? m_engine->StartUpload(m_frame.GetDeviceDescriptor().speed,
                                                        m_report.get(), priority)
                                : m_engine->StartDownload(m_report.get());
    if (!started) {
        AppMessageBox(m_frame.GetSafeHwnd(), "Can't start to transfer....", MB_ICONSTOP);
        m_dialog->DestroyWindow();
        Enable(disables, true);
    }
    return started;
}

bool CTransferCommands::StartUpgrade(const std::string& imagePath, int kind) {
    // The running worker's batch is its own until it ends.
    if (!CheckIdle()) {
        return false;
    }
    const UpgradeImage image = BuildUpgradeBatch(imagePath, kind, m_engine->Batch());
    if (image != UpgradeImage::Ready) {
        AppMessageBox(m_frame.GetSafeHwnd(), UpgradeImageText(image, imagePath), MB_ICONSTOP);
        return false;
    }
    return Start(true, platform::ThreadPriority::Normal, Disables::Trees);
}

BatchSource CTransferCommands::PaneSource() {
    BatchSource source;
    std::string folder;
    if (m_frame.GetHostTreeView()->GetCurrentFolder(folder)) {
        source.pcFolder = folder;
    }
    if (m_frame.GetSTBTreeView()->GetCurrentFolder(folder)) {
        source.pvrFolder = folder;
    }
    source.ask = &CTransferCommands::Ask;
    source.tell = [this](const std::string& text) {
        AppMessageBox(m_frame.GetSafeHwnd(), text, MB_ICONSTOP);
    };
    source.speed = m_frame.GetDeviceDescriptor().speed;
    return source;
}

void CTransferCommands::OnUpload() {
    if (!CheckIdle()) {
        return;
    }
    CHostFileListView* pcList = m_frame.GetHostFileListView();
    if (pcList == nullptr || !pcList->BeginSelection()) {
        return;
    }
    // Which files the PVR folder has, the PVR list tells. A list emptied for a
    // folder that was chosen without being read would let them be overwritten
    // without a question, so such a folder is read first and the command comes
    // back once it has been.
    CSTBTreeView* pvrTree = m_frame.GetSTBTreeView();
    if (std::string pvrFolder; pvrTree->GetCurrentFolder(pvrFolder) &&
                               !pvrTree->IsListShowingFolder() &&
                               pvrTree->RunInFolder(pvrFolder, [this] { OnUpload(); })) {
        return;
    }
    Upload([pcList](TransferSelection& selected) {
        selected = {};
        return pcList->GetNextSelected(selected.name);
    });
}

void CTransferCommands::UploadFiles(const std::string& pcFolder,
                                    const std::vector<std::string>& names) {
    if (names.empty() || !CheckIdle()) {
        return;
    }
    std::vector<TransferSelection> files;
    files.reserve(names.size());
    for (const std::string& name : names) {
        files.push_back(TransferSelection{name, 0, {}});
    }
    Upload(WalkOver(std::move(files)), pcFolder);
}

void CTransferCommands::Upload(Walk next, std::optional<std::string> pcFolder) {
    BatchSource source = PaneSource();
    source.nextSelected = std::move(next);
    if (pcFolder) {
        source.pcFolder = std::move(pcFolder);
    }
    CSTBFileListView* pvrList = m_frame.GetSTBFileListView();
    source.findOnPvr = [pvrList](const std::string& name, std::int64_t* size) {
        return pvrList->FindByName(name, size);
    };
    if (BuildUploadBatch(source, m_engine->Batch()) == BuildOutcome::Ready) {
        Start(true, platform::ThreadPriority::Highest, Disables::UserInterface);
    }
}

void CTransferCommands::OnDownload() {
    if (!CheckIdle()) {
        return;
    }
    CSTBTreeView* pvrTree = m_frame.GetSTBTreeView();
    if (pvrTree == nullptr || !pvrTree->BeginSelection()) {
        return;
    }
    Download([pvrTree](TransferSelection& selected) {
        selected = {};
        return pvrTree->GetNextSelected(selected.name, &selected.size);
    });
}

void CTransferCommands::DownloadFiles(const std::vector<TransferSelection>& files) {
    if (files.empty() || !CheckIdle()) {
        return;
    }
    Download(WalkOver(files));
}

void CTransferCommands::Download(Walk next) {
    BatchSource source = PaneSource();
    source.nextSelected = std::move(next);
    if (BuildDownloadBatch(source, m_engine->Batch()) == BuildOutcome::Ready) {
        Start(false, platform::ThreadPriority::Normal, Disables::UserInterface);
    }
}

CTransferCommands::Walk CTransferCommands::WalkOver(std::vector<TransferSelection> files) {
    auto next = std::make_shared<std::size_t>(0);
    return [files = std::move(files), next](TransferSelection& selected) {
        if (*next >= files.size()) {
            return false;
        }
        selected = files[(*next)++];
        return true;
    };
}
