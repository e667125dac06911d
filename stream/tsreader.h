// Transport stream reader: finds the video and audio PIDs, aligns to the
// 188-byte packets and feeds the payloads of those two PIDs to a PES assembler
// each, which write an MPEG-2 program stream (or bare PES packets) to the sink.
#pragma once

#include <cstdint>

#include "stream/ipack.h"
#include "stream/streamio.h"
#include "stream/tspacket.h"

constexpr int kTsBlockSize = 10 * kTsPacketSize;
constexpr int kIpackSize = 2048;

// How a conversion ended. The first four are ordinary ends: everything the
// streams allowed has been written.
enum class ts_result {
    ended,        // the data ended
    stopped,      // the stop request was seen
    not_ts,       // no sync byte where the conversion proper begins
    no_streams,   // the data ended before a video and an audio stream were found
    read_error,   // a read failed
    write_error,  // the sink refused a block; what was written before stays
    no_memory,    // the assemblers' buffers could not be had
};

// True for the ends that are not failures.
inline bool ts_result_ok(ts_result r) {
    return r == ts_result::ended || r == ts_result::stopped || r == ts_result::not_ts ||
           r == ts_result::no_streams;
}

// Runs the whole conversion from the source's current position. A PID of 0 is
// found by the engine. The output is a program stream, or the bare repacked
// PES packets.
ts_result convert_transport_stream(const stream_io& io, int audio_pid, int video_pid,
                                   ipack_output output);

// Reads blocks until both PIDs are known (from the PES start codes in the
// packets that carry a payload start). Consumes the blocks it reads. Returns
// ended when both are known, else no_streams, read_error or stopped.
ts_result find_stream_pids(const stream_io& io, int* video_pid, int* audio_pid);
