// The conversion module: turns a PVR recording (.AVR: a 134-byte header and an
// MPEG transport stream) into an MPEG-2 program stream file, on a worker thread
// for the conversion dialog or on the calling thread for the command line.
//
// A CConversion runs one conversion at a time. The plain functions below work
// on one process-wide CConversion, for callers that need only one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Sends (synchronously) WM_CONVERT_DONE, WM_CONVERT_FAILED and
// WM_CONVERT_TOTAL to the window it was given.
#include "platform/usermessages.h"

// Buffer sizes of the two paths, terminating NUL included; longer paths are
// refused, never cut.
constexpr std::size_t kConvertSourcePathSize = 260;
constexpr std::size_t kConvertTargetPathSize = 256;

constexpr int kAvrHeaderSize = 134;

namespace platform {
class CThread;
}

// How a conversion ended.
enum class ConversionEnd {
    None,       // none has ended yet, or one is running
    Completed,  // the whole source was converted
    Stopped,    // asked to stop: the target keeps what was converted until then
    Failed,     // the reason says why; no empty target is left behind
};

struct ConversionResult {
    ConversionEnd end = ConversionEnd::None;
    // One sentence for the user when the conversion stopped or failed. A
    // failure's reason has been shown to the user by the conversion already.
    std::string reason;
};

class CConversion {
public:
    CConversion() = default;
    // Stops a running conversion and waits for its worker to end.
    ~CConversion();
    CConversion(const CConversion&) = delete;
    CConversion& operator=(const CConversion&) = delete;

    // Paths are PC paths ("C:\rec\x.AVR"). Starts the worker and returns at
    // once: false when a path is too long (after telling the user), a
    // conversion is already running or the thread could not be created.
    // notify may be none. The worker ends by sending WM_CONVERT_DONE (completed
    // or stopped) or WM_CONVERT_FAILED; Result() then says which and why.
    bool Start(std::string_view source, std::string_view target, HWND notify);
    // Runs one conversion on the calling thread, exactly as the worker does,
    // and returns how it ended. When it cannot begin (a path too long, one
    // already running) that is a failure, and Result() is left alone.
    ConversionResult Run(std::string_view source, std::string_view target, HWND notify);

    // Asks a running conversion to stop and gives it up to a second to end
    // (handling messages meanwhile on the UI thread). Does nothing when idle.
    void Stop();
    // Asks for a stop and returns at once; safe in a signal handler. A request
    // made just before a conversion begins stops it as soon as it begins.
    void RequestStop() { m_stopRequested.store(true); }
    // Waits for the worker of Start to end (-1: no limit).
    bool Wait(int timeoutMs = -1);

    bool IsRunning() const { return m_running.load(); }
    // Bytes of the source read so far (header included), and the source's
    // size. A completed conversion counts the whole source; a stopped or
    // failed one keeps the count where it ended.
    std::int64_t ConvertedBytes() const { return m_converted.load(); }
    std::int64_t TotalBytes() const { return m_total.load(); }
    // Whole MiB read as a percentage of the whole MiB of the source; 0 while
    // the source is under 1 MiB.
    int Percent() const;
    // How the latest conversion ended; set before its last message is sent.
    ConversionResult Result() const;

private:
    class CFiles;

    // Takes the paths for a conversion about to run; else says why not.
    const char* Claim(std::string_view source, std::string_view target, HWND notify);
    void Convert();
    void RunClaimed();
    void Fail(const char* reason);
    void End(ConversionEnd end, std::string reason);
    void TellUser(const char* text) const;
    void SendToNotify(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    static bool StopRequested(void* self);

    // Written by Start or Run before the conversion begins, then read only.
    std::string m_sourcePath;
    std::string m_targetPath;
    HWND m_notify = nullptr;

    std::atomic<std::int64_t> m_converted{0};
    std::atomic<std::int64_t> m_total{0};
    // From the claim of a conversion to the end of its last message.
    std::atomic<bool> m_running{false};
    // Polled by the engine once per block; cleared when a conversion ends.
    std::atomic<bool> m_stopRequested{false};
    static_assert(std::atomic<bool>::is_always_lock_free, "RequestStop must be signal-safe");

    mutable std::mutex m_resultMutex;
    ConversionResult m_result;

    // Touched only by the thread that starts conversions.
    std::unique_ptr<platform::CThread> m_worker;
};

// The target a recording converts to unless the user names another: the source
// without the extension of its file name, plus ".AVI". A dot in a folder's name
// starts no extension. separator ends a folder's name: a backslash in PC paths, "/"
// in host paths.
std::string default_conversion_target(std::string_view source, char separator = '\\');

// The same on the process-wide conversion.
bool start_conversion(const char* source, const char* target, HWND notify);
void stop_conversion();
std::int64_t get_converted_bytes();
std::int64_t get_total_bytes();
int get_convert_percent();
bool conversion_running();
bool wait_conversion_end(int timeoutMs = -1);
ConversionResult get_conversion_result();
