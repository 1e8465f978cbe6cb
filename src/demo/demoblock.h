// A demo block owns a span of music time and draws one frame of its part of
// the show; the timeline runs every block whose span holds the current time.
#pragma once

#include "core/list.h"
#include "math/math3d.h"

struct Content;

class demoblock {
public:
    virtual ~demoblock() = default;
    virtual void run() {}
    virtual void draw_scene() {}
    virtual void draw_environment() {}

    int start = 0;      // first millisecond of the span (inclusive)
    int end = 0;        // end of the span (exclusive)
    int time = 0;       // the timeline's time at the last run
    float progress = 0; // (time - start) / (end - start)
    Content* content = nullptr;
    bool in_glow_pass = false; // set while demo_glow_pass draws the scene
};

// Heavy blocks carry the cube-map capture state.
class heavy_demoblock : public demoblock {
public:
    heavy_demoblock();
    Matrix capture_orientation;
    float capture_countdown = 0;
};

struct Timeline {
    List blocks;
    int current_time = 0;
};

void demoblock_set_span(demoblock* block, int start, int end);
void timeline_init(Timeline* timeline);
void timeline_add(Timeline* timeline, demoblock* block);
// Empties the timeline; the blocks stay with whoever made them.
void timeline_free(Timeline* timeline);
void timeline_draw(Timeline* timeline);
// Whether a block's span holds `time`.
bool timeline_playing(Timeline* timeline, int time);
// Start of the block before the one playing at `time` (0 before the first);
// start of the next block after `time`, no later than `end` (`end` after
// the last). The playback keys jump with these.
int timeline_previous_start(Timeline* timeline, int time);
int timeline_next_start(Timeline* timeline, int time, int end);
