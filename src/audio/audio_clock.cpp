#include "audio/audio_clock.h"

#include <algorithm>
#include <cmath>

namespace {

// The pace changes by at most 10 %, and halves a difference from the device
// in under a fifth of a second: smooth to the eye, yet no drift builds up.
constexpr double slew_max = 0.10;
constexpr double slew_time_ms = 250.0;
// A callback this late means the device stalls: the count is not carried on
// further. Shorter hiccups (a busy machine, a sound server that asks for
// data in bursts) do not stop the sound, so they do not stop the clock.
constexpr int late_buffers = 4;
// Further than this from the device's count, the clock does not creep: ahead,
// it waits for the sound; behind, it goes straight there.
constexpr double resync_ms = 100.0;

} // namespace

double audio_clock_device_ms(const AudioClockDevice& d, int rate, double now_ms) {
    double buffer_ms = 1000.0 * double(d.buffer) / rate;
    double played = std::clamp(now_ms - d.at_ms, 0.0, late_buffers * buffer_ms);
    return 1000.0 * double(d.handed) / rate - buffer_ms + played;
}

void audio_clock_set(AudioClock* c, double ms, double now_ms, bool wait, uint64_t callbacks) {
    c->ms = ms;
    c->read_at_ms = now_ms;
    c->limit_ms = wait ? ms : INFINITY;
    c->stale = callbacks;
    c->following = false;
}

void audio_clock_pause(AudioClock* c, bool paused, double handed_ms, uint64_t callbacks) {
    if (paused == c->paused) return;
    c->paused = paused;
    c->following = false;
    if (paused) c->limit_ms = std::max(c->ms, handed_ms);
    else c->stale = callbacks;
}

double audio_clock_read(AudioClock* c, double now_ms, const AudioClockDevice* d) {
    double dt = std::max(0.0, now_ms - c->read_at_ms);
    c->read_at_ms = now_ms;
    double free_ms = c->ms + dt;
    bool fresh = d && !c->paused && d->callbacks > c->stale;
    if (!fresh) {
        // Nothing plays: the steady clock. Waiting or paused: up to the limit.
        if (!d && !c->paused) c->ms = free_ms;
        else c->ms = std::max(c->ms, std::min(free_ms, c->limit_ms));
        return c->ms;
    }
    double target = audio_clock_device_ms(*d, c->rate, now_ms) - c->delay_ms;
    if (!c->following) {
        // The sound has (re)started: from the moment it passes the clock, follow it.
        c->ms = std::max(c->ms, std::min(free_ms, c->limit_ms));
        if (target >= c->ms) {
            c->ms = target;
            c->following = true;
        }
        return c->ms;
    }
    double error = target - free_ms;
    if (error > resync_ms) {
        c->ms = target;
    } else if (error < -resync_ms) {
        // The sound fell far behind (a stall): stand until it is back.
        c->following = false;
        c->limit_ms = c->ms;
    } else {
        double pull = error * std::min(1.0, dt / slew_time_ms);
        c->ms = free_ms + std::clamp(pull, -slew_max * dt, slew_max * dt);
    }
    return c->ms;
}
