// Screen passes: textured screen-aligned quads, the glow effect (scene into
// a small target, two blur passes, additive composite) and the capture of a
// reflection cube map.
#pragma once

#include "gfx/glow_tiles.h"
#include "gfx/texture.h"
#include "math/math3d.h"
#include "script/shader.h"

#include <functional>

// What a pass draws into its target; called once per target or face.
using PassDraw = std::function<void()>;

// The glow's two 2D render targets and the blur program with the locations
// of its "tex_blur" and "offset" uniforms.
struct GlowSetup {
    Texture target;   // the scene goes here, and so does the blurred result
    Texture target_2; // holds the picture between the two blur steps
    const ShaderProgram* blur_program = nullptr;
    int blur_texture_location = -1;
    int blur_offset_location = -1;
    // How far one blur step reaches, in texels per unit of strength; 0 when
    // unknown, and then everything is blurred and added.
    float blur_reach = 0;
    // Luma (0..1) at or below which the first blur step drops a texel.
    float blur_threshold = 0;
    GlowTiles* tiles = nullptr; // filled in by glow_pass when given, with a reach
    // The rows of the target, as parts of its height from the bottom, that
    // the composite shows on screen. With a reach, only those and what the
    // blur carries into them are drawn.
    float shown_from = 0;
    float shown_to = 1;
};

// Renders draw into glow.target and blurs it horizontally into target_2
// and vertically back, with the blur program's "offset" uniform
// (1, 0, strength) then (0, 1, strength). Returns the result of the last
// render_target_end (false without a blur program). With tiles and a
// reach, it reads the scene back into the tiles and blurs only where that
// can light anything, except for a while after a mostly lit pass; rows
// that cannot reach the shown part stay black.
bool glow_pass(const GlowSetup& glow, const PassDraw& draw, float strength);

// Adds glow_target over an 800 x 600 quad in the current projection, then
// restores the standard alpha blend function. Valid tiles from the glow_pass
// that drew the target limit it to the tiles that add anything.
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
