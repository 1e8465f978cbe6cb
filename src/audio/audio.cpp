#include "audio/audio.h"

#include "audio/audio_clock.h"

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

// Small device buffers keep the device's count fine-grained (about 11.6 ms).
constexpr int DEVICE_BUFFER_FRAMES = 512;

// Everything the audio callback touches; guarded by the device lock.
struct Shared {
    AudioStream* playing = nullptr;
    bool ended = false;
    int64_t seek_frame = 0; // where the last seek (or the start) put the stream
    int64_t handed = 0;     // stream frames handed to the device since then
    uint64_t callbacks = 0; // callbacks that handed stream frames, ever
    double handed_at = 0;   // steady clock (ms) of the last of them
    float ring[AUDIO_FFT_SIZE] = {};
    int ring_next = 0; // oldest sample, next to be overwritten
};

// The main thread's side: the clock the picture follows.
struct Player {
    AudioClock clock;
    bool started = false;
    int64_t last_spectrum_frame = 0;
};

Shared shared;
Player player;
std::vector<std::unique_ptr<AudioStream>> streams;

using Clock = std::chrono::steady_clock;

double steady_ms() { return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count(); }

void ring_push(Shared& s, const float* frames, int count) {
    for (int i = 0; i < count; ++i) {
        s.ring[s.ring_next] = frames[2 * i];
        s.ring_next = (s.ring_next + 1) % AUDIO_FFT_SIZE;
    }
}

// Runs on the device's thread with the device lock held.
void fill(void* user, float* out, int frames) {
    Shared& s = *static_cast<Shared*>(user);
    int got = 0;
    if (s.playing && !s.ended) {
        got = platform_ogg_read_stereo(s.playing->ogg, out, frames);
        s.handed += got;
        if (got > 0) {
            ++s.callbacks;
            s.handed_at = steady_ms();
        }
        if (got < frames) s.ended = true;
    }
    std::fill(out + 2 * got, out + 2 * frames, 0.0f);
    ring_push(s, out, frames);
}

// The device's count as of its last callback. Returns the frames handed
// since the last seek, or -1 when no music plays.
int64_t device_read(AudioClockDevice* d) {
    if (!platform_audio_is_open()) return -1;
    platform_audio_lock();
    bool live = shared.playing && !shared.ended;
    int64_t since_seek = shared.handed;
    d->callbacks = shared.callbacks;
    d->handed = shared.seek_frame + shared.handed;
    d->at_ms = shared.handed_at;
    platform_audio_unlock();
    d->buffer = platform_audio_buffer_frames();
    return live ? since_seek : -1;
}

void clock_set(double ms, bool wait, uint64_t callbacks) {
    player.clock.rate = AUDIO_RATE;
    audio_clock_set(&player.clock, ms, steady_ms(), wait, callbacks);
    player.started = true;
}

int64_t ms_to_frames(unsigned ms, int rate) { return int64_t(ms) * rate / 1000; }

struct FftPlan {
    kiss_fftr_cfg cfg = kiss_fftr_alloc(AUDIO_FFT_SIZE, 0, nullptr, nullptr);
    ~FftPlan() { kiss_fftr_free(cfg); }
};

// An error line in the loaders' own form: Tag ["name"] What !
void log_error(const char* tag, const char* name, const char* what) {
    log_write_at(LOG_ERROR, "%s [\"%s\"] %s !", tag, name, what);
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
    clock_set(0.0, false, 0);
    if (platform_audio_is_open()) return;
    shared = Shared{};
    if (!platform_audio_open(AUDIO_RATE, AUDIO_CHANNELS, DEVICE_BUFFER_FRAMES, fill, &shared)) {
        log_error("Audio Device", platform_audio_error(), "Not Available, the music clock runs on the wall clock");
    }
}

void audio_shutdown() {
    platform_audio_close(); // the callback is gone after this
    player.clock.paused = false;
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
    platform_audio_lock();
    platform_ogg_seek(stream->ogg, 0);
    shared.playing = stream;
    shared.ended = false;
    shared.seek_frame = 0;
    shared.handed = 0;
    uint64_t callbacks = shared.callbacks;
    platform_audio_unlock();
    // Until the first buffer reaches the device nothing is heard.
    clock_set(0.0, true, callbacks);
    platform_audio_pause(player.clock.paused);
}

unsigned audio_get_position() {
    if (!player.started) clock_set(0.0, false, 0);
    AudioClockDevice device;
    bool live = device_read(&device) >= 0;
    double ms = audio_clock_read(&player.clock, steady_ms(), live ? &device : nullptr);
    return unsigned(std::clamp(ms, 0.0, 4294967295.0));
}

void audio_set_position(unsigned ms) {
    bool live = false;
    uint64_t callbacks = 0;
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
        live = shared.playing && !shared.ended;
        callbacks = shared.callbacks;
        platform_audio_unlock();
    }
    // With music, the picture waits there for the sound; without, it runs on.
    clock_set(ms, live, callbacks);
}

void audio_set_paused(bool pause) {
    if (pause == player.clock.paused) return;
    // Bring the clock up to now; paused, it runs on while the device plays
    // out what it holds, resumed it waits for the device's next buffer.
    double now = audio_get_position();
    AudioClockDevice device;
    bool live = device_read(&device) >= 0;
    double handed = live ? 1000.0 * double(device.handed) / AUDIO_RATE : now;
    audio_clock_pause(&player.clock, pause, handed, device.callbacks);
    if (platform_audio_is_open()) platform_audio_pause(pause);
}

bool audio_is_paused() { return player.clock.paused; }

void audio_set_delay(int ms) { player.clock.delay_ms = ms; }

int audio_get_delay() { return int(player.clock.delay_ms); }

double audio_device_position() {
    AudioClockDevice device;
    if (device_read(&device) <= 0) return -1;
    return audio_clock_device_ms(device, AUDIO_RATE, steady_ms());
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
        player.last_spectrum_frame = shared.seek_frame + shared.handed;
        platform_audio_unlock();
    } else {
        std::fill(samples, samples + AUDIO_FFT_SIZE, 0.0f);
    }
    audio_spectrum_compute(samples, out);
}

void audio_get_spectrum() { audio_get_spectrum(music_spectrum); }

int64_t audio_last_spectrum_frame() { return player.last_spectrum_frame; }

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
