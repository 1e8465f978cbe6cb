#include "gfx/primitives.h"

#include "core/gl.h"

namespace {

void begin_blend() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void set_color(Color c) { glColor4ub(c.r, c.g, c.b, c.a); }

// Cut-corner positions: computed in float, truncated toward zero once.
struct Corners {
    int left, right, top, bottom;
};

Corners cut_corners(int x, int y, int w, int h, float r) {
    return Corners{static_cast<int>(static_cast<float>(x) + r), static_cast<int>(static_cast<float>(x + w) - r),
                   static_cast<int>(static_cast<float>(y) + r), static_cast<int>(static_cast<float>(y + h) - r)};
}

void rect_quad(int x, int y, int w, int h, Color color) {
    glBindTexture(GL_TEXTURE_2D, 0);
    set_color(color);
    glBegin(GL_QUADS);
    glVertex2f(static_cast<float>(x), static_cast<float>(y));
    glVertex2f(static_cast<float>(x + w), static_cast<float>(y));
    glVertex2f(static_cast<float>(x + w), static_cast<float>(y + h));
    glVertex2f(static_cast<float>(x), static_cast<float>(y + h));
    glEnd();
}

} // namespace

void draw_rect(int x, int y, int w, int h, Color color) {
    begin_blend();
    rect_quad(x, y, w, h, color);
    glDisable(GL_BLEND);
}

void draw_rect_opaque(int x, int y, int w, int h, Color color) {
    glDisable(GL_BLEND);
    rect_quad(x, y, w, h, color);
}

void draw_rect_outline(int x, int y, int w, int h, Color color) {
    begin_blend();
    glBegin(GL_LINES);
    set_color(color);
    auto line = [](int x1, int y1, int x2, int y2) {
        glVertex2f(static_cast<float>(x1), static_cast<float>(y1));
        glVertex2f(static_cast<float>(x2), static_cast<float>(y2));
    };
    line(x, y, x, y + h);
    // The top edge runs one pixel further to close the top-right corner.
    line(x, y, x + w + 1, y);
    line(x + w, y, x + w, y + h);
    line(x + w, y + h, x, y + h);
    glEnd();
    glDisable(GL_BLEND);
}

void draw_gradient_rect(int x, int y, int w, int h, Color top, Color bottom) {
    begin_blend();
    glBindTexture(GL_TEXTURE_2D, 0);
    glShadeModel(GL_SMOOTH);
    glBegin(GL_QUADS);
    set_color(top);
    glVertex2f(static_cast<float>(x), static_cast<float>(y));
    glVertex2f(static_cast<float>(x + w), static_cast<float>(y));
    set_color(bottom);
    glVertex2f(static_cast<float>(x + w), static_cast<float>(y + h));
    glVertex2f(static_cast<float>(x), static_cast<float>(y + h));
    glEnd();
    glDisable(GL_BLEND);
}

void draw_rounded_rect(int x, int y, int w, int h, float r, Color color) {
    Corners c = cut_corners(x, y, w, h, r);
    begin_blend();
    glBindTexture(GL_TEXTURE_2D, 0);
    glEnable(GL_LINE_SMOOTH);
    set_color(color);
    glBegin(GL_QUADS);
    glVertex2i(x, c.top);
    glVertex2i(c.left, y);
    glVertex2i(c.right, y);
    glVertex2i(x + w, c.top);

    glVertex2i(x, c.bottom);
    glVertex2i(c.left, y + h);
    glVertex2i(c.right, y + h);
    glVertex2i(x + w, c.bottom);

    glVertex2i(x, c.top);
    glVertex2i(x, c.bottom);
    glVertex2i(x + w, c.bottom);
    glVertex2i(x + w, c.top);
    glEnd();
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_BLEND);
}

void draw_line(int x1, int y1, int x2, int y2, Color color) {
    begin_blend();
    glDisable(GL_TEXTURE_2D);
    set_color(color);
    glBegin(GL_LINES);
    glVertex2d(x1, y1);
    glVertex2d(x2, y2);
    glEnd();
    glDisable(GL_BLEND);
}

void draw_bevel_frame(int x, int y, int w, int h, Color light, Color dark) {
    draw_line(x, y, x + w + 1, y, light);
    draw_line(x, y, x, y + h, light);
    draw_line(x, y + h, x + w, y + h, dark);
    draw_line(x + w, y, x + w, y + h, dark);
}

void draw_rounded_outline(int x, int y, int w, int h, float r, Color color) {
    Corners c = cut_corners(x, y, w, h, r);
    glBindTexture(GL_TEXTURE_2D, 0);
    draw_line(c.left, y, c.right, y, color);
    draw_line(c.left, y + h, c.right, y + h, color);
    draw_line(x, c.top, x, c.bottom, color);
    draw_line(x + w, c.top, x + w, c.bottom, color);
    draw_line(x, c.top, c.left, y, color);
    draw_line(c.right, y, x + w, c.top, color);
    draw_line(c.right, y + h, x + w, c.bottom, color);
    draw_line(c.left, y + h, x, c.bottom, color);
}
