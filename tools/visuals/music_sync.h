// Music time to animation frames. The song runs at 120 BPM (a beat every
// 500 ms, a bar every 2000 ms) and every block animates its scene to
// progress * frames + 2 over its span, so each scene's keys are placed
// from music time through this one table rather than by counting frames.
#pragma once

inline constexpr int kBeatMs = 500;
inline constexpr int kBarMs = 2000;
// Where the groove's rising build-up starts (the snare roll and riser).
inline constexpr int kBuildUpMs = 51400;

struct SyncBlock {
    int start_ms;
    int end_ms;
    float frames; // the block's multiplier of progress
};

inline constexpr SyncBlock kSyncCircuits = {24000, 36000, 748.0f};
inline constexpr SyncBlock kSyncWarehouse = {36000, 60000, 525.0f};
inline constexpr SyncBlock kSyncRobotOne = {36000, 60000, 650.0f};
inline constexpr SyncBlock kSyncRobotTwo = {60000, 71800, 240.0f};

// Animation frame the block asks for at music time ms (fractional).
inline float sync_frame(const SyncBlock& b, double ms) {
    return static_cast<float>((ms - b.start_ms) / (b.end_ms - b.start_ms) * b.frames + 2.0);
}

// Frame of a time given in beats from the block's start.
inline float sync_beat_frame(const SyncBlock& b, double beats) { return sync_frame(b, b.start_ms + beats * kBeatMs); }

// Music time in beats from the block's start at an animation frame.
inline double sync_beats_at(const SyncBlock& b, float frame) {
    return (frame - 2.0) / b.frames * (b.end_ms - b.start_ms) / kBeatMs;
}

// Beats from the block's start to the first bar line at or after ms.
inline float sync_bar_after(const SyncBlock& b, int ms) {
    int bars = (ms - b.start_ms + kBarMs - 1) / kBarMs;
    return static_cast<float>(bars * (kBarMs / kBeatMs));
}

// Length of the block in beats (robot two's block ends 0.2 s before a bar).
inline double sync_beats(const SyncBlock& b) { return double(b.end_ms - b.start_ms) / kBeatMs; }
