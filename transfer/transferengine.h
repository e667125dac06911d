// The transfer engine: the one batch of the process, the workers that move it
// through the device library, the progress record, the cancel flag and the stop.
//
// The workers keep the device's fixed pauses (its firmware has always been
// given them) but take them on the platform clock, so tests run them on manual
// time; an engine made without pauses skips them, for benchmarks. A pause ends
// early once the batch is cancelled.
//
// A batch ends failed when it was cancelled, when the device refused it, or
// when any item did not arrive whole and confirmed: a transfer that moved fewer
// bytes than it should is never reported as finished. Nothing is ever killed: a
// stop sets the flag, aborts the pending bulk call and waits for the worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/thread.h"
#include "transfer/transferbatch.h"

// The progress record between a worker and whoever shows it: every read is a
// consistent copy, whatever the worker is writing meanwhile. Beside the current
// item's record it keeps the whole batch's figures.
class CSharedProgress {
public:
    struct BatchFigures {
        std::int64_t total = 0;  // bytes the batch moves, resumed parts not counted
        std::int64_t done = 0;   // bytes moved so far
    };

    TransferProgress Snapshot() const;
    BatchFigures Batch() const;
    void Set(const TransferProgress& progress, const BatchFigures& batch);
    void Update(const std::function<void(TransferProgress&, BatchFigures&)>& change);

private:
    mutable std::mutex m_mutex;
    TransferProgress m_progress{};
    BatchFigures m_batch;
};

// How a worker reports. Called on the thread that runs the batch.
class ITransferReport {
public:
    virtual ~ITransferReport() = default;
    // An item starts, or starts again after a stream recovery; the progress
    // record holds its figures.
    virtual void ItemStarted(int index, int count) = 0;
    // Bytes moved since the item started; the progress record holds them.
    virtual void Progressed() = 0;
    // How one item ended; reason is empty when it arrived whole.
    virtual void ItemEnded(int index, const std::string& reason) {
        (void)index;
        (void)reason;
    }
    // The batch is over: failed is true when it was cancelled or an item failed.
    virtual void Ended(bool failed) = 0;
    // A message for the user; returns once it has been seen.
    virtual void Tell(const std::string& text) = 0;
};

class CTransferEngine {
public:
    explicit CTransferEngine(bool pauses = true);
    // Cancels a running worker and waits for it.
    ~CTransferEngine();
    CTransferEngine(const CTransferEngine&) = delete;
    CTransferEngine& operator=(const CTransferEngine&) = delete;

    // Written by a command before a worker starts; a running worker owns it.
    TransferBatch& Batch() { return m_batch; }
    const TransferBatch& Batch() const { return m_batch; }

    // A consistent copy of the progress record, from any thread.
    TransferProgress Progress() const { return m_progress.Snapshot(); }
    const CSharedProgress& SharedProgress() const { return m_progress; }

    // True from the start of a worker until it has ended its batch.
    bool WorkerRegistered() const { return m_registered.load(); }

    // Starts the upload worker (speed: the attached PVR's speed field, which
    // picks the bulk time-out) or the download worker over the batch. False
    // when a worker is still registered or the thread could not be made.
    bool StartUpload(std::uint32_t speed, ITransferReport* report,
                     platform::ThreadPriority priority = platform::ThreadPriority::Highest);
    bool StartDownload(ITransferReport* report);
    // The same workers on the calling thread; true when the batch finished.
    bool RunUpload(std::uint32_t speed, ITransferReport& report);
    bool RunDownload(ITransferReport& report);

    // Asks the running batch to stop: its pauses end and its loops leave at
    // the next check. Any thread.
    void Cancel();
    bool Cancelled() const { return m_cancel.load() != 0; }

    // The progress window's Cancel, on the UI thread: cancel, abort the pending
    // bulk call, stop the stream, wait for the worker (handling messages, so a
    // worker's message box cannot deadlock the wait), then let the device settle.
    void StopTransfer();

private:
    void UploadWorker(std::uint32_t speed, ITransferReport& report);
    void DownloadWorker(ITransferReport& report);
    void UploadItem(std::uint32_t timeoutMs, ITransferReport& report);
    void DownloadItem(ITransferReport& report);
    void EndBatch(ITransferReport& report);
    bool Begin();
    bool StartWorker(std::function<void()> body, platform::ThreadPriority priority);

    // The item-start and the progress form of the progress post.
    void PostTransferProgress(ITransferReport& report, bool itemStart, std::int64_t done = 0);
    void ItemFailed(ITransferReport& report, const std::string& reason);
    void Pause(std::uint32_t ms);

    void BeginBatch();
    void EndItem();

    const bool m_pauses;
    TransferBatch m_batch;
    CSharedProgress m_progress;
    // The worker's own: bytes of the batch moved by the items before the
    // current one, and where the current one started before any recovery.
    std::int64_t m_movedBefore = 0;
    std::int64_t m_itemOrigin = 0;
    std::int64_t m_itemMoved = 0;
    std::atomic<int> m_cancel{0};
    std::atomic<bool> m_registered{false};
    bool m_anyFailed = false;  // the worker's own
    std::unique_ptr<platform::CThread> m_worker;
};
