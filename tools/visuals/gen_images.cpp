// Makes every image of the demo: the font sheet, the two title cards, the
// scene textures (loose PNG, VTX containers) and the pack archive.
// Usage: gen_images CONTENT_DIR
//        gen_images --icon FILE        the 256 x 256 desktop icon
#include "raster.h"

#include "gfx/image_write.h"
#include "gfx/pack.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const float kPi = 3.14159265f;

void put_u32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> png_of(const Canvas& c, int bytes_per_pixel) {
    std::vector<uint8_t> bytes = canvas_bytes(c, bytes_per_pixel);
    return image_encode_png(c.width, c.height, bytes_per_pixel, bytes.data());
}

// The engine's container: "VTX", one free byte, the flag word, the body.
std::vector<uint8_t> vtx_2d_png(const Canvas& c, int bytes_per_pixel) {
    std::vector<uint8_t> out = {'V', 'T', 'X', 0};
    put_u32(&out, 0x08 | 0x02);
    std::vector<uint8_t> png = png_of(c, bytes_per_pixel);
    out.insert(out.end(), png.begin(), png.end());
    return out;
}

std::vector<uint8_t> vtx_2d_raw(const Canvas& c, int bytes_per_pixel) {
    std::vector<uint8_t> out = {'V', 'T', 'X', 0};
    put_u32(&out, 0x08 | 0x01);
    put_u32(&out, c.width);
    put_u32(&out, c.height);
    put_u32(&out, bytes_per_pixel);
    std::vector<uint8_t> raw = canvas_bytes(c, bytes_per_pixel);
    out.insert(out.end(), raw.begin(), raw.end());
    return out;
}

bool write_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    std::filesystem::create_directories(path.parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// 16 x 16 cells of 16 pixels; each glyph's 5 x 8 pixels sit at x 5-9 and
// y 4-11 of its cell, inside the central 8 x 8 the layout expects.
Canvas make_font_sheet() {
    Canvas c = canvas_make(256, 256, {1, 1, 1}, 0);
    for (int i = 0; i < 95; ++i) {
        int cx = (i % 16) * 16, cy = (i / 16) * 16;
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 5; ++col)
                if (font_glyph_bit(static_cast<char>(32 + i), col, row))
                    canvas_at(&c, cx + 5 + col, cy + 4 + row)[3] = 1.0f;
    }
    return c;
}

// Glow: the ink's alpha blurred and tinted; ink drawn on top. Rows from
// `limit` down are cleared, since only the top of the card is ever seen.
void add_glow_and_clip(Canvas* c, const Canvas& ink, Rgb glow_colour, int radius, float strength, int limit) {
    std::vector<float> halo = channel_blur(ink, 3, radius, false);
    std::vector<float> wide = channel_blur(ink, 3, radius * 3, false);
    for (int y = 0; y < c->height; ++y)
        for (int x = 0; x < c->width; ++x) {
            size_t i = static_cast<size_t>(y) * c->width + x;
            const float* s = &ink.px[i * 4];
            float* d = canvas_at(c, x, y);
            float g = std::min(1.0f, halo[i] * strength + wide[i] * strength * 0.6f);
            float a = s[3] + g * (1 - s[3]);
            for (int k = 0; k < 3; ++k) {
                float gc = k == 0 ? glow_colour.r : k == 1 ? glow_colour.g : glow_colour.b;
                d[k] = a > 0 ? (s[k] * s[3] + gc * g * (1 - s[3])) / a : gc;
            }
            d[3] = y < limit ? a : 0.0f;
            if (y >= limit) d[0] = d[1] = d[2] = 0;
        }
}

void draw_rule(Canvas* c, float y, float x0, float x1, Rgb colour) {
    canvas_fill_rect(c, x0, y, x1, y + 2, colour, 1.0f);
    for (float x = x0; x <= x1 + 0.5f; x += 24) canvas_fill_rect(c, x, y - 3, x + 2, y + 5, colour, 0.8f);
    canvas_disc(c, x0 - 6, y + 1, 3, colour, 1.0f);
    canvas_disc(c, x1 + 6, y + 1, 3, colour, 1.0f);
}

void centred_text(Canvas* c, float y, const std::string& text, float pitch, float block, float radius, float space,
                  Rgb top, Rgb bottom) {
    float w = pixel_text_width(text, pitch, space);
    canvas_pixel_text(c, std::round((c->width - w) / 2), y, text, pitch, block, radius, space, top, bottom, 1.0f);
}

Canvas make_title(const std::string& big, const std::string& sub, const std::string& small, Rgb big_top, Rgb big_bottom,
                  Rgb sub_colour, Rgb glow) {
    Canvas ink = canvas_make(512, 512, {0, 0, 0}, 0);
    // Kept high on the card: the title screens darken towards the bottom.
    centred_text(&ink, 16, big, 11, 9.4f, 2.0f, 10, big_top, big_bottom);
    draw_rule(&ink, 112, 56, 456, sub_colour);
    float pitch = std::min(6.0f, std::floor(440.0f / (7.0f * sub.size() - 2)));
    float block = pitch >= 5 ? pitch * 0.84f : pitch; // small letters stay solid to stay legible
    centred_text(&ink, 130 + (6 - pitch) * 3, sub, pitch, block, pitch * 0.2f, pitch * 2,
                 rgb_lerp(sub_colour, {1, 1, 1}, 0.5f), sub_colour);
    centred_text(&ink, 196, small, 2, 2, 0, 2, rgb(225, 232, 240), rgb(170, 180, 190));
    Canvas out = canvas_make(512, 512, glow, 0);
    add_glow_and_clip(&out, ink, glow, 6, 0.9f, 280);
    return out;
}

Canvas make_concrete() {
    const int n = 256;
    Canvas c = canvas_make(n, n, {0, 0, 0}, 1);
    Rng rng{11};
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float u = x / 32.0f, v = y / 32.0f;
            float base = 0.55f + 0.22f * (fbm_tile(u, v, 8, 5, 3) - 0.5f) * 2;
            float stain = fbm_tile(u * 0.5f, v * 0.5f, 4, 3, 9);
            base *= 1.0f - 0.35f * std::max(0.0f, stain - 0.55f) * 3;
            float grit = (rng_float(&rng) - 0.5f) * 0.06f;
            float g = std::clamp(base + grit, 0.0f, 1.0f);
            float* p = canvas_at(&c, x, y);
            p[0] = g * 0.97f;
            p[1] = g * 0.96f;
            p[2] = g;
        }
    // Expansion joints at the tile edges make a slab grid when repeated.
    canvas_fill_rect(&c, 0, 0, n, 2, rgb(40, 40, 44), 0.9f);
    canvas_fill_rect(&c, 0, 0, 2, n, rgb(40, 40, 44), 0.9f);
    for (int i = 0; i < 6; ++i) {
        float x = rng_float(&rng) * n, y = rng_float(&rng) * n;
        for (int s = 0; s < 5; ++s) {
            float nx = x + (rng_float(&rng) - 0.5f) * 40, ny = y + (rng_float(&rng) - 0.5f) * 40;
            canvas_line(&c, x, y, nx, ny, 1.0f, rgb(60, 60, 64), 0.5f);
            x = nx;
            y = ny;
        }
    }
    return c;
}

Canvas make_metal_panel() {
    const int n = 256;
    Canvas c = canvas_make(n, n, {0, 0, 0}, 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float brushed = noise_tile(x / 2.0f, y / 48.0f, 128, 21) * 0.08f;
            float g = 0.52f + brushed + (fbm_tile(x / 64.0f, y / 64.0f, 4, 3, 5) - 0.5f) * 0.15f;
            float* p = canvas_at(&c, x, y);
            p[0] = g * 0.86f;
            p[1] = g * 0.92f;
            p[2] = g;
        }
    for (int k = 0; k < 2; ++k) {
        float o = k * 128.0f;
        canvas_fill_rect(&c, o, 0, o + 3, n, rgb(25, 27, 32), 1);
        canvas_fill_rect(&c, 0, o, n, o + 3, rgb(25, 27, 32), 1);
        canvas_fill_rect(&c, o + 3, 0, o + 5, n, rgb(190, 200, 210), 0.5f);
        canvas_fill_rect(&c, 0, o + 3, n, o + 5, rgb(190, 200, 210), 0.5f);
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 8; ++i) {
                float rx = o + 10 + j * 108, ry = 12 + i * 32;
                canvas_disc(&c, rx, ry, 3, rgb(30, 32, 36), 1);
                canvas_disc(&c, rx - 0.8f, ry - 0.8f, 1.6f, rgb(200, 205, 215), 0.8f);
            }
    }
    // A worn warning band across the lower panel row.
    for (int x = 0; x < n; x += 32)
        for (int y = 200; y < 228; ++y)
            for (int i = 0; i < 16; ++i) {
                int px = (x + i + (y - 200)) % n;
                float* p = canvas_at(&c, px, y);
                p[0] = p[0] * 0.4f + 0.55f;
                p[1] = p[1] * 0.4f + 0.30f;
                p[2] = p[2] * 0.4f + 0.05f;
            }
    return c;
}

Canvas make_crate() {
    const int n = 128;
    Canvas c = canvas_make(n, n, {0, 0, 0}, 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float grain = noise_tile(x / 3.0f, y / 40.0f + (y / 16) * 7.3f, 64, 33);
            float plank = (y % 16 == 0) ? 0.55f : 1.0f;
            float g = (0.55f + grain * 0.25f) * plank;
            float* p = canvas_at(&c, x, y);
            p[0] = g * 0.85f;
            p[1] = g * 0.55f;
            p[2] = g * 0.30f;
        }
    Rgb frame = rgb(120, 78, 40);
    canvas_fill_rect(&c, 0, 0, n, 12, frame, 1);
    canvas_fill_rect(&c, 0, n - 12, n, n, frame, 1);
    canvas_fill_rect(&c, 0, 0, 12, n, frame, 1);
    canvas_fill_rect(&c, n - 12, 0, n, n, frame, 1);
    canvas_line(&c, 12, n - 12, n - 12, 12, 10, frame, 1);
    canvas_fill_rect(&c, 0, 11, n, 13, rgb(40, 25, 12), 0.7f);
    canvas_fill_rect(&c, 0, n - 13, n, n - 11, rgb(40, 25, 12), 0.7f);
    for (float x : {6.0f, 122.0f})
        for (float y : {6.0f, 122.0f}) canvas_disc(&c, x, y, 2.5f, rgb(200, 190, 170), 1);
    canvas_pixel_text(&c, 28, 34, "V4", 5, 5, 0, 8, rgb(20, 14, 8), rgb(20, 14, 8), 0.55f);
    return c;
}

Canvas make_shaft_wall() {
    const int n = 256;
    Canvas c = canvas_make(n, n, {0, 0, 0}, 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float g = 0.30f + (fbm_tile(x / 32.0f, y / 32.0f, 8, 4, 44) - 0.5f) * 0.12f;
            float* p = canvas_at(&c, x, y);
            p[0] = g * 0.80f;
            p[1] = g * 0.90f;
            p[2] = g;
        }
    for (int k = 0; k < 4; ++k) {
        float y = k * 64.0f;
        canvas_fill_rect(&c, 0, y, n, y + 4, rgb(10, 12, 16), 1);
        canvas_fill_rect(&c, 0, y + 4, n, y + 6, rgb(120, 130, 140), 0.6f);
    }
    // Light slits, bright enough to bloom once lit.
    for (int k = 0; k < 4; ++k) {
        float y = k * 64.0f + 30;
        canvas_round_rect(&c, 24, y, 104, y + 5, 2, rgb(120, 240, 255), 1);
        canvas_round_rect(&c, 152, y, 232, y + 5, 2, rgb(120, 240, 255), 1);
    }
    for (int k = 0; k < 8; ++k) {
        float x = k * 32.0f + 16;
        canvas_disc(&c, x, 12, 2.5f, rgb(180, 190, 200), 0.8f);
        canvas_disc(&c, x, 140, 2.5f, rgb(180, 190, 200), 0.8f);
    }
    return c;
}

Canvas make_lamp() {
    const int n = 32;
    Canvas c = canvas_make(n, n, {0, 0, 0}, 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float d = std::hypot(x + 0.5f - n / 2.0f, y + 0.5f - n / 2.0f) / (n / 2.0f);
            float g = 1.0f - 0.25f * std::min(1.0f, d);
            float* p = canvas_at(&c, x, y);
            p[0] = p[1] = p[2] = g;
        }
    return c;
}

// The circuit board: routed traces and pads on the left 480 columns; a strip
// of flat colour swatches on the right for the chips, pins and lights.
Canvas make_circuit() {
    const int n = 512, board = 480;
    Canvas c = canvas_make(n, n, {0, 0, 0}, 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < board; ++x) {
            float weave = ((x / 2 + y / 2) % 2) * 0.012f;
            float g = 0.06f + weave + fbm_tile(x / 64.0f, y / 64.0f, 8, 3, 77) * 0.05f;
            float* p = canvas_at(&c, x, y);
            p[0] = g * 0.35f;
            p[1] = g * 1.1f;
            p[2] = g * 0.95f;
        }
    Rng rng{2007};
    const Rgb orange = rgb(255, 130, 20), cyan = rgb(40, 210, 255);
    // Faint ground-plane grid.
    for (int k = 0; k < board; k += 24) {
        canvas_fill_rect(&c, k, 0, k + 1, n, rgb(20, 60, 55), 0.5f);
        canvas_fill_rect(&c, 0, k, board, k + 1, rgb(20, 60, 55), 0.5f);
    }
    // Buses: bundles of parallel traces with a 45-degree jog.
    for (int b = 0; b < 7; ++b) {
        bool horizontal = b % 2 == 0;
        int lanes = rng_int(&rng, 3, 6);
        float start = rng_int(&rng, 3, 16) * 24.0f + 4;
        float jog_at = rng_int(&rng, 4, 14) * 24.0f;
        float jog = (rng_int(&rng, 0, 1) ? 1 : -1) * rng_int(&rng, 1, 3) * 24.0f;
        Rgb col = b % 3 == 1 ? cyan : orange;
        for (int l = 0; l < lanes; ++l) {
            float o = start + l * 8;
            float a0 = 8, a1 = jog_at, a2 = jog_at + std::fabs(jog), a3 = board - 8;
            if (horizontal) {
                canvas_line(&c, a0, o, a1, o, 2.4f, col, 1);
                canvas_line(&c, a1, o, a2, o + jog, 2.4f, col, 1);
                canvas_line(&c, a2, o + jog, a3, o + jog, 2.4f, col, 1);
            } else {
                canvas_line(&c, o, a0, o, a1, 2.4f, col, 1);
                canvas_line(&c, o, a1, o + jog, a2, 2.4f, col, 1);
                canvas_line(&c, o + jog, a2, o + jog, a3, 2.4f, col, 1);
            }
        }
    }
    // Single traces: a few orthogonal or diagonal runs ending in pads.
    for (int t = 0; t < 90; ++t) {
        float x = rng_int(&rng, 1, board / 8 - 2) * 8.0f, y = rng_int(&rng, 1, n / 8 - 2) * 8.0f;
        Rgb col = rng_int(&rng, 0, 2) == 0 ? cyan : orange;
        float width = rng_int(&rng, 0, 3) == 0 ? 3.2f : 1.6f;
        canvas_ring(&c, x, y, 3.2f, 1.6f, col, 1);
        for (int s = 0; s < rng_int(&rng, 1, 3); ++s) {
            int dir = rng_int(&rng, 0, 7);
            float dx = std::round(std::cos(dir * kPi / 4)), dy = std::round(std::sin(dir * kPi / 4));
            float len = rng_int(&rng, 2, 10) * 8.0f;
            float nx = std::clamp(x + dx * len, 8.0f, board - 8.0f), ny = std::clamp(y + dy * len, 8.0f, n - 8.0f);
            canvas_line(&c, x, y, nx, ny, width, col, 0.95f);
            x = nx;
            y = ny;
        }
        canvas_disc(&c, x, y, 3.5f, col, 1);
        canvas_disc(&c, x, y, 1.4f, rgb(255, 250, 230), 1);
    }
    // Hot spots along the traces.
    for (int k = 0; k < 40; ++k)
        canvas_glow(&c, rng_int(&rng, 8, board - 8), rng_int(&rng, 8, n - 8), 5, k % 2 ? orange : cyan, 0.25f);
    // Swatches, 64 rows each: chip body, chip light, pin metal, via orange,
    // white hot, cyan, board, dim orange.
    const Rgb swatches[8] = {rgb(16, 17, 20),    rgb(70, 230, 255), rgb(170, 160, 140), rgb(255, 140, 30),
                             rgb(255, 245, 225), rgb(30, 200, 255), rgb(8, 28, 24),     rgb(140, 60, 10)};
    for (int s = 0; s < 8; ++s) canvas_fill_rect(&c, board, s * 64.0f, n, s * 64.0f + 64, swatches[s], 1);
    return c;
}

// Cards over a dark background, font sheet scaled up: for looking at.
void write_previews(const std::filesystem::path& dir, const std::vector<Canvas>& cards, const Canvas& font) {
    std::filesystem::create_directories(dir);
    int k = 0;
    for (const Canvas& card : cards) {
        Canvas view = canvas_make(card.width, card.height, rgb(12, 8, 6), 1);
        for (int i = 0; i < card.width * card.height; ++i)
            for (int ch = 0; ch < 3; ++ch)
                view.px[i * 4 + ch] += (card.px[i * 4 + ch] - view.px[i * 4 + ch]) * card.px[i * 4 + 3];
        write_file(dir / ("card" + std::to_string(k++) + ".png"), png_of(view, 3));
    }
    Canvas big = canvas_make(512, 512, {0, 0, 0}, 1);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            float a = font.px[((y / 2) * 256 + x / 2) * 4 + 3];
            float* p = canvas_at(&big, x, y);
            p[0] = p[1] = p[2] = a > 0 ? 1.0f : (((x / 32) + (y / 32)) % 2 ? 0.15f : 0.1f);
        }
    write_file(dir / "font.png", png_of(big, 3));
}

Canvas make_core_card() {
    return make_title("VELDRA4", "CORE", "V4 GRAPHIC ENGINE PROJECT 1.04", rgb(255, 245, 200), rgb(255, 120, 10),
                      rgb(60, 220, 255), rgb(255, 110, 10));
}

Canvas make_blender_card() {
    return make_title("VANTOR", "THE MACHINE DANCES", "A REAL-TIME DEMO FOR QUILLON 07", rgb(220, 255, 255),
                      rgb(30, 190, 255), rgb(255, 140, 30), rgb(20, 170, 255));
}

// The desktop icon: the second title card's letter, rule and name on a dark
// rounded tile, in the card's colours and glow.
Canvas make_icon() {
    const int n = 256;
    const Rgb glow = rgb(20, 170, 255);
    const Rgb rule = rgb(255, 140, 30);
    Canvas ink = canvas_make(n, n, {0, 0, 0}, 0);
    centred_text(&ink, 34, "V", 20, 17.6f, 3.5f, 0, rgb(220, 255, 255), rgb(30, 190, 255));
    draw_rule(&ink, 184, 64, 192, rule);
    centred_text(&ink, 198, "VANTOR", 4, 3.4f, 0.8f, 4, rgb_lerp(rule, {1, 1, 1}, 0.5f), rule);
    Canvas lit = canvas_make(n, n, glow, 0);
    add_glow_and_clip(&lit, ink, glow, 5, 0.9f, n);

    Canvas tile = canvas_make(n, n, {0, 0, 0}, 0);
    canvas_round_rect(&tile, 8, 8, n - 8, n - 8, 40, rgb(14, 18, 28), 1.0f);
    for (int i = 0; i < n * n; ++i) {
        float a = lit.px[i * 4 + 3] * tile.px[i * 4 + 3]; // nothing outside the tile
        for (int ch = 0; ch < 3; ++ch) tile.px[i * 4 + ch] += (lit.px[i * 4 + ch] - tile.px[i * 4 + ch]) * a;
    }
    return tile;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--icon") {
        bool ok = write_file(argv[2], png_of(make_icon(), 4));
        if (!ok) std::fprintf(stderr, "gen_images: cannot write %s\n", argv[2]);
        return ok ? 0 : 1;
    }
    if (argc == 3) {
        write_previews(argv[2],
                       {make_core_card(), make_blender_card(), make_circuit(), make_concrete(), make_metal_panel(),
                        make_crate(), make_shaft_wall()},
                       make_font_sheet());
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_images CONTENT_DIR\n");
        return 2;
    }
    auto started = std::chrono::steady_clock::now();
    std::filesystem::path root = argv[1];
    bool ok = true;

    ok &= write_file(root / "fnt_04b08.png", png_of(make_font_sheet(), 4));
    ok &= write_file(root / "textures" / "veldra_core_text.png", png_of(make_core_card(), 4));
    ok &= write_file(root / "textures" / "veldra_blender_text.png", png_of(make_blender_card(), 4));
    ok &= write_file(root / "textures" / "concrete.png", png_of(make_concrete(), 3));
    ok &= write_file(root / "textures" / "circuit.png", png_of(make_circuit(), 3));
    ok &= write_file(root / "textures" / "crate.vtx", vtx_2d_png(make_crate(), 3));

    // Stored only in the archive, so the loader's third place is used.
    std::vector<PackEntry> entries;
    entries.push_back({"metal_panel.png", png_of(make_metal_panel(), 3)});
    entries.push_back({"shaft_wall.png", png_of(make_shaft_wall(), 3)});
    entries.push_back({"lamp.vtx", vtx_2d_raw(make_lamp(), 3)});
    for (const PackEntry& e : entries) ok &= !e.data.empty();
    ok &= pack_write((root / "data_00.pack").string(), entries);

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("gen_images: %s in %.2f s\n", ok ? "done" : "FAILED", seconds);
    return ok ? 0 : 1;
}
