#include "support/streambuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "stream/streamdiag.h"
#include "stream/tsreader.h"

Bytes PtsField(std::int64_t t, std::uint8_t prefix) {
    return {static_cast<std::uint8_t>((prefix << 4) | (((t >> 30) & 0x07) << 1) | 1),
            static_cast<std::uint8_t>(t >> 22),
            static_cast<std::uint8_t>((((t >> 15) & 0x7F) << 1) | 1),
            static_cast<std::uint8_t>(t >> 7), static_cast<std::uint8_t>(((t & 0x7F) << 1) | 1)};
}

namespace {

// Start code, stream id and length field, then the header and the data.
Bytes Pes(std::uint8_t id, std::size_t length, const Bytes& header, const Bytes& data) {
    Bytes pes = {0x00,
                 0x00,
                 0x01,
                 id,
                 static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length & 0xFF)};
    pes.insert(pes.end(), header.begin(), header.end());
    pes.insert(pes.end(), data.begin(), data.end());
    return pes;
}

}  // namespace

Bytes Mpeg2Pes(std::uint8_t id, const Bytes& data, std::optional<std::int64_t> pts,
               bool unbounded) {
    Bytes header = {0x80, static_cast<std::uint8_t>(pts ? 0x80 : 0x00),
                    static_cast<std::uint8_t>(pts ? 5 : 0)};
    if (pts) {
        const Bytes field = PtsField(*pts);
        header.insert(header.end(), field.begin(), field.end());
    }
    return Pes(id, unbounded ? 0 : header.size() + data.size(), header, data);
}

Bytes Mpeg1Pes(std::uint8_t id, const Bytes& data, std::optional<std::int64_t> pts) {
    const Bytes header = pts ? PtsField(*pts) : Bytes{0x0F};
    return Pes(id, header.size() + data.size(), header, data);
}

Bytes SkippedPes(std::uint8_t id, int size) {
    Bytes pes = Pes(id, static_cast<std::size_t>(size - 6), {}, {});
    pes.resize(static_cast<std::size_t>(size), 0xFF);
    return pes;
}

Bytes SequenceHeader(int width, int height, int aspectCode, int rateCode, int bitRate, int tail) {
    const int units = bitRate / 400;
    Bytes b = {0x00,
               0x00,
               0x01,
               0xB3,
               static_cast<std::uint8_t>(width >> 4),
               static_cast<std::uint8_t>(((width & 0x0F) << 4) | (height >> 8)),
               static_cast<std::uint8_t>(height & 0xFF),
               static_cast<std::uint8_t>((aspectCode << 4) | rateCode),
               static_cast<std::uint8_t>(units >> 10),
               static_cast<std::uint8_t>(units >> 2),
               static_cast<std::uint8_t>(((units & 0x03) << 6) | 0x20),
               0x00};
    b.resize(b.size() + static_cast<std::size_t>(tail), 0x00);
    return b;
}

Bytes MpegAudioHeader(int layerCode, int rateIndex, int freqIndex, bool mpeg1) {
    return {0xFF, static_cast<std::uint8_t>((mpeg1 ? 0xF8 : 0xF0) | (layerCode << 1) | 1),
            static_cast<std::uint8_t>((rateIndex << 4) | (freqIndex << 2)), 0x44};
}

Bytes Ac3Frame(int fscod, int frmsizecod, int size) {
    Bytes b = {0x0B, 0x77, 0x12, 0x34, static_cast<std::uint8_t>((fscod << 6) | frmsizecod), 0x40};
    b.resize(static_cast<std::size_t>(size), 0x00);
    return b;
}

Bytes Filled(int size, std::uint8_t seed) {
    Bytes b(static_cast<std::size_t>(size));
    // Never 00 00 01, so no start code appears by accident.
    for (int i = 0; i < size; ++i) {
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x10 + ((seed + i) % 0xE0));
    }
    return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

Bytes TsPacket(int pid, bool unitStart, const Bytes& payload, const TsOptions& options) {
    Bytes pkt(188, 0xFF);
    pkt[0] = 0x47;
    pkt[1] = static_cast<std::uint8_t>((options.tei ? 0x80 : 0) | (unitStart ? 0x40 : 0) |
                                       ((pid >> 8) & 0x1F));
    pkt[2] = static_cast<std::uint8_t>(pid & 0xFF);
    pkt[3] = static_cast<std::uint8_t>((options.adaptationLength >= 0 ? 0x20 : 0) |
                                       (options.payload ? 0x10 : 0));
    std::size_t at = 4;
    if (options.adaptationLength >= 0) {
        pkt[4] = static_cast<std::uint8_t>(options.adaptationLength);
        if (options.adaptationLength > 0) {
            pkt[5] = 0x00;  // no adaptation flags; the rest is stuffing
        }
        at = 5 + static_cast<std::size_t>(options.adaptationLength);
    }
    for (std::size_t i = 0; i < payload.size() && at + i < 188; ++i) {
        pkt[at + i] = payload[i];
    }
    return pkt;
}

Bytes Packetize(int pid, const Bytes& pes) {
    Bytes ts;
    std::size_t off = 0;
    bool first = true;
    while (off < pes.size()) {
        const std::size_t left = pes.size() - off;
        Bytes pkt;
        if (left >= 184) {
            pkt = TsPacket(pid, first, Bytes(pes.begin() + off, pes.begin() + off + 184));
            off += 184;
        } else {
            TsOptions o;
            o.adaptationLength = static_cast<int>(183 - left);
            pkt = TsPacket(pid, first, Bytes(pes.begin() + off, pes.end()), o);
            off = pes.size();
        }
        first = false;
        ts.insert(ts.end(), pkt.begin(), pkt.end());
    }
    return ts;
}

long MemorySource::Read(void* ctx, std::uint8_t* buf, std::size_t len) {
    auto* self = static_cast<MemorySource*>(ctx);
    ++self->reads;
    if (self->failAt && self->pos >= *self->failAt) {
        return -1;
    }
    std::size_t n = std::min(len, self->data.size() - self->pos);
    if (self->failAt) {
        n = std::min(n, *self->failAt - self->pos);
    }
    std::copy_n(self->data.begin() + static_cast<long>(self->pos), n, buf);
    self->pos += n;
    return static_cast<long>(n);
}

bool MemorySource::Stop(void* ctx) {
    auto* self = static_cast<MemorySource*>(ctx);
    return self->stopAt && self->pos >= *self->stopAt;
}

bool CaptureSink::Write(void* ctx, const std::uint8_t* data, std::size_t len) {
    auto* self = static_cast<CaptureSink*>(ctx);
    if (self->failAfterBlocks && self->blocks.size() >= *self->failAfterBlocks) {
        ++self->refused;
        return false;
    }
    self->blocks.emplace_back(data, data + len);
    return true;
}

Bytes CaptureSink::All() const {
    Bytes all;
    for (const Bytes& b : blocks) {
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

stream_io MakeIo(MemorySource& source, CaptureSink& sink) {
    stream_io io;
    io.read = &MemorySource::Read;
    io.read_ctx = &source;
    io.write = &CaptureSink::Write;
    io.write_ctx = &sink;
    io.stop_requested = &MemorySource::Stop;
    io.stop_ctx = &source;
    return io;
}

DiagCapture::DiagCapture() {
    set_stream_diag_sink(&DiagCapture::Collect, this);
}

DiagCapture::~DiagCapture() {
    set_stream_diag_sink(nullptr, nullptr);
}

void DiagCapture::Collect(void* ctx, const char* text, std::size_t len) {
    static_cast<DiagCapture*>(ctx)->m_text.append(text, len);
}

Bytes SearchBlock(int videoPid, int audioPid) {
    Bytes block = Concat({TsPacket(videoPid, true, Mpeg2Pes(0xE0, Filled(170, 1), 0, true)),
                          TsPacket(audioPid, true, Mpeg2Pes(0xC0, Filled(170, 2), 0))});
    for (int i = 0; i < 8; ++i) {
        const Bytes null = TsPacket(0x1FFF, false, {});
        block.insert(block.end(), null.begin(), null.end());
    }
    return block;
}

namespace {

Bytes AudioPes(std::int64_t pts) {
    return Mpeg2Pes(0xC0, Concat({MpegAudioHeader(2, 10, 1), Filled(572, 3)}), pts);
}

Bytes VideoPes(int frame, std::int64_t pts) {
    return Mpeg2Pes(0xE0,
                    Concat({SequenceHeader(720, 576, 2, 3, 6000000),
                            Filled(3000, static_cast<std::uint8_t>(frame))}),
                    pts, true);
}

std::int64_t FramePts(int frame) {
    return 90000 + 3600LL * frame;
}

}  // namespace

Bytes FramePackets(int frame, int videoPid, int audioPid) {
    return Concat({Packetize(videoPid, VideoPes(frame, FramePts(frame))),
                   Packetize(audioPid, AudioPes(FramePts(frame)))});
}

Bytes SyntheticTs(int frames, int videoPid, int audioPid) {
    Bytes ts = SearchBlock(videoPid, audioPid);
    for (int f = 0; f < frames; ++f) {
        const Bytes packets = FramePackets(f, videoPid, audioPid);
        ts.insert(ts.end(), packets.begin(), packets.end());
    }
    return ts;
}

Bytes H264Ts(int frames, int videoPid, int audioPid) {
    Bytes ts = SearchBlock(videoPid, audioPid);
    for (int f = 0; f < frames; ++f) {
        const Bytes units = Concat({Bytes{0x00, 0x00, 0x00, 0x01, 0x09, 0xF0},  // delimiter
                                    Bytes{0x00, 0x00, 0x00, 0x01, 0x67, 0x64, 0x00, 0x1F},  // SPS
                                    Bytes{0x00, 0x00, 0x00, 0x01, 0x65},  // a slice
                                    Filled(3000, static_cast<std::uint8_t>(f))});
        ts = Concat({ts, Packetize(videoPid, Mpeg2Pes(0xE0, units, FramePts(f), true)),
                     Packetize(audioPid, AudioPes(FramePts(f)))});
    }
    return ts;
}

Bytes AudioOnlyTs(int frames, int audioPid) {
    Bytes ts;
    for (int f = 0; f < frames; ++f) {
        ts = Concat({ts, Packetize(audioPid, AudioPes(FramePts(f)))});
    }
    return ts;
}

Bytes VideoOnlyTs(int frames, int videoPid) {
    Bytes ts;
    for (int f = 0; f < frames; ++f) {
        ts = Concat({ts, Packetize(videoPid, VideoPes(f, FramePts(f)))});
    }
    return ts;
}

Bytes Garbage(int size, std::uint32_t seed) {
    Bytes b(static_cast<std::size_t>(size));
    std::uint32_t x = seed | 1;
    for (std::uint8_t& byte : b) {
        x ^= x << 13;  // xorshift32
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<std::uint8_t>(x >> 24);
    }
    return b;
}

Bytes AvrHeader(int streamOffset) {
    Bytes h(134, 0x00);
    for (std::size_t i = 0; i < 6; ++i) {
        h[i] = static_cast<std::uint8_t>('A' + i);
    }
    h[6] = 0x12;  // read but not used
    h[7] = 0x34;
    h[8] = static_cast<std::uint8_t>(streamOffset >> 8);
    h[9] = static_cast<std::uint8_t>(streamOffset & 0xFF);
    return h;
}

Bytes EngineOutput(const Bytes& ts) {
    MemorySource source;
    source.data = ts;
    CaptureSink sink;
    EXPECT_TRUE(ts_result_ok(
        convert_transport_stream(MakeIo(source, sink), 0, 0, ipack_output::program_stream)));
    return sink.All();
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
