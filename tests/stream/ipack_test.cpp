#include <gtest/gtest.h>

#include "stream/ipack.h"
#include "support/streambuilder.h"

namespace {

// An assembler writing bare PES packets into a capture.
class Assembler {
public:
    Assembler() {
        EXPECT_TRUE(
            ipack_init(&m_p, 2048, &CaptureSink::Write, &m_sink, ipack_output::bare_pes, nullptr));
    }
    Assembler(const Assembler&) = delete;
    Assembler& operator=(const Assembler&) = delete;

    // Feeds the bytes in pieces of `piece` bytes, as transport payloads arrive.
    void Feed(const Bytes& bytes, std::size_t piece = 184) {
        for (std::size_t off = 0; off < bytes.size(); off += piece) {
            const std::size_t n = std::min(piece, bytes.size() - off);
            ipack_feed(bytes.data() + off, static_cast<int>(n), &m_p);
        }
    }
    std::vector<Bytes>& Blocks() { return m_sink.blocks; }
    ipack& P() { return m_p; }

private:
    CaptureSink m_sink;
    ipack m_p;
};

std::vector<std::size_t> Sizes(const std::vector<Bytes>& blocks) {
    std::vector<std::size_t> sizes;
    sizes.reserve(blocks.size());
    for (const Bytes& b : blocks) {
        sizes.push_back(b.size());
    }
    return sizes;
}

// The source bytes after the length field, put back together from the output
// packets: the first keeps the whole source header, the others lose their
// 3-byte continuation header.
Bytes Reassemble(const std::vector<Bytes>& blocks) {
    Bytes all;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::size_t skip = i == 0 ? 6 : 9;
        all.insert(all.end(), blocks[i].begin() + static_cast<long>(skip), blocks[i].end());
    }
    return all;
}

TEST(Ipack, UnboundedVideoLeavesInFullPacketsAndKeepsTheRest) {
    const Bytes pes = Mpeg2Pes(0xE0, Filled(100000 - 14, 1), 90000, true);
    ASSERT_EQ(pes.size(), 100000u);
    Assembler a;
    a.Feed(pes);

    ASSERT_EQ(a.Blocks().size(), 49u);
    for (std::size_t i = 0; i < a.Blocks().size(); ++i) {
        const Bytes& b = a.Blocks()[i];
        ASSERT_EQ(b.size(), 2048u) << i;
        EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), (Bytes{0x00, 0x00, 0x01, 0xE0, 0x07, 0xFA}));
        if (i == 0) {
            EXPECT_EQ(Bytes(b.begin() + 6, b.begin() + 14),
                      Bytes(pes.begin() + 6, pes.begin() + 14));
        } else {
            EXPECT_EQ(Bytes(b.begin() + 6, b.begin() + 9), (Bytes{0x80, 0x00, 0x00}));
        }
    }
    const Bytes got = Reassemble(a.Blocks());
    EXPECT_EQ(got, Bytes(pes.begin() + 6, pes.begin() + 6 + static_cast<long>(got.size())));
    // The remaining 80 bytes wait in the buffer for the next packet start.
    EXPECT_EQ(a.P().fill, 9 + 80);
    EXPECT_EQ(a.P().declared_length, kIpackUnbounded);
}

struct SplitCase {
    const char* name;
    int total;
    std::vector<std::size_t> sizes;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class IpackSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(IpackSplit, AudioPacketLeavesInTheseSizes) {
    const SplitCase& c = GetParam();
    const Bytes pes = Mpeg2Pes(0xC0, Filled(c.total - 14, 7), 3600);
    ASSERT_EQ(pes.size(), static_cast<std::size_t>(c.total));
    Assembler a;
    a.Feed(pes);

    EXPECT_EQ(Sizes(a.Blocks()), c.sizes);
    EXPECT_EQ(Reassemble(a.Blocks()), Bytes(pes.begin() + 6, pes.end()));
    for (const Bytes& b : a.Blocks()) {
        EXPECT_EQ((b[4] << 8) | b[5], static_cast<int>(b.size()) - 6);
    }
    if (c.sizes.size() == 1) {
        EXPECT_EQ(a.Blocks()[0], pes);
    }
    // The packet is complete, so the assembler is back between packets.
    EXPECT_EQ(a.P().consumed, 0);
    EXPECT_EQ(a.P().limit, 2048);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IpackSplit,
                         testing::Values(SplitCase{"Halves2500", 2500, {1249, 1249, 20}},
                                         SplitCase{"Full4000", 4000, {2048, 1072, 898}},
                                         SplitCase{"Whole1000", 1000, {1000}}),
                         [](const testing::TestParamInfo<SplitCase>& row) {
                             return row.param.name;
                         });

TEST(Ipack, LengthFieldSplitAcrossPayloadsIsPutTogether) {
    const Bytes pes = Mpeg2Pes(0xC0, Filled(2986, 2), 7200);
    Assembler whole;
    whole.Feed(pes);

    // The first payload ends after the first length byte.
    Assembler split;
    ipack_feed(pes.data(), 5, &split.P());
    EXPECT_EQ(split.P().consumed, 5);
    ipack_feed(pes.data() + 5, static_cast<int>(pes.size()) - 5, &split.P());
    EXPECT_EQ(split.Blocks(), whole.Blocks());
}

TEST(Ipack, SkippedPacketsProduceNothing) {
    const Bytes audio = Mpeg2Pes(0xC0, Filled(900, 5), 3600);
    for (const std::uint8_t id : {0xBC, 0xBE, 0xBF, 0xF0, 0xFF}) {
        const Bytes stream = Concat({SkippedPes(id, 700), audio});
        Assembler a;
        a.Feed(stream);
        ASSERT_EQ(a.Blocks().size(), 1u) << int(id);
        EXPECT_EQ(a.Blocks()[0], audio) << int(id);

        // A padding length field cut in two must not swallow what follows.
        Assembler cut;
        ipack_feed(stream.data(), 5, &cut.P());
        ipack_feed(stream.data() + 5, static_cast<int>(stream.size()) - 5, &cut.P());
        ASSERT_EQ(cut.Blocks().size(), 1u) << int(id);
        EXPECT_EQ(cut.Blocks()[0], audio) << int(id);
    }
}

TEST(Ipack, BytesBeforeAStartCodeAndUnknownIdsAreDropped) {
    const Bytes audio = Mpeg2Pes(0xC0, Filled(300, 9), 3600);
    // 00 00 01 B3 is no PES start; 00 00 00 01 is one with a leading zero.
    const Bytes stream = Concat({Bytes{0x47, 0x00, 0x00, 0x01, 0xB3, 0x12, 0x00}, audio});
    Assembler a;
    a.Feed(stream, 50);
    ASSERT_EQ(a.Blocks().size(), 1u);
    EXPECT_EQ(a.Blocks()[0], audio);
}

TEST(Ipack, PacketShorterThanItsHeaderDoesNotHoldUpTheStream) {
    Bytes broken = Mpeg2Pes(0xC0, {}, 3600);  // header says 8 bytes
    broken[4] = 0x00;
    broken[5] = 0x02;  // but the length field says 2
    const Bytes audio = Mpeg2Pes(0xC0, Filled(500, 4), 7200);
    Assembler a;
    a.Feed(Concat({broken, audio}));
    ASSERT_FALSE(a.Blocks().empty());
    EXPECT_EQ(a.Blocks().back(), audio);
}

TEST(Ipack, Mpeg1HeaderIsParsedAcrossPayloads) {
    // Stuffing, a buffer-size field, then PTS and DTS.
    const Bytes pts = PtsField(180000, 0x3);
    const Bytes dts = PtsField(176400, 0x1);
    const Bytes header = Concat({Bytes{0xFF, 0xFF, 0x40 | 0x20, 0x10}, pts, dts});
    const Bytes data = Filled(400, 6);
    const std::size_t length = header.size() + data.size();
    const Bytes pes = Concat({Bytes{0x00, 0x00, 0x01, 0xC0, static_cast<std::uint8_t>(length >> 8),
                                    static_cast<std::uint8_t>(length & 0xFF)},
                              header, data});
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{184}}) {
        Assembler a;
        a.Feed(pes, piece);
        ASSERT_EQ(a.Blocks().size(), 1u) << piece;
        EXPECT_EQ(a.Blocks()[0], pes) << piece;
        EXPECT_EQ(a.P().syntax, pes_syntax::unknown);  // reset after the packet
        EXPECT_EQ(Bytes(a.P().pts, a.P().pts + 5), pts) << piece;
    }
}

TEST(Ipack, EveryMpeg1HeaderFormIsKeptWholeAndItsPtsRead) {
    const Bytes pts = PtsField(90000, 0x2);
    const Bytes pair = Concat({PtsField(93600, 0x3), PtsField(90000, 0x1)});
    struct Case {
        const char* name;
        Bytes header;
        Bytes pts;  // the 5 bytes the assembler keeps; empty: none
    };
    const Case cases[] = {
        {"no time stamps", {0x0F}, {}},
        {"PTS", pts, pts},
        {"PTS and DTS", pair, Bytes(pair.begin(), pair.begin() + 5)},
        {"stuffing, no time stamps", {0xFF, 0xFF, 0xFF, 0x0F}, {}},
        {"buffer size, no time stamps", {0x60, 0x2E, 0x0F}, {}},
        {"buffer size and PTS", Concat({Bytes{0x40, 0x10}, pts}), pts},
        {"stuffing, buffer size, PTS", Concat({Bytes{0xFF, 0x60, 0x2E}, pts}), pts},
    };
    for (const Case& c : cases) {
        const Bytes data = Filled(300, 4);
        const std::size_t length = c.header.size() + data.size();
        const Bytes pes =
            Concat({Bytes{0x00, 0x00, 0x01, 0xC0, static_cast<std::uint8_t>(length >> 8),
                          static_cast<std::uint8_t>(length & 0xFF)},
                    c.header, data});
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
            Assembler a;
            // A PTS left from an earlier packet shows whether this one set it.
            std::fill(std::begin(a.P().pts), std::end(a.P().pts), 0xAA);
            a.Feed(pes, piece);
            ASSERT_EQ(a.Blocks().size(), 1u) << c.name << " " << piece;
            EXPECT_EQ(a.Blocks()[0], pes) << c.name << " " << piece;
            const Bytes kept(a.P().pts, a.P().pts + 5);
            EXPECT_EQ(kept, c.pts.empty() ? Bytes(5, 0xAA) : c.pts) << c.name << " " << piece;
        }
    }
}

TEST(Ipack, Ac3SubstreamHeaderIsInsertedBeforeBareFrames) {
    // Three 256-byte frames (48 kHz, frmsizecod 8) with no sub-stream header.
    const Bytes frames = Concat({Ac3Frame(0, 8, 256), Ac3Frame(0, 8, 256), Ac3Frame(0, 8, 256)});
    const Bytes pes = Mpeg2Pes(0xBD, frames, 3600);
    Assembler a;
    a.Feed(pes);
    ASSERT_EQ(a.Blocks().size(), 1u);
    const Bytes& out = a.Blocks()[0];
    ASSERT_EQ(out.size(), pes.size() + 4);
    EXPECT_EQ((out[4] << 8) | out[5], static_cast<int>(out.size()) - 6);
    EXPECT_EQ(Bytes(out.begin() + 6, out.begin() + 14), Bytes(pes.begin() + 6, pes.begin() + 14));
    // Sub-stream 0x80; frame count from the room left in a full packet:
    // (2048 - 14 - 4 - 0) / 256 + 1 = 8; the first frame at offset 0.
    EXPECT_EQ(Bytes(out.begin() + 14, out.begin() + 18), (Bytes{0x80, 0x08, 0x00, 0x00}));
    EXPECT_EQ(Bytes(out.begin() + 18, out.end()), frames);
}

TEST(Ipack, Ac3FrameCountIsRecountedWhenThePointerHitsASyncWord) {
    const Bytes frames = Concat({Ac3Frame(0, 8, 256), Ac3Frame(0, 8, 256), Ac3Frame(0, 8, 256)});
    // A sub-stream header whose pointer (1) names the first frame.
    const Bytes pes = Mpeg2Pes(0xBD, Concat({Bytes{0x80, 0x05, 0x00, 0x01}, frames}), 3600);
    Assembler a;
    a.Feed(pes);
    ASSERT_EQ(a.Blocks().size(), 1u);
    Bytes expected = pes;
    expected[15] = 4;  // (786 - 14 - 3 - 1) / 256 + 1
    EXPECT_EQ(a.Blocks()[0], expected);
}

}  // namespace
