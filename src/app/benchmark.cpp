#include "app/benchmark.h"

#include "core/gl.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "gfx/texture.h"
#include "shell/window.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// Nearest rank: the smallest value with at least p of the samples at or below it.
double nearest_rank(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    rank = std::clamp<size_t>(rank, 1, sorted.size());
    return sorted[rank - 1];
}

std::string format(const char* fmt, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, fmt, args...);
    return text;
}

double ms_per_call(int runs, const std::function<void()>& body) {
    body(); // warm up shaders and caches
    glFinish();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) body();
    glFinish();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / runs;
}

} // namespace

ScreenPassTimes benchmark_screen_passes(demoblock* block) {
    ScreenPassTimes t;
    if (!block || !block->content) return t;
    const int runs = 40;
    const Texture glow = block->content->glow_target;
    auto full_view = [] {
        viewport_percent(0, 0, 100, 100);
        view_ortho(800, 600);
    };
    t.glow_pass_ms = ms_per_call(runs, [&] { demo_glow_pass(block, 2.5f); });
    t.glow_composite_ms = ms_per_call(runs, [&] {
        full_view();
        demo_glow_composite(block);
    });
    t.texture_draw_ms = ms_per_call(runs, [&] {
        full_view();
        texture_draw(glow, 0, 0, 800, 600, Color{255, 255, 255, 255});
    });
    t.measured = true;
    return t;
}

void benchmark_add_frame(BenchmarkReport* report, const char* block_name, const char* title, double ms) {
    auto found = std::find_if(report->blocks.begin(), report->blocks.end(),
                              [&](const BenchmarkBlock& b) { return b.name == block_name; });
    if (found == report->blocks.end()) found = report->blocks.insert(found, {block_name, title, {}});
    found->frame_ms.push_back(ms);
}

BenchmarkSummary benchmark_summarize(std::vector<double> frame_ms) {
    BenchmarkSummary s;
    s.frames = static_cast<long>(frame_ms.size());
    if (frame_ms.empty()) return s;
    std::sort(frame_ms.begin(), frame_ms.end());
    s.median_ms = nearest_rank(frame_ms, 0.5);
    s.p95_ms = nearest_rank(frame_ms, 0.95);
    s.max_ms = frame_ms.back();
    return s;
}

double benchmark_peak_rss_mb() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // Linux reports KiB
}

std::string benchmark_text(const BenchmarkReport& report) {
    long total = 0;
    for (const BenchmarkBlock& b : report.blocks) total += static_cast<long>(b.frame_ms.size());
    std::string out = format("benchmark %dx%d, %d fps, %d-%d ms, %ld frames\n", report.width, report.height, report.fps,
                             report.from_ms, report.to_ms, total);
    out += format("start-up to first frame  %.1f ms\n", report.load_ms);
    out += format("peak resident memory     %.1f MB\n", report.peak_rss_mb);
    out += "block     frames  median ms   p95 ms   max ms  shows\n";
    for (const BenchmarkBlock& b : report.blocks) {
        BenchmarkSummary s = benchmark_summarize(b.frame_ms);
        out += format("%-8s %7ld %10.2f %8.2f %8.2f  %s\n", b.name.c_str(), s.frames, s.median_ms, s.p95_ms, s.max_ms,
                      b.title.c_str());
    }
    const ScreenPassTimes& p = report.screen_passes;
    if (p.measured)
        out += format("screen passes: glow pass %.2f ms, glow composite %.2f ms, textured quad %.2f ms\n",
                      p.glow_pass_ms, p.glow_composite_ms, p.texture_draw_ms);
    return out;
}

std::string benchmark_json(const BenchmarkReport& report) {
    std::string out = format("{\"size\":\"%dx%d\",\"fps\":%d,\"load_ms\":%.2f,\"peak_rss_mb\":%.2f,\"blocks\":[",
                             report.width, report.height, report.fps, report.load_ms, report.peak_rss_mb);
    bool first = true;
    for (const BenchmarkBlock& b : report.blocks) {
        BenchmarkSummary s = benchmark_summarize(b.frame_ms);
        // Block names and titles are ours ("block1", "credits"), nothing to escape.
        out += format("%s{\"name\":\"%s\",\"title\":\"%s\",\"frames\":%ld,\"median_ms\":%.3f,\"p95_ms\":%.3f,"
                      "\"max_ms\":%.3f}",
                      first ? "" : ",", b.name.c_str(), b.title.c_str(), s.frames, s.median_ms, s.p95_ms, s.max_ms);
        first = false;
    }
    out += "]";
    const ScreenPassTimes& p = report.screen_passes;
    if (p.measured)
        out += format(",\"screen_pass_ms\":{\"glow_pass\":%.3f,\"glow_composite\":%.3f,\"texture_draw\":%.3f}",
                      p.glow_pass_ms, p.glow_composite_ms, p.texture_draw_ms);
    out += "}\n";
    return out;
}
