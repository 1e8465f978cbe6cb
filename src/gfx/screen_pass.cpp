#include "gfx/screen_pass.h"

#include "core/gl.h"
#include "gfx/render_target.h"
#include "shell/window.h"

#include <algorithm>
#include <cmath>

namespace {

const Color white = {255, 255, 255, 255};

// One blur step: draws `source` into `destination` through the blur program
// with the given offset vector, only over the given blocks when there are
// any.
void blur_step(const GlowSetup& glow, const Texture& source, const Texture& destination, float dx, float dy,
               float strength, const bool* blocks) {
    if (!render_target_begin(destination, 0)) return;
    view_ortho_viewport();
    shader_bind(glow.blur_program);
    glUniform1iARB(glow.blur_texture_location, 0);
    const GLfloat offset[3] = {dx, dy, strength};
    glUniform3fvARB(glow.blur_offset_location, 1, offset);
    if (blocks)
        glow_tiles_draw(source, blocks, glow_blur_blocks, glow_blur_blocks, destination.width, destination.height);
    else texture_draw(source, 0, 0, destination.width, destination.height, white);
    shader_unbind(glow.blur_program);
}

void face_rotation(int face) {
    switch (face) {
    case 0:
        glRotatef(90, 0, 1, 0);
        glRotatef(180, 1, 0, 0);
        break;
    case 1:
        glRotatef(-90, 0, 1, 0);
        glRotatef(180, 1, 0, 0);
        break;
    case 2: glRotatef(-90, 1, 0, 0); break;
    case 3: glRotatef(90, 1, 0, 0); break;
    case 4: glRotatef(180, 1, 0, 0); break;
    case 5: glRotatef(180, 0, 0, 1); break;
    default: break;
    }
}

// Reading the glow back waits for the scene to be drawn into it. Where
// little of it is lit, that costs less than the blur and the composite
// save; where most is, more. So after a pass with over half its composite
// tiles lit, the next ones skip the read-back and draw everything: 15 at
// first, twice as many after each further lit look, up to 240, which keeps
// the read-backs out of a lit block's slowest frames.
constexpr int unread_first = 15;
constexpr int unread_most = 240;

// Called with the target bound, as the scene left it.
void glow_tiles_update(const GlowSetup& glow, float strength) {
    GlowTiles* tiles = glow.tiles;
    const Texture& t = glow.target;
    if (t.kind != RENDER_TARGET_FBO || t.target != GL_TEXTURE_2D || t.width != glow_tiles_size ||
        t.height != glow_tiles_size)
        return;
    // A scene that left another framebuffer bound is not read. Skipped
    // blocks keep the clear colour, which matches the blur only when black.
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    GLfloat clear[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    if (static_cast<unsigned>(bound) != t.framebuffer || clear[0] != 0 || clear[1] != 0 || clear[2] != 0) return;
    if (tiles->frames_unread > 0) {
        --tiles->frames_unread;
        return;
    }
    // One texel more for filtering; a NaN strength reaches everywhere.
    const float reach = std::ceil(glow.blur_reach * std::max(strength, 0.0f)) + 1;
    glow_tiles_read(tiles, reach < glow_tiles_size ? static_cast<int>(reach) : glow_tiles_size, glow.blur_threshold);
    if (tiles->composite_count * 2 > glow_composite_rows * glow_composite_columns) {
        tiles->unread_run = tiles->unread_run ? std::min(tiles->unread_run * 2, unread_most) : unread_first;
        tiles->frames_unread = tiles->unread_run;
    } else {
        tiles->unread_run = 0;
    }
}

} // namespace

bool glow_pass(const GlowSetup& glow, const PassDraw& draw, float strength) {
    if (!glow.blur_program) return false;
    if (glow.tiles) glow.tiles->valid = false;
    GlowTiles* tiles = glow.blur_reach > 0 ? glow.tiles : nullptr;

    if (render_target_begin(glow.target, 0)) {
        if (draw) draw();
        if (tiles) glow_tiles_update(glow, strength);
    }
    render_target_end(glow.target);
    const GlowTiles* masks = tiles && tiles->valid ? tiles : nullptr;

    blur_step(glow, glow.target, glow.target_2, 1, 0, strength, masks ? &masks->horizontal[0][0] : nullptr);
    render_target_end(glow.target_2);

    blur_step(glow, glow.target_2, glow.target, 0, 1, strength, masks ? &masks->vertical[0][0] : nullptr);
    return render_target_end(glow.target);
}

void glow_composite(const Texture& glow_target, const GlowTiles* tiles) {
    glBlendFunc(GL_ONE, GL_ONE);
    if (tiles && tiles->valid)
        glow_tiles_draw(glow_target, &tiles->composite[0][0], glow_composite_rows, glow_composite_columns, 800, 600);
    else texture_draw(glow_target, 0, 0, 800, 600, white);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

bool cube_capture_pass(CubeCapture capture) {
    bool result = true;
    capture.orientation.m[12] = 0;
    capture.orientation.m[13] = 0;
    capture.orientation.m[14] = 0;
    for (int face = 0; face < 6; ++face) {
        if (render_target_begin(capture.target, face)) {
            glViewport(0, 0, capture.target.width, capture.target.height);
            gl_clear();
            view_perspective_viewport(90, 10000, 0.1f);
            glLoadIdentity();
            face_rotation(face);
            matrix_apply(capture.orientation);
            glPushMatrix();
            glTranslatef(-capture.x, -capture.y, -capture.z);
            if (capture.draw) capture.draw();
            glPopMatrix();
        }
        result = render_target_end(capture.target);
    }
    return result;
}
