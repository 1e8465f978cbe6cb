#include "raster.h"

#include <algorithm>
#include <cmath>

extern const uint8_t font_glyph_rows[95][8];

Rgb rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

Rgb rgb_lerp(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Rgb rgb_scale(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }

Canvas canvas_make(int width, int height, Rgb fill, float alpha) {
    Canvas c;
    c.width = width;
    c.height = height;
    c.px.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < c.px.size(); i += 4) {
        c.px[i] = fill.r;
        c.px[i + 1] = fill.g;
        c.px[i + 2] = fill.b;
        c.px[i + 3] = alpha;
    }
    return c;
}

float* canvas_at(Canvas* c, int x, int y) { return &c->px[(static_cast<size_t>(y) * c->width + x) * 4]; }

void canvas_blend(Canvas* c, int x, int y, Rgb colour, float coverage) {
    if (x < 0 || y < 0 || x >= c->width || y >= c->height || coverage <= 0) return;
    coverage = std::min(coverage, 1.0f);
    float* p = canvas_at(c, x, y);
    p[0] += (colour.r - p[0]) * coverage;
    p[1] += (colour.g - p[1]) * coverage;
    p[2] += (colour.b - p[2]) * coverage;
    p[3] += (1.0f - p[3]) * coverage;
}

void canvas_add(Canvas* c, int x, int y, Rgb colour, float amount) {
    if (x < 0 || y < 0 || x >= c->width || y >= c->height) return;
    float* p = canvas_at(c, x, y);
    p[0] += colour.r * amount;
    p[1] += colour.g * amount;
    p[2] += colour.b * amount;
}

namespace {

// Runs f(x, y, distance) over the pixels of a bounding box; coverage comes
// from a signed distance (negative inside) with a one-pixel ramp.
template <typename F>
void shade_box(Canvas* c, float x0, float y0, float x1, float y1, F sdf, Rgb colour, float alpha) {
    int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
    int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
    int ix1 = std::min(c->width - 1, static_cast<int>(std::ceil(x1)) + 1);
    int iy1 = std::min(c->height - 1, static_cast<int>(std::ceil(y1)) + 1);
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            float d = sdf(x + 0.5f, y + 0.5f);
            float cov = std::clamp(0.5f - d, 0.0f, 1.0f);
            if (cov > 0) canvas_blend(c, x, y, colour, cov * alpha);
        }
}

} // namespace

void canvas_fill_rect(Canvas* c, float x0, float y0, float x1, float y1, Rgb colour, float alpha) {
    canvas_round_rect(c, x0, y0, x1, y1, 0.0f, colour, alpha);
}

void canvas_round_rect(Canvas* c, float x0, float y0, float x1, float y1, float radius, Rgb colour, float alpha) {
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    float hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    radius = std::min({radius, hx, hy});
    shade_box(
        c, x0, y0, x1, y1,
        [&](float px, float py) {
            float qx = std::fabs(px - cx) - (hx - radius);
            float qy = std::fabs(py - cy) - (hy - radius);
            float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
            return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
        },
        colour, alpha);
}

void canvas_disc(Canvas* c, float cx, float cy, float radius, Rgb colour, float alpha) {
    shade_box(
        c, cx - radius, cy - radius, cx + radius, cy + radius,
        [&](float px, float py) { return std::hypot(px - cx, py - cy) - radius; }, colour, alpha);
}

void canvas_ring(Canvas* c, float cx, float cy, float radius, float thickness, Rgb colour, float alpha) {
    float outer = radius + thickness / 2;
    shade_box(
        c, cx - outer, cy - outer, cx + outer, cy + outer,
        [&](float px, float py) { return std::fabs(std::hypot(px - cx, py - cy) - radius) - thickness / 2; }, colour,
        alpha);
}

void canvas_line(Canvas* c, float x0, float y0, float x1, float y1, float thickness, Rgb colour, float alpha) {
    float h = thickness / 2;
    float dx = x1 - x0, dy = y1 - y0;
    float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    shade_box(
        c, std::min(x0, x1) - h, std::min(y0, y1) - h, std::max(x0, x1) + h, std::max(y0, y1) + h,
        [&](float px, float py) {
            float t = std::clamp(((px - x0) * dx + (py - y0) * dy) / len2, 0.0f, 1.0f);
            return std::hypot(px - (x0 + dx * t), py - (y0 + dy * t)) - h;
        },
        colour, alpha);
}

void canvas_glow(Canvas* c, float cx, float cy, float radius, Rgb colour, float amount) {
    int r = static_cast<int>(radius * 3);
    for (int y = static_cast<int>(cy) - r; y <= static_cast<int>(cy) + r; ++y)
        for (int x = static_cast<int>(cx) - r; x <= static_cast<int>(cx) + r; ++x) {
            float d2 = ((x + 0.5f - cx) * (x + 0.5f - cx) + (y + 0.5f - cy) * (y + 0.5f - cy)) / (radius * radius);
            canvas_add(c, x, y, colour, amount * std::exp(-d2));
        }
}

namespace {

void box_pass(std::vector<float>* plane, int width, int height, int radius, bool tile, bool horizontal) {
    std::vector<float> out(plane->size());
    int n = horizontal ? width : height;
    int lines = horizontal ? height : width;
    std::vector<float> line(n);
    for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < n; ++i)
            line[i] = (*plane)[horizontal ? static_cast<size_t>(l) * width + i : static_cast<size_t>(i) * width + l];
        for (int i = 0; i < n; ++i) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                int j = i + k;
                if (tile) j = ((j % n) + n) % n;
                if (j >= 0 && j < n) sum += line[j];
            }
            out[horizontal ? static_cast<size_t>(l) * width + i : static_cast<size_t>(i) * width + l] =
                sum / (2 * radius + 1);
        }
    }
    *plane = std::move(out);
}

} // namespace

std::vector<float> plane_blur(const std::vector<float>& plane, int width, int height, int radius, bool tile) {
    std::vector<float> p = plane;
    for (int pass = 0; pass < 3; ++pass) {
        box_pass(&p, width, height, radius, tile, true);
        box_pass(&p, width, height, radius, tile, false);
    }
    return p;
}

std::vector<float> channel_blur(const Canvas& c, int channel, int radius, bool tile) {
    std::vector<float> p(static_cast<size_t>(c.width) * c.height);
    for (size_t i = 0; i < p.size(); ++i) p[i] = c.px[i * 4 + channel];
    return plane_blur(p, c.width, c.height, radius, tile);
}

namespace {

uint32_t hash3(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float smooth(float t) { return t * t * (3 - 2 * t); }

} // namespace

float noise_tile(float x, float y, int period, uint32_t seed) {
    int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    float fx = smooth(x - xi), fy = smooth(y - yi);
    auto v = [&](int a, int b) {
        a = ((a % period) + period) % period;
        b = ((b % period) + period) % period;
        return (hash3(a, b, seed) & 0xffff) / 65535.0f;
    };
    float a = v(xi, yi) + (v(xi + 1, yi) - v(xi, yi)) * fx;
    float b = v(xi, yi + 1) + (v(xi + 1, yi + 1) - v(xi, yi + 1)) * fx;
    return a + (b - a) * fy;
}

float fbm_tile(float x, float y, int period, int octaves, uint32_t seed) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += noise_tile(x, y, period, seed + o * 101) * amp;
        norm += amp;
        x *= 2;
        y *= 2;
        period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

uint32_t rng_next(Rng* r) {
    r->state = r->state * 1664525u + 1013904223u;
    uint32_t x = r->state;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return x;
}

float rng_float(Rng* r) { return (rng_next(r) >> 8) / 16777216.0f; }

int rng_int(Rng* r, int lo, int hi) { return lo + static_cast<int>(rng_next(r) % static_cast<uint32_t>(hi - lo + 1)); }

std::vector<uint8_t> canvas_bytes(const Canvas& c, int bytes_per_pixel) {
    std::vector<uint8_t> out(static_cast<size_t>(c.width) * c.height * bytes_per_pixel);
    for (size_t i = 0; i < static_cast<size_t>(c.width) * c.height; ++i)
        for (int k = 0; k < bytes_per_pixel; ++k)
            out[i * bytes_per_pixel + k] =
                static_cast<uint8_t>(std::lround(std::clamp(c.px[i * 4 + k], 0.0f, 1.0f) * 255.0f));
    return out;
}

bool font_glyph_bit(char ch, int col, int row) {
    int i = static_cast<unsigned char>(ch) - 32;
    if (i < 0 || i >= 95 || col < 0 || col >= 5 || row < 0 || row >= 8) return false;
    return (font_glyph_rows[i][row] >> (4 - col)) & 1;
}

float pixel_text_width(const std::string& text, float pitch, float letter_space) {
    if (text.empty()) return 0;
    return text.size() * (5 * pitch + letter_space) - letter_space;
}

void canvas_pixel_text(Canvas* c, float x, float y, const std::string& text, float pitch, float block, float radius,
                       float letter_space, Rgb top, Rgb bottom, float alpha) {
    float pen = x;
    for (char ch : text) {
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 5; ++col) {
                if (!font_glyph_bit(ch, col, row)) continue;
                float bx = pen + col * pitch + (pitch - block) / 2;
                float by = y + row * pitch + (pitch - block) / 2;
                Rgb colour = rgb_lerp(top, bottom, std::clamp(row / 6.0f, 0.0f, 1.0f));
                canvas_round_rect(c, bx, by, bx + block, by + block, radius, colour, alpha);
            }
        pen += 5 * pitch + letter_space;
    }
}
