// Screen passes: textured screen-aligned quads, the glow effect (scene into
// a small target, two blur passes, additive composite) and the capture of a
// reflection cube map.
#pragma once

#include "gfx/texture.h"
#include "math/math3d.h"

class demoblock;

// Draws t as a quad over x..x+w, y..y+h in the current projection,
// modulated by colour. Loaded images and render targets both appear
// upright under the 2D view (origin top left).
void texture_draw(Texture t, int x, int y, int w, int h, Color colour);

// Renders the block's draw_scene into content->glow_target and blurs it
// horizontally into glow_target_2 and vertically back, with the blur
// program's "offset" uniform (1, 0, strength) then (0, 1, strength).
// Returns the result of the last render_target_end (false only without a
// content record).
bool glow_pass(demoblock* block, float strength);

// Adds content->glow_target over an 800 x 600 quad in the current
// projection, then restores the standard alpha blend function.
void glow_composite(demoblock* block);

// Argument record of the cube capture, passed by value.
struct CubeCapture {
    Texture target;          // a cube-map render target
    demoblock* block;        // draws the surroundings with draw_environment
    Matrix orientation;      // multiplied in after the face rotation, offset column zeroed
    float x, y, z;           // capture position
};

// Draws the block's environment into the six faces of the cube target as
// seen from the capture position. Returns the last render_target_end.
bool cube_capture_pass(CubeCapture capture);
