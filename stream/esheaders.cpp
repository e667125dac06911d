#include "stream/esheaders.h"

#include <cstring>
#include <iterator>

#include "stream/streamdiag.h"

namespace {

struct FrameRate {
    double fps;
    const char* text;
};

// Code 7 is taken as exactly 60 and code 8 is not known: recordings never use
// either, and older players treated them the same way.
constexpr FrameRate kFrameRates[] = {
    {0.0, nullptr},
    {24000.0 / 1001.0, "  FRate: 23.976 fps"},
    {24.0, "  FRate: 24 fps"},
    {25.0, "  FRate: 25 fps"},
    {30000.0 / 1001.0, "  FRate: 29.97 fps"},
    {30.0, "  FRate: 30 fps"},
    {50.0, "  FRate: 50 fps"},
    {60.0, "  FRate: 60 fps"},
};

struct Aspect {
    int aspect;
    const char* text;
};

constexpr Aspect kAspects[] = {
    {0, nullptr},
    {100, "Videostream: ASPECT: 1:1"},
    {133, "Videostream: ASPECT: 4:3"},
    {177, "Videostream: ASPECT: 16:9"},
    {221, "Videostream: ASPECT: 2.21:1"},
};

// kbit/s by layer code (1 = Layer III, 2 = Layer II, 3 = Layer I) and the
// bit-rate index; index 0 is free format and 15 is forbidden, both 0.
constexpr int kMpegAudioRates[4][16] = {
    {},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
};

constexpr int kMpegAudioFrequencies[4] = {44100, 48000, 32000, 0};

// AC-3 by frmsizecod / 2: nominal kbit/s, and frame size in 16-bit words for
// 48, 44.1 and 32 kHz (44.1 kHz adds one word for odd codes).
constexpr int kAc3Rates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                               192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr int kAc3Words[3][19] = {
    {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 640, 768, 896, 1024, 1152, 1280},
    {69, 87, 104, 121, 139, 174, 208, 243, 278, 348, 417, 487, 557, 696, 835, 975, 1114, 1253,
     1393},
    {96, 120, 144, 168, 192, 240, 288, 336, 384, 480, 576, 672, 768, 960, 1152, 1344, 1536, 1728,
     1920},
};

}  // namespace

int parse_video_sequence_header(const std::uint8_t* b, int length, VideoStreamInfo* info,
                                bool diagnostics) {
    // Until the first header turns up every video packet is searched, which on
    // a recording that starts mid-sequence is megabytes: look for the rare last
    // byte of the start code with memchr, not byte by byte. The code must end
    // before the buffer's last byte, as it always has.
    if (length < 5) {
        return -1;
    }
    const std::uint8_t* at = b + 3;
    const std::uint8_t* const end = b + length - 1;
    for (;;) {
        at = static_cast<const std::uint8_t*>(
            std::memchr(at, 0xB3, static_cast<std::size_t>(end - at)));
        if (at == nullptr) {
            return -1;
        }
        if (at[-1] == 0x01 && at[-2] == 0x00 && at[-3] == 0x00) {
            break;
        }
        if (++at >= end) {
            return -1;
        }
    }
    const int i = static_cast<int>(at - 3 - b);
    // The fields used end well before the 12th byte; requiring that many keeps a
    // header cut by the end of the buffer from being half read.
    const int h = i + 4;
    if (h + 12 >= length) {
        return -1;
    }
    info->width = (b[h] * 16) + (b[h + 1] >> 4);
    info->height = ((b[h + 1] & 0x0F) * 256) + b[h + 2];

    const int aspectCode = b[h + 3] >> 4;
    if (aspectCode == 0) {
        info->aspect = 0;
        return -1;
    }
    const char* aspectText = "Videostream: ASPECT: reserved";
    info->aspect = 0;
    if (aspectCode < static_cast<int>(std::size(kAspects))) {
        info->aspect = kAspects[aspectCode].aspect;
        aspectText = kAspects[aspectCode].text;
    }
    if (diagnostics) {
        stream_diag("%s", aspectText);
        stream_diag("  Size = %dx%d", info->width, info->height);
    }

    const int rateCode = b[h + 3] & 0x0F;
    if (rateCode >= 1 && rateCode < static_cast<int>(std::size(kFrameRates))) {
        info->frame_rate = kFrameRates[rateCode].fps;
        if (diagnostics) {
            stream_diag("%s", kFrameRates[rateCode].text);
        }
    }

    info->bit_rate = ((b[h + 4] << 10) | (b[h + 5] << 2) | (b[h + 6] >> 6)) * 400;
    if (diagnostics) {
        stream_diag("  BRate: %.2f Mbit/s", info->bit_rate / 1000000.0);
        stream_diag("\n");
    }
    return i;
}

int parse_mpeg_audio_header(const std::uint8_t* b, int length, AudioStreamInfo* info,
                            bool diagnostics) {
    // Sync plus the MPEG-1 identifier bit: MPEG-2 half-rate audio is not taken.
    int i = 0;
    while (i + 1 < length && !(b[i] == 0xFF && (b[i + 1] & 0xF8) == 0xF8)) {
        ++i;
    }
    if (i + 1 >= length || i + 3 >= length) {
        return -1;
    }
    const int layer = (b[i + 1] & 0x06) >> 1;
    if (layer == 0) {  // reserved layer code: no row in the rate table
        return -1;
    }
    info->layer = layer;
    if (diagnostics) {
        stream_diag("Audiostream: Layer: %d", 4 - layer);
    }
    info->bit_rate = kMpegAudioRates[layer][b[i + 2] >> 4] * 1000;
    if (diagnostics) {
        if (info->bit_rate == 0) {
            stream_diag("  Bit rate: free");
        } else {
            stream_diag("  BRate: %d kb/s", info->bit_rate / 1000);
        }
    }
    info->frequency = kMpegAudioFrequencies[(b[i + 2] & 0x0C) >> 2];
    if (diagnostics) {
        stream_diag("  Freq: %2.1f kHz\n", info->frequency / 1000.0);
    }
    return i;
}

int parse_ac3_header(const std::uint8_t* b, int length, AudioStreamInfo* info) {
    int i = 0;
    while (i + 1 < length && !(b[i] == 0x0B && b[i + 1] == 0x77)) {
        ++i;
    }
    if (i + 1 >= length || i + 5 >= length) {
        return -1;
    }
    // Byte 4 follows the sync word and the two CRC bytes.
    const int k = b[i + 4];
    const int frmsizecod = k & 0x3F;
    const int fscod = k >> 6;
    // fscod 3 and codes from 38 up are reserved: they have no table entry.
    if (fscod == 3 || frmsizecod / 2 >= static_cast<int>(std::size(kAc3Rates))) {
        return -1;
    }
    info->layer = 0;
    info->bit_rate = kAc3Rates[frmsizecod / 2] * 1000;
    const int oddExtra = (fscod == 1 && (frmsizecod & 1) != 0) ? 1 : 0;
    info->frame_size = 2 * (kAc3Words[fscod][frmsizecod / 2] + oddExtra);
    return i;
}
