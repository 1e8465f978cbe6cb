#include "player/benchmark.h"

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

const char* const pass_names[GPU_PASS_COUNT] = {"glow", "scene", "composite", "overlay"};

double median_of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return nearest_rank(v, 0.5);
}

BenchmarkBlock* find_block(BenchmarkReport* report, const char* block_name) {
    for (BenchmarkBlock& b : report->blocks)
        if (b.name == block_name) return &b;
    return nullptr;
}

double fills(double ms, double floor_ms) { return floor_ms > 0 ? ms / floor_ms : 0; }

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
    if (found == report->blocks.end()) {
        BenchmarkBlock block;
        block.name = block_name;
        block.title = title;
        found = report->blocks.insert(found, std::move(block));
    }
    found->frame_ms.push_back(ms);
}

void benchmark_add_gpu(BenchmarkReport* report, const char* block_name, const GpuFrameStats& stats) {
    BenchmarkBlock* b = find_block(report, block_name);
    if (!b) return;
    double pixels = static_cast<double>(report->width) * static_cast<double>(report->height);
    b->overdraw.push_back(pixels > 0 ? static_cast<double>(stats.samples_passed) / pixels : 0);
    for (int p = 0; p < GPU_PASS_COUNT; ++p)
        if (stats.pass_seen[p]) b->pass_ms[p].push_back(stats.pass_ms[p]);
}

std::vector<double> benchmark_floor_samples(int count) {
    // A fixed pattern, so every run samples the same texels.
    constexpr int size = 512;
    std::vector<uint8_t> texels(static_cast<size_t>(size) * size * 4);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glFinish();

    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        auto start = std::chrono::steady_clock::now();
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(1, 0);
        glVertex2f(1, -1);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glTexCoord2f(0, 1);
        glVertex2f(-1, 1);
        glEnd();
        glFinish();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopAttrib();
    glDeleteTextures(1, &texture);
    return ms;
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
    out += format("floor (one textured quad) %.2f ms (before %.2f, after %.2f)\n", report.floor_ms,
                  report.floor_ms_before, report.floor_ms_after);
    out +=
        "block     frames  median ms   p95 ms   max ms  p95 fills  overdraw  gpu glow/scene/comp/overlay ms  shows\n";
    for (const BenchmarkBlock& b : report.blocks) {
        BenchmarkSummary s = benchmark_summarize(b.frame_ms);
        out +=
            format("%-8s %7ld %10.2f %8.2f %8.2f %10.2f %9.2f  %6.2f %6.2f %6.2f %6.2f  %s\n", b.name.c_str(), s.frames,
                   s.median_ms, s.p95_ms, s.max_ms, fills(s.p95_ms, report.floor_ms), median_of(b.overdraw),
                   median_of(b.pass_ms[GPU_PASS_GLOW]), median_of(b.pass_ms[GPU_PASS_SCENE]),
                   median_of(b.pass_ms[GPU_PASS_COMPOSITE]), median_of(b.pass_ms[GPU_PASS_OVERLAY]), b.title.c_str());
    }
    const ScreenPassTimes& p = report.screen_passes;
    if (p.measured)
        out += format("screen passes: glow pass %.2f ms, glow composite %.2f ms, textured quad %.2f ms\n",
                      p.glow_pass_ms, p.glow_composite_ms, p.texture_draw_ms);
    return out;
}

std::string benchmark_json(const BenchmarkReport& report) {
    std::string out = format("{\"size\":\"%dx%d\",\"fps\":%d,\"load_ms\":%.2f,\"peak_rss_mb\":%.2f,"
                             "\"floor_ms\":%.3f,\"floor_ms_before\":%.3f,\"floor_ms_after\":%.3f,\"blocks\":[",
                             report.width, report.height, report.fps, report.load_ms, report.peak_rss_mb,
                             report.floor_ms, report.floor_ms_before, report.floor_ms_after);
    bool first = true;
    for (const BenchmarkBlock& b : report.blocks) {
        BenchmarkSummary s = benchmark_summarize(b.frame_ms);
        // Block names and titles are ours ("block1", "credits"), nothing to escape.
        out += format("%s{\"name\":\"%s\",\"title\":\"%s\",\"frames\":%ld,\"median_ms\":%.3f,\"p95_ms\":%.3f,"
                      "\"max_ms\":%.3f,\"p95_fills\":%.3f,\"overdraw\":%.3f,\"gpu_ms\":{",
                      first ? "" : ",", b.name.c_str(), b.title.c_str(), s.frames, s.median_ms, s.p95_ms, s.max_ms,
                      fills(s.p95_ms, report.floor_ms), median_of(b.overdraw));
        // Median GPU time of each pass over the frames that ran it.
        bool first_pass = true;
        for (int p = 0; p < GPU_PASS_COUNT; ++p) {
            if (b.pass_ms[p].empty()) continue;
            out += format("%s\"%s\":%.3f", first_pass ? "" : ",", pass_names[p], median_of(b.pass_ms[p]));
            first_pass = false;
        }
        out += "}}";
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
