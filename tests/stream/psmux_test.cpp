#include <gtest/gtest.h>

#include "stream/ipack.h"
#include "stream/psmux.h"
#include "support/streambuilder.h"

namespace {

// The 13818-1 fields of a pack header, read back bit by bit.
struct PackFields {
    std::int64_t scr;
    int mux_rate;
};

PackFields DecodePack(const Bytes& b) {
    PackFields f{};
    f.scr = (static_cast<std::int64_t>((b[4] >> 3) & 0x07) << 30) |
            (static_cast<std::int64_t>(b[4] & 0x03) << 28) | (b[5] << 20) |
            (((b[6] >> 3) & 0x1F) << 15) | ((b[6] & 0x03) << 13) | (b[7] << 5) | (b[8] >> 3);
    f.mux_rate = (b[10] << 14) | (b[11] << 6) | (b[12] >> 2);
    return f;
}

int RateBound(const Bytes& b) {
    return ((b[20] & 0x7F) << 15) | (b[21] << 7) | (b[22] >> 1);
}

TEST(PsPackHeader, WritesTheStartOfEveryOutput) {
    std::uint8_t out[32];
    ASSERT_EQ(ps_pack_header(out, 86400, 15480, &kConversionSystemHeader), 32);
    const Bytes expected = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x16, 0x8C, 0x04, 0x01, 0x00,
                            0xF1, 0xE3, 0xF8, 0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C, 0x80, 0x78,
                            0xF1, 0x04, 0xE1, 0x7F, 0xE0, 0xE1, 0xCC, 0xC0, 0xC0, 0x40};
    const Bytes got(out, out + 32);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(DecodePack(got).scr, 86400);
    EXPECT_EQ(DecodePack(got).mux_rate, 15480);
    EXPECT_EQ(RateBound(got), 15480);

    std::uint8_t alone[32];
    EXPECT_EQ(ps_pack_header(alone, 86400, 15480), 14);
    EXPECT_EQ(Bytes(alone, alone + 14), Bytes(expected.begin(), expected.begin() + 14));
}

TEST(PsPackHeader, SystemHeaderFieldsLandInTheirBits) {
    const ps_system_header all = {
        .audio_bound = 0x3F,
        .fixed = true,
        .csps = true,
        .audio_lock = true,
        .video_lock = true,
        .video_bound = 0x1F,
        .streams = {{.stream_id = 0xC1, .buffer_scale_1024 = false, .buffer_size = 0x1ABC},
                    {.stream_id = 0xBD, .buffer_scale_1024 = true, .buffer_size = 0x0102}},
    };
    std::uint8_t out[32];
    ASSERT_EQ(ps_pack_header(out, 0, 1, &all), 32);
    EXPECT_EQ(Bytes(out + 23, out + 32),
              (Bytes{0xFF, 0xFF, 0x7F, 0xC1, 0xDA, 0xBC, 0xBD, 0xE1, 0x02}));

    ps_system_header none = all;
    none.audio_bound = 0;
    none.fixed = none.csps = none.audio_lock = none.video_lock = false;
    none.video_bound = 0;
    ASSERT_EQ(ps_pack_header(out, 0, 1, &none), 32);
    EXPECT_EQ(Bytes(out + 23, out + 26), (Bytes{0x00, 0x20, 0x7F}));

    // Without both stream ids there is no system header.
    ps_system_header oneStream = all;
    oneStream.streams[1].stream_id = 0;
    EXPECT_EQ(ps_pack_header(out, 0, 1, &oneStream), 14);
}

TEST(PsPackHeader, ScrAndMuxRateFieldsRoundTrip) {
    for (const std::uint32_t scr : {0u, 1u, 0x7FFFu, 0x8000u, 0x12345678u, 0xFFFFFFFFu}) {
        std::uint8_t out[32];
        ps_pack_header(out, scr, 0x3FFFFF);
        const PackFields f = DecodePack(Bytes(out, out + 14));
        EXPECT_EQ(f.scr, scr);
        EXPECT_EQ(f.mux_rate, 0x3FFFFF);
        // Marker bits where 13818-1 puts them.
        EXPECT_EQ(out[4] & 0xC4, 0x44);
        EXPECT_EQ(out[6] & 0x04, 0x04);
        EXPECT_EQ(out[8] & 0x07, 0x04);
        EXPECT_EQ(out[12] & 0x03, 0x03);
    }
}

TEST(PtsToTicks, ReadsTheThirtyThreeBits) {
    for (const std::int64_t t : {std::int64_t{0}, std::int64_t{90000}, std::int64_t{0x1FFFFFFFF},
                                 std::int64_t{0x123456789}, std::int64_t{1} << 32}) {
        EXPECT_EQ(pts_to_ticks(PtsField(t).data()), t);
        EXPECT_EQ(pts_to_ticks(PtsField(t, 0x3).data()), t);
    }
}

// Two assemblers sharing one multiplex, as in a conversion.
class Mux : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ipack_init(&m_audio, 2048, &CaptureSink::Write, &m_sink,
                               ipack_output::program_stream, &m_mux));
        ASSERT_TRUE(ipack_init(&m_video, 2048, &CaptureSink::Write, &m_sink,
                               ipack_output::program_stream, &m_mux));
    }
    void Feed(ipack& p, const Bytes& pes) {
        ipack_feed(pes.data(), static_cast<int>(pes.size()), &p);
    }
    static Bytes Audio(std::int64_t pts) {
        return Mpeg2Pes(0xC0, Concat({MpegAudioHeader(2, 10, 1), Filled(572, 3)}), pts);
    }
    static Bytes Video(std::int64_t pts, const Bytes& lead = {}) {
        return Mpeg2Pes(
            0xE0, Concat({lead, SequenceHeader(720, 576, 2, 3, 6000000), Filled(900, 1)}), pts);
    }

    PsMuxState m_mux;
    ipack m_audio;
    ipack m_video;
    CaptureSink m_sink;
};

TEST_F(Mux, AudioKnownFirstCountsInTheMuxRate) {
    DiagCapture diag;
    const Bytes audio = Audio(86400);
    const Bytes video = Video(90000);
    Feed(m_audio, audio);
    EXPECT_TRUE(m_sink.blocks.empty());  // nothing before the first video header
    Feed(m_video, video);

    EXPECT_EQ(m_mux.mux_rate, 15480);
    ASSERT_EQ(m_sink.blocks.size(), 2u);
    const Bytes& head = m_sink.blocks[0];
    ASSERT_EQ(head.size(), 32u);
    EXPECT_EQ(DecodePack(head).scr, 86400);
    EXPECT_EQ(DecodePack(head).mux_rate, 15480);
    EXPECT_EQ(RateBound(head), 15480);
    EXPECT_EQ(m_sink.blocks[1], video);
    EXPECT_EQ(diag.Text(),
              "Audiostream: Layer: 2  BRate: 192 kb/s  Freq: 48.0 kHz\n"
              "Videostream: ASPECT: 4:3  Size = 720x576  FRate: 25 fps  BRate: 6.00 Mbit/s\n");
}

TEST_F(Mux, VideoKnownFirstFixesTheRateWithoutAudio) {
    Feed(m_video, Video(90000));
    const Bytes audio = Audio(93600);
    Feed(m_audio, audio);
    Feed(m_video, Video(93600));

    EXPECT_EQ(m_mux.mux_rate, 15000);
    EXPECT_EQ(m_mux.audio_bit_rate, 192000);
    ASSERT_EQ(m_sink.blocks.size(), 5u);
    EXPECT_EQ(DecodePack(m_sink.blocks[0]).mux_rate, 15000);
    EXPECT_EQ(RateBound(m_sink.blocks[0]), 15000);
    // A later audio packet with a PTS gets a pack header of its own.
    ASSERT_EQ(m_sink.blocks[2].size(), 14u);
    EXPECT_EQ(DecodePack(m_sink.blocks[2]).scr, 90000);
    EXPECT_EQ(DecodePack(m_sink.blocks[2]).mux_rate, 15000);
    EXPECT_EQ(m_sink.blocks[3], audio);
    // Video data beginning 00 00 01 B3 gets none.
    EXPECT_EQ(m_sink.blocks[4], Video(93600));
}

TEST_F(Mux, LaterPackHeadersGoOnlyWherePtsAndTheirStreamAllow) {
    Feed(m_video, Video(90000));
    m_sink.blocks.clear();

    // Video whose data begin 00 00 00 01 B3: a pack header.
    const Bytes leading = Video(97200, Bytes{0x00});
    Feed(m_video, leading);
    ASSERT_EQ(m_sink.blocks.size(), 2u);
    EXPECT_EQ(DecodePack(m_sink.blocks[0]).scr, 97200 - 3600);
    EXPECT_EQ(m_sink.blocks[1], leading);
    m_sink.blocks.clear();

    // A long audio packet: a pack header before its first part only, since the
    // continuation carries no PTS.
    const Bytes longAudio =
        Mpeg2Pes(0xC0, Concat({MpegAudioHeader(2, 10, 1), Filled(3000, 3)}), 100800);
    Feed(m_audio, longAudio);
    ASSERT_EQ(m_sink.blocks.size(), 4u);
    EXPECT_EQ(m_sink.blocks[0].size(), 14u);
    EXPECT_EQ(m_sink.blocks[1][7] & 0x80, 0x80);
    for (const std::size_t i : {std::size_t{2}, std::size_t{3}}) {
        EXPECT_EQ(Bytes(m_sink.blocks[i].begin() + 6, m_sink.blocks[i].begin() + 9),
                  (Bytes{0x80, 0x00, 0x00}));
    }
    m_sink.blocks.clear();

    // Audio without a PTS: no pack header.
    const Bytes noPts = Mpeg2Pes(0xC0, Filled(300, 2));
    Feed(m_audio, noPts);
    ASSERT_EQ(m_sink.blocks.size(), 1u);
    EXPECT_EQ(m_sink.blocks[0], noPts);
}

TEST_F(Mux, Mpeg1PacketsAreNeverWritten) {
    Feed(m_video,
         Mpeg1Pes(0xE0, Concat({SequenceHeader(352, 288, 2, 3, 1150000), Filled(500, 1)}), 90000));
    Feed(m_audio, Mpeg1Pes(0xC0, Concat({MpegAudioHeader(2, 10, 1), Filled(400, 1)}), 90000));
    EXPECT_TRUE(m_sink.blocks.empty());
    EXPECT_EQ(m_mux.mux_rate, 0);

    Feed(m_video, Video(90000));
    Feed(m_audio, Mpeg1Pes(0xC0, Filled(400, 1), 93600));
    ASSERT_EQ(m_sink.blocks.size(), 2u);  // the header and the MPEG-2 video only
}

TEST_F(Mux, NoUsableSequenceHeaderMeansNoOutput) {
    // Aspect code 0 is rejected however valid the rest.
    Feed(m_video,
         Mpeg2Pes(0xE0, Concat({SequenceHeader(720, 576, 0, 3, 6000000), Filled(500, 1)}), 90000));
    Feed(m_audio, Audio(90000));
    EXPECT_TRUE(m_sink.blocks.empty());
    EXPECT_EQ(m_mux.mux_rate, 0);
}

}  // namespace
