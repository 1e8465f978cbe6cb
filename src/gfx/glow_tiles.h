// Where the glow is black. Over titles and credits most of the glow target
// stays black, and blurring or adding black changes nothing, so the glow
// pass reads what the scene left in its 256 x 256 target and marks which
// blocks each blur step and the composite must draw to give the same
// pixels as drawing everything.
#pragma once

#include "gfx/texture.h"

constexpr int glow_tiles_size = 256;   // the glow target's side in texels
constexpr int glow_blur_blocks = 16;   // blur steps: 16 x 16 blocks of 16 x 16 texels
constexpr int glow_composite_rows = 8; // composite: 8 x 16 tiles of 50 x 75 pixels
constexpr int glow_composite_columns = 16;

// Rows count from the top of the picture in every mask.
struct GlowTiles {
    bool horizontal[glow_blur_blocks][glow_blur_blocks] = {}; // blocks the first blur step can light
    bool vertical[glow_blur_blocks][glow_blur_blocks] = {};   // blocks the second step can light
    bool composite[glow_composite_rows][glow_composite_columns] = {};
    int composite_count = 0;
    bool valid = false;    // the masks describe the target the last glow pass drew
    int frames_unread = 0; // passes left that skip the read-back
    int unread_run = 0;    // how many the last mostly lit pass skipped
};

// Reads the bound glow target back, as the scene left it, and marks the
// masks for blur steps that reach `reach` texels (filtering included) from
// a texel brighter than `threshold` (luma, 0..1). Sampling wraps at the
// image's edges, as the targets repeat.
void glow_tiles_read(GlowTiles* tiles, int reach, float threshold);

// Draws the parts of t under the lit cells of a rows x columns mask, each
// cell in place over the w x h rectangle at the origin, with texture_draw's
// state and coordinates. `mask` holds rows x columns flags, row by row.
void glow_tiles_draw(const Texture& t, const bool* mask, int rows, int columns, int w, int h);
