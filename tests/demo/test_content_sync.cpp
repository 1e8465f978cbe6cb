// The generated scenes keep time with the music (120 BPM: a beat every
// 500 ms, a bar every 2000 ms). Each scene is loaded with the real loader and
// animated with the real evaluation at every animation frame of its block,
// through the block's own frame formula; the accents found in the motion must
// land within one animation frame of a beat. Skipped when the content has not
// been built.
#include "core/log.h"
#include "core/paths.h"
#include "demo/blocks.h"
#include "scene/animation.h"
#include "scene/scene.h"
#include "scene/scene_file.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

const int kBeatMs = 500;
const int kBarMs = 2000;

// The blocks animate their scene to progress * frames + 2.
struct SyncBlock {
    BlockSpan span;
    float frames;

    float frame_at(double ms) const {
        return static_cast<float>((ms - span.start) / (span.end - span.start) * frames + 2.0);
    }
    int first_frame() const { return 2; }
    // Progress stays below 1, so the last whole frame is just under the end.
    int last_frame() const { return static_cast<int>(std::ceil(frames + 2.0f)) - 1; }
    // Frames of every multiple of step_ms inside the span.
    std::vector<float> grid(int step_ms) const {
        std::vector<float> out;
        for (int ms = (span.start + step_ms - 1) / step_ms * step_ms; ms <= span.end; ms += step_ms)
            out.push_back(frame_at(ms));
        return out;
    }
};

const SyncBlock kCircuits = {demo_block_spans[3], 748.0f};
const SyncBlock kWarehouse = {demo_block_spans[4], 525.0f};
const SyncBlock kRobotOne = {demo_block_spans[4], 650.0f};
const SyncBlock kRobotTwo = {demo_block_spans[5], 240.0f};

bool load_content(Scene* scene, const char* name) {
    std::string root = test_content_dir();
    if (root.empty() || !std::filesystem::exists(root + "/models/" + name)) return false;
    test_gl_context();
    path_set_data_root(root);
    log_reset_for_tests();
    if (vertex_profile_count == 0) {
        FILE* f = std::fopen((root + "/scripts/vertexprofiles.vsl").c_str(), "r");
        if (!f) return false;
        vertex_profile_load_stream(f, "vertexprofiles.vsl");
    }
    scene_init(scene);
    return scene_load(scene, name);
}

float distance(Vec3 a, Vec3 b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// One sample per whole animation frame of the block.
template <typename T> std::vector<T> sample(Scene* scene, const SyncBlock& block, const std::function<T()>& read) {
    std::vector<T> out;
    for (int f = block.first_frame(); f <= block.last_frame(); ++f) {
        scene_animate(scene, static_cast<float>(f));
        out.push_back(read());
    }
    return out;
}

// Animation frame of sample i.
float sample_frame(const SyncBlock& block, size_t i) {
    return static_cast<float>(block.first_frame() + static_cast<int>(i));
}

// Speed per frame as the path length through each sample (half the step
// before plus half the step after), so that a sharp reversal on a beat, a
// bounce, keeps its speed instead of cancelling out.
std::vector<float> speeds(const std::vector<Vec3>& p) {
    std::vector<float> v(p.size(), 0.0f);
    for (size_t i = 0; i < p.size(); ++i) {
        float before = i > 0 ? distance(p[i - 1], p[i]) : 0.0f,
              after = i + 1 < p.size() ? distance(p[i], p[i + 1]) : 0.0f;
        v[i] = (i > 0 && i + 1 < p.size()) ? (before + after) / 2 : before + after;
    }
    return v;
}

// Frames (block frame numbers) where a foot comes down and stops: it was
// falling into the frame, does not fall further, and stands at least
// `depth` below its highest point over the preceding `window` frames.
std::vector<float> landings(const std::vector<float>& h, const SyncBlock& block, int window, float depth) {
    std::vector<float> out;
    const float still = 1e-4f;
    for (size_t i = 1; i + 1 < h.size(); ++i) {
        if (!(h[i] < h[i - 1] - still && h[i + 1] >= h[i] - still)) continue;
        float top = h[i];
        for (size_t j = i > static_cast<size_t>(window) ? i - window : 0; j < i; ++j) top = std::max(top, h[j]);
        if (top - h[i] >= depth) out.push_back(sample_frame(block, i));
    }
    return out;
}

// Frames where a speed reaches a peak that stands out: above `floor`, and
// at least `share` of its value above the slowest speed within `window`
// frames on both sides.
std::vector<float> speed_peaks(const std::vector<float>& v, const SyncBlock& block, int window, float floor,
                               float share) {
    std::vector<float> out;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
        if (!(v[i] > v[i - 1] && v[i] >= v[i + 1]) || v[i] < floor) continue;
        float before = v[i], after = v[i];
        for (size_t j = i > static_cast<size_t>(window) ? i - window : 0; j < i; ++j) before = std::min(before, v[j]);
        for (size_t j = i + 1; j < std::min(v.size(), i + 1 + window); ++j) after = std::min(after, v[j]);
        if (v[i] - std::max(before, after) >= share * v[i]) out.push_back(sample_frame(block, i));
    }
    return out;
}

// Speed minima where a move ends and the next begins: below `share` of the
// fastest speed within `window` frames on either side.
std::vector<float> speed_lows(const std::vector<float>& v, const SyncBlock& block, int window, float share) {
    std::vector<float> out;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
        if (!(v[i] < v[i - 1] && v[i] <= v[i + 1])) continue;
        float top = 0;
        for (size_t j = i > static_cast<size_t>(window) ? i - window : 0; j < std::min(v.size(), i + 1 + window); ++j)
            top = std::max(top, v[j]);
        if (v[i] <= share * top) out.push_back(sample_frame(block, i));
    }
    return out;
}

float offset_from_grid(float frame, const std::vector<float>& grid) {
    float best = 1e9f;
    for (float g : grid) best = std::min(best, std::fabs(frame - g));
    return best;
}

// Every accent within one frame of the grid; returns the largest offset.
float expect_on_grid(const std::vector<float>& accents, const std::vector<float>& grid, const std::string& what) {
    float worst = 0;
    int off = 0;
    for (float a : accents) {
        float d = offset_from_grid(a, grid);
        worst = std::max(worst, d);
        if (d > 1.0f && off++ < 5) ADD_FAILURE() << what << ": accent at frame " << a << " is " << d << " frames off";
    }
    if (off > 5) ADD_FAILURE() << what << ": " << off << " accents off the grid in all";
    return worst;
}

struct Limb {
    const char* name;
    int bone;
    bool hand;
};

// The robots share a skeleton layout: feet are bones 15 and 19, hands 7 and 11.
const Limb kLimbs[] = {
    {"left foot", 15, false}, {"right foot", 19, false}, {"left hand", 7, true}, {"right hand", 11, true}};

Vec3 bone_point(const Armature* a, int bone, float along) {
    const Bone& b = a->bones[static_cast<size_t>(bone)];
    return matrix_transform_point(b.matrix, b.tail.x * along, b.tail.y * along, b.tail.z * along);
}

void expect_robot_on_beat(const char* file, const SyncBlock& block) {
    Scene scene;
    if (!load_content(&scene, file)) GTEST_SKIP() << "content not built";
    Armature* armature = scene_find_armature(&scene, "Armature");
    ASSERT_NE(armature, nullptr);
    ASSERT_GE(armature->bone_count, 20);
    std::vector<float> beats = block.grid(kBeatMs);
    float beat_frames = block.frame_at(block.span.start + kBeatMs) - block.frame_at(block.span.start);
    int beat = static_cast<int>(std::lround(beat_frames));
    float worst = 0;
    size_t total = 0;
    for (const Limb& limb : kLimbs) {
        std::vector<Vec3> path =
            sample<Vec3>(&scene, block, [&] { return bone_point(armature, limb.bone, limb.hand ? 1.0f : 0.0f); });
        std::vector<float> accents;
        if (limb.hand) {
            accents = speed_peaks(speeds(path), block, beat / 2, 0.02f, 0.35f);
        } else {
            std::vector<float> height;
            for (const Vec3& p : path) height.push_back(p.y);
            accents = landings(height, block, beat, 0.03f);
            // Feet never sink through the floor the robot stands on at rest.
            float rest = armature->bones[static_cast<size_t>(limb.bone)].head.y;
            EXPECT_GE(*std::min_element(height.begin(), height.end()), rest - 0.01f) << file << " " << limb.name;
        }
        total += accents.size();
        worst = std::max(worst, expect_on_grid(accents, beats, std::string(file) + " " + limb.name));
    }
    std::printf("%-22s %zu accents over %zu beats, largest offset %.2f frames\n", file, total, beats.size(), worst);
    // A dance: something lands or hits on most beats.
    EXPECT_GE(total, beats.size()) << file;
    scene_free(&scene);
}

} // namespace

TEST(ContentSync, RobotOneDancesOnTheBeat) { expect_robot_on_beat("robot_wheee.vscene", kRobotOne); }

TEST(ContentSync, RobotTwoDancesOnTheBeat) { expect_robot_on_beat("robot_afropowa.vscene", kRobotTwo); }

// The warehouse camera moves from bar line to bar line: it slows to a stop
// only on bar lines.
TEST(ContentSync, WarehouseCameraTurnsOnBarLines) {
    Scene scene;
    if (!load_content(&scene, "armazem.vscene")) GTEST_SKIP() << "content not built";
    SceneObject* camera = scene_find_object(&scene, "CAMXDD");
    ASSERT_NE(camera, nullptr);
    std::vector<Vec3> path = sample<Vec3>(&scene, kWarehouse, [&] { return camera->location; });
    std::vector<float> lows = speed_lows(speeds(path), kWarehouse, 20, 0.3f);
    // Sharp turns count as move boundaries too.
    for (size_t i = 1; i + 1 < path.size(); ++i) {
        Vec3 a = {path[i].x - path[i - 1].x, path[i].y - path[i - 1].y, path[i].z - path[i - 1].z};
        Vec3 b = {path[i + 1].x - path[i].x, path[i + 1].y - path[i].y, path[i + 1].z - path[i].z};
        float la = distance(a, {0, 0, 0}), lb = distance(b, {0, 0, 0});
        if (la < 1e-4f || lb < 1e-4f) continue;
        if ((a.x * b.x + a.y * b.y + a.z * b.z) / (la * lb) < std::cos(0.25f))
            lows.push_back(sample_frame(kWarehouse, i));
    }
    EXPECT_FALSE(lows.empty()) << "the camera never pauses between moves";
    float worst = expect_on_grid(lows, kWarehouse.grid(kBarMs), "CAMXDD");
    std::printf("CAMXDD: %zu move boundaries, largest offset from a bar line %.2f frames\n", lows.size(), worst);
    scene_free(&scene);
}

// Data pulses set off along the circuit traces on beats: each run begins
// where a packet jumps back to the start of its lane.
TEST(ContentSync, CircuitPulsesStartOnBeats) {
    Scene scene;
    if (!load_content(&scene, "circuits.vscene")) GTEST_SKIP() << "content not built";
    std::vector<float> beats = kCircuits.grid(kBeatMs);
    float worst = 0;
    size_t starts = 0;
    for (int k = 1; k <= 10; ++k) {
        std::string name = "Packet" + std::to_string(k);
        SceneObject* packet = scene_find_object(&scene, name.c_str());
        ASSERT_NE(packet, nullptr) << name;
        std::vector<Vec3> path = sample<Vec3>(&scene, kCircuits, [&] { return packet->location; });
        std::vector<float> jumps;
        for (size_t i = 1; i < path.size(); ++i)
            if (distance(path[i], path[i - 1]) > 2.0f) jumps.push_back(sample_frame(kCircuits, i));
        starts += jumps.size();
        worst = std::max(worst, expect_on_grid(jumps, beats, name));
    }
    EXPECT_GE(starts, 10u);
    std::printf("circuits: %zu pulse starts, largest offset from a beat %.2f frames\n", starts, worst);
    scene_free(&scene);
}
