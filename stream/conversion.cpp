#include "stream/conversion.h"

#include <sys/stat.h>

#include <memory>
#include <optional>

#include "platform/pcfs.h"
#include "platform/thread.h"
#include "platform/user.h"
#include "stream/backgroundfiles.h"
#include "stream/tsreader.h"

namespace {

constexpr const char* kCaption = "Tavrix";
constexpr std::size_t kWorkerStack = 20480;

// What names a file on the host, whatever path leads to it (links, case,
// "..").
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool regular = false;

    bool SameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
};

// nullopt when the path leads nowhere (yet).
std::optional<FileIdentity> identify(const std::string& pcPath) {
    const std::optional<std::string> host = platform::ToHostPath(pcPath);
    struct stat st {};
    if (!host || stat(host->c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileIdentity{st.st_dev, st.st_ino, S_ISREG(st.st_mode)};
}

bool paths_fit(std::string_view source, std::string_view target) {
    if (source.size() >= kConvertSourcePathSize) {
        MessageBox(nullptr, "The source path is too long.", kCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    if (target.size() >= kConvertTargetPathSize) {
        MessageBox(nullptr, "The target path is too long.", kCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

}  // namespace

// The engine's source and sink over the conversion's files; the converted
// count follows what the engine has taken, which is the source's read position
// as it sees it.
class CConversion::CFiles : public BackgroundFiles {
public:
    explicit CFiles(std::atomic<std::int64_t>& converted) : m_converted(converted) {}

    // Where the engine starts reading: the stream offset of the header.
    void StartAt(std::int64_t position) {
        m_position = position;
        m_converted = position;
    }

    static long ReadFn(void* ctx, std::uint8_t* out, std::size_t want) {
        auto* self = static_cast<CFiles*>(ctx);
        return self->Count(self->Read(out, want));
    }

    static long BorrowFn(void* ctx, const std::uint8_t** data, std::size_t want) {
        auto* self = static_cast<CFiles*>(ctx);
        return self->Count(self->Borrow(data, want));
    }

private:
    long Count(long n) {
        if (n > 0) {
            m_position += n;
            m_converted.store(m_position, std::memory_order_relaxed);
        }
        return n;
    }

    std::atomic<std::int64_t>& m_converted;
    std::int64_t m_position = 0;
};

CConversion::~CConversion() {
    m_stopRequested = true;
    m_worker.reset();  // joins, handling messages meanwhile on the UI thread
}

void CConversion::TellUser(const char* text) const {
    MessageBox(m_notify, text, kCaption, MB_OK | MB_ICONSTOP);
}

void CConversion::SendToNotify(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (m_notify != nullptr) {
        SendMessage(m_notify, message, wParam, lParam);
    }
}

bool CConversion::StopRequested(void* self) {
    return static_cast<CConversion*>(self)->m_stopRequested.load(std::memory_order_relaxed);
}

// The failure end: the user has been told why; the dialog then says it failed.
// The files close as the worker's locals go; a partial target stays on disk.
bool CConversion::Fail() {
    SendToNotify(WM_CONVERT_FAILED);
    return false;
}

bool CConversion::Convert() {
    m_converted = 0;

    // A folder, a device or a pipe would be read until someone ends it, or
    // block the opening itself.
    if (const std::optional<FileIdentity> found = identify(m_sourcePath);
        found && !found->regular) {
        TellUser("The source is not a regular file.");
        return Fail();
    }
    auto files = std::make_unique<CFiles>(m_converted);
    if (!files->OpenSource(m_sourcePath)) {
        TellUser("The source file cannot be opened.");
        return Fail();
    }
    // Creating the target empties it: it must not be the source under another
    // name.
    const std::optional<FileIdentity> source = identify(m_sourcePath);
    const std::optional<FileIdentity> target = identify(m_targetPath);
    if (source && target && source->SameFile(*target)) {
        TellUser("The source and the target are the same file.");
        return Fail();
    }
    if (!files->OpenTarget(m_targetPath)) {
        TellUser("Can't open the target file");
        return Fail();
    }

    const std::int64_t size = files->Source().Size();
    m_total = size < 0 ? 0 : size;
    const auto total = static_cast<std::uint64_t>(m_total.load());
    SendToNotify(WM_CONVERT_TOTAL, static_cast<WPARAM>(total >> 32),
                 static_cast<LPARAM>(total & 0xFFFFFFFFu));

    std::uint8_t header[kAvrHeaderSize];
    const std::int64_t got = files->Source().Read(header, sizeof header);
    if (got < 0) {
        TellUser("The source file cannot be read.");
        return Fail();
    }
    if (got < kAvrHeaderSize) {
        TellUser("The source file is not a PVR recording.");
        return Fail();
    }
    // Offset 6 holds a word nothing uses; offset 8 is where the stream begins.
    const int streamOffset = (header[8] << 8) | header[9];
    if (files->Source().Seek(streamOffset) < 0) {
        TellUser("The source file cannot be read.");
        return Fail();
    }
    files->StartAt(streamOffset);

    if (!files->Start()) {
        TellUser("There is not enough memory for the conversion.");
        return Fail();
    }

    stream_io io;
    io.read = &CFiles::ReadFn;
    io.read_ctx = files.get();
    io.borrow = &CFiles::BorrowFn;
    io.write = &BackgroundFiles::Sink;
    io.write_ctx = files.get();
    io.stop_requested = &CConversion::StopRequested;
    io.stop_ctx = this;
    const ts_result result = convert_transport_stream(io, 0, 0, ipack_output::program_stream);

    if (result == ts_result::read_error) {
        TellUser("The source file cannot be read.");
        return Fail();
    }
    if (result == ts_result::write_error || !files->Finish()) {
        TellUser("The target file cannot be written.");
        return Fail();
    }
    if (result == ts_result::no_memory) {
        TellUser("There is not enough memory for the conversion.");
        return Fail();
    }

    SendToNotify(WM_CONVERT_DONE);
    files->Close();
    m_converted = m_total.load();
    return true;
}

bool CConversion::Claim(std::string_view source, std::string_view target, HWND notify) {
    if (m_running.exchange(true)) {
        return false;
    }
    if (!paths_fit(source, target)) {
        m_running = false;
        return false;
    }
    m_sourcePath = source;
    m_targetPath = target;
    m_notify = notify;
    m_stopRequested = false;
    return true;
}

bool CConversion::RunClaimed() {
    const bool ok = Convert();
    m_running = false;
    return ok;
}

bool CConversion::Start(std::string_view source, std::string_view target, HWND notify) {
    if (m_running) {
        return false;
    }
    m_worker.reset();  // the previous worker has ended; join it
    if (!Claim(source, target, notify)) {
        return false;
    }
    m_worker = platform::CThread::Start([this] { RunClaimed(); }, kWorkerStack);
    if (!m_worker) {
        m_running = false;
        return false;
    }
    return true;
}

bool CConversion::Run(std::string_view source, std::string_view target, HWND notify) {
    if (!Claim(source, target, notify)) {
        return false;
    }
    return RunClaimed();
}

void CConversion::Stop() {
    if (!m_running) {
        return;
    }
    m_stopRequested = true;
    platform::WaitProcessingMessages([this] { return !m_running.load(); }, 1000);
}

bool CConversion::Wait(int timeoutMs) {
    if (!m_worker) {
        return true;
    }
    return m_worker->Wait(timeoutMs);
}

int CConversion::Percent() const {
    const std::int64_t totalMiB = m_total.load() / 1048576;
    if (totalMiB == 0) {
        return 0;
    }
    return static_cast<int>((m_converted.load() / 1048576) * 100 / totalMiB);
}

namespace {

// Made on first use and gone at exit, stopping and joining what still runs.
CConversion& process_conversion() {
    static CConversion conversion;
    return conversion;
}

}  // namespace

bool start_conversion(const char* source, const char* target, HWND notify) {
    return process_conversion().Start(source, target, notify);
}

void stop_conversion() {
    process_conversion().Stop();
}

std::int64_t get_converted_bytes() {
    return process_conversion().ConvertedBytes();
}

std::int64_t get_total_bytes() {
    return process_conversion().TotalBytes();
}

int get_convert_percent() {
    return process_conversion().Percent();
}

bool conversion_running() {
    return process_conversion().IsRunning();
}

bool wait_conversion_end(int timeoutMs) {
    return process_conversion().Wait(timeoutMs);
}

bool run_conversion(const char* source, const char* target, HWND notify) {
    return process_conversion().Run(source, target, notify);
}
