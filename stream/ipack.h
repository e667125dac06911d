// PES packet assembler: finds the PES packets in the payload bytes of one
// elementary stream and emits them again as packets of at most `limit_initial`
// bytes. The first output packet of a source packet keeps its header whole; the
// following ones get a minimal continuation header.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/esheaders.h"
#include "stream/streamio.h"

struct PsMuxState;

// A length field of 0 (a video packet of unbounded length) is held as this
// value, which no 16-bit length can reach, so "declared_length != 0" keeps
// meaning "the packet has a length".
constexpr std::uint32_t kIpackUnbounded = 0x7FFF2;

// Where completed output packets go.
enum class ipack_output : std::uint8_t {
    program_stream,  // through the program stream writer, which adds the packs
    bare_pes,        // straight to the sink
};

// The header syntax of the source packet being taken in.
enum class pes_syntax : std::uint8_t { unknown, mpeg1, mpeg2 };

// How far an MPEG-1 header has been taken in after its flags byte; the parse
// can stop at any byte and resume with the next payload.
enum class mpeg1_stage : std::uint8_t {
    stuffing,     // stuffing bytes, then perhaps a buffer-size field
    buffer_size,  // the buffer-size field is in; the time-stamp byte is next
    time_stamps,  // mpeg1_byte holds the time-stamp flags byte
    stamp_bytes,  // taking the PTS (and DTS) bytes after that byte
    done,
};

struct ipack {
    int limit = 0;
    int limit_initial = 0;
    int consumed = 0;  // bytes of the source packet taken in, from its first start-code byte
    ipack_output output = ipack_output::program_stream;
    bool audio_info_known = false;
    bool video_info_known = false;
    AudioStreamInfo audio_info;
    VideoStreamInfo video_info;
    std::vector<std::uint8_t> buffer;  // limit_initial bytes
    std::uint8_t stream_id = 0;
    std::uint32_t declared_length = 0;
    std::uint8_t length_bytes[2] = {};
    std::uint8_t flags1 = 0;
    std::uint8_t flags2 = 0;
    std::uint8_t header_length = 0;
    std::uint8_t pts[5] = {};
    pes_syntax syntax = pes_syntax::unknown;
    std::uint8_t mpeg1_byte = 0;
    mpeg1_stage mpeg1 = mpeg1_stage::stuffing;
    int mpeg1_stamp_bytes = 0;  // time-stamp bytes taken after the first, in stamp_bytes
    bool skip_data = false;
    stream_write_fn sink = nullptr;
    void* sink_ctx = nullptr;
    int fill = 0;

    // The multiplex this stream belongs to (ipack_output::program_stream).
    PsMuxState* mux = nullptr;
    // Set when the sink refused a block; nothing more is written after that.
    bool sink_failed = false;
};

// Takes the buffer once. False (with a diagnostic) when it cannot be had; the
// caller ends the conversion as a failure.
bool ipack_init(ipack* p, int size, stream_write_fn sink, void* sink_ctx, ipack_output output,
                PsMuxState* mux);
void ipack_reset(ipack* p);
void ipack_feed(const std::uint8_t* bytes, int count, ipack* p);
void ipack_append(ipack* p, const std::uint8_t* bytes, int count);
void ipack_flush(ipack* p);

// Hands a block to the sink unless an earlier write already failed.
void ipack_write(ipack* p, const std::uint8_t* data, int len);
