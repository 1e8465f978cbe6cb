#include "audio/audio.h"

#include "core/log.h"
#include "core/paths.h"
#include "platform/platform_audio.h"
#include "platform/platform_ogg.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

float music_spectrum[AUDIO_SPECTRUM_SIZE];

struct AudioStream {
    PlatformOgg* ogg = nullptr;
    std::string name;
    ~AudioStream() { platform_ogg_close(ogg); }
};

struct AudioTrack {
    PlatformOgg* ogg = nullptr;
    int64_t cursor = 0; // decoder position in frames
    ~AudioTrack() { platform_ogg_close(ogg); }
};

namespace {

// Small device buffers keep the position fine-grained (about 11.6 ms).
constexpr int DEVICE_BUFFER_FRAMES = 512;

// Everything the audio callback touches; guarded by the device lock.
struct Shared {
    AudioStream* playing = nullptr;
    bool ended = false;
    int64_t seek_frame = 0; // where the last seek (or the start) put the stream
    int64_t handed = 0;     // stream frames handed to the device since then
    double handed_at = 0;   // steady clock (ms) of the last callback that handed any
    float ring[AUDIO_FFT_SIZE] = {};
    int ring_next = 0; // oldest sample, next to be overwritten
};

Shared shared;
std::vector<std::unique_ptr<AudioStream>> streams;

// The main thread's clock for when no stream is playing.
using Clock = std::chrono::steady_clock;
double clock_ms = 0.0;
Clock::time_point clock_at = Clock::now();
bool clock_started = false;
bool paused = false;
int64_t last_spectrum_frame = 0;

void ring_push(Shared& s, const float* frames, int count) {
    for (int i = 0; i < count; ++i) {
        s.ring[s.ring_next] = frames[2 * i];
        s.ring_next = (s.ring_next + 1) % AUDIO_FFT_SIZE;
    }
}

double steady_ms() { return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count(); }

// Runs on the device's thread with the device lock held.
void fill(void* user, float* out, int frames) {
    Shared& s = *static_cast<Shared*>(user);
    int got = 0;
    if (s.playing && !s.ended) {
        got = platform_ogg_read_stereo(s.playing->ogg, out, frames);
        s.handed += got;
        if (got > 0) s.handed_at = steady_ms();
        if (got < frames) s.ended = true;
    }
    std::fill(out + 2 * got, out + 2 * frames, 0.0f);
    ring_push(s, out, frames);
}

double elapsed_ms(Clock::time_point since, Clock::time_point now) {
    return std::chrono::duration<double, std::milli>(now - since).count();
}

void clock_set(double ms) {
    clock_ms = ms;
    clock_at = Clock::now();
    clock_started = true;
}

int64_t ms_to_frames(unsigned ms, int rate) { return int64_t(ms) * rate / 1000; }

struct FftPlan {
    kiss_fftr_cfg cfg = kiss_fftr_alloc(AUDIO_FFT_SIZE, 0, nullptr, nullptr);
    ~FftPlan() { kiss_fftr_free(cfg); }
};

// An error line in the loaders' own form: Tag ["name"] What !
void log_error(const char* tag, const char* name, const char* what) {
    int level = log_get_level();
    log_set_level(LOG_ERROR);
    log_write("%s [\"%s\"] %s !", tag, name, what);
    log_set_level(level);
}

} // namespace

void audio_spectrum_compute(const float samples[AUDIO_FFT_SIZE], float out[AUDIO_SPECTRUM_SIZE]) {
    // The plan is read-only once made, so one per thread is plenty.
    thread_local FftPlan plan;
    kiss_fft_cpx bins[AUDIO_FFT_SIZE / 2 + 1];
    kiss_fftr(plan.cfg, samples, bins);
    // A sine of amplitude 1 on a bin centre gives |X| = N/2.
    const float scale = 2.0f / AUDIO_FFT_SIZE;
    for (int i = 0; i < AUDIO_SPECTRUM_SIZE; ++i)
        out[i] = std::sqrt(bins[i].r * bins[i].r + bins[i].i * bins[i].i) * scale;
}

void audio_init() {
    clock_set(0.0);
    if (platform_audio_is_open()) return;
    shared = Shared{};
    if (!platform_audio_open(AUDIO_RATE, AUDIO_CHANNELS, DEVICE_BUFFER_FRAMES, fill, &shared)) {
        log_error("Audio Device", platform_audio_error(), "Not Available, the music clock runs on the wall clock");
    }
}

void audio_shutdown() {
    platform_audio_close(); // the callback is gone after this
    paused = false;
    shared = Shared{};
    streams.clear();
}

AudioStream* audio_create_stream(const char* name) {
    if (!name) return nullptr;
    std::string path = path_data(name);
    PlatformOgg* ogg = platform_ogg_open(path.c_str());
    if (!ogg) {
        log_error("Music Stream", name, "Not Found or Not Ogg Vorbis");
        return nullptr;
    }
    if (platform_ogg_rate(ogg) != AUDIO_RATE) {
        // No resampling on the live path: the device runs at one rate.
        log_error("Music Stream", name, "Not 44100 Hz");
        platform_ogg_close(ogg);
        return nullptr;
    }
    auto stream = std::make_unique<AudioStream>();
    stream->ogg = ogg;
    stream->name = name;
    streams.push_back(std::move(stream));
    return streams.back().get();
}

void audio_play(AudioStream* stream) {
    if (!stream || !platform_audio_is_open()) return;
    unsigned now = audio_get_position();
    platform_audio_lock();
    platform_ogg_seek(stream->ogg, 0);
    shared.playing = stream;
    shared.ended = false;
    shared.seek_frame = 0;
    shared.handed = 0;
    platform_audio_unlock();
    clock_set(now);
    platform_audio_pause(false);
}

unsigned audio_get_position() {
    if (!clock_started) clock_set(0.0);
    bool live = false;
    int64_t frame = 0;
    if (platform_audio_is_open()) {
        platform_audio_lock();
        live = shared.playing && !shared.ended;
        frame = shared.seek_frame + shared.handed;
        platform_audio_unlock();
    }
    Clock::time_point now = Clock::now();
    double ms;
    if (live) {
        ms = double(frame * 1000 / AUDIO_RATE);
    } else if (paused) {
        ms = clock_ms;
    } else {
        // No music, or it has ended: carry on from the last value.
        ms = clock_ms + elapsed_ms(clock_at, now);
    }
    clock_ms = ms;
    clock_at = now;
    return unsigned(std::min(ms, 4294967295.0));
}

void audio_set_position(unsigned ms) {
    if (platform_audio_is_open()) {
        platform_audio_lock();
        if (shared.playing) {
            int64_t frame = ms_to_frames(ms, AUDIO_RATE);
            int64_t total = platform_ogg_frames(shared.playing->ogg);
            if (total >= 0 && frame >= total) {
                // Past the end: nothing left to play.
                shared.ended = true;
            } else if (platform_ogg_seek(shared.playing->ogg, frame)) {
                shared.seek_frame = frame;
                shared.handed = 0;
                shared.ended = false;
            }
        }
        platform_audio_unlock();
    }
    clock_set(ms);
}

void audio_set_paused(bool pause) {
    if (pause == paused) return;
    // Freeze the stand-in clock where it is now.
    unsigned now = audio_get_position();
    paused = pause;
    clock_set(now);
    if (platform_audio_is_open()) platform_audio_pause(pause);
}

bool audio_is_paused() { return paused; }

double audio_device_position() {
    if (!platform_audio_is_open()) return -1;
    platform_audio_lock();
    bool live = shared.playing && !shared.ended && shared.handed > 0;
    int64_t handed = shared.seek_frame + shared.handed;
    double at = shared.handed_at;
    platform_audio_unlock();
    if (!live) return -1;
    // The last buffer handed plays out from its callback on, and no further.
    double buffer_ms = 1000.0 * platform_audio_buffer_frames() / AUDIO_RATE;
    double played = std::clamp(steady_ms() - at, 0.0, buffer_ms);
    return 1000.0 * double(handed) / AUDIO_RATE - buffer_ms + played;
}

void audio_get_spectrum(float* out) {
    if (!out) return;
    float samples[AUDIO_FFT_SIZE];
    if (platform_audio_is_open()) {
        platform_audio_lock();
        // Oldest first, so the window reads in time order.
        int head = shared.ring_next;
        std::memcpy(samples, shared.ring + head, sizeof(float) * size_t(AUDIO_FFT_SIZE - head));
        std::memcpy(samples + (AUDIO_FFT_SIZE - head), shared.ring, sizeof(float) * size_t(head));
        last_spectrum_frame = shared.seek_frame + shared.handed;
        platform_audio_unlock();
    } else {
        std::fill(samples, samples + AUDIO_FFT_SIZE, 0.0f);
    }
    audio_spectrum_compute(samples, out);
}

void audio_get_spectrum() { audio_get_spectrum(music_spectrum); }

int64_t audio_last_spectrum_frame() { return last_spectrum_frame; }

// ---------------------------------------------------------------------------

AudioTrack* audio_track_open(const char* path) {
    PlatformOgg* ogg = platform_ogg_open(path);
    if (!ogg) return nullptr;
    auto* track = new AudioTrack;
    track->ogg = ogg;
    return track;
}

void audio_track_close(AudioTrack* track) { delete track; }

int audio_track_rate(const AudioTrack* track) { return track ? platform_ogg_rate(track->ogg) : 0; }

int64_t audio_track_frames(const AudioTrack* track) {
    return track ? std::max<int64_t>(0, platform_ogg_frames(track->ogg)) : 0;
}

int64_t audio_track_read(AudioTrack* track, int64_t first_frame, float* out, int64_t frames) {
    if (!out || frames <= 0) return 0;
    std::fill(out, out + 2 * frames, 0.0f);
    if (!track) return 0;
    int64_t total = audio_track_frames(track);
    int64_t skip = 0;
    if (first_frame < 0) {
        skip = std::min(-first_frame, frames);
        first_frame = 0;
    }
    if (first_frame >= total) return 0;
    // Reading on in order is the common case; seek only when needed.
    if (first_frame > track->cursor && first_frame - track->cursor <= AUDIO_RATE) {
        // A short skip forward: decoding on is cheaper than a seek.
        float scratch[2 * 1024];
        while (track->cursor < first_frame) {
            int chunk = int(std::min<int64_t>(first_frame - track->cursor, 1024));
            int got = platform_ogg_read_stereo(track->ogg, scratch, chunk);
            if (got <= 0) return 0;
            track->cursor += got;
        }
    }
    if (track->cursor != first_frame) {
        if (!platform_ogg_seek(track->ogg, first_frame)) return 0;
        track->cursor = first_frame;
    }
    int64_t done = 0;
    float* dst = out + 2 * skip;
    int64_t want = frames - skip;
    while (done < want) {
        int chunk = int(std::min<int64_t>(want - done, 4096));
        int got = platform_ogg_read_stereo(track->ogg, dst + 2 * done, chunk);
        if (got <= 0) break;
        done += got;
    }
    track->cursor += done;
    return done;
}

void audio_track_spectrum_at_frame(AudioTrack* track, int64_t end_frame, float out[AUDIO_SPECTRUM_SIZE]) {
    float stereo[2 * AUDIO_FFT_SIZE];
    audio_track_read(track, end_frame - AUDIO_FFT_SIZE, stereo, AUDIO_FFT_SIZE);
    float left[AUDIO_FFT_SIZE];
    for (int i = 0; i < AUDIO_FFT_SIZE; ++i) left[i] = stereo[2 * i];
    audio_spectrum_compute(left, out);
}

void audio_track_spectrum_at(AudioTrack* track, unsigned ms, float out[AUDIO_SPECTRUM_SIZE]) {
    int rate = track ? audio_track_rate(track) : AUDIO_RATE;
    audio_track_spectrum_at_frame(track, ms_to_frames(ms, rate), out);
}

bool audio_write_ogg(const char* path, const float* samples, int64_t frames, int channels, int rate, float quality) {
    // Any fixed serial will do; it only has to be the same every time.
    return platform_ogg_write(path, samples, frames, channels, rate, quality, 0x56414e54);
}
