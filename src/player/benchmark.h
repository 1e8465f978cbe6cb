// Frame-time statistics of the benchmark mode, per demo block.
#pragma once

#include "gfx/gpu_stats.h"

#include <cstdint>
#include <string>
#include <vector>

struct BenchmarkBlock {
    std::string name;                            // "block1" ... "block9"
    std::string title;                           // what the block shows, for people
    std::vector<double> frame_ms;                // CPU wall time of each frame, glFinish included
    std::vector<double> overdraw;                // fragments passed per frame / (width x height)
    std::vector<double> pass_ms[GPU_PASS_COUNT]; // GPU time per pass, frames that ran it
};

struct BenchmarkSummary {
    long frames = 0;
    double median_ms = 0;
    double p95_ms = 0;
    double max_ms = 0;
};

// The glow's parts timed on their own after the frames, on the real content.
struct ScreenPassTimes {
    bool measured = false;
    double glow_pass_ms = 0;      // the block's scene into the target and two 256 x 256 blurs
    double glow_composite_ms = 0; // the additive quad over the view
    double texture_draw_ms = 0;   // a plain textured quad over the view
};

struct BenchmarkReport {
    int width = 800;
    int height = 600;
    int fps = 60;
    int from_ms = 0;
    int to_ms = 0;
    double load_ms = 0; // start-up to the end of the first frame
    double peak_rss_mb = 0;
    // The machine's yardstick: one full-screen textured quad, before and after the run.
    double floor_ms_before = 0;
    double floor_ms_after = 0;
    double floor_ms = 0;                // median of both sets
    std::vector<BenchmarkBlock> blocks; // in play order, only blocks that rendered
    ScreenPassTimes screen_passes;
};

class demoblock;
// Times the screen passes with the block's glow (mean of 40 runs each,
// glFinish included).
ScreenPassTimes benchmark_screen_passes(demoblock* block);

// Adds one frame to the named block (appended, with its title, when new).
void benchmark_add_frame(BenchmarkReport* report, const char* block_name, const char* title, double ms);

// Adds the GPU counters of the frame just added to the named block.
void benchmark_add_gpu(BenchmarkReport* report, const char* block_name, const GpuFrameStats& stats);

// Times `count` full-screen quads textured from a 512 x 512 RGBA texture
// (linear filtering, no blending) at the current viewport, each ended by
// glFinish; returns every time in ms. Leaves matrices and state as found.
std::vector<double> benchmark_floor_samples(int count);

// Median and 95th percentile by nearest rank of the sorted times.
BenchmarkSummary benchmark_summarize(std::vector<double> frame_ms);

// Peak resident memory of this process in MiB.
double benchmark_peak_rss_mb();

// A table for people, and one JSON object (one line) for scripts.
std::string benchmark_text(const BenchmarkReport& report);
std::string benchmark_json(const BenchmarkReport& report);
