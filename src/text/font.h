// The bitmap font: one 16 x 16 glyph sheet, process-wide style.
#pragma once

#include "gfx/texture.h"
#include "math/math3d.h"

enum {
    VL_FONT_SMALL = 0x001,
    VL_FONT_MEDIUM = 0x002,
    VL_FONT_LARGE = 0x004,
    VL_FONT_CENTER = 0x020,
    VL_FONT_RIGHT = 0x040,
    VL_FONT_LEFT = 0x080,
    VL_FONT_TOP = 0x100,
    VL_FONT_MIDDLE = 0x200,
};

// The font takes the record (and the GL texture) over; no GL call.
void font_init(Texture texture);
void font_free();
// Applies the style bits; a group with no bit set keeps its value.
void font_set_style(int mask);
// Width in pixels of the text's first line under the current style.
int font_text_width(const char* text);
void font_draw_text(Texture texture, float x, float y, Color color, const char* text);
// printf-style; a null format draws nothing.
void font_print(float x, float y, Color color, const char* format, ...) __attribute__((format(printf, 4, 5)));

// Current style, for tests and callers that lay out around text.
struct FontStyle {
    int cell_height;
    int cell_width;
    int space_advance;
    int char_advance;
    int line_advance;
    int horizontal;
    int vertical;
};
FontStyle font_style();
// Back to the start-up style (tests).
void font_reset_style();
