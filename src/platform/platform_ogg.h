// Ogg Vorbis files: decoded incrementally for the music, encoded for the
// music generator and the tests. Needs no device.
#pragma once

#include <cstdint>

// An Ogg Vorbis file decoded incrementally.
struct PlatformOgg;

PlatformOgg* platform_ogg_open(const char* path);
void platform_ogg_close(PlatformOgg* ogg);
int platform_ogg_rate(const PlatformOgg* ogg);
// Length in frames, or -1 when the file cannot tell.
int64_t platform_ogg_frames(const PlatformOgg* ogg);
bool platform_ogg_seek(PlatformOgg* ogg, int64_t frame);
// Decodes up to `frames` frames as stereo interleaved floats (mono is
// duplicated, extra channels dropped). Returns the frames written; 0 at the
// end of the file or on a decoding error.
int platform_ogg_read_stereo(PlatformOgg* ogg, float* out, int frames);

// Encodes interleaved float frames (1 or 2 channels) as Ogg Vorbis at the
// given VBR quality (-0.1 .. 1). A fixed serial number makes the bytes the
// same on every run. Returns false when the file cannot be written.
bool platform_ogg_write(const char* path, const float* samples, int64_t frames, int channels, int rate, float quality,
                        int serial);
