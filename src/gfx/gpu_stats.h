// Optional GPU counters for the benchmark: fragments that passed in a frame
// and the GPU time of each pass. Off unless the benchmark switches them on,
// so live playback and capture issue no queries.
#pragma once

#include <cstdint>

enum GpuPass {
    GPU_PASS_GLOW,      // scene into the glow target and both blur steps
    GPU_PASS_SCENE,     // the block's picture on screen
    GPU_PASS_COMPOSITE, // the glow added on top
    GPU_PASS_OVERLAY,   // 2D overlay and the letterbox bars
    GPU_PASS_COUNT,
};

struct GpuFrameStats {
    uint64_t samples_passed = 0;
    double pass_ms[GPU_PASS_COUNT] = {}; // summed over the frame
    bool pass_seen[GPU_PASS_COUNT] = {};
};

void gpu_stats_enable(bool on);
// Starts the frame's fragment count. One timed pass runs at a time: a
// begin ends the pass still open.
void gpu_stats_frame_begin();
void gpu_pass_begin(GpuPass pass);
void gpu_pass_end();
// Ends the counts and reads them; call after glFinish.
GpuFrameStats gpu_stats_frame_end();
