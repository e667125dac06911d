// The main window's transfer commands: upload the PC file list's selection into
// the PVR tree's folder, download the PVR file list's selection into the PC
// tree's folder, and send a software image to the PVR (the upgrade). Each builds
// the batch, shows the progress window, disables the user interface (the
// upgrade: only the two trees) and starts the worker; the end of the batch comes
// back to the main window through the progress window. A drop of files comes in
// by the same way, with the dropped files in place of the selection.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "transfer/batchbuilder.h"
#include "transfer/transferengine.h"

class CMainFrame;
class CTransferDlg;

class CTransferCommands {
public:
    explicit CTransferCommands(CMainFrame& frame);
    // Stops a running worker and waits for it.
    ~CTransferCommands();
    CTransferCommands(const CTransferCommands&) = delete;
    CTransferCommands& operator=(const CTransferCommands&) = delete;

    // What a batch disables while its worker runs: the whole user interface,
    // or only the two folder trees (a software upgrade, which leaves the file
    // lists, the toolbar and the menus to the user).
    enum class Disables { UserInterface, Trees };

    void OnUpload();
    void OnDownload();
    // The two commands for files named rather than selected: the files of a
    // PC folder go up into the PVR tree's folder (the PVR list shows which of
    // them exist there); files of the folder the PVR list shows come down
    // into the PC tree's folder.
    void UploadFiles(const std::string& pcFolder, const std::vector<std::string>& names);
    void DownloadFiles(const std::vector<TransferSelection>& files);
    // Sends a software image of the given kind to the PVR's Firmware folder as a
    // one-item batch at normal priority, with only the trees disabled. False,
    // after telling the user, when the image cannot go or a worker still runs.
    bool StartUpgrade(const std::string& imagePath, int kind);

    // False, after telling the user, while a worker is still running.
    bool CheckIdle();

    CTransferEngine& Engine() { return *m_engine; }
    // Null until the first transfer.
    CTransferDlg* Dialog() const { return m_dialog.get(); }

private:
    class CDialogReport;

    // The progress window, made once and given a window for every batch.
    void ShowDialog();
    bool Start(bool upload, platform::ThreadPriority priority, Disables disables);
    void Enable(Disables what, bool enable);
    using Walk = std::function<bool(TransferSelection&)>;
    // pcFolder: the folder the files are in, when not the PC tree's.
    void Upload(Walk next, std::optional<std::string> pcFolder = std::nullopt);
    void Download(Walk next);
    // A walk over a fixed list of files.
    static Walk WalkOver(std::vector<TransferSelection> files);
    // Asks the overwrite/resume question.
    static int Ask(const std::string& text);
    // What both commands take from the panes: the two current folders, the
    // question, the messages and the chunk size's speed.
    BatchSource PaneSource();

    CMainFrame& m_frame;
    std::unique_ptr<CTransferEngine> m_engine;
    std::unique_ptr<CDialogReport> m_report;
    std::unique_ptr<CTransferDlg> m_dialog;
};
