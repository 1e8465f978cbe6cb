// The keys that move around the demo while it plays live, like a video
// player's: pause, seek, previous and next block, restart, and the loop at
// the end. The music position stays the one clock; the picture is told the
// new time at once so it follows within a frame.
#pragma once

struct Timeline;

struct Playback {
    bool live = false;
    bool loop = false;
};

// Where the live clock was moved to this frame, or -1 when it was not.
// Reads the released playback keys, then (with --loop) wraps the end back
// to 0. `position` is the music position just read.
int playback_update(Playback* playback, Timeline* timeline, unsigned position);

// Moves the music and the picture to `ms` (clamped to the show) and has the
// reflections captured again there.
void playback_seek(Timeline* timeline, int ms);
