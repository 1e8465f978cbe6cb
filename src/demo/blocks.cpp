#include "demo/blocks.h"

#include "core/gl.h"
#include "core/log.h"
#include "demo/content.h"
#include "gfx/gpu_stats.h"
#include "gfx/primitives.h"
#include "gfx/screen_pass.h"
#include "scene/scene.h"
#include "shell/window.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>

long demo_scene_draw_count = 0;

namespace {

std::set<std::string>& missing_names() {
    static std::set<std::string> names;
    return names;
}

void report_missing(const Scene* scene, const char* kind, const char* name) {
    const std::string key = std::to_string(reinterpret_cast<uintptr_t>(scene)) + ":" + kind + ":" + name;
    if (!missing_names().insert(key).second) return;
    log_write_at(LOG_ERROR, "Demo [%s \"%s\"] not found in the scene, its drawing is skipped !", kind, name);
}

// Truncates toward zero and keeps the low 8 bits, as a byte store of a
// wide integer would; out-of-range and NaN inputs give 0 instead of
// undefined behaviour.
int low_byte(double value) {
    if (!std::isfinite(value)) return 0;
    double t = std::fmod(std::trunc(value), 256.0);
    if (t < 0) t += 256.0;
    return static_cast<int>(t);
}

} // namespace

void demo_frame_draw(Timeline* timeline) {
    gl_clear();
    viewport_percent(0, 0, 100, 100);
    view_ortho(static_cast<float>(FRAME_WIDTH), static_cast<float>(FRAME_HEIGHT));
    frame_scissor_begin();
    timeline_draw(timeline);
    frame_scissor_end();
    glDisable(GL_DEPTH_TEST);
    gpu_pass_begin(GPU_PASS_OVERLAY);
    // Near black, not pure black: the bars show against a black clear.
    const Color bars{1, 1, 1, 255};
    draw_rect(0, 0, FRAME_WIDTH, FRAME_PICTURE_TOP, bars);
    const int below = FRAME_PICTURE_TOP + FRAME_PICTURE_HEIGHT;
    draw_rect(0, below, FRAME_WIDTH, FRAME_HEIGHT - below, bars);
}

void demo_blocks_create(Timeline* timeline, Content* content) {
    demoblock* blocks[9] = {new loading_block,  new core_title_block,  new blender_title_block,
                            new circuits_block, new robot_wheee_block, new robot_afropowa_block,
                            new shaft_block,    new credits_block,     new end_block};
    for (int i = 0; i < 9; ++i) {
        demoblock_set_span(blocks[i], demo_block_spans[i].start, demo_block_spans[i].end);
        blocks[i]->content = content;
        timeline_add(timeline, blocks[i]);
    }
}

void demo_blocks_free(Timeline* timeline) {
    ListNode* cursor = nullptr;
    while (list_next(&timeline->blocks, &cursor)) delete static_cast<demoblock*>(cursor->data);
    timeline_free(timeline);
}

void demo_blocks_rearm_captures(Timeline* timeline) {
    ListNode* cursor = nullptr;
    while (list_next(&timeline->blocks, &cursor)) {
        auto* block = static_cast<demoblock*>(cursor->data);
        // The constructors' value: one run to set the camera, then the capture.
        if (dynamic_cast<robot_wheee_block*>(block) || dynamic_cast<robot_afropowa_block*>(block))
            static_cast<heavy_demoblock*>(block)->capture_countdown = 0.9f;
    }
}

void demo_block_at(int64_t time, const char** name, const char** title) {
    static const char* const names[] = {"block1", "block2", "block3", "block4", "block5",
                                        "block6", "block7", "block8", "block9"};
    *name = "none";
    *title = "no block";
    for (int i = 0; i < 9; ++i) {
        if (time >= demo_block_spans[i].start && time < demo_block_spans[i].end) {
            *name = names[i];
            *title = demo_block_titles[i];
        }
    }
}

int loading_bar_width(int time) {
    const double w = time / 100.0 * 600.0;
    if (!(w > -2147483648.0 && w < 2147483648.0)) return 0;
    return static_cast<int>(w);
}

int title_flash_alpha(float progress, float s0) {
    const float a = std::sin(progress * 150.0f);
    const float w = static_cast<float>(a * 0.02 + (s0 * 1.4 + 0.6) * 0.98);
    const float b = std::sin(progress * math_pi);
    const float v = b * w;
    const float f = static_cast<float>(std::fabs(static_cast<double>(v) * v * v) * 220.0);
    return low_byte(f * 0.9);
}

int core_title_logo_alpha(float progress, float s0) {
    const double q = std::sin((s0 * 0.2 + 0.8) * progress * math_pi);
    return low_byte(q * q * 255.0);
}

int blender_title_logo_alpha(float progress, float s0) {
    const float b = std::sin(progress * math_pi);
    const double q = b * (s0 * 0.2 + 0.8);
    return low_byte(q * q * 255.0);
}

float robot_wheee_boost(float progress) {
    const float a = progress * 525.0f;
    return a > 450.0f ? (a - 450.0f) * 5.0f / 75.0f : 0.0f;
}

float glow_strength(int block_number, float s0) {
    switch (block_number) {
    case 2: return static_cast<float>(s0 * 0.2 + 2.0);
    case 3: return static_cast<float>(s0 + 1.3);
    case 4: return static_cast<float>(s0 * 0.5 + 1.0);
    case 5:
    case 6: return s0 + 1.0f;
    case 7: return s0 + 1.5f;
    case 8: return s0 * 4.0f + 1.0f;
    default: return 0.0f;
    }
}

Camera* demo_find_camera(Scene* scene, const char* name) {
    Camera* camera = scene_find_camera(scene, name);
    if (!camera) report_missing(scene, "camera", name);
    return camera;
}

SceneObject* demo_find_object(Scene* scene, const char* name) {
    SceneObject* object = scene_find_object(scene, name);
    if (!object) report_missing(scene, "object", name);
    return object;
}

Material* demo_find_material(Scene* scene, const char* name) {
    Material* material = scene_find_material(scene, name);
    if (!material) report_missing(scene, "material", name);
    return material;
}

GlowSetup demo_glow_setup(Content* content) {
    GlowSetup glow;
    glow.target = content->glow_target;
    glow.target_2 = content->glow_target_2;
    glow.blur_program = &content->blur_program;
    glow.blur_texture_location = content->blur_texture_location;
    glow.blur_offset_location = content->blur_offset_location;
    glow.blur_reach = content->blur_reach;
    glow.blur_threshold = content->blur_threshold;
    glow.tiles = &content->glow_tiles;
    // The bars hide the rest of the glow, as they hide the rest of the frame.
    glow.shown_from = static_cast<float>(FRAME_HEIGHT - FRAME_PICTURE_TOP - FRAME_PICTURE_HEIGHT) / FRAME_HEIGHT;
    glow.shown_to = static_cast<float>(FRAME_HEIGHT - FRAME_PICTURE_TOP) / FRAME_HEIGHT;
    return glow;
}

bool demo_glow_pass(demoblock* block, float strength) {
    if (!block || !block->content) return false;
    // A block's first pass looks afresh, however lit the last block's was.
    Content* content = block->content;
    if (content->glow_tiles_block != block) {
        content->glow_tiles_block = block;
        content->glow_tiles.frames_unread = 0;
        content->glow_tiles.unread_run = 0;
    }
    gpu_pass_begin(GPU_PASS_GLOW);
    bool ok = glow_pass(
        demo_glow_setup(block->content),
        [block] {
            block->in_glow_pass = true;
            block->draw_scene();
            block->in_glow_pass = false;
        },
        strength);
    // Whatever the block draws until its composite is its on-screen picture.
    gpu_pass_begin(GPU_PASS_SCENE);
    return ok;
}

void demo_glow_composite(demoblock* block) {
    if (!block || !block->content) return;
    gpu_pass_begin(GPU_PASS_COMPOSITE);
    glow_composite(block->content->glow_target, &block->content->glow_tiles);
    gpu_pass_end();
}

int demo_missing_name_count() { return static_cast<int>(missing_names().size()); }
