// The conversion module: turns a PVR recording (.AVR: a 134-byte header and an
// MPEG transport stream) into an MPEG-2 program stream file, on a worker thread
// for the conversion dialog or on the calling thread for the command line.
// One conversion at a time, process-wide.
#pragma once

#include <cstddef>
#include <cstdint>

// Sends (synchronously) WM_CONVERT_DONE, WM_CONVERT_FAILED and
// WM_CONVERT_TOTAL to the window it was given.
#include "platform/usermessages.h"

// Buffer sizes of the two paths, terminating NUL included; longer paths are
// refused, never cut.
constexpr std::size_t kConvertSourcePathSize = 260;
constexpr std::size_t kConvertTargetPathSize = 256;

constexpr int kAvrHeaderSize = 134;

// Paths are PC paths ("C:\rec\x.AVR"). Starts the worker and returns at once:
// false when a path is too long (after telling the user), a conversion is
// already running or the thread could not be created. notify may be none.
bool start_conversion(const char* source, const char* target, HWND notify);

// Asks a running conversion to stop and gives the worker up to a second to end
// (handling messages meanwhile on the UI thread). Does nothing when idle.
void stop_conversion();

// Bytes of the source read so far (header included), and the source's size.
std::int64_t get_converted_bytes();
std::int64_t get_total_bytes();
// Whole MiB read as a percentage of the whole MiB of the source; 0 while the
// source is under 1 MiB.
int get_convert_percent();

bool conversion_running();

// Waits for the worker started by start_conversion to end (-1: no limit).
bool wait_conversion_end(int timeoutMs = -1);

// Runs one conversion on the calling thread, exactly as the worker does. True
// when it completed (a stop also completes); false on any failure, which has
// been shown to the user by then.
bool run_conversion(const char* source, const char* target, HWND notify);
