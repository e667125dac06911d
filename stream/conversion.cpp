#include "stream/conversion.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/pcfs.h"
#include "platform/thread.h"
#include "platform/user.h"
#include "stream/backgroundfiles.h"
#include "stream/tsreader.h"

namespace {

constexpr const char* kCaption = "Tavrix";
constexpr std::size_t kWorkerStack = 20480;

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

// The engine's source and sink over the conversion's files; the converted
// count follows what the engine has taken, which is the source's read position
// as it sees it.
struct Files : BackgroundFiles {
    std::int64_t position = 0;

    long Count(long n) {
        if (n > 0) {
            position += n;
            g_converted.store(position, std::memory_order_relaxed);
        }
        return n;
    }

    static long ReadFn(void* ctx, std::uint8_t* out, std::size_t want) {
        auto* self = static_cast<Files*>(ctx);
        return self->Count(self->Read(out, want));
    }

    static long BorrowFn(void* ctx, const std::uint8_t** data, std::size_t want) {
        auto* self = static_cast<Files*>(ctx);
        return self->Count(self->Borrow(data, want));
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

    auto files = std::make_unique<Files>();
    if (!files->OpenSource(g_sourcePath)) {
        tell_user("The source file cannot be opened.");
        return fail();
    }
    if (!files->OpenTarget(g_targetPath)) {
        tell_user("Can't open the target file");
        return fail();
    }

    const std::int64_t size = files->Source().Size();
    g_total = size < 0 ? 0 : size;
    const auto total = static_cast<std::uint64_t>(g_total.load());
    send_to_notify(WM_CONVERT_TOTAL, static_cast<WPARAM>(total >> 32),
                   static_cast<LPARAM>(total & 0xFFFFFFFFu));

    std::uint8_t header[kAvrHeaderSize];
    const std::int64_t got = files->Source().Read(header, sizeof header);
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
    if (files->Source().Seek(streamOffset) < 0) {
        tell_user("The source file cannot be read.");
        return fail();
    }
    files->position = streamOffset;
    g_converted = streamOffset;

    if (!files->Start()) {
        tell_user("There is not enough memory for the conversion.");
        return fail();
    }

    g_stopSignal = false;
    g_stopEventExists = true;

    stream_io io;
    io.read = &Files::ReadFn;
    io.read_ctx = files.get();
    io.borrow = &Files::BorrowFn;
    io.write = &BackgroundFiles::Sink;
    io.write_ctx = files.get();
    io.stop_requested = &stop_signalled;
    const ts_result result = convert_transport_stream(io, 0, 0, 1);

    if (result == ts_result::read_error) {
        tell_user("The source file cannot be read.");
        return fail();
    }
    if (result == ts_result::write_error || !files->Finish()) {
        tell_user("The target file cannot be written.");
        return fail();
    }
    if (result == ts_result::no_memory) {
        tell_user("There is not enough memory for the conversion.");
        return fail();
    }

    send_to_notify(WM_CONVERT_DONE);
    files->Close();
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
