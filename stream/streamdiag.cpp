#include "stream/streamdiag.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex g_diagMutex;
stream_diag_fn g_diagFn = nullptr;
void* g_diagCtx = nullptr;

}  // namespace

void set_stream_diag_sink(stream_diag_fn fn, void* ctx) {
    const std::lock_guard lock(g_diagMutex);
    g_diagFn = fn;
    g_diagCtx = ctx;
}

void stream_diag(const char* format, ...) {
    // Every diagnostic is a short line fragment; a fixed buffer keeps the
    // per-packet error path free of allocation.
    char text[256];
    va_list args;
    va_start(args, format);
    // The analyzer misreads va_start on this platform's array-typed va_list.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    int len = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (len < 0) {
        return;
    }
    if (static_cast<std::size_t>(len) >= sizeof text) {
        len = sizeof text - 1;
    }
    const std::lock_guard lock(g_diagMutex);
    if (g_diagFn != nullptr) {
        g_diagFn(g_diagCtx, text, static_cast<std::size_t>(len));
    } else {
        std::fwrite(text, 1, static_cast<std::size_t>(len), stderr);
    }
}
