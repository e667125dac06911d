// Builds elementary-stream headers, PES packets and transport stream packets
// byte by byte, and captures what the engine writes and says.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "stream/streamio.h"

using Bytes = std::vector<std::uint8_t>;

// 5-byte PES time stamp field; prefix is '0010' (PTS only) or '0011' (PTS of a pair).
Bytes PtsField(std::int64_t ticks, std::uint8_t prefix = 0x2);

// MPEG-2 PES: 00 00 01 id, length, 0x80, flags, header length, [PTS], data.
// With unbounded the length field is 0.
Bytes Mpeg2Pes(std::uint8_t id, const Bytes& data, std::optional<std::int64_t> pts = {},
               bool unbounded = false);
// MPEG-1 PES without stuffing: 00 00 01 id, length, [PTS field or 0x0F], data.
Bytes Mpeg1Pes(std::uint8_t id, const Bytes& data, std::optional<std::int64_t> pts = {});
// A PES packet of a skipped kind (padding etc.) with `size` bytes in all.
Bytes SkippedPes(std::uint8_t id, int size);

// Sequence header start code and 8 header bytes, then `tail` zero bytes.
Bytes SequenceHeader(int width, int height, int aspectCode, int rateCode, int bitRate,
                     int tail = 8);
// MPEG-1 audio frame header (4 bytes); layerCode 3 = Layer I, 2 = II, 1 = III.
Bytes MpegAudioHeader(int layerCode, int rateIndex, int freqIndex, bool mpeg1 = true);
// AC-3 sync frame start: 0B 77, CRC, fscod/frmsizecod, bsid, then zeros up to size.
Bytes Ac3Frame(int fscod, int frmsizecod, int size);

Bytes Filled(int size, std::uint8_t seed);
Bytes Concat(std::initializer_list<Bytes> parts);

struct TsOptions {
    bool tei = false;
    int adaptationLength = -1;  // -1: no adaptation field
    bool payload = true;
};
// One 188-byte packet. The payload is cut or padded with 0xFF to fit.
Bytes TsPacket(int pid, bool unitStart, const Bytes& payload, const TsOptions& options = {});
// Splits a PES into packets of 184-byte payloads; the last one is stuffed with
// an adaptation field so the payload ends exactly with the PES.
Bytes Packetize(int pid, const Bytes& pes);

// A source over bytes in memory; fails (returns -1) once failAt bytes have been
// delivered, when set.
struct MemorySource {
    Bytes data;
    std::size_t pos = 0;
    std::optional<std::size_t> failAt;
    std::optional<std::size_t> stopAt;  // stop requested once this many bytes were read
    int reads = 0;

    static long Read(void* ctx, std::uint8_t* buf, std::size_t len);
    static bool Stop(void* ctx);
};

// Collects every block written; refuses blocks once failAfterBlocks were taken.
struct CaptureSink {
    std::vector<Bytes> blocks;
    std::optional<std::size_t> failAfterBlocks;
    int refused = 0;

    static bool Write(void* ctx, const std::uint8_t* data, std::size_t len);
    Bytes All() const;
};

stream_io MakeIo(MemorySource& source, CaptureSink& sink);

// What the engine makes of a transport stream, straight from memory.
Bytes EngineOutput(const Bytes& ts);

// Whole files, as bytes.
Bytes ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);

// Installs itself as the diagnostics sink for its lifetime.
class DiagCapture {
public:
    DiagCapture();
    ~DiagCapture();
    DiagCapture(const DiagCapture&) = delete;
    DiagCapture& operator=(const DiagCapture&) = delete;
    const std::string& Text() const { return m_text; }

private:
    static void Collect(void* ctx, const char* text, std::size_t len);
    std::string m_text;
};

// The first 1880 bytes of a recording as the PID search wants them: a video
// and an audio PES start, then null packets.
Bytes SearchBlock(int videoPid, int audioPid);
// A video PES (unbounded, beginning with a 720x576 6 Mbit/s sequence header) and
// an MPEG audio PES (192 kbit/s) per frame, packetized.
Bytes FramePackets(int frame, int videoPid, int audioPid);
// A whole transport stream: the search block, then `frames` frames.
Bytes SyntheticTs(int frames, int videoPid = 0x100, int audioPid = 0x101);
// Streams that convert to nothing: H.264-like video (access unit delimiters
// and NAL units, no sequence header) with MPEG audio; MPEG audio alone (a radio
// recording); MPEG-2 video alone.
Bytes H264Ts(int frames, int videoPid = 0x100, int audioPid = 0x101);
Bytes AudioOnlyTs(int frames, int audioPid = 0x101);
Bytes VideoOnlyTs(int frames, int videoPid = 0x100);
// Bytes with no structure, the same for the same seed.
Bytes Garbage(int size, std::uint32_t seed);
// The 134-byte recording header with the given stream offset.
Bytes AvrHeader(int streamOffset = 134);
