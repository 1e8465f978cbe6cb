// The keys that move around a demo while it plays live, like a video
// player's: pause, seek, previous and next block, restart, the audio delay,
// and the loop at the end. The music position stays the one clock; the
// picture is told the new time at once so it follows within a frame.
#pragma once

#include <cstdint>

struct Timeline;

struct Playback {
    bool live = false;
    bool loop = false;
    int end_ms = 100000;                              // where the show ends: seeks stop there, the loop wraps
    void (*after_seek)(Timeline* timeline) = nullptr; // blocks that keep state across frames start afresh
    uint32_t notice_until = 0;                        // tick count until which the audio delay shows
    bool notice = false;
    bool plus_armed = false; // + or - went down with Ctrl held
    bool minus_armed = false;
};

// Sets the audio delay (how late the sound reaches the ear), writes it to
// the report and shows it for a moment. `at` is the music position now.
void playback_set_delay(Playback* playback, int ms, unsigned at);
// Draws the audio delay while it is shown, below the frame-rate overlay.
void playback_draw_notice(Playback* playback, float top);

// Where the live clock was moved to this frame, or -1 when it was not.
// Reads the released playback keys (Ctrl with + or - changes the audio
// delay by 10 ms), then (with --loop) wraps the end back to 0. `position` is the music position just read.
int playback_update(Playback* playback, Timeline* timeline, unsigned position);

// Moves the music and the picture to `ms` (clamped to the show) and tells
// the blocks.
void playback_seek(const Playback* playback, Timeline* timeline, int ms);
