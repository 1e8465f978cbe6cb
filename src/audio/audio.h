// The music: one Ogg Vorbis stream played once, its playback position (the
// demo's clock) and a 256-value magnitude spectrum of what is being played.
// All calls come from the main thread; decoding happens on the audio side.
#pragma once

#include <cstdint>

struct AudioStream;
struct AudioTrack;

constexpr int AUDIO_RATE = 44100;
constexpr int AUDIO_CHANNELS = 2;
constexpr int AUDIO_FFT_SIZE = 512;
constexpr int AUDIO_SPECTRUM_SIZE = 256;

// Spectrum of the current output, refreshed by audio_get_spectrum().
extern float music_spectrum[AUDIO_SPECTRUM_SIZE];

// Opens the audio device (44100 Hz stereo). Without a usable device the
// clock still runs on the wall clock.
void audio_init();
// Closes the device and every stream; safe to call twice or without init.
void audio_shutdown();

// Opens path_data(name) as a stream, not decoded whole. Null when the file
// is missing or not Ogg Vorbis; the calls below accept null.
AudioStream* audio_create_stream(const char* name);
// Starts the stream from its start; it plays once, no looping.
void audio_play(AudioStream* stream);

// The position being heard, in whole milliseconds: the frames handed to the
// device less the buffer it still has to play, carried on between its
// callbacks by the steady clock, so it moves every frame and never goes
// back; less the audio delay. It stands at a new position until the sound
// starts there. With no stream playing or after the stream's end it keeps
// advancing with the steady clock from its last value, so the demo always
// reaches its end. The sound server's own latency beyond the device buffer
// cannot be read through SDL: the audio delay is there to correct it.
unsigned audio_get_position();
void audio_set_position(unsigned ms);
// Stops and restarts the music where it is. The position runs on only while
// the device plays out what it was handed, then holds still, as do the
// steady clock that stands in for a missing stream and the spectrum.
void audio_set_paused(bool paused);
bool audio_is_paused();
// How much later than the device the sound reaches the ear, in ms (negative:
// earlier); the position follows the ear. A change is caught up gently.
void audio_set_delay(int ms);
int audio_get_delay();

// What the device's own count says reaches the speaker now, in ms: the
// stream frames handed to it less the buffer still to play, carried on from
// its last callback by the steady clock. Negative when no stream plays or
// none has been handed since the last seek. For measuring the clock.
double audio_device_position();

// Fills 256 magnitudes of the 512 most recent left-channel samples handed
// to the device (rectangular window; a full-scale sine on a bin centre reads
// 1.0). Writes zeros when nothing has played.
void audio_get_spectrum(float* out);
// Refreshes the process-wide `music_spectrum`.
void audio_get_spectrum();
// The stream frame just after the samples of the last live spectrum.
int64_t audio_last_spectrum_frame();

// The analysis itself: 512 samples in, 256 magnitudes out.
void audio_spectrum_compute(const float samples[AUDIO_FFT_SIZE], float out[AUDIO_SPECTRUM_SIZE]);

// Offline access to decoded music, without a device (capture mode, tests).
// audio_track_open takes a full path (not resolved against the content
// root); null when the file cannot be decoded.
AudioTrack* audio_track_open(const char* path);
void audio_track_close(AudioTrack* track);
int audio_track_rate(const AudioTrack* track);
// Length in sample frames.
int64_t audio_track_frames(const AudioTrack* track);
// Stereo interleaved float frames from `first_frame` (zeros beyond the end);
// returns the number of frames that came from the file.
int64_t audio_track_read(AudioTrack* track, int64_t first_frame, float* out, int64_t frames);
// The spectrum the live device would show at `ms`: the 512 left-channel
// samples ending at that position.
void audio_track_spectrum_at(AudioTrack* track, unsigned ms, float out[AUDIO_SPECTRUM_SIZE]);
// The same, for the 512 samples ending just before `end_frame`.
void audio_track_spectrum_at_frame(AudioTrack* track, int64_t end_frame, float out[AUDIO_SPECTRUM_SIZE]);

// Writes interleaved float frames (1 or 2 channels) as Ogg Vorbis, the same
// bytes on every run. Used by the music generator and the tests.
bool audio_write_ogg(const char* path, const float* samples, int64_t frames, int channels, int rate, float quality);
