// Developer trace: plain lines and located lines ("%13s, %4d : " prefix).
//
// TAVRIX_TRACE=1 sends them to stderr, TAVRIX_TRACE=/path appends them to a file;
// otherwise nothing is formatted at all.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The part of a source path after its last "\", the whole path when it holds
// none, and an empty text for a null path.
std::string SourceFileName(const char* path);

extern std::atomic<bool> g_traceOn;
void TraceWrite(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceLocated(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Re-reads TAVRIX_TRACE (done once at start-up by itself).
void InitTraceFromEnvironment();
// Sends trace to a sink instead (tests); nullptr restores the environment's choice.
void SetTraceSink(std::function<void(std::string_view)> sink);

}  // namespace platform

// __FILE_NAME__ keeps the located prefix to the file's own name, as the trace
// readers expect, whatever directory the build ran in.
#define TRACE(...)                               \
    do {                                         \
        if (::platform::g_traceOn.load()) {      \
            ::platform::TraceWrite(__VA_ARGS__); \
        }                                        \
    } while (0)
#define TRACE_AT(...)                                                       \
    do {                                                                    \
        if (::platform::g_traceOn.load()) {                                 \
            ::platform::TraceLocated(__FILE_NAME__, __LINE__, __VA_ARGS__); \
        }                                                                   \
    } while (0)
