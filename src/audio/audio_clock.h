// The music clock the picture follows: the instant being heard, moving every
// frame. The device only tells us, at each of its callbacks, how many frames
// it has been handed; between callbacks the steady clock carries the position
// on, and a gentle change of pace (never a step) keeps it on the device's
// count. Plain arithmetic on the counts and times it is given, so it can be
// driven without a device.
#pragma once

#include <cstdint>

// What the device said at its last callback, read under the device lock.
struct AudioClockDevice {
    uint64_t callbacks = 0; // callbacks that handed stream frames, ever
    int64_t handed = 0;     // stream frame just after the last one handed
    int64_t buffer = 0;     // frames of one device buffer: handed, not yet heard
    double at_ms = 0;       // steady clock at that callback
};

struct AudioClock {
    int rate = 44100;
    double ms = 0;         // the position last read
    double read_at_ms = 0; // steady clock at that read
    // Without a device count to follow, the clock runs up to here and stands:
    // the set position until the sound starts, the last frame handed while paused.
    double limit_ms = 0;
    uint64_t stale = 0;     // callbacks up to this many came before the last set or resume
    bool following = false; // on a device count since the sound (re)started
    bool paused = false;
    double delay_ms = 0; // how late the sound reaches the ear after the device
};

// Where the device's count puts the speaker at `now_ms`: the frames handed
// less the buffer still to play, which plays out from the callback on, and
// on at the same pace for a few buffers more if the next callback is late.
double audio_clock_device_ms(const AudioClockDevice& device, int rate, double now_ms);

// A new position (start, seek, the end of the stream). With `wait` the clock
// stands there until the device's count moves past it: music that has not
// started yet is not heard yet.
void audio_clock_set(AudioClock* clock, double ms, double now_ms, bool wait, uint64_t callbacks);

// Pausing lets the clock run on to `handed_ms`, the end of the sound still
// queued in the device, and stop there. Resumed, it stays there until the
// device calls back again: until then no new sound is heard.
void audio_clock_pause(AudioClock* clock, bool paused, double handed_ms, uint64_t callbacks);

// The position at `now_ms`. `device` is null when no music plays (no device,
// no stream, or its end): then the steady clock alone carries it on. Never
// less than the last read, except after audio_clock_set.
double audio_clock_read(AudioClock* clock, double now_ms, const AudioClockDevice* device);
