// A small float RGBA canvas for the content generators: shapes with
// analytic anti-aliasing, blur, tileable noise and the pixel font.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    float r, g, b;
};

Rgb rgb(int r, int g, int b);
Rgb rgb_lerp(Rgb a, Rgb b, float t);
Rgb rgb_scale(Rgb a, float s);

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<float> px; // r, g, b, a per pixel, 0..1
};

Canvas canvas_make(int width, int height, Rgb fill, float alpha);
float* canvas_at(Canvas* c, int x, int y);
// Composites colour with coverage (0..1) over the pixel.
void canvas_blend(Canvas* c, int x, int y, Rgb colour, float coverage);
// Adds colour x amount (light), clamped later on export.
void canvas_add(Canvas* c, int x, int y, Rgb colour, float amount);
void canvas_fill_rect(Canvas* c, float x0, float y0, float x1, float y1, Rgb colour, float alpha);
// Rounded rectangle, anti-aliased through its distance field.
void canvas_round_rect(Canvas* c, float x0, float y0, float x1, float y1, float radius, Rgb colour, float alpha);
void canvas_disc(Canvas* c, float cx, float cy, float radius, Rgb colour, float alpha);
void canvas_ring(Canvas* c, float cx, float cy, float radius, float thickness, Rgb colour, float alpha);
// A thick segment with round caps.
void canvas_line(Canvas* c, float x0, float y0, float x1, float y1, float thickness, Rgb colour, float alpha);
// Soft additive light spot (gaussian falloff).
void canvas_glow(Canvas* c, float cx, float cy, float radius, Rgb colour, float amount);

// Separable box blur repeated three times (close to a gaussian) of one
// channel (0..3) into a plain array; wraps around when tile is set.
std::vector<float> channel_blur(const Canvas& c, int channel, int radius, bool tile);
std::vector<float> plane_blur(const std::vector<float>& plane, int width, int height, int radius, bool tile);

// Deterministic value noise, periodic with the given period in cells.
float noise_tile(float x, float y, int period, uint32_t seed);
float fbm_tile(float x, float y, int period, int octaves, uint32_t seed);

// Small integer random numbers, same sequence on every run.
struct Rng {
    uint32_t state;
};
uint32_t rng_next(Rng* r);
float rng_float(Rng* r);             // 0 <= f < 1
int rng_int(Rng* r, int lo, int hi); // lo <= i <= hi

// Converts to 8-bit RGB (3) or RGBA (4) rows, top first.
std::vector<uint8_t> canvas_bytes(const Canvas& c, int bytes_per_pixel);

// The pixel font: 8 rows of 5 columns per printable character (32-126).
// Row 6 is the baseline, row 7 holds descenders.
bool font_glyph_bit(char ch, int col, int row);
// Draws text with each glyph pixel a rounded block of the given pitch.
void canvas_pixel_text(Canvas* c, float x, float y, const std::string& text, float pitch, float block, float radius,
                       float letter_space, Rgb top, Rgb bottom, float alpha);
float pixel_text_width(const std::string& text, float pitch, float letter_space);
