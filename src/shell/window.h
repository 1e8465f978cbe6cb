// The window, its GL context and the view helpers every drawing call uses.
#pragma once

enum {
    VL_WINDOW_FRAMED = 1,
    VL_WINDOW_CENTERED = 2,
    VL_WINDOW_FULLSCREEN = 4,
    VL_WINDOW_HIDDEN = 8,     // no visible window: off-line rendering
    VL_WINDOW_RESIZABLE = 16, // a framed window the user can resize
    VL_WINDOW_DESKTOP = 32,   // full screen at the desktop's resolution, no mode switch
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

// The demo draws into an 800 x 600 frame whose picture lies between the
// letterbox bars (rows 80 to 519). Any window shows that frame scaled by one
// factor, never stretched: up to 20:11 the frame fills the width with the
// picture centred (what lies outside is cut, at 4:3 or narrower nothing of
// the picture is), wider windows fit the picture to the height with black at
// the sides. The rectangle is in glViewport's terms (y from the bottom) and
// may reach beyond the window.
constexpr int FRAME_WIDTH = 800;
constexpr int FRAME_HEIGHT = 600;
constexpr int FRAME_PICTURE_TOP = 80;
constexpr int FRAME_PICTURE_HEIGHT = 440;

struct FramePlacement {
    int x = 0;
    int y = 0;
    int width = FRAME_WIDTH;
    int height = FRAME_HEIGHT;
    float scale = 1.0f; // window pixels per frame unit
};
FramePlacement frame_placement(int window_width, int window_height);
// The placement for the current window size.
FramePlacement frame_placement_current();
// Aspect of the 3D views: the frame's, whatever the window's.
float frame_aspect();
// Frame units cut off above the window (0 unless the window is wider than
// 4:3): where the topmost visible frame row lies.
float frame_visible_top();

// Keeps drawing inside the picture: the bars cover everything else, so
// nothing under them need be shaded. Drawing into a render target lifts it
// for that while. The rectangle takes one window pixel of slack on each
// side, since the bars' edges are rasterised on their own.
void frame_scissor_begin();
void frame_scissor_end();

void viewport_pixels(int x, int y, int width, int height);
// Percent of the frame (not of the window), so blocks keep their framing.
void viewport_percent(int x, int y, int width, int height);
// The whole window, in pixels: for what is drawn over the window itself.
void viewport_window();
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
