// Flat, untextured 2D shapes in the current projection (pixels under the
// 2D view). Every call but draw_rect_opaque blends by source alpha; all
// leave blending off.
#pragma once

#include "math/math3d.h"

void draw_rect(int x, int y, int w, int h, Color color);
// The same rectangle without blending: the colour, alpha too, replaces what
// is there.
void draw_rect_opaque(int x, int y, int w, int h, Color color);
void draw_rect_outline(int x, int y, int w, int h, Color color);
void draw_gradient_rect(int x, int y, int w, int h, Color top, Color bottom);
// Cut-corner panel: corners cut by r pixels.
void draw_rounded_rect(int x, int y, int w, int h, float r, Color color);
void draw_line(int x1, int y1, int x2, int y2, Color color);
void draw_bevel_frame(int x, int y, int w, int h, Color light, Color dark);
void draw_rounded_outline(int x, int y, int w, int h, float r, Color color);
