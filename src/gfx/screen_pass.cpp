#include "gfx/screen_pass.h"

#include "core/gl.h"
#include "gfx/render_target.h"
#include "shell/window.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const Color white = {255, 255, 255, 255};

// One blur step: draws `source` into `destination` through the blur program
// with the given offset vector. False when the destination could not be
// bound.
bool blur_step(const GlowSetup& glow, const Texture& source, const Texture& destination, float dx, float dy,
               float strength) {
    if (!render_target_begin(destination, 0)) return false;
    view_ortho_viewport();
    shader_bind(glow.blur_program);
    glUniform1iARB(glow.blur_texture_location, 0);
    const GLfloat offset[3] = {dx, dy, strength};
    glUniform3fvARB(glow.blur_offset_location, 1, offset);
    texture_draw(source, 0, 0, destination.width, destination.height, white);
    shader_unbind(glow.blur_program);
    return true;
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

// Reading the glow back waits for it to be drawn. Where little of it is
// lit, that costs less than the composite saves; where most is, more. So
// after a pass with over half its tiles lit, the next ones skip the
// read-back and draw the whole composite.
constexpr int unread_after_lit = 15;

// Marks the composite tiles that sample a lit texel of the bound 256 x 256
// target. Bilinear filtering reaches one texel past a tile, and repeat
// wrapping reaches across the image's edges.
void glow_tiles_read(GlowTiles* tiles) {
    constexpr int size = 256;
    constexpr int tile_w = size / glow_tile_columns;
    constexpr int tile_h = size / glow_tile_rows;
    static std::vector<uint8_t> pixels(size * size * 4);
    glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

    // Per texel row, the tile columns it feeds.
    static bool row_lit[size][glow_tile_columns];
    for (int y = 0; y < size; ++y) {
        bool* lit = row_lit[y];
        std::fill(lit, lit + glow_tile_columns, false);
        const uint8_t* texel = pixels.data() + static_cast<size_t>(y) * size * 4;
        for (int x = 0; x < size; ++x, texel += 4) {
            if (!(texel[0] | texel[1] | texel[2])) continue;
            const int column = x / tile_w;
            lit[column] = true;
            if (x % tile_w == 0) lit[(column + glow_tile_columns - 1) % glow_tile_columns] = true;
            if (x % tile_w == tile_w - 1) lit[(column + 1) % glow_tile_columns] = true;
        }
    }
    tiles->lit_count = 0;
    for (int r = 0; r < glow_tile_rows; ++r) {
        // Screen rows go down from the image's top, which is stored last.
        const int top = size - r * tile_h;
        for (int c = 0; c < glow_tile_columns; ++c) {
            bool lit = false;
            for (int y = top - tile_h - 1; y <= top && !lit; ++y) lit = row_lit[(y + size) % size][c];
            tiles->lit[r][c] = lit;
            tiles->lit_count += lit;
        }
    }
    tiles->valid = true;
}

// Called with the finished target bound.
void glow_tiles_update(const GlowSetup& glow) {
    GlowTiles* tiles = glow.tiles;
    if (glow.target.kind != RENDER_TARGET_FBO || glow.target.target != GL_TEXTURE_2D || glow.target.width != 256 ||
        glow.target.height != 256)
        return;
    if (tiles->frames_unread > 0) {
        --tiles->frames_unread;
        return;
    }
    glow_tiles_read(tiles);
    if (tiles->lit_count * 2 > glow_tile_rows * glow_tile_columns) tiles->frames_unread = unread_after_lit;
}

// The lit tiles as runs along each row.
void glow_tiles_draw(const Texture& t, const GlowTiles& tiles) {
    for (int r = 0; r < glow_tile_rows; ++r) {
        for (int c = 0; c < glow_tile_columns;) {
            if (!tiles.lit[r][c]) {
                ++c;
                continue;
            }
            int end = c;
            while (end < glow_tile_columns && tiles.lit[r][end]) ++end;
            const int x0 = 800 * c / glow_tile_columns, x1 = 800 * end / glow_tile_columns;
            const int y0 = 600 * r / glow_tile_rows, y1 = 600 * (r + 1) / glow_tile_rows;
            texture_draw_part(t, x0, y0, x1 - x0, y1 - y0, static_cast<float>(c) / glow_tile_columns,
                              static_cast<float>(r) / glow_tile_rows, static_cast<float>(end) / glow_tile_columns,
                              static_cast<float>(r + 1) / glow_tile_rows, white);
            c = end;
        }
    }
}

} // namespace

bool glow_pass(const GlowSetup& glow, const PassDraw& draw, float strength) {
    if (!glow.blur_program) return false;

    if (render_target_begin(glow.target, 0) && draw) draw();
    render_target_end(glow.target);

    blur_step(glow, glow.target, glow.target_2, 1, 0, strength);
    render_target_end(glow.target_2);

    if (glow.tiles) glow.tiles->valid = false;
    if (blur_step(glow, glow.target_2, glow.target, 0, 1, strength) && glow.tiles) glow_tiles_update(glow);
    return render_target_end(glow.target);
}

void glow_composite(const Texture& glow_target, const GlowTiles* tiles) {
    glBlendFunc(GL_ONE, GL_ONE);
    if (tiles && tiles->valid) glow_tiles_draw(glow_target, *tiles);
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
