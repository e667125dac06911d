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
    int header_written = 0;
};

constexpr int kPackHeaderSize = 14;
constexpr int kPackAndSystemHeaderSize = 32;

// Called for every completed output packet of an assembler whose program-stream
// switch is on; writes zero, one or two blocks through the assembler's sink.
void ps_emit(ipack* p);

// Writes a pack header, and behind it a system header when both stream ids are
// non-zero. Returns the bytes written: 14 or 32. `out` must hold 32 bytes.
int ps_pack_header(std::uint8_t* out, std::uint32_t scr, int mux_rate, int audio_bound,
                   int fixed_flag, int csps_flag, int audio_lock, int video_lock, int video_bound,
                   int stream1, int buffer_scale1, int buffer_size1, int stream2, int buffer_scale2,
                   int buffer_size2);

// The 33-bit value of a 5-byte PES time stamp field, in 90 kHz ticks.
std::int64_t pts_to_ticks(const std::uint8_t* pts);
