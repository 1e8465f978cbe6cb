// The window, its GL context and the view helpers every drawing call uses.
#pragma once

enum {
    VL_WINDOW_FRAMED = 1,
    VL_WINDOW_CENTERED = 2,
    VL_WINDOW_FULLSCREEN = 4,
    VL_WINDOW_HIDDEN = 8, // no visible window: off-line rendering
};

// Client size in pixels; kept current by the window procedure.
struct WindowSize {
    int width = 640;
    int height = 480;
};
extern WindowSize window_size;

// Opens the window and a current GL context and writes the banner lines to
// the report. Returns false (after a line on standard error) when no window
// or context can be had; the caller exits with status 1. A refused
// full-screen mode switch posts the quit message and still returns true.
bool window_create(const char* title, int x, int y, int width, int height, int flags);
void window_destroy();

void gl_clear();
void gl_clear_color(int red, int green, int blue, int alpha);

void viewport_pixels(int x, int y, int width, int height);
void viewport_percent(int x, int y, int width, int height);
void view_ortho(float width, float height);
void view_ortho_viewport();
void view_perspective(float aspect, float fovy, float far_plane, float near_plane);
void view_perspective_viewport(float fovy, float far_plane, float near_plane);

struct MousePosition {
    int x;
    int y;
};
// Cursor relative to the current viewport's top-left corner, y down.
MousePosition mouse_position();
