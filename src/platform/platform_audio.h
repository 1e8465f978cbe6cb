// Sound output. The audio subsystem drives it; nothing else needs it.
#pragma once

#include <cstdint>

// The device pulls interleaved float frames from this callback on its own
// thread, with the device lock held.
using PlatformAudioCallback = void (*)(void* user, float* out, int frames);

// Opens the output device (float samples). With SDL's dummy driver asked
// for (SDL_AUDIODRIVER=dummy) or no device to be had, a silent output of our
// own pulls buffers at real-time rate instead. Returns false only for an
// impossible layout.
bool platform_audio_open(int rate, int channels, int buffer_frames, PlatformAudioCallback callback, void* user);
void platform_audio_close();
bool platform_audio_is_open();
// The frames of one device buffer as opened (what each callback fills); 0
// when closed. The sound server's own latency beyond it is not known here.
int platform_audio_buffer_frames();
void platform_audio_pause(bool paused);
// The callback never runs between lock and unlock.
void platform_audio_lock();
void platform_audio_unlock();
const char* platform_audio_error();
