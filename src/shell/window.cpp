#include "shell/window.h"

#include "core/gl.h"
#include "core/log.h"
#include "platform/platform_events.h"
#include "platform/platform_window.h"
#include "shell/input.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

WindowSize window_size;

namespace {
const GLbitfield clear_mask = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
}

bool window_create(const char* title, int x, int y, int width, int height, int flags) {
    PlatformWindowDesc desc;
    desc.title = title;
    desc.x = x;
    desc.y = y;
    desc.width = width;
    desc.height = height;
    desc.desktop = (flags & VL_WINDOW_DESKTOP) != 0;
    desc.fullscreen = (flags & VL_WINDOW_FULLSCREEN) != 0 && !desc.desktop;
    desc.resizable = (flags & VL_WINDOW_RESIZABLE) != 0;
    desc.framed = (flags & VL_WINDOW_FRAMED) != 0 && !desc.fullscreen;
    desc.centered = (flags & VL_WINDOW_CENTERED) != 0;
    desc.hidden = (flags & VL_WINDOW_HIDDEN) != 0;
    if (!platform_window_open(desc)) {
        std::fprintf(stderr, "vantor: cannot create the window: %s\n", platform_last_error());
        return false;
    }
    // A refused mode switch: start-up completes and the
    // loop ends on the first quit message.
    if (platform_mode_switch_failed()) {
        std::fprintf(stderr, "vantor: the %d x %d full-screen mode is not available; try --windowed\n", width, height);
        post_quit_message(0);
    }
    window_size.width = width;
    window_size.height = height;
    // The desktop's size is known only now; the size message follows too.
    if (desc.desktop) platform_window_client_size(&window_size.width, &window_size.height);
    gl_clear_color(155, 155, 155, 255);
    glEnable(GL_NORMALIZE);

    log_set_level(LOG_INFO);
    log_write("V4 Graphic Engine Project");
    log_write("Version 1.04, build \"vantor\"");
    log_write("Native Linux build by the Vantor developers");
    log_write("OpenGL Vendor [\"%s\"]", reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
    log_write("OpenGL Version [\"%s\"]", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    log_write("OpenGL Renderer [\"%s\"]", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    return true;
}

void window_destroy() { platform_window_close(); }

void gl_clear() { glClear(clear_mask); }

void gl_clear_color(int red, int green, int blue, int alpha) {
    glClearColor(red / 255.0f, green / 255.0f, blue / 255.0f, alpha / 255.0f);
}

void viewport_pixels(int x, int y, int width, int height) {
    glViewport(x, window_size.height - y - height, width, height);
}

namespace {

// Division rounding toward minus infinity: centring offsets can be negative.
int floor_half(int v) { return v >= 0 ? v / 2 : -((1 - v) / 2); }

int round_scaled(int units, int64_t num, int64_t den) {
    return static_cast<int>((static_cast<int64_t>(units) * num * 2 + den) / (den * 2));
}

} // namespace

FramePlacement frame_placement(int window_width, int window_height) {
    FramePlacement p;
    if (window_width <= 0 || window_height <= 0) return p;
    // W / H <= 20 / 11 in integers: scale to the width, else the picture to the height.
    if (static_cast<int64_t>(window_width) * FRAME_PICTURE_HEIGHT <=
        static_cast<int64_t>(window_height) * FRAME_WIDTH) {
        p.width = window_width;
        p.height = round_scaled(FRAME_HEIGHT, window_width, FRAME_WIDTH);
        p.x = 0;
        p.y = floor_half(window_height - p.height);
        p.scale = static_cast<float>(window_width) / FRAME_WIDTH;
    } else {
        p.width = round_scaled(FRAME_WIDTH, window_height, FRAME_PICTURE_HEIGHT);
        p.height = round_scaled(FRAME_HEIGHT, window_height, FRAME_PICTURE_HEIGHT);
        p.x = floor_half(window_width - p.width);
        p.y =
            -round_scaled(FRAME_HEIGHT - FRAME_PICTURE_TOP - FRAME_PICTURE_HEIGHT, window_height, FRAME_PICTURE_HEIGHT);
        p.scale = static_cast<float>(window_height) / FRAME_PICTURE_HEIGHT;
    }
    return p;
}

FramePlacement frame_placement_current() { return frame_placement(window_size.width, window_size.height); }

float frame_aspect() { return static_cast<float>(FRAME_WIDTH) / static_cast<float>(FRAME_HEIGHT); }

float frame_visible_top() {
    FramePlacement p = frame_placement_current();
    int cut = p.y + p.height - window_size.height;
    return cut > 0 ? static_cast<float>(cut) / p.scale : 0.0f;
}

void frame_scissor_begin() {
    FramePlacement f = frame_placement_current();
    const double per_unit = static_cast<double>(f.height) / FRAME_HEIGHT;
    const double bottom = f.y + per_unit * (FRAME_HEIGHT - FRAME_PICTURE_TOP - FRAME_PICTURE_HEIGHT);
    const double top = bottom + per_unit * FRAME_PICTURE_HEIGHT;
    const int y0 = std::max(static_cast<int>(std::floor(bottom)) - 1, 0);
    const int y1 = std::min(static_cast<int>(std::ceil(top)) + 1, window_size.height);
    const int x0 = std::max(f.x - 1, 0);
    const int x1 = std::min(f.x + f.width + 1, window_size.width);
    glScissor(x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0));
    glEnable(GL_SCISSOR_TEST);
}

void frame_scissor_end() { glDisable(GL_SCISSOR_TEST); }

void viewport_percent(int x, int y, int width, int height) {
    FramePlacement f = frame_placement_current();
    int pw = f.width * width / 100;
    int ph = f.height * height / 100;
    int px = f.x + f.width * x / 100;
    int py = f.height * y / 100;
    glViewport(px, f.y + f.height - ph - py, pw, ph);
}

void viewport_window() { glViewport(0, 0, window_size.width, window_size.height); }

void view_ortho(float width, float height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, 1, -1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
}

void view_ortho_viewport() {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    view_ortho(static_cast<float>(vp[2]), static_cast<float>(vp[3]));
}

void view_perspective(float aspect, float fovy, float far_plane, float near_plane) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, aspect, near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
}

void view_perspective_viewport(float fovy, float far_plane, float near_plane) {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    float aspect = vp[3] ? static_cast<float>(vp[2]) / static_cast<float>(vp[3]) : 1.0f;
    view_perspective(aspect, fovy, far_plane, near_plane);
}

MousePosition mouse_position() {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    int cx = 0, cy = 0;
    platform_cursor_position(&cx, &cy);
    return {cx - vp[0], cy - (window_size.height - vp[3] - vp[1])};
}
