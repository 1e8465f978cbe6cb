// Screen passes: textured screen-aligned quads, the glow effect (scene into
// a small target, two blur passes, additive composite) and the capture of a
// reflection cube map.
#pragma once

#include "gfx/texture.h"
#include "math/math3d.h"
#include "script/shader.h"

#include <functional>

// What a pass draws into its target; called once per target or face.
using PassDraw = std::function<void()>;

// Where the glow adds anything to the screen, in tiles of the 800 x 600
// composite (50 x 75, a 16 x 32 texel block of a 256 x 256 target), as the
// last glow_pass read it back. Over titles and credits most of the glow is
// black, and adding black changes nothing.
constexpr int glow_tile_columns = 16;
constexpr int glow_tile_rows = 8;

struct GlowTiles {
    bool lit[glow_tile_rows][glow_tile_columns] = {}; // row 0 at the top of the screen
    int lit_count = 0;
    bool valid = false;    // lit describes the target as the last glow_pass left it
    int frames_unread = 0; // passes left that skip the read-back
};

// The glow's two 2D render targets and the blur program with the locations
// of its "tex_blur" and "offset" uniforms.
struct GlowSetup {
    Texture target;   // the scene goes here, and so does the blurred result
    Texture target_2; // holds the picture between the two blur steps
    const ShaderProgram* blur_program = nullptr;
    int blur_texture_location = -1;
    int blur_offset_location = -1;
    GlowTiles* tiles = nullptr; // filled in by glow_pass when given
};

// Renders draw into glow.target and blurs it horizontally into target_2
// and vertically back, with the blur program's "offset" uniform
// (1, 0, strength) then (0, 1, strength). Returns the result of the last
// render_target_end (false without a blur program). With glow.tiles, it
// also reads the result back into them, except for a while after a mostly
// lit one.
bool glow_pass(const GlowSetup& glow, const PassDraw& draw, float strength);

// Adds glow_target over an 800 x 600 quad in the current projection, then
// restores the standard alpha blend function. Valid tiles from the glow_pass
// that drew the target limit the quad to its lit tiles, with the same
// pixels.
void glow_composite(const Texture& glow_target, const GlowTiles* tiles = nullptr);

// Argument record of the cube capture, passed by value.
struct CubeCapture {
    Texture target;     // a cube-map render target
    PassDraw draw;      // draws the surroundings; may be empty
    Matrix orientation; // multiplied in after the face rotation, offset column zeroed
    float x, y, z;      // capture position
};

// Draws the surroundings into the six faces of the cube target as seen
// from the capture position. Returns the last render_target_end.
bool cube_capture_pass(CubeCapture capture);
