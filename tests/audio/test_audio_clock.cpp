// The music clock's arithmetic, driven with the counts and times a device
// would give: a simulated device hands 512-frame buffers on its own pace
// (steady, jittery, a little fast), and a display reads the clock at 60 or
// 144 Hz.
#include "audio/audio_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int RATE = 44100;
constexpr int BUFFER = 512;
const double PERIOD_MS = 1000.0 * BUFFER / RATE;

// A device that starts playing at `start_ms` (stream frame `first`) and
// calls back every buffer period, `speed` times as fast as the steady clock,
// each callback up to `jitter_ms` off its time, early or late.
struct Device {
    double start_ms = 0;
    int64_t first = 0;
    double speed = 1.0;
    double jitter_ms = 0;
    std::mt19937 random{7};
    std::vector<double> late; // per callback
    AudioClockDevice seen;
    uint64_t base = 0; // callbacks before this start

    double due(size_t k) {
        while (late.size() <= k)
            late.push_back(std::uniform_real_distribution<double>(-jitter_ms / 2, jitter_ms / 2)(random));
        return start_ms + double(k) * PERIOD_MS / speed + late[k];
    }
    // The device's count as the clock reads it at `now`.
    const AudioClockDevice* at(double now) {
        size_t k = 0;
        if (now < due(0)) {
            // Nothing handed yet: the count still stands where it was left.
            seen = {base, first, BUFFER, -1e9};
            return &seen;
        }
        while (due(k + 1) <= now) ++k;
        seen.callbacks = base + k + 1;
        seen.handed = first + int64_t(k + 1) * BUFFER;
        seen.buffer = BUFFER;
        seen.at_ms = due(k);
        return &seen;
    }
    // Where the sound really is (what the clock should show) at `now`.
    double heard(double now) const { return 1000.0 * double(first) / RATE + std::max(0.0, now - start_ms) * speed; }
};

struct Steps {
    double min = INFINITY, max = -INFINITY;
    int still = 0, back = 0;
    void add(double step) {
        min = std::min(min, step);
        max = std::max(max, step);
        still += step == 0;
        back += step < 0;
    }
};

// A display reading the clock at every retrace.
struct Display {
    int hz;
    long frame = 0;
    double at = 0;   // time of the last read
    double last = 0; // what it read
};

// Reads on until `to_ms`; `device(t)` is the device's count at t.
template <typename F> Steps display_until(AudioClock* c, Display* v, double to_ms, F device) {
    Steps s;
    for (;; ++v->frame) {
        double t = double(v->frame) * 1000.0 / v->hz;
        if (t >= to_ms) break;
        double ms = audio_clock_read(c, t, device(t));
        s.add(ms - v->last);
        v->last = ms;
        v->at = t;
    }
    return s;
}

Steps display(AudioClock* c, Device* d, Display* v, double to_ms) {
    return display_until(c, v, to_ms, [d](double t) { return d->at(t); });
}

AudioClock started_clock(double ms, double now) {
    AudioClock c;
    c.rate = RATE;
    audio_clock_set(&c, ms, now, true, 0);
    return c;
}

} // namespace

TEST(AudioClock, MovesEveryFrameByTheFrameAndNeverBack) {
    for (int hz : {60, 144}) {
        for (double jitter : {0.0, 4.0}) {
            SCOPED_TRACE(testing::Message() << hz << " Hz, callbacks late by up to " << jitter << " ms");
            Device d;
            d.start_ms = 1000;
            d.jitter_ms = jitter;
            AudioClock c = started_clock(0, 0);
            Display v{hz};
            display(&c, &d, &v, 3000); // the start and settling
            Steps s = display(&c, &d, &v, 20000);
            double frame = 1000.0 / hz;
            EXPECT_EQ(s.still, 0);
            EXPECT_EQ(s.back, 0);
            // A device buffer is 11.6 ms: steps of it would show here.
            EXPECT_GT(s.min, frame * 0.94);
            EXPECT_LT(s.max, frame * 1.06);
            EXPECT_NEAR(v.last, d.heard(v.at), 1.0);
        }
    }
}

TEST(AudioClock, StandsAtTheStartUntilTheSoundStartsThenRunsWithoutAJump) {
    // The sound server takes 1.5 s to start the stream.
    Device d;
    d.start_ms = 1500;
    AudioClock c = started_clock(0, 0);
    Display v{144};
    Steps before = display(&c, &d, &v, 1500);
    EXPECT_EQ(v.last, 0.0);
    EXPECT_EQ(before.max, 0.0);
    Steps after = display(&c, &d, &v, 3000);
    EXPECT_EQ(after.back, 0);
    EXPECT_LE(after.max, 1000.0 / 144 + 0.01);
    EXPECT_NEAR(v.last, d.heard(v.at), 1.0);
}

TEST(AudioClock, NoJumpOnResumeOrAfterASeekAndNoDriftAfterThem) {
    const double frame = 1000.0 / 60;
    Device d;
    d.start_ms = 10;
    AudioClock c = started_clock(0, 0);
    Display v{60};
    display(&c, &d, &v, 5000);

    // Paused mid-buffer: the device stops calling back; the clock plays out
    // what it was handed and stands there.
    AudioClockDevice frozen = *d.at(v.at);
    double handed_ms = 1000.0 * double(frozen.handed) / RATE;
    audio_clock_pause(&c, true, handed_ms, frozen.callbacks);
    Steps paused = display_until(&c, &v, 7000, [&](double) { return &frozen; });
    EXPECT_EQ(paused.back, 0);
    EXPECT_NEAR(v.last, handed_ms, 0.01);

    // Resumed: the sound server takes 200 ms to call back again, on a fresh
    // schedule from the stream frame where it stopped. The clock stands
    // until then.
    audio_clock_pause(&c, false, handed_ms, frozen.callbacks);
    Device r;
    r.start_ms = v.at + 200.0;
    r.first = frozen.handed;
    r.base = frozen.callbacks;
    display(&c, &r, &v, r.start_ms);
    EXPECT_EQ(v.last, handed_ms);
    Steps s = display(&c, &r, &v, 12000);
    EXPECT_EQ(s.back, 0);
    EXPECT_LE(s.max, frame + 0.01);
    EXPECT_NEAR(v.last, r.heard(v.at), 1.0);

    // A seek: the clock shows the new place at once, stands until the sound
    // is there (less than a buffer), then runs on with it for 100 s.
    uint64_t before = r.at(v.at)->callbacks;
    audio_clock_set(&c, 60000, v.at, true, before);
    v.last = 60000;
    Device s2;
    s2.start_ms = v.at + 7.0;
    s2.first = int64_t(60000) * RATE / 1000;
    s2.base = before;
    Steps after = display(&c, &s2, &v, 112000);
    EXPECT_EQ(after.back, 0);
    EXPECT_LE(after.max, frame + 0.01);
    EXPECT_NEAR(v.last, s2.heard(v.at), 1.0);
}

TEST(AudioClock, FollowsADeviceThatRunsFastWithoutDrift) {
    // A sound card whose crystal runs 0.05 % fast: 50 ms over 100 s.
    Device d;
    d.speed = 1.0005;
    d.jitter_ms = 2.0;
    AudioClock c = started_clock(0, 0);
    Display v{60};
    display(&c, &d, &v, 50000);
    double at50 = v.last - d.heard(v.at);
    Steps s = display(&c, &d, &v, 100000);
    double at100 = v.last - d.heard(v.at);
    EXPECT_EQ(s.back, 0);
    EXPECT_EQ(s.still, 0);
    EXPECT_LT(std::fabs(at50), 1.0);
    EXPECT_LT(std::fabs(at100), 1.0);
}

TEST(AudioClock, DelayMovesThePictureLaterAndAChangeIsCaughtUpGently) {
    const double frame = 1000.0 / 60;
    Device d;
    d.start_ms = 200;
    AudioClock c = started_clock(0, 0);
    c.delay_ms = 100; // the ear hears the device 100 ms late
    Display v{60};
    // Nothing is heard before 300 ms: the clock stands at 0 until then.
    display(&c, &d, &v, 300);
    EXPECT_EQ(v.last, 0.0);
    display(&c, &d, &v, 5000);
    EXPECT_NEAR(v.last, d.heard(v.at) - 100, 1.0);

    // 10 ms more delay: the picture falls back to it without a step back.
    c.delay_ms = 110;
    Steps s = display(&c, &d, &v, 10000);
    EXPECT_EQ(s.back, 0);
    EXPECT_EQ(s.still, 0);
    EXPECT_GT(s.min, frame * 0.94);
    EXPECT_NEAR(v.last, d.heard(v.at) - 110, 1.0);
    // And 10 ms less: it catches up without a jump.
    c.delay_ms = 100;
    s = display(&c, &d, &v, 15000);
    EXPECT_LT(s.max, frame * 1.06);
    EXPECT_NEAR(v.last, d.heard(v.at) - 100, 1.0);
}

TEST(AudioClock, WithoutMusicTheSteadyClockRunsAndPauseHoldsIt) {
    AudioClock c;
    audio_clock_set(&c, 4000, 0, false, 0);
    EXPECT_DOUBLE_EQ(audio_clock_read(&c, 250, nullptr), 4250);
    audio_clock_pause(&c, true, 4250, 0);
    EXPECT_DOUBLE_EQ(audio_clock_read(&c, 1250, nullptr), 4250);
    audio_clock_pause(&c, false, 4250, 0);
    EXPECT_DOUBLE_EQ(audio_clock_read(&c, 1500, nullptr), 4500);
}

TEST(AudioClock, WaitsForADeviceThatStalledAndGoesOnWithIt) {
    // The device stops calling back for 300 ms (an underrun), then goes on
    // from where it stopped: the sound is 300 ms later than before.
    Device d;
    AudioClock c = started_clock(0, 0);
    Display v{60};
    display(&c, &d, &v, 2000);
    AudioClockDevice stopped = *d.at(v.at);
    Steps s = display_until(&c, &v, 2300, [&](double) { return &stopped; });
    Device again;
    again.start_ms = v.at + 5.0;
    again.first = stopped.handed;
    again.base = stopped.callbacks;
    Steps after = display(&c, &again, &v, 6000);
    EXPECT_EQ(s.back + after.back, 0);
    EXPECT_NEAR(v.last, again.heard(v.at), 1.0);
}
