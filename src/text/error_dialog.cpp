#include "text/error_dialog.h"

#include <cstdio>
#include <cstdlib>

#include "core/gl.h"
#include "gfx/primitives.h"
#include "platform/platform_dialog.h"
#include "platform/platform_window.h"
#include "shell/frame_timer.h"
#include "shell/input.h"
#include "shell/window.h"
#include "text/font.h"

ErrorDialogGui error_dialog_gui;

namespace {

const Color black = {1, 1, 1, 255};

// Caption and text are shown as they are, never as a format.
void print_literal(float x, float y, Color color, const char* text) { font_print(x, y, color, "%s", text); }

// The colour's bytes as one value, red lowest, as color_from_rgb takes them.
uint32_t packed_rgb(Color c) { return c.r | static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b) << 16; }

Color opaque_scaled(Color c, float s) { return color_from_rgb(packed_rgb(color_scale(c, s)), 255); }

Color transparent(Color c) { return color_from_rgb(packed_rgb(c), 0); }

void draw_stripes(int w, int h) {
    glColor4ub(52, 52, 52, 100);
    for (int b = -80; b + 80 < w + 200; b += 80) {
        glBegin(GL_QUADS);
        glVertex2i(b + 80, 0);
        glVertex2i(b - 40, h);
        glVertex2i(b, h);
        glVertex2i(b + 120, 0);
        glEnd();
    }
}

void draw_panel(int cx, int cy) {
    for (int i = 1; i <= 4; ++i) draw_rect(cx - 200 + i, cy - 50 + i, 400, 100, Color{1, 1, 1, uint8_t(60 - 10 * i)});
    draw_rect(cx - 200, cy - 50, 400, 100, Color{100, 100, 100, 255});
    draw_bevel_frame(cx - 200, cy - 50, 400, 100, Color{110, 110, 110, 255}, Color{90, 90, 90, 255});
    draw_rect(cx - 199, cy - 49, 399, 15, Color{1, 1, 1, 20});
    draw_line(cx - 200, cy - 34, cx + 200, cy - 34, Color{1, 1, 1, 10});
}

} // namespace

int gui_button(const char* label, float x, float y, float w, float h) {
    font_set_style(VL_FONT_SMALL | VL_FONT_CENTER | VL_FONT_MIDDLE);
    MousePosition mouse = mouse_position();
    float mx = static_cast<float>(mouse.x), my = static_cast<float>(mouse.y);
    bool inside = x <= mx && mx <= x + w && y <= my && my <= y + h;
    int xi = static_cast<int>(x), yi = static_cast<int>(y), wi = static_cast<int>(w), hi = static_cast<int>(h);
    int half = static_cast<int>(h / 2);
    int result = 0;

    if (!inside) {
        draw_gradient_rect(xi, yi, wi, hi, error_dialog_gui.base_color,
                           opaque_scaled(error_dialog_gui.base_color, 0.97f));
    } else {
        draw_gradient_rect(xi, yi, wi, hi, error_dialog_gui.base_color, error_dialog_gui.base_color);
        draw_gradient_rect(xi, yi, wi, half, error_dialog_gui.highlight_color,
                           transparent(error_dialog_gui.highlight_color));
        error_dialog_gui.button_hovered = true;
    }
    print_literal(x + w / 2, y + h / 2, black, label);

    bool held = key_query(1, KEY_QUERY_DOWN) == 1;
    if (held && !error_dialog_gui.button_locked && inside) {
        draw_gradient_rect(xi, yi, wi, hi, color_scale(error_dialog_gui.base_color, 0.95f),
                           error_dialog_gui.base_color);
        draw_gradient_rect(xi, static_cast<int>(y + h / 2), wi, half, transparent(error_dialog_gui.highlight_color),
                           error_dialog_gui.highlight_color);
        print_literal(x + w / 2, y + h / 2 + 1, Color{255, 255, 255, 255}, label);
        error_dialog_gui.button_armed = true;
    }
    if (!held) {
        if (inside && error_dialog_gui.button_armed) {
            error_dialog_gui.button_armed = false;
            error_dialog_gui.button_hovered = false;
            result = 1;
        }
        error_dialog_gui.button_locked = false;
    }

    draw_bevel_frame(xi, yi, wi, hi, error_dialog_gui.base_color, color_scale(error_dialog_gui.base_color, 0.61f));
    draw_bevel_frame(static_cast<int>(x - 1), static_cast<int>(y - 1), static_cast<int>(w + 2), static_cast<int>(h + 2),
                     color_scale(error_dialog_gui.base_color, 0.41f), color_scale(error_dialog_gui.base_color, 1.2f));
    return result;
}

int error_dialog_frame(const char* text, const char* caption) {
    int cx = window_size.width / 2, cy = window_size.height / 2;
    gl_clear_color(50, 50, 50, 255);
    gl_clear();
    viewport_percent(0, 0, 100, 100);
    view_ortho_viewport();

    glEnable(GL_BLEND);
    draw_stripes(window_size.width, window_size.height);
    draw_panel(cx, cy);
    error_dialog_gui.base_color = Color{105, 105, 105, 255};

    font_set_style(VL_FONT_SMALL | VL_FONT_CENTER | VL_FONT_TOP);
    print_literal(static_cast<float>(cx), static_cast<float>(cy - 50), black, caption);
    font_set_style(VL_FONT_SMALL | VL_FONT_LEFT | VL_FONT_TOP);
    print_literal(static_cast<float>(cx - 180), static_cast<float>(cy - 25), black, text);

    if (gui_button("OK", static_cast<float>(cx - 100), static_cast<float>(cy + 25), 95, 17)) return ERROR_DIALOG_OK;
    if (gui_button("EXIT", static_cast<float>(cx + 10), static_cast<float>(cy + 25), 95, 17)) return ERROR_DIALOG_EXIT;
    if (!error_dialog_gui.button_hovered) {
        error_dialog_gui.button_armed = false;
        error_dialog_gui.button_locked = true;
    }
    error_dialog_gui.button_hovered = false;
    return ERROR_DIALOG_OPEN;
}

int error_dialog(const char* text, const char* caption) {
    text = text ? text : "";
    caption = caption ? caption : "";
    // Nobody to click: say it where someone will read it and go on as after OK.
    if (!platform_is_interactive() || !platform_has_display()) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return 1;
    }
    if (!message_pump()) return 0;
    for (;;) {
        int state = error_dialog_frame(text, caption);
        if (state == ERROR_DIALOG_OK || state == ERROR_DIALOG_EXIT) return state;
        present();
        if (!message_pump()) return 0;
    }
}
