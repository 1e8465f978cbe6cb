// The one window and its OpenGL context (compatibility profile, double
// buffer, depth 16, stencil 8). Without a display SDL's offscreen driver
// gives a real context on Mesa's llvmpipe through EGL.
#pragma once

struct PlatformWindowDesc {
    const char* title = "";
    int x = 0;
    int y = 0;
    int width = 800;
    int height = 600;
    bool framed = false;     // decorated window
    bool centered = false;   // centre in the usable display bounds
    bool fullscreen = false; // switch the display mode to width x height x 32 @ 60
    bool hidden = false;     // tests and off-line rendering
    bool resizable = false;  // the user may resize a framed window
    bool desktop = false;    // full screen at the desktop's resolution, no mode switch
};

// Returns false with a reason in platform_last_error() when the window or
// the context cannot be created.
bool platform_window_open(const PlatformWindowDesc& desc);
void platform_window_close();
bool platform_window_is_open();
const char* platform_last_error();

// True when the full-screen mode switch was asked for and refused.
bool platform_mode_switch_failed();

void platform_window_swap();
void platform_window_client_size(int* width, int* height);
void platform_set_swap_interval(int interval);

// Makes the window's context current again (after drawing elsewhere).
void platform_make_current();

// True when a real display is attached (not the offscreen driver).
bool platform_has_display();
