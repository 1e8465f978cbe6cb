#include "gfx/screen_pass.h"

#include "core/gl.h"
#include "gfx/render_target.h"
#include "shell/window.h"

#include <algorithm>
#include <cmath>

namespace {

const Color white = {255, 255, 255, 255};

// Rows of a target, inclusive, from the bottom; empty means all of them.
struct RowBand {
    int first = 0;
    int last = -1;
};

// The rows that show on screen, filtering included, widened by `reach` for
// the blur; all rows when the band would wrap round an edge.
RowBand shown_rows(const GlowSetup& glow, int height, int reach) {
    if (glow.shown_from <= 0 && glow.shown_to >= 1) return {};
    const int first = static_cast<int>(std::floor(glow.shown_from * height - 0.5f)) - 1 - reach;
    const int last = static_cast<int>(std::floor(glow.shown_to * height - 0.5f)) + 2 + reach;
    if (!(first > 0 && last < height - 1 && first <= last)) return {};
    return {first, last};
}

// Keeps drawing inside a band while it lives, and then the scissor as it was.
struct BandScissor {
    explicit BandScissor(RowBand band, int width) : on(band.first <= band.last) {
        if (!on) return;
        glPushAttrib(GL_SCISSOR_BIT);
        glScissor(0, band.first, width, band.last - band.first + 1);
        glEnable(GL_SCISSOR_TEST);
    }
    ~BandScissor() {
        if (on) glPopAttrib();
    }
    BandScissor(const BandScissor&) = delete;
    BandScissor& operator=(const BandScissor&) = delete;
    bool on;
};

// One blur step: draws `source` into `destination` through the blur program
// with the given offset vector, only over the given blocks when there are
// any.
void blur_step(const GlowSetup& glow, const Texture& source, const Texture& destination, float dx, float dy,
               float strength, const bool* blocks, RowBand band) {
    if (!render_target_begin(destination, 0)) return;
    BandScissor scissor(band, destination.width);
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

// How far the blur carries light at this strength, in texels, one more for
// filtering; `limit` when further (a NaN strength reaches everywhere).
int blur_reach_texels(const GlowSetup& glow, float strength, int limit) {
    const float reach = std::ceil(glow.blur_reach * std::max(strength, 0.0f)) + 1;
    return reach < limit ? static_cast<int>(reach) : limit;
}

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
    glow_tiles_read(tiles, blur_reach_texels(glow, strength, glow_tiles_size), glow.blur_threshold);
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

    // The vertical step carries rows up to its reach (one more for
    // filtering) into the shown ones; the horizontal step keeps rows apart.
    // Without a reach, or with one that spans the target, all rows count.
    RowBand shown;
    RowBand reached;
    const int reach = blur_reach_texels(glow, strength, glow.target.height);
    if (glow.blur_reach > 0 && reach < glow.target.height) {
        shown = shown_rows(glow, glow.target.height, 0);
        reached = shown_rows(glow, glow.target.height, reach);
    }

    if (render_target_begin(glow.target, 0)) {
        {
            BandScissor scissor(reached, glow.target.width);
            if (draw) draw();
        }
        if (tiles) glow_tiles_update(glow, strength);
    }
    render_target_end(glow.target);
    const GlowTiles* masks = tiles && tiles->valid ? tiles : nullptr;

    blur_step(glow, glow.target, glow.target_2, 1, 0, strength, masks ? &masks->horizontal[0][0] : nullptr, reached);
    render_target_end(glow.target_2);

    blur_step(glow, glow.target_2, glow.target, 0, 1, strength, masks ? &masks->vertical[0][0] : nullptr, shown);
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
