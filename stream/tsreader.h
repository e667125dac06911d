// Transport stream reader: finds the video and audio PIDs, aligns to the
// 188-byte packets and feeds the payloads of those two PIDs to a PES assembler
// each, which write an MPEG-2 program stream (or bare PES packets) to the sink.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/ipack.h"
#include "stream/streamio.h"
#include "stream/tspacket.h"

constexpr int kTsBlockSize = 10 * kTsPacketSize;
constexpr int kIpackSize = 2048;

// How a conversion ended. The first four are ordinary ends for the engine:
// everything the streams allowed has been written, which may be nothing; the
// caller decides what a conversion that wrote nothing means.
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

// The streams a conversion went by, so that one that wrote nothing can say why.
struct ts_streams {
    int video_pid = 0;  // 0: none found
    int audio_pid = 0;
};

// Runs the whole conversion from the source's current position. A PID of 0 is
// found by the engine. The output is a program stream, or the bare repacked
// PES packets. The PIDs it went by are left in `streams` when given.
ts_result convert_transport_stream(const stream_io& io, int audio_pid, int video_pid,
                                   ipack_output output, ts_streams* streams = nullptr);

// Reads blocks until both PIDs are known (from the PES start codes in the
// packets that carry a payload start). Consumes the blocks it reads. Returns
// ended when both are known, else no_streams, read_error or stopped. A private
// stream 1 packet that carries DVB teletext or subtitles is not audio.
ts_result find_stream_pids(const stream_io& io, int* video_pid, int* audio_pid);

// True when the data hold transport packets: sync bytes at 188-byte steps,
// five in a row anywhere in them (as many as there are whole packets' worth
// of data, when that is fewer; never for less than one packet).
bool ts_sync_found(const std::uint8_t* data, std::size_t len);
