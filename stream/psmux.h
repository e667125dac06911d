// Program stream writer: decides which repacked PES packets reach the output
// and wraps them into an MPEG-2 program stream (pack headers, one system header).
#pragma once

#include <cstdint>

struct ipack;

// One per conversion; all zero when it starts.
struct PsMuxState {
    int audio_bit_rate = 0;
    int video_bit_rate = 0;
    int mux_rate = 0;  // units of 50 bytes per second; fixed once set
    bool header_written = false;
};

constexpr int kPackHeaderSize = 14;
constexpr int kPackAndSystemHeaderSize = 32;

// One stream's entry in the system header.
struct ps_stream_bound {
    std::uint8_t stream_id = 0;
    bool buffer_scale_1024 = false;  // buffer_size counts 1024-byte units, else 128-byte
    int buffer_size = 0;             // 13 bits
};

// The system header's fields. It lists exactly two streams, in the order given.
struct ps_system_header {
    int audio_bound = 0;  // 6 bits
    bool fixed = false;
    bool csps = false;
    bool audio_lock = false;
    bool video_lock = false;
    int video_bound = 0;  // 5 bits
    ps_stream_bound streams[2];
};

// The system header of every conversion: one video and one MPEG audio stream.
constexpr ps_system_header kConversionSystemHeader = {
    .audio_bound = 1,
    .fixed = false,
    .csps = false,
    .audio_lock = true,
    .video_lock = true,
    .video_bound = 1,
    .streams = {{.stream_id = 0xE0, .buffer_scale_1024 = true, .buffer_size = 460},
                {.stream_id = 0xC0, .buffer_scale_1024 = false, .buffer_size = 64}},
};

// Called for every completed output packet of an assembler whose output is the
// program stream; writes zero, one or two blocks through the assembler's sink.
void ps_emit(ipack* p);

// Writes a pack header, and behind it the system header when one is given and
// both its stream ids are non-zero. Returns the bytes written: 14 or 32. `out`
// must hold 32 bytes.
int ps_pack_header(std::uint8_t* out, std::uint32_t scr, int mux_rate,
                   const ps_system_header* system = nullptr);

// The 33-bit value of a 5-byte PES time stamp field, in 90 kHz ticks.
std::int64_t pts_to_ticks(const std::uint8_t* pts);
