#include "text/font.h"

#include "core/gl.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const FontStyle start_style{16, 16, 7, 6, 8, VL_FONT_LEFT, VL_FONT_TOP};

Texture font_texture{nullptr, 0, 0, 0, 0, GL_TEXTURE_2D, TEXTURE_PLAIN, 0, 0, 0, 0};
FontStyle style = start_style;

// Pen x at the start of the line that begins at `line`.
int line_start(int x0, const char* line) {
    int w = font_text_width(line);
    switch (style.horizontal) {
    case VL_FONT_CENTER: return x0 - w / 2 - style.cell_width / 8;
    case VL_FONT_RIGHT: return x0 + style.cell_width / 8 - w;
    default: return x0 - style.cell_width / 4;
    }
}

void draw_glyph(char character, int x, int y, Color color) {
    int index = static_cast<signed char>(character) - 32;
    int column = index % 16;
    int row = index / 16;
    float s0 = static_cast<float>(column) / 16.0f, t0 = static_cast<float>(row) / 16.0f;
    float s1 = s0 + 0.0625f, t1 = t0 + 0.0625f;
    int w = style.cell_width, h = style.cell_height;
    glColor4ub(color.r, color.g, color.b, color.a);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex3i(x, y, 0);
    glTexCoord2f(s1, t0);
    glVertex3i(x + w, y, 0);
    glTexCoord2f(s1, t1);
    glVertex3i(x + w, y + h, 0);
    glTexCoord2f(s0, t1);
    glVertex3i(x, y + h, 0);
    glEnd();
}

} // namespace

void font_init(Texture texture) { texture_copy(&font_texture, texture); }

void font_free() { texture_free(&font_texture); }

void font_set_style(int mask) {
    if (mask & VL_FONT_SMALL)
        style.cell_height = style.cell_width = 16, style.char_advance = 8, style.space_advance = 7;
    if (mask & VL_FONT_MEDIUM)
        style.cell_height = style.cell_width = 32, style.char_advance = 16, style.space_advance = 14;
    if (mask & VL_FONT_LARGE)
        style.cell_height = style.cell_width = 64, style.char_advance = 32, style.space_advance = 28;
    if (mask & VL_FONT_CENTER) style.horizontal = VL_FONT_CENTER;
    if (mask & VL_FONT_LEFT) style.horizontal = VL_FONT_LEFT;
    if (mask & VL_FONT_RIGHT) style.horizontal = VL_FONT_RIGHT;
    if (mask & VL_FONT_TOP) style.vertical = VL_FONT_TOP;
    if (mask & VL_FONT_MIDDLE) style.vertical = VL_FONT_MIDDLE;
}

FontStyle font_style() { return style; }

void font_reset_style() { style = start_style; }

int font_text_width(const char* text) {
    if (!text) return 0;
    int width = 0;
    // A space measures more than it moves the pen; alignment keeps that.
    for (const char* c = text; *c && *c != '\n'; ++c)
        width += *c == ' ' ? style.char_advance / 6 + style.space_advance : style.char_advance;
    return width;
}

void font_draw_text(Texture texture, float x, float y, Color color, const char* text) {
    if (!text) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    texture_bind(texture, 0);
    int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    int pen_x = line_start(x0, text);
    int pen_y = y0 - (style.vertical == VL_FONT_MIDDLE ? style.cell_height / 2 : 0);
    size_t length = std::strlen(text);
    for (size_t p = 0; p < length; ++p) {
        char c = text[p];
        if (p > 0) {
            if (c == ' ') pen_x += style.space_advance;
            else if (text[p - 1] != '\n') pen_x += style.char_advance;
            if (c == '\n') {
                pen_y += style.line_advance;
                pen_x = line_start(x0, text + p + 1);
            }
        }
        if (c != ' ' && c != '\n') draw_glyph(c, pen_x, pen_y, color);
    }
    texture_unbind(texture, 0);
    glDisable(GL_BLEND);
}

void font_print(float x, float y, Color color, const char* format, ...) {
    if (!format) return;
    char text[1024] = {};
    va_list args;
    va_start(args, format);
    // Longer texts are cut at the buffer rather than written past it.
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    font_draw_text(font_texture, x, y, color, text);
}
