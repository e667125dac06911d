#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {

std::atomic<bool> g_traceOn{false};

namespace {

struct TraceState {
    std::recursive_mutex mutex;
    std::FILE* file = nullptr;  // stderr or an appended file
    bool ownsFile = false;
    std::function<void(std::string_view)> sink;

    TraceState() { Configure(); }
    ~TraceState() { CloseFile(); }

    void CloseFile() {
        if (ownsFile && file) {
            std::fclose(file);
        }
        file = nullptr;
        ownsFile = false;
    }

    void Configure() {
        CloseFile();
        const char* env = std::getenv("TAVRIX_TRACE");
        if (env == nullptr || *env == '\0' || std::strcmp(env, "0") == 0) {
            file = nullptr;
        } else if (std::strcmp(env, "1") == 0) {
            file = stderr;
        } else {
            file = std::fopen(env, "a");
            ownsFile = file != nullptr;
        }
        g_traceOn.store(file != nullptr || sink != nullptr);
    }

    void Write(std::string_view text) {
        if (sink) {
            sink(text);
        } else if (file) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fflush(file);
        }
    }
};

TraceState& State() {
    static TraceState state;
    return state;
}

// Forces the environment to be read before main, so TRACE costs one atomic
// load when off.
const bool g_initialised = (State(), true);

// The analyzer cannot see that the callers va_start the list it is given.
// NOLINTBEGIN(clang-analyzer-valist.Uninitialized)
std::string Format(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(n), '\0');
    va_copy(copy, args);
    std::vsnprintf(text.data(), text.size() + 1, format, copy);
    va_end(copy);
    return text;
}
// NOLINTEND(clang-analyzer-valist.Uninitialized)

}  // namespace

std::string SourceFileName(const char* path) {
    if (path == nullptr) {
        return {};
    }
    const char* slash = std::strrchr(path, '\\');
    return slash ? std::string(slash + 1) : std::string(path);
}

void TraceWrite(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = Format(format, args);
    va_end(args);
    TraceState& s = State();
    std::lock_guard lock(s.mutex);
    s.Write(text);
}

void TraceLocated(const char* file, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = Format(format, args);
    va_end(args);
    TraceState& s = State();
    // Three writes, as the trace readers expect, but never torn apart by another thread.
    std::lock_guard lock(s.mutex);
    TraceWrite("%13s, %4d : ", SourceFileName(file).c_str(), line);
    s.Write(text);
    s.Write("\r\n");
}

void InitTraceFromEnvironment() {
    TraceState& s = State();
    std::lock_guard lock(s.mutex);
    s.Configure();
}

void SetTraceSink(std::function<void(std::string_view)> sink) {
    TraceState& s = State();
    std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
    s.Configure();
}

}  // namespace platform
