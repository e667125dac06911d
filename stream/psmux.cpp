#include "stream/psmux.h"

#include "stream/esheaders.h"
#include "stream/ipack.h"

namespace {

// The system clock leads each packet's presentation time by 40 ms, so the
// decoder has the data before it is due.
constexpr std::int64_t kScrLead = 3600;

std::uint32_t scr_for(const ipack& p) {
    return static_cast<std::uint32_t>(pts_to_ticks(p.pts) - kScrLead);
}

}  // namespace

std::int64_t pts_to_ticks(const std::uint8_t* pts) {
    return (static_cast<std::int64_t>((pts[0] >> 1) & 0x07) << 30) |
           (static_cast<std::int64_t>(pts[1]) << 22) |
           (static_cast<std::int64_t>(pts[2] >> 1) << 15) |
           (static_cast<std::int64_t>(pts[3]) << 7) | (pts[4] >> 1);
}

int ps_pack_header(std::uint8_t* out, std::uint32_t scr, int mux_rate,
                   const ps_system_header* system) {
    // The SCR base is 33 bits; its top bit stays 0 with a 32-bit value.
    const std::uint64_t base = scr;
    const auto mux = static_cast<std::uint32_t>(mux_rate) & 0x3FFFFF;
    out[0] = 0x00;
    out[1] = 0x00;
    out[2] = 0x01;
    out[3] = 0xBA;
    out[4] = static_cast<std::uint8_t>(0x44 | ((base >> 27) & 0x38) | ((base >> 28) & 0x03));
    out[5] = static_cast<std::uint8_t>(base >> 20);
    out[6] = static_cast<std::uint8_t>(((base >> 12) & 0xF8) | 0x04 | ((base >> 13) & 0x03));
    out[7] = static_cast<std::uint8_t>(base >> 5);
    out[8] = static_cast<std::uint8_t>(((base & 0x1F) << 3) | 0x04);  // SCR extension 0
    out[9] = 0x01;
    out[10] = static_cast<std::uint8_t>(mux >> 14);
    out[11] = static_cast<std::uint8_t>(mux >> 6);
    out[12] = static_cast<std::uint8_t>(((mux & 0x3F) << 2) | 0x03);
    out[13] = 0xF8;  // no pack stuffing
    if (system == nullptr || system->streams[0].stream_id == 0 ||
        system->streams[1].stream_id == 0) {
        return kPackHeaderSize;
    }

    std::uint8_t* s = out + kPackHeaderSize;
    s[0] = 0x00;
    s[1] = 0x00;
    s[2] = 0x01;
    s[3] = 0xBB;
    s[4] = 0x00;
    s[5] = 0x0C;
    s[6] = static_cast<std::uint8_t>(0x80 | (mux >> 15));  // rate bound = mux rate
    s[7] = static_cast<std::uint8_t>(mux >> 7);
    s[8] = static_cast<std::uint8_t>(((mux & 0x7F) << 1) | 0x01);
    s[9] = static_cast<std::uint8_t>(((system->audio_bound & 0x3F) << 2) |
                                     (system->fixed ? 0x02 : 0) | (system->csps ? 0x01 : 0));
    s[10] = static_cast<std::uint8_t>((system->audio_lock ? 0x80 : 0) |
                                      (system->video_lock ? 0x40 : 0) | 0x20 |
                                      (system->video_bound & 0x1F));
    s[11] = 0x7F;
    std::uint8_t* entry = s + 12;
    for (const ps_stream_bound& stream : system->streams) {
        entry[0] = stream.stream_id;
        entry[1] = static_cast<std::uint8_t>(0xC0 | (stream.buffer_scale_1024 ? 0x20 : 0) |
                                             ((stream.buffer_size >> 8) & 0x1F));
        entry[2] = static_cast<std::uint8_t>(stream.buffer_size & 0xFF);
        entry += 3;
    }
    return kPackAndSystemHeaderSize;
}

void ps_emit(ipack* p) {
    PsMuxState* mux = p->mux;
    const std::uint8_t* b = p->buffer.data();
    const int fill = p->fill;
    if (mux == nullptr || p->syntax != pes_syntax::mpeg2) {
        return;  // MPEG-1 packets have no place in an MPEG-2 program stream
    }

    const std::uint8_t id = p->stream_id;
    if (id >= 0xE0 && id <= 0xEF && !p->video_info_known) {
        if (parse_video_sequence_header(b, fill, &p->video_info, true) >= 0) {
            p->video_info_known = true;
            mux->video_bit_rate = p->video_info.bit_rate;
        }
    } else if (id >= 0xC0 && id <= 0xDF && !p->audio_info_known) {
        if (parse_mpeg_audio_header(b, fill, &p->audio_info, true) >= 0) {
            p->audio_info_known = true;
            mux->audio_bit_rate = p->audio_info.bit_rate;
        }
    }

    // Fixed by the first video header: audio counts only if it came first.
    if (p->video_info_known && mux->video_bit_rate != 0 && mux->mux_rate == 0) {
        mux->mux_rate = (mux->video_bit_rate + mux->audio_bit_rate) / 400;
    }

    std::uint8_t header[kPackAndSystemHeaderSize];
    if (mux->header_written && mux->mux_rate != 0 && (b[7] & 0x80) != 0) {
        // For video this looks at the fifth data byte, so only data that begin
        // 00 00 00 01 B3 count as starting with a sequence header.
        const int probe = b[8] + 13;
        if (p->audio_info_known || (probe < fill && b[probe] == 0xB3)) {
            const int n = ps_pack_header(header, scr_for(*p), mux->mux_rate);
            ipack_write(p, header, n);
        }
    }
    if (mux->mux_rate != 0 && !mux->header_written && mux->video_bit_rate != 0) {
        const int n = ps_pack_header(header, scr_for(*p), mux->mux_rate, &kConversionSystemHeader);
        ipack_write(p, header, n);
        mux->header_written = true;
    }
    if (mux->header_written) {
        ipack_write(p, b, fill);
    }
}
