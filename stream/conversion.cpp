#include "stream/conversion.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "platform/pcfs.h"
#include "platform/thread.h"
#include "platform/user.h"
#include "stream/backgroundfiles.h"
#include "stream/tsreader.h"

namespace {

constexpr const char* kCaption = "Tavrix";
constexpr std::size_t kWorkerStack = 20480;
// How much of the stream is looked at to tell whether it is a transport stream
// at all, when a conversion wrote nothing.
constexpr std::size_t kProbeSize = 64 * 1024;
// Names tried for the file a conversion writes before it takes the target's
// place (earlier ones may be left from conversions that never ended).
constexpr int kTemporaryAttempts = 1000;

// What names a file on the host, whatever path leads to it (links, case,
// "..").
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool regular = false;
    mode_t mode = 0;

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
    return FileIdentity{st.st_dev, st.st_ino, S_ISREG(st.st_mode), st.st_mode};
}

// The file the finished conversion takes the place of: the target, or the file
// a symbolic link leads to, so that the link stays a link. nullopt when that
// file lies outside every drive.
std::optional<std::string> final_target(const std::string& pcTarget) {
    const std::optional<std::string> host = platform::ToHostPath(pcTarget);
    struct stat st {};
    if (!host || lstat(host->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return pcTarget;
    }
    char resolved[PATH_MAX];
    if (realpath(host->c_str(), resolved) == nullptr) {
        return std::nullopt;
    }
    return platform::ToPcPath(resolved);
}

// Creates an empty file of the conversion's own in the folder of target, for
// the converted stream to grow in until it takes the target's place. The name
// is short whatever the target's, so it fits wherever the target does.
std::optional<std::string> create_temporary_beside(const std::string& target) {
    const std::size_t slash = target.rfind('\\');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    for (int n = 0; n < kTemporaryAttempts; ++n) {
        const std::string path = folder + "~tavrix-convert-" + std::to_string(n) + ".tmp";
        platform::PcFile file;
        if (file.Open(path, platform::PcFile::Mode::CreateNew)) {
            return path;
        }
        if (platform::LastFsError() != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Why the paths cannot be taken, or nullptr when they can.
const char* paths_refused(std::string_view source, std::string_view target) {
    if (source.size() >= kConvertSourcePathSize) {
        return "The source path is too long.";
    }
    if (target.size() >= kConvertTargetPathSize) {
        return "The target path is too long.";
    }
    return nullptr;
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
    // Bytes the engine has written.
    std::int64_t Written() const { return m_written; }

    static long ReadFn(void* ctx, std::uint8_t* out, std::size_t want) {
        auto* self = static_cast<CFiles*>(ctx);
        return self->Count(self->Read(out, want));
    }

    static long BorrowFn(void* ctx, const std::uint8_t** data, std::size_t want) {
        auto* self = static_cast<CFiles*>(ctx);
        return self->Count(self->Borrow(data, want));
    }

    static bool WriteFn(void* ctx, const std::uint8_t* data, std::size_t len) {
        auto* self = static_cast<CFiles*>(ctx);
        self->m_written += static_cast<std::int64_t>(len);
        return self->Write(data, len);
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
    std::int64_t m_written = 0;
};

namespace {

// Why a conversion that ran to its end wrote nothing, in one sentence. Looks
// at the start of the stream itself, which the engine only searched.
const char* why_nothing_was_written(ts_result result, const ts_streams& streams,
                                    platform::PcFile& source, std::int64_t streamOffset) {
    const std::int64_t size = source.Size();
    if (size >= 0 && size <= streamOffset) {
        return "The recording holds nothing after its header.";
    }
    std::vector<std::uint8_t> probe(kProbeSize);
    const std::int64_t got = source.ReadAt(probe.data(), probe.size(), streamOffset);
    if (result == ts_result::not_ts ||
        (got >= 0 && !ts_sync_found(probe.data(), static_cast<std::size_t>(got)))) {
        return "The recording does not hold an MPEG transport stream.";
    }
    if (streams.video_pid == 0) {
        return "No video stream was found in the recording.";
    }
    if (streams.audio_pid == 0) {
        return "No audio stream was found in the recording.";
    }
    // The video is of another kind (H.264, say), or its headers are unusable.
    return "No usable MPEG-2 video sequence header was found in the recording.";
}

}  // namespace

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

void CConversion::End(ConversionEnd end, std::string reason) {
    const std::lock_guard lock(m_resultMutex);
    m_result = {end, std::move(reason)};
}

// The failure end: the user is told why, and then the dialog says it failed.
void CConversion::Fail(const char* reason) {
    TellUser(reason);
    End(ConversionEnd::Failed, reason);
    SendToNotify(WM_CONVERT_FAILED);
}

void CConversion::Convert() {
    m_converted = 0;

    // A folder, a device or a pipe would be read until someone ends it, or
    // block the opening itself.
    const std::optional<FileIdentity> source = identify(m_sourcePath);
    if (source && !source->regular) {
        return Fail("The source is not a regular file.");
    }
    auto files = std::make_unique<CFiles>(m_converted);
    if (!files->OpenSource(m_sourcePath)) {
        return Fail("The source file cannot be opened.");
    }
    // Creating the target empties it: it must not be the source under another
    // name.
    const std::optional<FileIdentity> existing = identify(m_targetPath);
    if (source && existing && source->SameFile(*existing)) {
        return Fail("The source and the target are the same file.");
    }
    // A new file is written beside an existing one and replaces it only once
    // the conversion completed or was stopped: a failure must not cost the
    // user the file that was there. A device or a pipe is written to directly;
    // it holds nothing to keep.
    std::optional<std::string> replaced;
    std::optional<std::string> temporary;
    if (!existing || existing->regular) {
        replaced = final_target(m_targetPath);
    }
    if (replaced) {
        // What could not be written in place must not be replaced either.
        if (existing && !platform::PcFile().Open(*replaced, platform::PcFile::Mode::Write)) {
            return Fail("Can't open the target file");
        }
        temporary = create_temporary_beside(*replaced);
        if (!temporary) {
            return Fail("Can't open the target file");
        }
        if (existing) {
            if (const std::optional<std::string> host = platform::ToHostPath(*temporary)) {
                chmod(host->c_str(), existing->mode & 07777);
            }
        }
    }
    if (!files->OpenTarget(
            temporary ? *temporary : m_targetPath,
            temporary ? platform::PcFile::Mode::Write : platform::PcFile::Mode::Create)) {
        if (temporary) {
            platform::DeleteFile(*temporary);
        }
        return Fail("Can't open the target file");
    }

    // From here on a failure closes the files and takes away what this
    // conversion wrote; the target keeps what it held.
    const auto failWithTarget = [&](const char* reason) {
        files->Close();
        if (temporary) {
            platform::DeleteFile(*temporary);
        }
        Fail(reason);
    };
    // The written file takes the target's place.
    const auto putInPlace = [&]() {
        files->Close();
        if (temporary && !platform::ReplaceFile(*temporary, *replaced)) {
            platform::DeleteFile(*temporary);
            Fail("The target file cannot be written.");
            return false;
        }
        return true;
    };

    const std::int64_t size = files->Source().Size();
    m_total = size < 0 ? 0 : size;
    const auto total = static_cast<std::uint64_t>(m_total.load());
    SendToNotify(WM_CONVERT_TOTAL, static_cast<WPARAM>(total >> 32),
                 static_cast<LPARAM>(total & 0xFFFFFFFFu));

    std::uint8_t header[kAvrHeaderSize];
    const std::int64_t got = files->Source().Read(header, sizeof header);
    if (got < 0) {
        return failWithTarget("The source file cannot be read.");
    }
    if (got < kAvrHeaderSize) {
        return failWithTarget("The source file is not a PVR recording.");
    }
    // Offset 6 holds a word nothing uses; offset 8 is where the stream begins.
    const int streamOffset = (header[8] << 8) | header[9];
    if (files->Source().Seek(streamOffset) < 0) {
        return failWithTarget("The source file cannot be read.");
    }
    files->StartAt(streamOffset);

    if (!files->Start()) {
        return failWithTarget("There is not enough memory for the conversion.");
    }

    stream_io io;
    io.read = &CFiles::ReadFn;
    io.read_ctx = files.get();
    io.borrow = &CFiles::BorrowFn;
    io.write = &CFiles::WriteFn;
    io.write_ctx = files.get();
    io.stop_requested = &CConversion::StopRequested;
    io.stop_ctx = this;
    ts_streams streams;
    const ts_result result =
        convert_transport_stream(io, 0, 0, ipack_output::program_stream, &streams);

    if (result == ts_result::read_error) {
        return failWithTarget("The source file cannot be read.");
    }
    if (result == ts_result::write_error || !files->Finish()) {
        return failWithTarget("The target file cannot be written.");
    }
    if (result == ts_result::no_memory) {
        return failWithTarget("There is not enough memory for the conversion.");
    }
    // A stop keeps what was written, however little, and the count where it
    // was: the user sees how far it got.
    if (result == ts_result::stopped) {
        if (!putInPlace()) {
            return;
        }
        End(ConversionEnd::Stopped, "The conversion was stopped.");
        SendToNotify(WM_CONVERT_DONE);
        return;
    }
    if (files->Written() == 0) {
        return failWithTarget(
            why_nothing_was_written(result, streams, files->Source(), streamOffset));
    }

    // In place before the dialog hears of it, so that what it shows of the
    // target is the whole file.
    if (!putInPlace()) {
        return;
    }
    m_converted = m_total.load();
    End(ConversionEnd::Completed, {});
    SendToNotify(WM_CONVERT_DONE);
}

const char* CConversion::Claim(std::string_view source, std::string_view target, HWND notify) {
    if (m_running.exchange(true)) {
        return "A conversion is already running.";
    }
    if (const char* refused = paths_refused(source, target)) {
        MessageBox(nullptr, refused, kCaption, MB_OK | MB_ICONSTOP);
        m_running = false;
        return refused;
    }
    m_sourcePath = source;
    m_targetPath = target;
    m_notify = notify;
    End(ConversionEnd::None, {});
    return nullptr;
}

void CConversion::RunClaimed() {
    Convert();
    // A stop asked for from here on is for a conversion yet to come.
    m_stopRequested = false;
    m_running = false;
}

bool CConversion::Start(std::string_view source, std::string_view target, HWND notify) {
    if (m_running) {
        return false;
    }
    m_worker.reset();  // the previous worker has ended; join it
    if (Claim(source, target, notify) != nullptr) {
        return false;
    }
    m_worker = platform::CThread::Start([this] { RunClaimed(); }, kWorkerStack);
    if (!m_worker) {
        m_running = false;
        return false;
    }
    return true;
}

ConversionResult CConversion::Run(std::string_view source, std::string_view target, HWND notify) {
    if (const char* refused = Claim(source, target, notify)) {
        return {ConversionEnd::Failed, refused};
    }
    RunClaimed();
    return Result();
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

ConversionResult CConversion::Result() const {
    const std::lock_guard lock(m_resultMutex);
    return m_result;
}

std::string default_conversion_target(std::string_view source, char separator) {
    const std::size_t folderEnd = source.rfind(separator);
    const std::size_t dot = source.rfind('.');
    const bool named =
        dot != std::string_view::npos && (folderEnd == std::string_view::npos || dot > folderEnd);
    return std::string(named ? source.substr(0, dot) : source) + ".AVI";
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

ConversionResult get_conversion_result() {
    return process_conversion().Result();
}
