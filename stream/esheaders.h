// Finders for the first header of an elementary stream in a buffer: the MPEG
// video sequence header, the MPEG-1 audio frame header and the AC-3 sync frame.
// Each returns the offset of the header in the buffer, or -1 when there is no
// usable one. They keep no state.
#pragma once

#include <cstdint>

struct VideoStreamInfo {
    int width = 0;
    int height = 0;
    int aspect = 0;  // display aspect x 100; 0 for a reserved code
    double frame_rate = 0.0;
    int bit_rate = 0;  // bits per second
};

struct AudioStreamInfo {
    int layer = 0;       // MPEG audio: 3 = Layer I, 2 = Layer II, 1 = Layer III; AC-3: 0
    int bit_rate = 0;    // bits per second, 0 for free format
    int frequency = 0;   // Hz, MPEG audio only
    int frame_size = 0;  // bytes per sync frame, AC-3 only
};

// With diagnostics on, a found header is described on one diagnostic line.
int parse_video_sequence_header(const std::uint8_t* bytes, int length, VideoStreamInfo* info,
                                bool diagnostics);
int parse_mpeg_audio_header(const std::uint8_t* bytes, int length, AudioStreamInfo* info,
                            bool diagnostics);
int parse_ac3_header(const std::uint8_t* bytes, int length, AudioStreamInfo* info);
