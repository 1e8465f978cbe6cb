// Frame-time statistics of the benchmark mode, per demo block.
#pragma once

#include <string>
#include <vector>

struct BenchmarkBlock {
    std::string name;             // "block1" ... "block9"
    std::string title;            // what the block shows, for people
    std::vector<double> frame_ms; // CPU wall time of each frame, glFinish included
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
    std::vector<BenchmarkBlock> blocks; // in play order, only blocks that rendered
    ScreenPassTimes screen_passes;
};

class demoblock;
// Times the screen passes with the block's glow (mean of 40 runs each,
// glFinish included).
ScreenPassTimes benchmark_screen_passes(demoblock* block);

// Adds one frame to the named block (appended, with its title, when new).
void benchmark_add_frame(BenchmarkReport* report, const char* block_name, const char* title, double ms);

// Median and 95th percentile by nearest rank of the sorted times.
BenchmarkSummary benchmark_summarize(std::vector<double> frame_ms);

// Peak resident memory of this process in MiB.
double benchmark_peak_rss_mb();

// A table for people, and one JSON object (one line) for scripts.
std::string benchmark_text(const BenchmarkReport& report);
std::string benchmark_json(const BenchmarkReport& report);
