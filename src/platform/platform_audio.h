// Sound output and Ogg Vorbis decoding. The audio subsystem drives both;
// nothing else needs them.
#pragma once

#include <cstdint>

// The device pulls interleaved float frames from this callback on its own
// thread, with the device lock held.
using PlatformAudioCallback = void (*)(void* user, float* out, int frames);

// Opens the output device (float samples). With SDL's dummy driver asked
// for (SDL_AUDIODRIVER=dummy) or no device to be had, a silent output of our
// own pulls buffers at real-time rate instead; platform_audio_driver() then
// says "dummy". Returns false only for an impossible layout.
bool platform_audio_open(int rate, int channels, int buffer_frames, PlatformAudioCallback callback, void* user);
void platform_audio_close();
bool platform_audio_is_open();
void platform_audio_pause(bool paused);
// The callback never runs between lock and unlock.
void platform_audio_lock();
void platform_audio_unlock();
const char* platform_audio_driver();
const char* platform_audio_error();

// An Ogg Vorbis file decoded incrementally.
struct PlatformOgg;

PlatformOgg* platform_ogg_open(const char* path);
void platform_ogg_close(PlatformOgg* ogg);
int platform_ogg_rate(const PlatformOgg* ogg);
int platform_ogg_channels(const PlatformOgg* ogg);
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
bool platform_ogg_write(const char* path, const float* samples, int64_t frames, int channels, int rate,
                        float quality, int serial);
