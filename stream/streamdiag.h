// The stream engine's diagnostic lines. They go to stderr unless a sink has
// been installed, which lets tests read them back word for word.
#pragma once

#include <cstddef>

using stream_diag_fn = void (*)(void* ctx, const char* text, std::size_t len);

// Installs a sink for every later diagnostic write; nullptr restores stderr.
void set_stream_diag_sink(stream_diag_fn fn, void* ctx);

// printf-style; each call is one write to the sink (not necessarily a whole line).
void stream_diag(const char* format, ...) __attribute__((format(printf, 1, 2)));
