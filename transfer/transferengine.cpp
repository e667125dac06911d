#include "transfer/transferengine.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/names.h"
#include "device/tavrixcalls.h"
#include "platform/clock.h"
#include "platform/message.h"
#include "platform/pcfs.h"
#include "platform/trace.h"

namespace {

constexpr std::size_t kWorkerStack = 10240;
constexpr std::int64_t kMiB = 1048576;
// A device that keeps failing every send while it stays attached would make
// the stream recovery go round for ever; past this many recoveries in one chunk
// the item is given up.
constexpr int kMaxRecoveriesPerChunk = 16;

// The PC file a download writes. Without an offset the old copy, if any, stays
// in place until data flows: the bytes go to a hidden file beside it, which
// takes the old copy's place with the first chunk (or at the end of an empty
// file), so a refused stream loses nothing and a cut-short one can be resumed.
class CDownloadTarget {
public:
    explicit CDownloadTarget(std::string path) : m_path(std::move(path)) {}
    CDownloadTarget(const CDownloadTarget&) = delete;
    CDownloadTarget& operator=(const CDownloadTarget&) = delete;
    ~CDownloadTarget() {
        m_file.Close();
        if (!m_placed && !m_scratch.empty()) {
            platform::DeleteFile(m_scratch);
        }
    }

    bool Open(std::int64_t offset) {
        if (offset > 0) {
            m_placed = true;
            return m_file.Open(m_path, platform::PcFile::Mode::Write) &&
                   m_file.Seek(offset) == offset;
        }
        const std::size_t cut = m_path.rfind('\\');
        m_scratch = m_path.substr(0, cut + 1) + "." + m_path.substr(cut + 1) + ".download";
        return m_file.Open(m_scratch, platform::PcFile::Mode::Create);
    }

    bool Write(const void* data, std::size_t count) { return m_file.Write(data, count) && Place(); }

    // Puts a finished file in place: needed when no chunk ever did (an empty file).
    bool Finish() { return Place(); }

private:
    bool Place() {
        if (m_placed) {
            return true;
        }
        m_placed = platform::ReplaceFile(m_scratch, m_path);
        return m_placed;
    }

    std::string m_path;
    std::string m_scratch;
    platform::PcFile m_file;
    bool m_placed = false;
};

std::unique_ptr<char[]> AllocateChunk(std::uint32_t size) {
    return std::unique_ptr<char[]>(new (std::nothrow) char[size]);
}

void CopyText(char (&field)[260], const char* prefix, const std::string& text) {
    std::snprintf(field, sizeof field, "%s%s", prefix, text.c_str());
}

std::string ItemPath(const TransferItem& item) {
    return std::string(FieldText(item.pvrPath));
}

}  // namespace

TransferProgress CSharedProgress::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

CSharedProgress::BatchFigures CSharedProgress::Batch() const {
    std::lock_guard lock(m_mutex);
    return m_batch;
}

void CSharedProgress::Set(const TransferProgress& progress, const BatchFigures& batch) {
    std::lock_guard lock(m_mutex);
    m_progress = progress;
    m_batch = batch;
}

void CSharedProgress::Update(const std::function<void(TransferProgress&, BatchFigures&)>& change) {
    std::lock_guard lock(m_mutex);
    change(m_progress, m_batch);
}

CTransferEngine::CTransferEngine(bool pauses) : m_pauses(pauses) {}

CTransferEngine::~CTransferEngine() {
    if (m_worker && m_worker->IsRunning()) {
        Cancel();
        TAVRIX_BulkCancel();
        // On the UI thread this keeps handling messages: a worker that is
        // showing a message box must be able to finish it.
        m_worker->Wait();
    }
    m_worker.reset();
}

void CTransferEngine::Cancel() {
    m_cancel = 1;
    platform::TheClock().WakeSleepers();
}

void CTransferEngine::Pause(std::uint32_t ms) {
    if (m_pauses && m_cancel.load() == 0) {
        platform::TheClock().SleepUnless(ms, [this] { return m_cancel.load() != 0; });
    }
}

bool CTransferEngine::Begin() {
    bool idle = false;
    if (!m_registered.compare_exchange_strong(idle, true)) {
        return false;
    }
    // The last worker has ended its batch; its thread is at most returning.
    m_worker.reset();
    return true;
}

bool CTransferEngine::StartWorker(std::function<void()> body, platform::ThreadPriority priority) {
    if (!Begin()) {
        return false;
    }
    m_worker = platform::CThread::Start(std::move(body), kWorkerStack, priority);
    if (!m_worker) {
        m_registered = false;
        return false;
    }
    return true;
}

bool CTransferEngine::StartUpload(std::uint32_t speed, ITransferReport* report,
                                  platform::ThreadPriority priority) {
    return StartWorker([this, speed, report] { UploadWorker(speed, *report); }, priority);
}

bool CTransferEngine::StartDownload(ITransferReport* report) {
    return StartWorker([this, report] { DownloadWorker(*report); },
                       platform::ThreadPriority::Normal);
}

bool CTransferEngine::RunUpload(std::uint32_t speed, ITransferReport& report) {
    if (!Begin()) {
        return false;
    }
    UploadWorker(speed, report);
    return !m_anyFailed;
}

bool CTransferEngine::RunDownload(ITransferReport& report) {
    if (!Begin()) {
        return false;
    }
    DownloadWorker(report);
    return !m_anyFailed;
}

void CTransferEngine::StopTransfer() {
    Cancel();
    TAVRIX_BulkCancel();
    Sleep(500);
    TAVRIX_RequestDataTransferStop();
    if (m_worker) {
        m_worker->Wait();
    }
    Sleep(2000);
}

void CTransferEngine::PostTransferProgress(ITransferReport& report, bool itemStart,
                                           std::int64_t done) {
    const TransferItem& item = m_batch.Current();
    // A recovery moves the item's offset on; what lies before it has arrived.
    m_itemMoved = item.offset - m_itemOrigin + done;
    m_progress.Update([&](TransferProgress& progress, CSharedProgress::BatchFigures& batch) {
        batch.done = m_movedBefore + m_itemMoved;
        if (!itemStart) {
            progress.done = done;
            return;
        }
        progress.byteCount = item.byteCount;
        progress.offset = item.offset;
        progress.done = 0;
        const std::string& pc = m_batch.CurrentPcPath();
        const std::string pvr = ItemPath(item);
        if (item.direction == TRANSFER_UPLOAD) {
            CopyText(progress.source, "[PC]", pc);
            CopyText(progress.destination, "[PVR]", pvr);
        } else if (item.direction == TRANSFER_DOWNLOAD) {
            CopyText(progress.source, "[PVR]", pvr);
            CopyText(progress.destination, "[PC]", pc);
        }
    });
    if (itemStart) {
        report.ItemStarted(m_batch.currentIndex, m_batch.itemCount);
    } else {
        report.Progressed();
    }
}

void CTransferEngine::BeginBatch() {
    m_cancel = 0;
    m_anyFailed = false;
    m_batch.currentIndex = 0;
    m_movedBefore = 0;
    m_itemMoved = 0;
    CSharedProgress::BatchFigures figures;
    for (int i = 0; i < m_batch.itemCount; ++i) {
        figures.total += m_batch.items[static_cast<std::size_t>(i)].byteCount;
    }
    m_progress.Set(TransferProgress{}, figures);
}

void CTransferEngine::EndItem() {
    m_movedBefore += m_itemMoved;
    m_itemMoved = 0;
    ++m_batch.currentIndex;
}

void CTransferEngine::ItemFailed(ITransferReport& report, const std::string& reason) {
    m_anyFailed = true;
    report.ItemEnded(m_batch.currentIndex, reason);
}

void CTransferEngine::EndBatch(ITransferReport& report) {
    const bool failed = m_cancel.load() != 0 || m_anyFailed;
    m_anyFailed = failed;
    if (failed) {
        TRACE_AT("User cancelled..");
    } else {
        TRACE_AT("Finished..");
    }
    m_cancel = 0;
    m_registered = false;
    report.Ended(failed);
}

// ---- Upload ------------------------------------------------------------------------------

void CTransferEngine::UploadWorker(std::uint32_t speed, ITransferReport& report) {
    const std::uint32_t timeoutMs = speed != 0 ? 10000 : 20000;
    BeginBatch();
    while (m_batch.currentIndex < m_batch.itemCount && m_cancel.load() == 0) {
        m_itemOrigin = m_batch.Current().offset;
        UploadItem(timeoutMs, report);
        EndItem();
    }
    EndBatch(report);
}

void CTransferEngine::UploadItem(std::uint32_t timeoutMs, ITransferReport& report) {
    TransferItem& item = m_batch.Current();
    const std::string& pcPath = m_batch.CurrentPcPath();
    const std::string pvrPath = ItemPath(item);
    TRACE_AT(">FILE : %s", pvrPath.c_str());
    TRACE_AT(">Size : %" PRId64 "(%u) bytes", item.byteCount, item.chunkSize);

    CPvrFile pvrFile;
    if (!pvrFile.Open(item.offset > 0 ? FCNTL_OPEN_UPLOAD : FCNTL_CREATE, item)) {
        report.Tell("OpenFile failed..");
        Cancel();
        ItemFailed(report, "cannot open " + pvrPath + " on the PVR");
        return;
    }
    PostTransferProgress(report, true);
    if (!TAVRIX_RequestDataTransfer(&item)) {
        Cancel();
        ItemFailed(report, "the PVR refused the stream of " + pvrPath);
        return;
    }
    Pause(500);
    const std::unique_ptr<char[]> buffer = AllocateChunk(item.chunkSize);
    platform::PcFile file;
    if (!buffer || !file.Open(pcPath, platform::PcFile::Mode::Read) ||
        (item.offset > 0 && file.Seek(item.offset) != item.offset)) {
        // The PVR has a stream open that nothing will fill.
        TAVRIX_RequestDataTransferStop();
        ItemFailed(report, buffer ? "cannot read " + pcPath : "out of memory");
        return;
    }
    std::int64_t remaining = item.byteCount;
    Pause(500);

    std::string failure;
    while (remaining > 0 && m_cancel.load() == 0 && TAVRIX_DevicePresent()) {
        const auto want = static_cast<std::uint32_t>(
            std::min<std::int64_t>(remaining, static_cast<std::int64_t>(item.chunkSize)));
        const std::int64_t position = item.offset + item.byteCount - remaining;
        if (file.Position() != position && file.Seek(position) != position) {
            failure = "cannot read " + pcPath;
            break;
        }
        const std::int64_t got = file.Read(buffer.get(), want);
        if (got <= 0) {
            // The file is shorter than its count, or unreadable: reading on would
            // find nothing more, however often it were tried.
            failure = got < 0 ? "cannot read " + pcPath
                              : pcPath + " ended before " +
                                    std::to_string(item.offset + item.byteCount) + " bytes";
            break;
        }
        int allowance = 2;
        int recoveries = 0;
        std::int64_t sent = 0;
        while (sent < got && m_cancel.load() == 0) {
            const int n = TAVRIX_BulkOUT(buffer.get() + sent,
                                         static_cast<std::uint32_t>(got - sent), timeoutMs);
            if (!TAVRIX_DevicePresent()) {
                Cancel();
            } else if (n > 0) {
                sent += std::min<std::int64_t>(n, got - sent);
            } else if (--allowance > 0) {
                continue;
            } else if (++recoveries > kMaxRecoveriesPerChunk) {
                failure = "the PVR keeps refusing " + pvrPath;
                Cancel();
            } else {
                // Start the stream again at the chunk's first byte; the allowance is
                // not renewed, so a further failure in this chunk recovers at once.
                TAVRIX_Flush();
                TRACE_AT("Retry.....offset %" PRId64, item.byteCount - remaining);
                TAVRIX_RequestDataTransferStop();
                Pause(200);
                item.offset += item.byteCount - remaining;
                item.byteCount = remaining;
                TAVRIX_RequestDataTransfer(&item);
                Pause(200);
                PostTransferProgress(report, true);
                sent = 0;
            }
        }
        remaining -= std::min(remaining, sent);
        if ((item.byteCount - remaining) % kMiB == 0) {
            Pause(1000);
        }
        PostTransferProgress(report, false, item.byteCount - remaining);
    }
    file.Close();
    Pause(1000);

    if (remaining > 0 && failure.empty()) {
        failure = m_cancel.load() != 0 ? "cancelled" : "the PVR went away";
    }
    if (m_cancel.load() == 0) {
        if (!failure.empty()) {
            TAVRIX_RequestDataTransferStop();
        } else if (TAVRIX_RequestDataCompletion() != 1) {
            TAVRIX_RequestDataTransferStop();
            failure = "the PVR did not confirm " + pvrPath;
        }
    }
    pvrFile.Close();
    if (!failure.empty()) {
        ItemFailed(report, failure);
    } else {
        report.ItemEnded(m_batch.currentIndex, {});
    }
}

// ---- Download ----------------------------------------------------------------------------

void CTransferEngine::DownloadWorker(ITransferReport& report) {
    BeginBatch();
    while (m_batch.currentIndex < m_batch.itemCount && m_cancel.load() == 0) {
        m_itemOrigin = m_batch.Current().offset;
        DownloadItem(report);
        if (m_batch.itemCount > 1) {
            Pause(1000);
        }
        EndItem();
    }
    EndBatch(report);
}

void CTransferEngine::DownloadItem(ITransferReport& report) {
    TransferItem& item = m_batch.Current();
    const std::string& pcPath = m_batch.CurrentPcPath();
    const std::string pvrPath = ItemPath(item);

    CPvrFile pvrFile;
    if (!pvrFile.Open(FCNTL_OPEN_DOWNLOAD, item)) {
        report.Tell("OpenFile failed..");
        Cancel();
        ItemFailed(report, "cannot open " + pvrPath + " on the PVR");
        return;
    }
    if (!TAVRIX_RequestDataTransfer(&item)) {
        Cancel();
        ItemFailed(report, "the PVR refused the stream of " + pvrPath);
        return;
    }
    Pause(1000);
    const std::unique_ptr<char[]> buffer = AllocateChunk(item.chunkSize);
    CDownloadTarget target(pcPath);
    if (!buffer || !target.Open(item.offset)) {
        TAVRIX_RequestDataTransferStop();
        ItemFailed(report,
                   buffer ? "cannot write " + pcPath + ": " + std::strerror(platform::LastFsError())
                          : "out of memory");
        return;
    }
    PostTransferProgress(report, true);
    Pause(500);

    std::string failure;
    std::int64_t remaining = item.byteCount;
    while (remaining > 0 && m_cancel.load() == 0) {
        if (!TAVRIX_DevicePresent()) {
            Pause(10);
            break;
        }
        const auto want = static_cast<std::uint32_t>(
            std::min<std::int64_t>(remaining, static_cast<std::int64_t>(item.chunkSize)));
        std::uint32_t got = 0;
        int allowance = 3;
        while (got < want && m_cancel.load() == 0) {
            const int n = TAVRIX_BulkIN(buffer.get() + got, want - got, 0);
            if (n > 0) {
                got += std::min(static_cast<std::uint32_t>(n), want - got);
            }
            if (--allowance < 0) {
                Cancel();
                failure = "the PVR did not deliver " + pvrPath;
                break;
            }
        }
        remaining -= std::min<std::int64_t>(remaining, got);
        if (m_cancel.load() == 0 && got > 0 && !target.Write(buffer.get(), got)) {
            const std::string reason = std::strerror(platform::LastFsError());
            failure = "cannot write " + pcPath + ": " + reason;
            report.Tell("Cannot write " + pcPath + ": " + reason + ".");
            Cancel();
        }
        PostTransferProgress(report, false, item.byteCount - remaining);
    }
    if (remaining == 0 && failure.empty() && !target.Finish()) {
        failure = "cannot write " + pcPath;
    }
    pvrFile.Close();
    if (remaining > 0 && failure.empty()) {
        failure = m_cancel.load() != 0 ? "cancelled" : "the PVR went away";
    }
    if (!failure.empty()) {
        ItemFailed(report, failure + " after " +
                               std::to_string(item.offset + item.byteCount - remaining) + " of " +
                               std::to_string(item.offset + item.byteCount) + " bytes");
    } else {
        report.ItemEnded(m_batch.currentIndex, {});
    }
}
