#include "gfx/glow_tiles.h"

#include "core/gl.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr int size = glow_tiles_size;
using Mask = std::vector<uint8_t>; // size x size flags, rows from the top

// out[i] = any in[j] with |i - j| <= r, indices wrapping at n; in and out
// step by `stride` elements.
void dilate_wrapped(const uint8_t* in, uint8_t* out, int stride, int n, int r) {
    if (2 * r + 1 >= n) {
        bool any = false;
        for (int i = 0; i < n; ++i) any = any || in[i * stride];
        for (int i = 0; i < n; ++i) out[i * stride] = any;
        return;
    }
    // Running count over the window, starting with the one around 0.
    int count = 0;
    for (int j = -r; j <= r; ++j) count += in[((j + n) % n) * stride] != 0;
    for (int i = 0; i < n; ++i) {
        out[i * stride] = count > 0;
        count += in[((i + r + 1) % n) * stride] != 0;
        count -= in[((i - r + n) % n) * stride] != 0;
    }
}

Mask dilate_rows(const Mask& in, int r) {
    Mask out(in.size());
    for (int y = 0; y < size; ++y) dilate_wrapped(&in[y * size], &out[y * size], 1, size, r);
    return out;
}

Mask dilate_columns(const Mask& in, int r) {
    Mask out(in.size());
    for (int x = 0; x < size; ++x) dilate_wrapped(&in[x], &out[x], size, size, r);
    return out;
}

// Whether any flag of the mask is set in rows y0..y1 and columns x0..x1,
// inclusive, wrapping at the edges.
bool any_in(const Mask& m, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (m[((y + size) % size) * size + (x + size) % size]) return true;
    return false;
}

} // namespace

void glow_tiles_read(GlowTiles* tiles, int reach, float threshold) {
    static std::vector<uint8_t> pixels(size * size * 4);
    glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // A level of margin for rounding; filtering between texels cannot give
    // a brighter luma than the brightest of them.
    const float cut = threshold * 255.0f - 1.0f;
    Mask lit(size * size);
    for (int y = 0; y < size; ++y) {
        // Stored bottom row first.
        const uint8_t* texel = pixels.data() + static_cast<size_t>(size - 1 - y) * size * 4;
        for (int x = 0; x < size; ++x, texel += 4) {
            const float luma = 0.3f * texel[0] + 0.59f * texel[1] + 0.11f * texel[2];
            lit[y * size + x] = (texel[0] | texel[1] | texel[2]) != 0 && luma > cut;
        }
    }

    const Mask horizontal = dilate_rows(lit, reach);
    const Mask vertical = dilate_columns(horizontal, reach);
    constexpr int block = size / glow_blur_blocks;
    for (int r = 0; r < glow_blur_blocks; ++r)
        for (int c = 0; c < glow_blur_blocks; ++c) {
            const int x0 = c * block, y0 = r * block;
            tiles->horizontal[r][c] = any_in(horizontal, x0, y0, x0 + block - 1, y0 + block - 1);
            tiles->vertical[r][c] = any_in(vertical, x0, y0, x0 + block - 1, y0 + block - 1);
        }

    // The composite magnifies with filtering: a tile also reads one texel
    // around it.
    constexpr int tile_w = size / glow_composite_columns, tile_h = size / glow_composite_rows;
    tiles->composite_count = 0;
    for (int r = 0; r < glow_composite_rows; ++r)
        for (int c = 0; c < glow_composite_columns; ++c) {
            const bool on = any_in(vertical, c * tile_w - 1, r * tile_h - 1, (c + 1) * tile_w, (r + 1) * tile_h);
            tiles->composite[r][c] = on;
            tiles->composite_count += on;
        }
    tiles->valid = true;
}

void glow_tiles_draw(const Texture& t, const bool* mask, int rows, int columns, int w, int h) {
    std::vector<TexturePart> parts;
    for (int r = 0; r < rows; ++r) {
        const bool* row = mask + r * columns;
        for (int c = 0; c < columns;) {
            if (!row[c]) {
                ++c;
                continue;
            }
            // One quad for each run of lit cells.
            int end = c;
            while (end < columns && row[end]) ++end;
            const int x0 = w * c / columns, x1 = w * end / columns;
            const int y0 = h * r / rows, y1 = h * (r + 1) / rows;
            parts.push_back({x0, y0, x1 - x0, y1 - y0, static_cast<float>(c) / columns, static_cast<float>(r) / rows,
                             static_cast<float>(end) / columns, static_cast<float>(r + 1) / rows});
            c = end;
        }
    }
    texture_draw_parts(t, parts, {255, 255, 255, 255});
}
