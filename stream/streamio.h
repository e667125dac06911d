// How the stream engine reaches the outside world: a source it reads from, a
// sink it writes to and a stop request it polls. Plain function pointers with a
// context, so a call per block or packet costs no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads up to len bytes into buf. Returns the count read, 0 at the end of the
// data, or -1 when the read failed (which is not the end of the data).
using stream_read_fn = long (*)(void* ctx, std::uint8_t* buf, std::size_t len);

// Optional, for a source that already holds its bytes in memory: hands out the
// next len bytes in place (valid until the next call on the source), fewer only
// at the end of the data; returns the count, 0 at the end or -1 as read does.
// Reads and borrows may alternate on one source.
using stream_borrow_fn = long (*)(void* ctx, const std::uint8_t** data, std::size_t len);

// Writes the whole block; false when it could not be written.
using stream_write_fn = bool (*)(void* ctx, const std::uint8_t* data, std::size_t len);

// True once the conversion is asked to stop; must not wait.
using stream_stop_fn = bool (*)(void* ctx);

struct stream_io {
    stream_read_fn read = nullptr;
    void* read_ctx = nullptr;
    stream_borrow_fn borrow = nullptr;  // nullptr: blocks are read into a buffer; uses read_ctx
    stream_write_fn write = nullptr;
    void* write_ctx = nullptr;
    stream_stop_fn stop_requested = nullptr;  // nullptr: never stops
    void* stop_ctx = nullptr;
};
