#include "gfx/gpu_stats.h"

#include "core/gl.h"

#include <vector>

namespace {

struct TimedPass {
    GpuPass pass;
    GLuint query;
};

struct GpuStats {
    bool on = false;
    bool frame_open = false;
    GLuint samples_query = 0;
    std::vector<GLuint> free_queries;
    std::vector<TimedPass> frame_passes;
    bool pass_open = false;
};

GpuStats stats;

GLuint take_query() {
    if (stats.free_queries.empty()) {
        GLuint q = 0;
        glGenQueries(1, &q);
        return q;
    }
    GLuint q = stats.free_queries.back();
    stats.free_queries.pop_back();
    return q;
}

} // namespace

void gpu_stats_enable(bool on) { stats.on = on; }

void gpu_stats_frame_begin() {
    if (!stats.on || stats.frame_open) return;
    if (stats.samples_query == 0) glGenQueries(1, &stats.samples_query);
    glBeginQuery(GL_SAMPLES_PASSED, stats.samples_query);
    stats.frame_open = true;
}

void gpu_pass_begin(GpuPass pass) {
    if (!stats.on || !stats.frame_open) return;
    gpu_pass_end();
    GLuint q = take_query();
    glBeginQuery(GL_TIME_ELAPSED, q);
    stats.frame_passes.push_back({pass, q});
    stats.pass_open = true;
}

void gpu_pass_end() {
    if (!stats.pass_open) return;
    glEndQuery(GL_TIME_ELAPSED);
    stats.pass_open = false;
}

GpuFrameStats gpu_stats_frame_end() {
    GpuFrameStats out;
    if (!stats.on || !stats.frame_open) return out;
    gpu_pass_end();
    glEndQuery(GL_SAMPLES_PASSED);
    stats.frame_open = false;
    GLuint64 samples = 0;
    glGetQueryObjectui64v(stats.samples_query, GL_QUERY_RESULT, &samples);
    out.samples_passed = samples;
    for (const TimedPass& p : stats.frame_passes) {
        GLuint64 ns = 0;
        glGetQueryObjectui64v(p.query, GL_QUERY_RESULT, &ns);
        out.pass_ms[p.pass] += static_cast<double>(ns) / 1e6;
        out.pass_seen[p.pass] = true;
        stats.free_queries.push_back(p.query);
    }
    stats.frame_passes.clear();
    return out;
}
