#include "stream/ipack.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "stream/psmux.h"
#include "stream/streamdiag.h"

namespace {

// A 16-bit PES length field bounds what an output packet can declare.
constexpr int kMaxIpackSize = 0xFFFF + 6;
// Below this the continuation header and the AC-3 sub-stream header would not
// leave room for data.
constexpr int kMinIpackSize = 64;

// Streams whose packets are recognised only to be stepped over whole.
bool is_skipped_id(std::uint8_t id) {
    switch (id) {
        case 0xBC:  // program stream map
        case 0xBE:  // padding
        case 0xBF:  // private stream 2
        case 0xF0:  // ECM
        case 0xF1:  // EMM
        case 0xF2:  // DSM-CC
        case 0xF3:  // ISO 13522
        case 0xFF:  // program stream directory
            return true;
        default:
            return false;
    }
}

bool is_kept_id(std::uint8_t id) {
    return id == 0xBD || (id >= 0xC0 && id <= 0xEF);
}

bool header_complete(const ipack& p) {
    return (p.syntax == pes_syntax::mpeg1 && p.consumed >= 7) ||
           (p.syntax == pes_syntax::mpeg2 && p.consumed >= 9);
}

// Takes one byte of an MPEG-1 header into the output packet. False when the
// payload is used up; the parse then resumes with the next payload.
bool take_mpeg1_byte(ipack* p, const std::uint8_t* b, int n, int* i) {
    if (*i >= n) {
        return false;
    }
    p->mpeg1_byte = b[*i];
    ipack_append(p, b + *i, 1);
    ++p->consumed;
    ++p->header_length;
    ++*i;
    return true;
}

// The MPEG-1 header after the flags byte: stuffing, an optional buffer-size
// field, then a PTS or PTS+DTS. Resumable at every byte; false when the payload
// ended before the header did.
bool parse_mpeg1_header(ipack* p, const std::uint8_t* b, int n, int* i) {
    if (p->consumed == 7) {
        p->mpeg1_byte = p->flags1;
        p->header_length = 1;
    }
    if (p->mpeg1 == mpeg1_stage::stuffing) {
        while (p->mpeg1_byte == 0xFF) {
            if (!take_mpeg1_byte(p, b, n, i)) {
                return false;
            }
        }
        if ((p->mpeg1_byte & 0xC0) == 0x40) {
            // The buffer-size field's first byte is in hand; take its second.
            if (!take_mpeg1_byte(p, b, n, i)) {
                return false;
            }
            p->mpeg1 = mpeg1_stage::buffer_size;
        } else {
            p->mpeg1 = mpeg1_stage::time_stamps;
        }
    }
    if (p->mpeg1 == mpeg1_stage::buffer_size) {
        if (!take_mpeg1_byte(p, b, n, i)) {
            return false;
        }
        p->mpeg1 = mpeg1_stage::time_stamps;
    }
    if (p->mpeg1 == mpeg1_stage::time_stamps) {
        if ((p->mpeg1_byte & 0x30) == 0 || p->mpeg1_byte == 0xFF) {
            p->mpeg1 = mpeg1_stage::done;  // no time stamps
            return true;
        }
        // '0010' PTS only gives 0x80, '0011' PTS and DTS gives 0xC0.
        p->flags2 = static_cast<std::uint8_t>((p->mpeg1_byte & 0xF0) * 4);
        p->pts[0] = p->mpeg1_byte;
        p->mpeg1_stamp_bytes = 0;
        p->mpeg1 = mpeg1_stage::stamp_bytes;
    }
    // The rest of a 5-byte PTS, or of a PTS and a DTS; the PTS is kept.
    const int wanted = p->flags2 == 0x80 ? 4 : (p->flags2 & 0xC0) == 0xC0 ? 9 : 0;
    while (p->mpeg1_stamp_bytes < wanted) {
        if (!take_mpeg1_byte(p, b, n, i)) {
            return false;
        }
        if (p->mpeg1_stamp_bytes < 4) {
            p->pts[p->mpeg1_stamp_bytes + 1] = p->mpeg1_byte;
        }
        ++p->mpeg1_stamp_bytes;
    }
    p->mpeg1 = mpeg1_stage::done;
    return true;
}

}  // namespace

bool ipack_init(ipack* p, int size, stream_write_fn sink, void* sink_ctx, ipack_output output,
                PsMuxState* mux) {
    p->buffer.clear();
    if (size >= kMinIpackSize && size <= kMaxIpackSize) {
        try {
            p->buffer.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            p->buffer.clear();
        }
    }
    if (p->buffer.empty()) {
        stream_diag("Couldn't allocate memory for ipack\n");
        return false;
    }
    p->limit_initial = size;
    p->sink = sink;
    p->sink_ctx = sink_ctx;
    p->output = output;
    p->mux = mux;
    p->sink_failed = false;
    ipack_reset(p);
    p->audio_info_known = false;
    p->video_info_known = false;
    return true;
}

void ipack_reset(ipack* p) {
    p->consumed = 0;
    p->stream_id = 0;
    p->declared_length = 0;
    p->flags1 = 0;
    p->flags2 = 0;
    p->header_length = 0;
    p->syntax = pes_syntax::unknown;
    p->mpeg1_byte = 0;
    p->mpeg1 = mpeg1_stage::stuffing;
    p->mpeg1_stamp_bytes = 0;
    p->skip_data = false;
    p->fill = 0;
    p->limit = p->limit_initial;
}

void ipack_write(ipack* p, const std::uint8_t* data, int len) {
    if (p->sink_failed || len <= 0) {
        return;
    }
    if (!p->sink(p->sink_ctx, data, static_cast<std::size_t>(len))) {
        p->sink_failed = true;
    }
}

void ipack_feed(const std::uint8_t* b, int n, ipack* p) {
    // One payload can end a packet and start the next: the loop takes over
    // where a packet completes, instead of recursing.
    for (;;) {
        int i = 0;
        while (i < n && !header_complete(*p) && !(p->skip_data && p->consumed >= 6)) {
            const std::uint8_t c = b[i];
            switch (p->consumed) {
                case 0:
                case 1:
                    p->consumed = c == 0x00 ? p->consumed + 1 : 0;
                    ++i;
                    break;
                case 2:
                    // Any run of zeros may precede the 01 of a start code.
                    if (c == 0x01) {
                        ++p->consumed;
                    } else if (c != 0x00) {
                        p->consumed = 0;
                    }
                    ++i;
                    break;
                case 3:
                    p->stream_id = 0;
                    if (is_skipped_id(c)) {
                        p->skip_data = true;
                        p->stream_id = c;
                        ++p->consumed;
                        ++i;
                    } else if (is_kept_id(c)) {
                        p->stream_id = c;
                        ++p->consumed;
                        ++i;
                    } else {
                        // Not a packet start; the byte may still begin the next one.
                        p->consumed = 0;
                    }
                    break;
                case 4:
                    if (n - i >= 2) {
                        p->length_bytes[0] = b[i];
                        p->length_bytes[1] = b[i + 1];
                        p->declared_length = (b[i] << 8) | b[i + 1];
                        p->consumed += 2;
                        i += 2;
                    } else {
                        p->length_bytes[0] = c;
                        ++p->consumed;
                        return;
                    }
                    break;
                case 5:
                    p->length_bytes[1] = c;
                    p->declared_length = (p->length_bytes[0] << 8) | p->length_bytes[1];
                    ++p->consumed;
                    ++i;
                    break;
                case 6:
                    p->flags1 = c;
                    ++p->consumed;
                    ++i;
                    if ((p->flags1 & 0xC0) == 0x80) {
                        p->syntax = pes_syntax::mpeg2;
                    } else {
                        p->syntax = pes_syntax::mpeg1;
                        p->header_length = 0;
                        p->mpeg1 = mpeg1_stage::stuffing;
                        p->mpeg1_stamp_bytes = 0;
                        p->flags2 = 0;
                    }
                    break;
                case 7:
                    p->flags2 = c;
                    ++p->consumed;
                    ++i;
                    break;
                default:  // 8
                    p->header_length = c;
                    ++p->consumed;
                    ++i;
                    break;
            }
        }
        if (i == n) {
            return;
        }
        if (p->declared_length == 0) {
            p->declared_length = kIpackUnbounded;
        }
        if (!p->skip_data && !header_complete(*p)) {
            return;
        }
        const int end = static_cast<int>(p->declared_length) + 6;

        if (!p->skip_data) {
            if (p->syntax == pes_syntax::mpeg2 && p->consumed == 9) {
                ipack_append(p, &p->flags1, 1);
                ipack_append(p, &p->flags2, 1);
                ipack_append(p, &p->header_length, 1);
            } else if (p->syntax == pes_syntax::mpeg1 && p->consumed == 7) {
                ipack_append(p, &p->flags1, 1);
            }
            if (p->syntax == pes_syntax::mpeg2 && (p->flags2 & 0x80) != 0 && p->consumed < 14) {
                while (i < n && p->consumed < 14) {
                    p->pts[p->consumed - 9] = b[i];
                    ipack_append(p, b + i, 1);
                    ++p->consumed;
                    ++i;
                }
                if (i == n) {
                    return;
                }
            }
            if (p->syntax == pes_syntax::mpeg1 && p->mpeg1 != mpeg1_stage::done &&
                !parse_mpeg1_header(p, b, n, &i)) {
                return;
            }
            // Everything after the PTS (DTS, extensions, stuffing) travels as data,
            // so the first output packet keeps the source header whole.
            while (i < n && p->consumed < end) {
                const int l = std::min(n - i, end - p->consumed);
                ipack_append(p, b + i, l);
                p->consumed += l;
                i += l;
            }
        } else {
            const int l = std::min(n - i, end - p->consumed);
            if (l > 0) {
                p->consumed += l;
                i += l;
            }
        }

        // ">=" rather than "==": a length field shorter than the packet's own
        // header must still end the packet, or the stream would stay stuck in it.
        if (p->declared_length != kIpackUnbounded && p->consumed >= end) {
            ipack_flush(p);
            ipack_reset(p);
            if (i < n) {
                b += i;
                n -= i;
                continue;
            }
        }
        return;
    }
}

void ipack_append(ipack* p, const std::uint8_t* b, int m) {
    std::uint8_t* buf = p->buffer.data();
    for (;;) {
        if (p->fill < 6) {
            buf[0] = 0x00;
            buf[1] = 0x00;
            buf[2] = 0x01;
            p->fill = 6;
        }
        // A packet a little longer than the limit would leave as one full packet
        // and a runt; two halves of about the same size multiplex more evenly.
        if (p->limit == p->limit_initial && p->declared_length != 0) {
            const int d = static_cast<int>(p->declared_length) + 6 - p->consumed + p->fill + m;
            if (p->limit < d && d < (3 * p->limit) / 2) {
                p->limit = d / 2;
            }
        }
        // AC-3 in private stream 1 needs the 4-byte sub-stream header in front of
        // its data; recordings often carry the frames without it.
        if (p->stream_id == 0xBD && p->fill == p->header_length + 9 && m > 0 &&
            (b[0] & 0xF8) != 0x80 && p->fill + 4 <= p->limit) {
            AudioStreamInfo ac3;
            const int r = parse_ac3_header(b, m, &ac3);
            if (r >= 0 && ac3.frame_size != 0) {
                const auto room = static_cast<unsigned>(p->limit - p->fill - 4 - r);
                buf[p->fill] = 0x80;
                buf[p->fill + 1] =
                    static_cast<std::uint8_t>(room / static_cast<unsigned>(ac3.frame_size) + 1);
                buf[p->fill + 2] = static_cast<std::uint8_t>(r >> 8);
                buf[p->fill + 3] = static_cast<std::uint8_t>(r & 0xFF);
                p->fill += 4;
            }
        }
        if (p->fill + m < p->limit) {
            std::memcpy(buf + p->fill, b, static_cast<std::size_t>(m));
            p->fill += m;
            return;
        }
        const int k = std::max(0, p->limit - p->fill);
        std::memcpy(buf + p->fill, b, static_cast<std::size_t>(k));
        p->fill += k;
        ipack_flush(p);
        if (m - k <= 0) {
            return;
        }
        b += k;
        m -= k;
    }
}

void ipack_flush(ipack* p) {
    std::uint8_t* buf = p->buffer.data();
    if (p->fill < 10) {
        return;
    }
    buf[3] = p->stream_id;
    buf[4] = static_cast<std::uint8_t>((p->fill - 6) >> 8);
    buf[5] = static_cast<std::uint8_t>((p->fill - 6) & 0xFF);

    // Keep the AC-3 sub-stream header true to this packet: the number of frames
    // that start in it, and where the next packet's first frame begins.
    std::uint8_t substream = 0;
    bool hasSubstream = false;
    int pointer = 0;
    if (p->stream_id == 0xBD) {
        const int s = buf[8] + 9;  // first data byte
        if (s + 3 < p->fill) {
            substream = buf[s];
            if ((substream & 0xF8) == 0x80) {
                hasSubstream = true;
                pointer = (buf[s + 2] << 8) | buf[s + 3];
                const int at = s + 3 + pointer;
                AudioStreamInfo ac3;
                if (pointer < p->fill && at < p->fill &&
                    parse_ac3_header(buf + at, p->fill - at, &ac3) == 0 && ac3.frame_size != 0) {
                    const unsigned frames = static_cast<unsigned>(p->fill - s - 3 - pointer) /
                                                static_cast<unsigned>(ac3.frame_size) +
                                            1;
                    buf[s + 1] = static_cast<std::uint8_t>(frames);
                    buf[s + 2] = static_cast<std::uint8_t>(pointer >> 8);
                    buf[s + 3] = static_cast<std::uint8_t>(pointer & 0xFF);
                    pointer = pointer + static_cast<int>(frames) * ac3.frame_size - p->fill;
                }
            }
        }
    }

    if (p->output == ipack_output::program_stream) {
        ps_emit(p);
    } else {
        ipack_write(p, buf, p->fill);
    }

    if (p->syntax == pes_syntax::mpeg2) {
        buf[6] = 0x80;  // no PTS, no header data
        buf[7] = 0x00;
        buf[8] = 0x00;
        p->fill = 9;
        if (p->stream_id == 0xBD && hasSubstream) {
            const auto ptr16 = static_cast<std::uint16_t>(pointer);
            buf[9] = substream;
            buf[10] = 0x00;
            buf[11] = static_cast<std::uint8_t>(ptr16 >> 8);
            buf[12] = static_cast<std::uint8_t>(ptr16 & 0xFF);
            p->fill = 13;
        }
    } else {
        buf[6] = 0x0F;  // MPEG-1: no time stamps
        p->fill = 7;
    }
}
