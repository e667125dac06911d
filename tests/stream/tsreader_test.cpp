#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "stream/psmux.h"
#include "stream/tsreader.h"
#include "support/streambuilder.h"

namespace {

constexpr int kVideo = 0x100;
constexpr int kAudio = 0x101;

struct Outcome {
    ts_result result;
    CaptureSink sink;
    std::size_t readTo;
};

Outcome Convert(const Bytes& ts, ipack_output output = ipack_output::bare_pes,
                std::optional<std::size_t> stopAt = {}, std::optional<std::size_t> failAt = {},
                std::optional<std::size_t> failAfterBlocks = {}) {
    MemorySource source;
    source.data = ts;
    source.stopAt = stopAt;
    source.failAt = failAt;
    Outcome run{};
    run.sink.failAfterBlocks = failAfterBlocks;
    run.result = convert_transport_stream(MakeIo(source, run.sink), 0, 0, output);
    run.readTo = source.pos;
    return run;
}

Bytes NullPackets(int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) {
        const Bytes p = TsPacket(0x1FFF, false, {});
        b.insert(b.end(), p.begin(), p.end());
    }
    return b;
}

TEST(PidSearch, ConsumesItsBlockAndKeepsTheLastVideoPid) {
    TsOptions withAdaptation;
    withAdaptation.adaptationLength = 7;
    const Bytes first = Concat({
        Bytes{0x00, 0x12},  // not aligned: the scan steps over these
        TsPacket(0x200, true, Mpeg2Pes(0xE0, Filled(100, 1))),
        TsPacket(0x201, true, Mpeg2Pes(0xE3, Filled(100, 1)), withAdaptation),
        TsPacket(0x202, false, Mpeg2Pes(0xE0, Filled(100, 1))),  // no unit start
        TsPacket(0x300, true, Mpeg2Pes(0xBD, Ac3Frame(0, 8, 100))),
        TsPacket(0x203, true, Mpeg2Pes(0xE0, Filled(100, 1))),  // after both are known
        NullPackets(5),
    });
    const Bytes ts = Concat({Bytes(first.begin(), first.begin() + 1880),
                             TsPacket(0x400, true, Mpeg2Pes(0xE0, Filled(100, 1)))});
    MemorySource source;
    source.data = ts;
    CaptureSink sink;
    int video = 0;
    int audio = 0;
    EXPECT_EQ(find_stream_pids(MakeIo(source, sink), &video, &audio), ts_result::ended);
    EXPECT_EQ(video, 0x201);
    EXPECT_EQ(audio, 0x300);
    EXPECT_EQ(source.pos, 1880u);

    // Known PIDs need no search and read nothing.
    MemorySource again;
    again.data = ts;
    EXPECT_EQ(find_stream_pids(MakeIo(again, sink), &video, &audio), ts_result::ended);
    EXPECT_EQ(again.pos, 0u);
}

// A private stream 1 PES whose header is `headerLength` bytes (a PTS, then
// stuffing) and whose payload begins with `first`.
Bytes PrivateStream1(const Bytes& first, int headerLength = 5) {
    Bytes header =
        Concat({Bytes{0x80, 0x80, static_cast<std::uint8_t>(headerLength)}, PtsField(90000),
                Bytes(static_cast<std::size_t>(headerLength - 5), 0xFF)});
    const Bytes payload = Concat({first, Filled(100, 2)});
    const std::size_t length = header.size() + payload.size();
    return Concat({Bytes{0x00, 0x00, 0x01, 0xBD, static_cast<std::uint8_t>(length >> 8),
                         static_cast<std::uint8_t>(length & 0xFF)},
                   header, payload});
}

// The first 1880 bytes: a private stream 1 start on 0x300, then the video and
// an MPEG audio start. Taking the first for audio ends the search at the video.
Bytes SearchBlockAfter(const Bytes& privateStream) {
    return Concat({TsPacket(0x300, true, privateStream),
                   TsPacket(kVideo, true, Mpeg2Pes(0xE0, Filled(170, 1), 0, true)),
                   TsPacket(kAudio, true, Mpeg2Pes(0xC0, Filled(170, 2), 0)), NullPackets(7)});
}

TEST(PidSearch, DvbTeletextAndSubtitlesAreNotTakenForAudio) {
    struct Case {
        const char* name;
        Bytes pes;
        int audio;
    };
    const Case cases[] = {
        // Teletext headers are stuffed to 36 bytes.
        {"EBU teletext", PrivateStream1({0x10, 0x02}, 0x24), kAudio},
        {"teletext, last identifier", PrivateStream1({0x1F}, 0x24), kAudio},
        {"teletext, short header", PrivateStream1({0x12}), kAudio},
        {"DVB subtitles", PrivateStream1({0x20, 0x00, 0x0F}), kAudio},
        {"AC-3", PrivateStream1(Ac3Frame(0, 8, 60)), 0x300},
        {"AC-3 with a sub-stream header", PrivateStream1({0x80, 0x01, 0x00, 0x01}), 0x300},
        {"identifier 0x21 is not DVB data", PrivateStream1({0x21}), 0x300},
    };
    for (const Case& c : cases) {
        MemorySource source;
        source.data = SearchBlockAfter(c.pes);
        ASSERT_EQ(source.data.size(), 1880u) << c.name;
        CaptureSink sink;
        int video = 0;
        int audio = 0;
        EXPECT_EQ(find_stream_pids(MakeIo(source, sink), &video, &audio), ts_result::ended)
            << c.name;
        EXPECT_EQ(video, kVideo) << c.name;
        EXPECT_EQ(audio, c.audio) << c.name;
    }
}

TEST(PidSearch, TeletextFirstStillGivesARecordingWithSound) {
    const Bytes frames = Concat({FramePackets(0, kVideo, kAudio), FramePackets(1, kVideo, kAudio),
                                 FramePackets(2, kVideo, kAudio)});
    const Outcome withTeletext =
        Convert(Concat({SearchBlockAfter(PrivateStream1({0x10}, 0x24)), frames}),
                ipack_output::program_stream);
    // The same with nothing in the teletext packet's place.
    const Outcome without =
        Convert(Concat({SearchBlockAfter({}), frames}), ipack_output::program_stream);
    ASSERT_EQ(withTeletext.result, ts_result::ended);
    const Bytes out = withTeletext.sink.All();
    const Bytes audioStart = {0x00, 0x00, 0x01, 0xC0};
    EXPECT_NE(std::search(out.begin(), out.end(), audioStart.begin(), audioStart.end()), out.end());
    EXPECT_EQ(out, without.sink.All());
}

TEST(PidSearch, EndsWithNothingWrittenWhenAStreamNeverStarts) {
    Bytes ts = TsPacket(kVideo, true, Mpeg2Pes(0xE0, Filled(100, 1)));
    for (int f = 0; f < 20; ++f) {
        const Bytes p = Packetize(kVideo, Mpeg2Pes(0xE0, Filled(1000, 1), 90000));
        ts.insert(ts.end(), p.begin(), p.end());
    }
    DiagCapture diag;
    const Outcome run = Convert(ts);
    EXPECT_EQ(run.result, ts_result::no_streams);
    EXPECT_TRUE(run.sink.blocks.empty());
    EXPECT_EQ(run.readTo, ts.size());
    EXPECT_EQ(diag.Text(), "");
}

TEST(PidSearch, DoesNotLookPastTheBlockItRead) {
    // A packet cut by the end of the first block: its stream id byte (after a
    // 10-byte adaptation field) lies in the next block and is an 0xE0 there.
    TsOptions o;
    o.adaptationLength = 9;
    Bytes cut = TsPacket(0x500, true, Bytes{0x00, 0x00, 0x01, 0xE0}, o);
    Bytes first(1870 - 188, 0x00);
    const Bytes audioStart = TsPacket(kAudio, true, Mpeg2Pes(0xC0, Filled(100, 1)));
    first.insert(first.end(), audioStart.begin(), audioStart.end());
    first.insert(first.end(), cut.begin(), cut.end());
    ASSERT_EQ(first[1887], 0xE0);
    const Bytes ts =
        Concat({first, Bytes(12, 0x00), TsPacket(kVideo, true, Mpeg2Pes(0xE0, Filled(100, 1))),
                NullPackets(8)});
    MemorySource source;
    source.data = ts;
    CaptureSink sink;
    int video = 0;
    int audio = 0;
    EXPECT_EQ(find_stream_pids(MakeIo(source, sink), &video, &audio), ts_result::ended);
    EXPECT_EQ(video, kVideo);
    EXPECT_EQ(audio, kAudio);
}

TEST(TsReader, UnalignedStartAndTrailingPartialPacketChangeNothing) {
    const Bytes body = Concat({FramePackets(0, kVideo, kAudio), FramePackets(1, kVideo, kAudio)});
    const Bytes base = Concat({SearchBlock(kVideo, kAudio), body});
    const Outcome reference = Convert(base);
    ASSERT_EQ(reference.result, ts_result::ended);
    ASSERT_FALSE(reference.sink.blocks.empty());

    const Bytes partial = TsPacket(kVideo, false, Filled(184, 1));
    struct Variant {
        const char* name;
        Bytes ts;
    };
    const Variant variants[] = {
        {"garbage before the first packet",
         Concat({SearchBlock(kVideo, kAudio), Bytes{0x01, 0x02, 0x03, 0x04, 0x05}, body})},
        {"trailing partial packet", Concat({base, Bytes(partial.begin(), partial.begin() + 100)})},
        {"both", Concat({SearchBlock(kVideo, kAudio), Bytes(187, 0x00), body, Bytes(187, 0x47)})},
    };
    for (const Variant& v : variants) {
        const Outcome run = Convert(v.ts);
        EXPECT_EQ(run.result, ts_result::ended) << v.name;
        EXPECT_EQ(run.sink.blocks, reference.sink.blocks) << v.name;
    }
}

TEST(TsReader, UnboundedVideoIsClosedByTheNextStartOrLost) {
    const Bytes big = Mpeg2Pes(0xE0, Filled(100000 - 14, 1), 90000, true);
    const Bytes next = Mpeg2Pes(0xE0, Filled(500, 2), 93600);
    const Bytes head = SearchBlock(kVideo, kAudio);

    const Outcome closed = Convert(Concat({head, Packetize(kVideo, big), Packetize(kVideo, next)}));
    ASSERT_EQ(closed.sink.blocks.size(), 51u);
    for (int i = 0; i < 49; ++i) {
        EXPECT_EQ(closed.sink.blocks[i].size(), 2048u);
    }
    const Bytes& rest = closed.sink.blocks[49];
    ASSERT_EQ(rest.size(), 9u + 80u);
    EXPECT_EQ(Bytes(rest.begin(), rest.begin() + 9),
              (Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 83, 0x80, 0x00, 0x00}));
    EXPECT_EQ(Bytes(rest.begin() + 9, rest.end()), Bytes(big.end() - 80, big.end()));
    EXPECT_EQ(closed.sink.blocks[50], next);

    const Outcome lost = Convert(Concat({head, Packetize(kVideo, big)}));
    EXPECT_EQ(lost.sink.blocks.size(), 49u);
}

TEST(TsReader, TransportErrorsAreReportedForEveryPidAndThePacketIsStillUsed) {
    const Bytes frame = FramePackets(0, kVideo, kAudio);
    Bytes flagged = frame;
    flagged[188 + 1] |= 0x80;  // the second video packet
    TsOptions tei;
    tei.tei = true;
    const Bytes other = TsPacket(0x1FF0, false, Filled(184, 1), tei);
    TsOptions teiNoPayload = tei;
    teiNoPayload.payload = false;
    const Bytes silent = TsPacket(0x1FF1, false, {}, teiNoPayload);

    const Outcome reference = Convert(Concat({SearchBlock(kVideo, kAudio), frame}));
    DiagCapture diag;
    const Outcome run = Convert(Concat({SearchBlock(kVideo, kAudio), other, silent, flagged}));
    EXPECT_EQ(diag.Text(), "Error in TS for PID: 8176\nError in TS for PID: 256\n");
    EXPECT_EQ(run.sink.blocks, reference.sink.blocks);
}

TEST(TsReader, AdaptationFieldFillingThePacketChangesNothing) {
    const Bytes frame = FramePackets(0, kVideo, kAudio);
    TsOptions full;
    full.adaptationLength = 183;
    TsOptions tooLong;
    tooLong.adaptationLength = 200;
    const Bytes stuffing = Concat(
        {TsPacket(kVideo, false, {}, full), TsPacket(kVideo, false, Filled(184, 3), tooLong)});
    const Bytes reference = Concat({SearchBlock(kVideo, kAudio), frame});
    Bytes withStuffing = reference;
    withStuffing.insert(withStuffing.begin() + 1880 + 2 * 188, stuffing.begin(), stuffing.end());

    const Outcome a = Convert(reference);
    const Outcome b = Convert(withStuffing);
    ASSERT_FALSE(a.sink.blocks.empty());
    EXPECT_EQ(b.sink.blocks, a.sink.blocks);
}

TEST(TsReader, StopEndsTheLoopBeforeTheBlockIsHandled) {
    const Bytes ts = SyntheticTs(12);
    // Reads: 1880 (search), 188 (alignment), 1692, then 1880 each.
    const std::size_t handled = 1880 + 188 + 1692 + 1880;
    const Outcome full = Convert(ts);
    const Outcome stopped = Convert(ts, ipack_output::bare_pes, handled + 1);
    EXPECT_EQ(stopped.result, ts_result::stopped);
    EXPECT_EQ(stopped.readTo, handled + 1880);

    const Outcome truncated = Convert(Bytes(ts.begin(), ts.begin() + handled));
    EXPECT_EQ(truncated.result, ts_result::ended);
    EXPECT_EQ(stopped.sink.blocks, truncated.sink.blocks);
    EXPECT_LT(stopped.sink.blocks.size(), full.sink.blocks.size());
}

TEST(TsReader, NoSyncByteWhereTheConversionBeginsIsNotATs) {
    DiagCapture diag;
    const Outcome run = Convert(
        Concat({SearchBlock(kVideo, kAudio), Bytes(188, 0x11), FramePackets(0, kVideo, kAudio)}));
    EXPECT_EQ(run.result, ts_result::not_ts);
    EXPECT_TRUE(run.sink.blocks.empty());
    EXPECT_EQ(diag.Text(), "Not a TS\n");
}

TEST(TsReader, ReadAndWriteFailuresEndTheConversionAsFailures) {
    const Bytes ts = SyntheticTs(6);
    for (const std::size_t at : {std::size_t{100}, std::size_t{1880 + 50}, std::size_t{9000}}) {
        const Outcome run = Convert(ts, ipack_output::bare_pes, {}, at);
        EXPECT_EQ(run.result, ts_result::read_error) << at;
        EXPECT_FALSE(ts_result_ok(run.result));
    }
    const Outcome run = Convert(ts, ipack_output::program_stream, {}, {}, 3);
    EXPECT_EQ(run.result, ts_result::write_error);
    EXPECT_EQ(run.sink.blocks.size(), 3u);
    EXPECT_EQ(run.sink.refused, 1);  // nothing is tried after the first refusal
}

TEST(TsReader, EveryProgramStreamStartsWithThePackAndSystemHeader) {
    const Bytes ts = SyntheticTs(4);
    std::uint8_t expected[32];
    // The first video output packet fills up before any audio packet is
    // complete, so the rate is the video's alone; its PES has PTS 90000.
    ps_pack_header(expected, 86400, 15000, &kConversionSystemHeader);
    Bytes outputs[2];
    for (Bytes& out : outputs) {
        const Outcome run = Convert(ts, ipack_output::program_stream);
        ASSERT_EQ(run.result, ts_result::ended);
        out = run.sink.All();
        ASSERT_GT(out.size(), 32u);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 32), Bytes(expected, expected + 32));
    }
    EXPECT_EQ(outputs[0], outputs[1]);
}

// A source that lends its blocks in place, from a scratch copy that is wiped on
// every call: a block used after the next call on the source reads as 0xFF.
struct LendingSource {
    MemorySource memory;
    Bytes scratch;

    static long Lend(void* ctx, const std::uint8_t** data, std::size_t len) {
        auto* self = static_cast<LendingSource*>(ctx);
        MemorySource& m = self->memory;
        std::fill(self->scratch.begin(), self->scratch.end(), 0xFF);
        // A failure inside the block fails the whole block, as a full read would.
        if (m.failAt && m.pos + len > *m.failAt) {
            return -1;
        }
        const std::size_t n = std::min(len, m.data.size() - m.pos);
        self->scratch.assign(m.data.begin() + static_cast<long>(m.pos),
                             m.data.begin() + static_cast<long>(m.pos + n));
        m.pos += n;
        *data = self->scratch.data();
        return static_cast<long>(n);
    }
    static long Read(void* ctx, std::uint8_t* buf, std::size_t len) {
        auto* self = static_cast<LendingSource*>(ctx);
        std::fill(self->scratch.begin(), self->scratch.end(), 0xFF);
        return MemorySource::Read(&self->memory, buf, len);
    }
};

TEST(TsReader, BlocksLentInPlaceGiveWhatReadBlocksGive) {
    const Bytes ts = SyntheticTs(12);
    struct Case {
        const char* name;
        Bytes ts;
        std::optional<std::size_t> stopAt;
        std::optional<std::size_t> failAt;
    };
    const Case cases[] = {
        {"whole stream", ts, {}, {}},
        {"unaligned start, partial last packet",
         Concat({SearchBlock(kVideo, kAudio), Bytes(187, 0x00), Bytes(ts.begin() + 1880, ts.end()),
                 Bytes(100, 0x47)}),
         {},
         {}},
        {"stop", ts, 1880 + 188 + 1692 + 1880 + 1, {}},
        {"read failure", ts, {}, 9000},
        {"search ends with the data", Bytes(ts.begin(), ts.begin() + 1000), {}, {}},
    };
    for (const Case& c : cases) {
        const Outcome read = Convert(c.ts, ipack_output::program_stream, c.stopAt, c.failAt);

        LendingSource lending;
        lending.memory.data = c.ts;
        lending.memory.stopAt = c.stopAt;
        lending.memory.failAt = c.failAt;
        CaptureSink sink;
        stream_io io = MakeIo(lending.memory, sink);
        io.read = &LendingSource::Read;
        io.borrow = &LendingSource::Lend;
        io.read_ctx = &lending;
        const ts_result result = convert_transport_stream(io, 0, 0, ipack_output::program_stream);

        EXPECT_EQ(result, read.result) << c.name;
        EXPECT_EQ(sink.blocks, read.sink.blocks) << c.name;
        if (!c.failAt) {
            EXPECT_EQ(lending.memory.pos, read.readTo) << c.name;
        }
    }
}

}  // namespace
