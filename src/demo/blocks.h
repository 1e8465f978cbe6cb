// The nine blocks of the show, in the order they play, and the small
// computations they are driven by (kept as free functions so the exact float
// arithmetic can be checked on its own).
#pragma once

#include "demo/demoblock.h"

#include <cstdint>
#include <functional>

struct GlowSetup;
struct Scene;
struct SceneObject;
struct Camera;
struct Material;

// Loading bar, 0-100 ms.
class loading_block : public demoblock {
public:
    void run() override;
};

// First title screen.
class core_title_block : public demoblock {
public:
    void run() override;
    void draw_scene() override;
};

// Second title screen.
class blender_title_block : public demoblock {
public:
    void run() override;
    void draw_scene() override;
};

// Three fading copies of the circuits.
class circuits_block : public demoblock {
public:
    void run() override;
    void draw_scene() override;
};

// Robot one in the warehouse, with a reflection captured once.
class robot_wheee_block : public heavy_demoblock {
public:
    robot_wheee_block();
    void run() override;
    void draw_scene() override;
    void draw_environment() override;
};

// Robot two in the warehouse, seen through its own camera.
class robot_afropowa_block : public heavy_demoblock {
public:
    robot_afropowa_block();
    void run() override;
    void draw_scene() override;
    void draw_environment() override;
};

// The shaft of level pieces stretched by the spectrum.
class shaft_block : public heavy_demoblock {
public:
    void run() override;
    void draw_scene() override;
};

// Glowing credits.
class credits_block : public heavy_demoblock {
public:
    void run() override;
    void draw_scene() override;
};

// Ends the demo.
class end_block : public heavy_demoblock {
public:
    void run() override;
};

// Span of each block in music milliseconds, in play order.
struct BlockSpan {
    int start;
    int end;
};
// What each block shows, for people reading the benchmark ("block1" and so
// on stay the blocks' names there).
inline constexpr const char* demo_block_titles[9] = {
    "loading bar", "first title", "second title", "circuits", "robot one", "robot two", "shaft", "credits", "end",
};
inline constexpr BlockSpan demo_block_spans[9] = {
    {0, 100},       {100, 12000},   {12000, 24000},  {24000, 36000},   {36000, 60000},
    {60000, 71800}, {71800, 84000}, {84000, 100000}, {100000, 200000},
};

// The picture part of one frame of the show: clear, full viewport, the
// 800 x 600 2D view, every block whose span holds the timeline's time kept
// to the picture, then the letterbox bars over the rest.
void demo_frame_draw(Timeline* timeline);

// Creates the nine blocks with their spans and content pointer and appends
// them to the timeline in play order. The demo keeps them to the end.
void demo_blocks_create(Timeline* timeline, Content* content);
// Deletes every block on the timeline and empties it: for timelines that
// hold only blocks from demo_blocks_create.
void demo_blocks_free(Timeline* timeline);

// After a jump in time: the robot blocks capture their reflection again in
// their next frames (they capture once, on their second frame, otherwise).
void demo_blocks_rearm_captures(Timeline* timeline);
// The benchmark's name ("block1" to "block9") and title of the block
// playing at `time`; "none" and "no block" outside every span.
void demo_block_at(int64_t time, const char** name, const char** title);
// Where the show ends: the end block's start.
inline constexpr int demo_end_ms = 100000;

// Width in pixels of the loading bar at `time` ms (600 at 100 ms).
int loading_bar_width(int time);
// Alpha byte of the orange flash behind the honeycomb (core_title_block and blender_title_block).
int title_flash_alpha(float progress, float s0);
// Alpha bytes of the two title logos.
int core_title_logo_alpha(float progress, float s0);
int blender_title_logo_alpha(float progress, float s0);
// Extra glow of robot_wheee_block's build-up: 0 until progress 450/525, then up to 5.
float robot_wheee_boost(float progress);
// Glow strengths of the blocks, from the lowest spectrum band.
float glow_strength(int block_number, float s0);

// Scene draws the blocks have made since the start (tests, benchmark).
extern long demo_scene_draw_count;
// scene_draw without bones, counted.
void demo_scene_draw(Scene* scene);
// The same, leaving out the objects keep turns down.
void demo_scene_draw_filtered(Scene* scene, const std::function<bool(const SceneObject&)>& keep);
// The blocks' 3D projection: the frame's aspect (4:3), fovy 35, far 10000, near 0.1.
void demo_perspective();

// The glow of a block: its draw_scene through the content's glow targets
// and blur program (false without a content record), and the composite of
// the result over the frame.
GlowSetup demo_glow_setup(Content* content);
bool demo_glow_pass(demoblock* block, float strength);
void demo_glow_composite(demoblock* block);

// Look-ups that tolerate content without the name: the first miss of each
// kind and name is logged, every miss returns null and the caller skips
// that drawing.
Camera* demo_find_camera(Scene* scene, const char* name);
SceneObject* demo_find_object(Scene* scene, const char* name);
Material* demo_find_material(Scene* scene, const char* name);
// Misses logged so far (tests).
int demo_missing_name_count();
