#include <gtest/gtest.h>

#include "stream/esheaders.h"
#include "support/streambuilder.h"

namespace {

struct VideoCase {
    const char* name;
    int aspectCode;
    int rateCode;
    int expectAspect;
    double expectRate;  // 0: left unset
    const char* diag;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const VideoCase& c, std::ostream* os) {
    *os << c.name;
}

class VideoHeader : public testing::TestWithParam<VideoCase> {};

TEST_P(VideoHeader, ReadsAspectRateAndBitRate) {
    const VideoCase& c = GetParam();
    const Bytes buf = Concat(
        {Bytes{0x12, 0x34, 0x00}, SequenceHeader(720, 576, c.aspectCode, c.rateCode, 6000000)});
    VideoStreamInfo info;
    DiagCapture diag;
    ASSERT_EQ(parse_video_sequence_header(buf.data(), static_cast<int>(buf.size()), &info, true),
              3);
    EXPECT_EQ(info.width, 720);
    EXPECT_EQ(info.height, 576);
    EXPECT_EQ(info.aspect, c.expectAspect);
    EXPECT_DOUBLE_EQ(info.frame_rate, c.expectRate);
    EXPECT_EQ(info.bit_rate, 6000000);
    EXPECT_EQ(diag.Text(), c.diag);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, VideoHeader,
    testing::Values(
        VideoCase{"Square25", 1, 3, 100, 25.0,
                  "Videostream: ASPECT: 1:1  Size = 720x576  FRate: 25 fps  BRate: 6.00 "
                  "Mbit/s\n"},
        VideoCase{"FourThree25", 2, 3, 133, 25.0,
                  "Videostream: ASPECT: 4:3  Size = 720x576  FRate: 25 fps  BRate: 6.00 "
                  "Mbit/s\n"},
        VideoCase{"Wide23976", 3, 1, 177, 24000.0 / 1001.0,
                  "Videostream: ASPECT: 16:9  Size = 720x576  FRate: 23.976 fps  BRate: 6.00 "
                  "Mbit/s\n"},
        VideoCase{"Cinema2997", 4, 4, 221, 30000.0 / 1001.0,
                  "Videostream: ASPECT: 2.21:1  Size = 720x576  FRate: 29.97 fps  BRate: "
                  "6.00 Mbit/s\n"},
        VideoCase{"Reserved60", 5, 7, 0, 60.0,
                  "Videostream: ASPECT: reserved  Size = 720x576  FRate: 60 fps  BRate: 6.00 "
                  "Mbit/s\n"},
        VideoCase{"Rate24", 2, 2, 133, 24.0,
                  "Videostream: ASPECT: 4:3  Size = 720x576  FRate: 24 fps  BRate: 6.00 "
                  "Mbit/s\n"},
        VideoCase{"Rate8Unknown", 2, 8, 133, 0.0,
                  "Videostream: ASPECT: 4:3  Size = 720x576  BRate: 6.00 Mbit/s\n"},
        VideoCase{"Rate0Unknown", 15, 0, 0, 0.0,
                  "Videostream: ASPECT: reserved  Size = 720x576  BRate: 6.00 Mbit/s\n"}),
    [](const testing::TestParamInfo<VideoCase>& row) { return row.param.name; });

TEST(VideoHeader, RejectsAspectZeroAndHeadersCutByTheEnd) {
    VideoStreamInfo info;
    DiagCapture diag;
    const Bytes aspectZero = SequenceHeader(720, 576, 0, 3, 6000000);
    EXPECT_EQ(parse_video_sequence_header(aspectZero.data(), static_cast<int>(aspectZero.size()),
                                          &info, true),
              -1);
    EXPECT_EQ(diag.Text(), "");

    // Start code within the last 16 bytes: the caller retries with a later packet.
    const Bytes full = SequenceHeader(720, 576, 2, 3, 6000000, 4);  // 16 bytes
    EXPECT_EQ(parse_video_sequence_header(full.data(), 16, &info, false), -1);
    const Bytes longer = SequenceHeader(720, 576, 2, 3, 6000000, 5);  // 17 bytes
    EXPECT_EQ(parse_video_sequence_header(longer.data(), 17, &info, false), 0);

    const Bytes none = Filled(200, 3);
    EXPECT_EQ(parse_video_sequence_header(none.data(), 200, &info, false), -1);
}

TEST(VideoHeader, FindsTheStartCodePastLoneAndPartialOnes) {
    // 0xB3 at the very start, after 00 01, after 00 00 02 and after 01 00 00:
    // none of them ends a start code.
    const Bytes decoys{0xB3, 0x00, 0xB3, 0x00, 0x01, 0xB3, 0x00, 0x00,
                       0x02, 0xB3, 0x01, 0x00, 0xB3, 0xB3, 0x00, 0x00};
    const Bytes buf = Concat({decoys, SequenceHeader(720, 576, 2, 3, 6000000)});
    VideoStreamInfo info;
    EXPECT_EQ(parse_video_sequence_header(buf.data(), static_cast<int>(buf.size()), &info, false),
              static_cast<int>(decoys.size()));
    EXPECT_EQ(info.aspect, 133);
}

struct AudioCase {
    const char* name;
    Bytes header;
    int expectOffset;
    int expectLayer;
    int expectRate;
    int expectFrequency;
    const char* diag;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const AudioCase& c, std::ostream* os) {
    *os << c.name;
}

class AudioHeader : public testing::TestWithParam<AudioCase> {};

TEST_P(AudioHeader, ReadsLayerRateAndFrequency) {
    const AudioCase& c = GetParam();
    AudioStreamInfo info;
    DiagCapture diag;
    EXPECT_EQ(
        parse_mpeg_audio_header(c.header.data(), static_cast<int>(c.header.size()), &info, true),
        c.expectOffset);
    if (c.expectOffset >= 0) {
        EXPECT_EQ(info.layer, c.expectLayer);
        EXPECT_EQ(info.bit_rate, c.expectRate);
        EXPECT_EQ(info.frequency, c.expectFrequency);
    }
    EXPECT_EQ(diag.Text(), c.diag);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AudioHeader,
    testing::Values(AudioCase{"LayerII192", Concat({Bytes{0xFF, 0x12}, MpegAudioHeader(2, 10, 1)}),
                              2, 2, 192000, 48000,
                              "Audiostream: Layer: 2  BRate: 192 kb/s  Freq: 48.0 kHz\n"},
                    AudioCase{"LayerI448", MpegAudioHeader(3, 14, 0), 0, 3, 448000, 44100,
                              "Audiostream: Layer: 1  BRate: 448 kb/s  Freq: 44.1 kHz\n"},
                    AudioCase{"LayerIII320", MpegAudioHeader(1, 14, 2), 0, 1, 320000, 32000,
                              "Audiostream: Layer: 3  BRate: 320 kb/s  Freq: 32.0 kHz\n"},
                    AudioCase{"FreeFormat", MpegAudioHeader(2, 0, 1), 0, 2, 0, 48000,
                              "Audiostream: Layer: 2  Bit rate: free  Freq: 48.0 kHz\n"},
                    AudioCase{"ForbiddenIndex", MpegAudioHeader(2, 15, 3), 0, 2, 0, 0,
                              "Audiostream: Layer: 2  Bit rate: free  Freq: 0.0 kHz\n"},
                    AudioCase{"Mpeg2NotFound", MpegAudioHeader(2, 8, 1, false), -1, 0, 0, 0, ""},
                    AudioCase{"ReservedLayer", MpegAudioHeader(0, 8, 1), -1, 0, 0, 0, ""},
                    AudioCase{"CutByTheEnd", Bytes{0x00, 0xFF, 0xFD, 0xA4}, -1, 0, 0, 0, ""}),
    [](const testing::TestParamInfo<AudioCase>& row) { return row.param.name; });

struct Ac3Case {
    const char* name;
    int fscod;
    int frmsizecod;
    int expectOffset;
    int expectRate;
    int expectFrameSize;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Ac3Case& c, std::ostream* os) {
    *os << c.name;
}

class Ac3Header : public testing::TestWithParam<Ac3Case> {};

TEST_P(Ac3Header, ReadsFrameSizeAndRate) {
    const Ac3Case& c = GetParam();
    const Bytes buf = Concat({Bytes{0x0B, 0x00}, Ac3Frame(c.fscod, c.frmsizecod, 8)});
    AudioStreamInfo info;
    info.layer = 7;
    EXPECT_EQ(parse_ac3_header(buf.data(), static_cast<int>(buf.size()), &info), c.expectOffset);
    if (c.expectOffset >= 0) {
        EXPECT_EQ(info.layer, 0);
        EXPECT_EQ(info.bit_rate, c.expectRate);
        EXPECT_EQ(info.frame_size, c.expectFrameSize);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, Ac3Header,
                         testing::Values(Ac3Case{"Khz441Code0", 1, 0, 2, 32000, 138},
                                         Ac3Case{"Khz441Code1", 1, 1, 2, 32000, 140},
                                         Ac3Case{"Khz48Code28", 0, 28, 2, 384000, 1536},
                                         Ac3Case{"Khz32Code37", 2, 37, 2, 640000, 3840},
                                         Ac3Case{"Khz48Code1NoExtraWord", 0, 1, 2, 32000, 128},
                                         Ac3Case{"ReservedFscod", 3, 10, -1, 0, 0},
                                         Ac3Case{"ReservedCode38", 0, 38, -1, 0, 0},
                                         Ac3Case{"ReservedCode63", 1, 63, -1, 0, 0}),
                         [](const testing::TestParamInfo<Ac3Case>& row) { return row.param.name; });

TEST(Ac3Header, NeedsSixBytesFromTheSyncWord) {
    const Bytes frame = Ac3Frame(0, 28, 6);
    AudioStreamInfo info;
    EXPECT_EQ(parse_ac3_header(frame.data(), 5, &info), -1);
    EXPECT_EQ(parse_ac3_header(frame.data(), 6, &info), 0);
}

}  // namespace
