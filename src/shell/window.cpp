#include "shell/window.h"

#include "core/gl.h"
#include "core/log.h"
#include "platform/platform_events.h"
#include "platform/platform_window.h"
#include "shell/input.h"

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
    desc.fullscreen = (flags & VL_WINDOW_FULLSCREEN) != 0;
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

void viewport_percent(int x, int y, int width, int height) {
    int pw = window_size.width * width / 100;
    int ph = window_size.height * height / 100;
    int px = window_size.width * x / 100;
    int py = window_size.height * y / 100;
    glViewport(px, window_size.height - ph - py, pw, ph);
}

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
