// PES packet assembler: finds the PES packets in the payload bytes of one
// elementary stream and emits them again as packets of at most `limit_initial`
// bytes. The first output packet of a source packet keeps its header whole; the
// following ones get a minimal continuation header.
#pragma once

#include <cstdint>

#include "stream/esheaders.h"
#include "stream/streamio.h"

struct PsMuxState;

// A length field of 0 (a video packet of unbounded length) is held as this
// value, which no 16-bit length can reach, so "declared_length != 0" keeps
// meaning "the packet has a length".
constexpr std::uint32_t kIpackUnbounded = 0x7FFF2;

struct ipack {
    int limit = 0;
    int limit_initial = 0;
    int consumed = 0;  // bytes of the source packet taken in, from its first start-code byte
    int program_stream = 0;
    int audio_info_known = 0;
    int video_info_known = 0;
    AudioStreamInfo audio_info;
    VideoStreamInfo video_info;
    std::uint8_t* buffer = nullptr;
    std::uint8_t stream_id = 0;
    std::uint32_t declared_length = 0;
    std::uint8_t length_bytes[2] = {};
    std::uint8_t flags1 = 0;
    std::uint8_t flags2 = 0;
    std::uint8_t header_length = 0;
    std::uint8_t pts[5] = {};
    int syntax = 0;  // 0 unknown, 1 MPEG-1, 2 MPEG-2
    std::uint8_t mpeg1_byte = 0;
    int mpeg1_step = 0;
    int skip_data = 0;
    stream_write_fn sink = nullptr;
    void* sink_ctx = nullptr;
    int fill = 0;

    // The multiplex this stream belongs to (program_stream 1).
    PsMuxState* mux = nullptr;
    // Set when the sink refused a block; nothing more is written after that.
    int sink_failed = 0;
};

// Allocates the buffer once. False (with a diagnostic) when it cannot be had;
// the caller ends the conversion as a failure.
bool ipack_init(ipack* p, int size, stream_write_fn sink, void* sink_ctx, int program_stream,
                PsMuxState* mux);
void ipack_reset(ipack* p);
void ipack_free(ipack* p);
void ipack_feed(const std::uint8_t* bytes, int count, ipack* p);
void ipack_append(ipack* p, const std::uint8_t* bytes, int count);
void ipack_flush(ipack* p);

// Hands a block to the sink unless an earlier write already failed.
void ipack_write(ipack* p, const std::uint8_t* data, int len);
