#include "stream/tsreader.h"

#include <algorithm>
#include <cstring>

#include "stream/ipack.h"
#include "stream/psmux.h"
#include "stream/streamdiag.h"

namespace {

bool stop_requested(const stream_io& io) {
    return io.stop_requested != nullptr && io.stop_requested(io.stop_ctx);
}

bool is_video_id(std::uint8_t id) {
    return id >= 0xE0 && id <= 0xEF;
}
bool is_audio_id(std::uint8_t id) {
    return id == 0xBD || (id >= 0xC0 && id <= 0xDF);
}

// DVB teletext and subtitles travel in private stream 1 as AC-3 does; the
// first byte of their payload, the data identifier, tells them apart: 0x10-0x1F
// for teletext, 0x20 for subtitles. AC-3 begins with its sync word or a
// sub-stream header. `pes` is the packet's start code, `end` the first byte
// that may not be read; a packet whose identifier lies beyond it counts as
// audio, as it always did.
bool is_dvb_data(const std::uint8_t* pes, const std::uint8_t* end) {
    constexpr int kFlags = 6;         // '10' marks the MPEG-2 header syntax
    constexpr int kHeaderLength = 8;  // header bytes after this one
    if (pes[3] != 0xBD || end - pes <= kHeaderLength || (pes[kFlags] & 0xC0) != 0x80) {
        return false;
    }
    const std::uint8_t* data = pes + kHeaderLength + 1 + pes[kHeaderLength];
    return data < end && ((*data >= 0x10 && *data <= 0x1F) || *data == 0x20);
}

// Reads as much of len as the source gives, tolerating short reads.
long read_fully(const stream_io& io, std::uint8_t* buf, long len) {
    long got = 0;
    while (got < len) {
        const long r = io.read(io.read_ctx, buf + got, static_cast<std::size_t>(len - got));
        if (r < 0) {
            return -1;
        }
        if (r == 0) {
            break;
        }
        got += r;
    }
    return got;
}

// One block of up to len bytes: in place where the source can lend it, else
// read into scratch. Short only at the end of the data.
long take_block(const stream_io& io, std::uint8_t* scratch, long len, const std::uint8_t** data) {
    if (io.borrow != nullptr) {
        return io.borrow(io.read_ctx, data, static_cast<std::size_t>(len));
    }
    *data = scratch;
    return read_fully(io, scratch, len);
}

struct Assemblers {
    ipack audio;
    ipack video;

    bool failed() const { return audio.sink_failed || video.sink_failed; }
};

void handle_packet(const ts_packet pkt, int audioPid, int videoPid, Assemblers& a) {
    if (!pkt.has_payload()) {
        return;
    }
    const int pid = pkt.pid();
    if (pkt.transport_error()) {
        stream_diag("Error in TS for PID: %d\n", pid);
    }
    ipack* p = nullptr;
    if (pid == videoPid) {
        p = &a.video;
    } else if (pid == audioPid) {
        p = &a.audio;
    } else {
        return;
    }
    // A video packet of unbounded length ends where the next one of its stream
    // starts: close it now with the length it turned out to have.
    if (pkt.unit_start() && p->declared_length == kIpackUnbounded) {
        p->declared_length = static_cast<std::uint32_t>(p->consumed - 6);
        p->consumed = 0;
        ipack_flush(p);
        ipack_reset(p);
    }
    const int offset = pkt.payload_offset();
    if (offset > kTsPacketSize) {
        return;  // adaptation field longer than the packet
    }
    ipack_feed(pkt.bytes() + offset, kTsPacketSize - offset, p);
}

}  // namespace

ts_result find_stream_pids(const stream_io& io, int* video_pid, int* audio_pid) {
    std::uint8_t scratch[kTsBlockSize];
    for (;;) {
        if (*video_pid != 0 && *audio_pid != 0) {
            return ts_result::ended;
        }
        // The search can cover a whole file without video: let a stop end it.
        if (stop_requested(io)) {
            return ts_result::stopped;
        }
        const std::uint8_t* block = scratch;
        const long n = take_block(io, scratch, kTsBlockSize, &block);
        if (n < 0) {
            return ts_result::read_error;
        }
        if (n == 0) {
            return ts_result::no_streams;
        }
        long p = 0;
        while (p + 7 < n) {
            const ts_packet pkt(block + p);
            if (!pkt.has_sync()) {
                ++p;
            } else {
                if (pkt.unit_start()) {
                    // The stream id of the PES header that starts this payload
                    // (the start code itself is not checked); a packet cut by
                    // the end of the block is not looked into.
                    const long at = p + pkt.payload_offset() + 3;
                    if (at < n) {
                        const std::uint8_t id = block[at];
                        const std::uint8_t* end = block + std::min(n, p + kTsPacketSize);
                        if (is_video_id(id)) {
                            *video_pid = pkt.pid();
                        } else if (is_audio_id(id) && !is_dvb_data(block + at - 3, end)) {
                            *audio_pid = pkt.pid();
                        }
                    }
                }
                p += kTsPacketSize;
            }
            if (*video_pid != 0 && *audio_pid != 0) {
                break;
            }
        }
    }
}

bool ts_sync_found(const std::uint8_t* data, std::size_t len) {
    constexpr std::size_t kRun = 5;
    constexpr auto kStep = static_cast<std::size_t>(kTsPacketSize);
    const std::size_t wanted = std::min(kRun, len / kStep);
    if (wanted == 0) {
        return false;
    }
    for (std::size_t k = 0; k + (wanted - 1) * kStep < len; ++k) {
        std::size_t run = 0;
        while (run < wanted && data[k + run * kStep] == kTsSync) {
            ++run;
        }
        if (run == wanted) {
            return true;
        }
    }
    return false;
}

ts_result convert_transport_stream(const stream_io& io, int audio_pid, int video_pid,
                                   ipack_output output, ts_streams* streams) {
    ts_result found = find_stream_pids(io, &video_pid, &audio_pid);
    if (streams != nullptr) {
        streams->video_pid = video_pid;
        streams->audio_pid = audio_pid;
    }
    if (found != ts_result::ended) {
        return found;
    }

    Assemblers a;
    PsMuxState mux;
    if (!ipack_init(&a.audio, kIpackSize, io.write, io.write_ctx, output, &mux) ||
        !ipack_init(&a.video, kIpackSize, io.write, io.write_ctx, output, &mux)) {
        return ts_result::no_memory;
    }

    std::uint8_t block[kTsBlockSize];
    std::uint8_t align[kTsPacketSize];
    const long got = read_fully(io, align, kTsPacketSize);
    if (got < 0) {
        return ts_result::read_error;
    }
    if (got == 0) {
        return ts_result::ended;
    }
    const auto* sync = static_cast<const std::uint8_t*>(std::memchr(align, kTsSync, got));
    if (sync == nullptr) {
        stream_diag("Not a TS\n");
        return ts_result::not_ts;
    }
    const long k = sync - align;
    long have = got - k;
    std::memcpy(block, sync, static_cast<std::size_t>(have));
    if (k > 0 && got == kTsPacketSize) {
        const long r = read_fully(io, block + have, k);
        if (r < 0) {
            return ts_result::read_error;
        }
        have += r;
    }

    for (;;) {
        // Only the first block after the alignment starts with bytes already read.
        const std::uint8_t* data = block;
        const long r = have > 0 ? read_fully(io, block + have, kTsBlockSize - have)
                                : take_block(io, block, kTsBlockSize, &data);
        if (r < 0) {
            return ts_result::read_error;
        }
        const long n = have + r;
        if (n == 0) {
            return ts_result::ended;
        }
        if (stop_requested(io)) {
            return ts_result::stopped;
        }
        // Packets are not re-checked for their sync byte: every 188-byte step is
        // a packet, and an incomplete one at the end of the data is dropped.
        for (long o = 0; o + kTsPacketSize <= n; o += kTsPacketSize) {
            handle_packet(ts_packet(data + o), audio_pid, video_pid, a);
            if (a.failed()) {
                return ts_result::write_error;
            }
        }
        if (r == 0) {
            return ts_result::ended;
        }
        have = 0;
    }
}
