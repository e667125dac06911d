#include "app/stream/conversion.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "app/stream/backgroundwriter.h"
#include "app/stream/tsreader.h"
#include "platform/pcfs.h"
#include "platform/thread.h"
#include "platform/user.h"

namespace {

constexpr const char* kCaption = "Tavrix";
constexpr std::size_t kWorkerStack = 20480;
// The engine works in 1880-byte blocks; the source is read in larger pieces so
// the system calls do not dominate.
constexpr std::size_t kIoBufferSize = 256 * 1024;

char g_sourcePath[kConvertSourcePathSize];
char g_targetPath[kConvertTargetPathSize];
HWND g_notify = nullptr;

std::atomic<std::int64_t> g_converted{0};
std::atomic<std::int64_t> g_total{0};
std::atomic<bool> g_running{false};

// The stop event: an auto-reset flag the engine polls once per block. An atomic
// rather than a waitable event, because a zero-timeout wait on one costs the
// kernel's timer slack on every poll, which dominated the conversion time.
// "Exists" says whether a conversion is there to see it.
std::atomic<bool> g_stopSignal{false};
std::atomic<bool> g_stopEventExists{false};

// Touched only by the UI thread: the worker of the latest start_conversion.
std::unique_ptr<platform::CThread> g_worker;

void tell_user(const char* text) {
    MessageBox(g_notify, text, kCaption, MB_OK | MB_ICONSTOP);
}

// The source, read through a buffer that the engine takes its blocks from in
// place; the converted count follows what the engine has taken, which is the
// source's read position as it sees it.
struct SourceReader {
    platform::PcFile file;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t pos = 0;
    std::size_t len = 0;
    std::int64_t position = 0;

    // Makes want bytes (at most the buffer's size) available from pos, or all
    // that is left before the end of the file. False when a read failed.
    bool Fill(std::size_t want) {
        if (len - pos >= want) {
            return true;
        }
        // Blocks straddle buffer refills: keep the unread tail at the front.
        std::memmove(buffer.get(), buffer.get() + pos, len - pos);
        len -= pos;
        pos = 0;
        while (len < want) {
            const std::int64_t r = file.Read(buffer.get() + len, kIoBufferSize - len);
            if (r < 0) {
                return false;
            }
            if (r == 0) {
                break;
            }
            len += static_cast<std::size_t>(r);
        }
        return true;
    }

    long Count(std::size_t n) {
        position += static_cast<std::int64_t>(n);
        g_converted.store(position, std::memory_order_relaxed);
        return static_cast<long>(n);
    }

    static long Read(void* ctx, std::uint8_t* out, std::size_t want) {
        auto* self = static_cast<SourceReader*>(ctx);
        std::size_t given = 0;
        while (given < want) {
            if (self->pos == self->len && !self->Fill(1)) {
                return -1;
            }
            if (self->pos == self->len) {
                break;
            }
            const std::size_t n = std::min(want - given, self->len - self->pos);
            std::memcpy(out + given, self->buffer.get() + self->pos, n);
            self->pos += n;
            given += n;
        }
        return self->Count(given);
    }

    static long Borrow(void* ctx, const std::uint8_t** data, std::size_t want) {
        auto* self = static_cast<SourceReader*>(ctx);
        want = std::min(want, kIoBufferSize);
        if (!self->Fill(want)) {
            return -1;
        }
        const std::size_t n = std::min(want, self->len - self->pos);
        *data = self->buffer.get() + self->pos;
        self->pos += n;
        return self->Count(n);
    }
};

bool stop_signalled(void*) {
    // A plain load first: the exchange is a locked instruction, and this runs
    // once per block while the flag is almost never set.
    return g_stopSignal.load(std::memory_order_relaxed) &&
           g_stopSignal.exchange(false, std::memory_order_acq_rel);
}

void send_to_notify(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    if (g_notify != nullptr) {
        SendMessage(g_notify, message, wParam, lParam);
    }
}

bool paths_fit(const char* source, const char* target) {
    if (std::strlen(source) >= kConvertSourcePathSize) {
        MessageBox(nullptr, "The source path is too long.", kCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    if (std::strlen(target) >= kConvertTargetPathSize) {
        MessageBox(nullptr, "The target path is too long.", kCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

void copy_paths(const char* source, const char* target, HWND notify) {
    // Lengths were checked by paths_fit: these never cut.
    std::snprintf(g_sourcePath, sizeof g_sourcePath, "%s", source);
    std::snprintf(g_targetPath, sizeof g_targetPath, "%s", target);
    g_notify = notify;
}

// The failure end: the user has been told why; the dialog then says it failed.
// The files close as the worker's locals go; a partial target stays on disk.
bool fail() {
    send_to_notify(WM_CONVERT_FAILED);
    g_stopEventExists = false;
    return false;
}

bool convert() {
    g_converted = 0;

    auto reader = std::make_unique<SourceReader>();
    if (!reader->file.Open(g_sourcePath, platform::PcFile::Mode::Read)) {
        tell_user("The source file cannot be opened.");
        return fail();
    }
    auto writer = std::make_unique<BackgroundWriter>();
    if (!writer->Open(g_targetPath)) {
        tell_user("Can't open the target file");
        return fail();
    }

    const std::int64_t size = reader->file.Size();
    g_total = size < 0 ? 0 : size;
    const auto total = static_cast<std::uint64_t>(g_total.load());
    send_to_notify(WM_CONVERT_TOTAL, static_cast<WPARAM>(total >> 32),
                   static_cast<LPARAM>(total & 0xFFFFFFFFu));

    std::uint8_t header[kAvrHeaderSize];
    const std::int64_t got = reader->file.Read(header, sizeof header);
    if (got < 0) {
        tell_user("The source file cannot be read.");
        return fail();
    }
    if (got < kAvrHeaderSize) {
        tell_user("The source file is not a PVR recording.");
        return fail();
    }
    // Offset 6 holds a word nothing uses; offset 8 is where the stream begins.
    const int streamOffset = (header[8] << 8) | header[9];
    if (reader->file.Seek(streamOffset) < 0) {
        tell_user("The source file cannot be read.");
        return fail();
    }
    reader->position = streamOffset;
    g_converted = streamOffset;

    reader->buffer.reset(new (std::nothrow) std::uint8_t[kIoBufferSize]);
    if (!reader->buffer || !writer->Start()) {
        tell_user("There is not enough memory for the conversion.");
        return fail();
    }

    g_stopSignal = false;
    g_stopEventExists = true;

    stream_io io;
    io.read = &SourceReader::Read;
    io.read_ctx = reader.get();
    io.borrow = &SourceReader::Borrow;
    io.write = &BackgroundWriter::Sink;
    io.write_ctx = writer.get();
    io.stop_requested = &stop_signalled;
    const ts_result result = convert_transport_stream(io, 0, 0, 1);

    if (result == ts_result::read_error) {
        tell_user("The source file cannot be read.");
        return fail();
    }
    if (result == ts_result::write_error || !writer->Finish()) {
        tell_user("The target file cannot be written.");
        return fail();
    }
    if (result == ts_result::no_memory) {
        tell_user("There is not enough memory for the conversion.");
        return fail();
    }

    send_to_notify(WM_CONVERT_DONE);
    reader->file.Close();
    writer->Close();
    g_stopEventExists = false;
    g_converted = g_total.load();
    return true;
}

bool run_marked() {
    const bool ok = convert();
    g_running = false;
    return ok;
}

}  // namespace

bool start_conversion(const char* source, const char* target, HWND notify) {
    if (g_running) {
        return false;
    }
    if (!paths_fit(source, target)) {
        return false;
    }
    g_worker.reset();  // the previous worker has ended; join it
    copy_paths(source, target, notify);
    g_running = true;
    g_worker = platform::CThread::Start([] { run_marked(); }, kWorkerStack);
    if (!g_worker) {
        g_running = false;
        return false;
    }
    return true;
}

void stop_conversion() {
    if (!g_stopEventExists) {
        return;
    }
    g_stopSignal = true;
    platform::WaitProcessingMessages([] { return !g_running.load(); }, 1000);
}

std::int64_t get_converted_bytes() {
    return g_converted.load();
}

std::int64_t get_total_bytes() {
    return g_total.load();
}

int get_convert_percent() {
    const std::int64_t totalMiB = g_total.load() / 1048576;
    if (totalMiB == 0) {
        return 0;
    }
    return static_cast<int>((g_converted.load() / 1048576) * 100 / totalMiB);
}

bool conversion_running() {
    return g_running.load();
}

bool wait_conversion_end(int timeoutMs) {
    if (!g_worker) {
        return true;
    }
    return g_worker->Wait(timeoutMs);
}

bool run_conversion(const char* source, const char* target, HWND notify) {
    if (g_running.exchange(true)) {
        return false;
    }
    if (!paths_fit(source, target)) {
        g_running = false;
        return false;
    }
    copy_paths(source, target, notify);
    return run_marked();
}
