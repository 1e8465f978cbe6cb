#include "core/gl.h"
#include "platform/platform_events.h"
#include "platform/platform_window.h"
#include "platform/window_sdl_internal.h"

#include <SDL.h>

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool mode_switch_failed = false;
bool offscreen = false;
std::string last_error;

#if defined(__SANITIZE_ADDRESS__)
// Mesa keeps one-time state (the CPU's cache layout, a small pool) in the
// DRI driver's own globals and never frees it; the driver is unloaded when
// the context goes, after which LeakSanitizer sees that memory as lost and,
// the module gone, cannot even name it for a suppression. Keeping the driver
// loaded to the end leaves its state reachable, as it is in every other run.
void keep_gl_driver_loaded() {
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            const char* path = info->dlpi_name;
            if (path && (std::strstr(path, "/dri/") || std::strstr(path, "libgallium")))
                static_cast<std::vector<std::string>*>(found)->push_back(path);
            return 0;
        },
        &drivers);
    // Outside the walk, which holds the loader's lock.
    for (const std::string& path : drivers) dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}
#else
void keep_gl_driver_loaded() {}
#endif

// One video driver. A display server is tried a few times: an X server that
// has just lost its last client resets and drops the connections made
// meanwhile.
bool init_driver(const char* driver, int attempts) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) SDL_Delay(200);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        last_error = SDL_GetError();
    }
    return false;
}

bool init_video() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // The window class name of the Windows build becomes the X11 WM_CLASS;
    // SDL reads it from the environment when the video driver starts.
    setenv("SDL_VIDEO_X11_WMCLASS", "VL_CLIENT_CLASS", 1);
    // Closing the window is a message for the window procedure (WM_CLOSE), not
    // an automatic quit; a full-screen popup does not minimise on focus loss.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");

    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen && *chosen) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        last_error = SDL_GetError();
        return false;
    }
    // Only the drivers for the display that is named: left to itself SDL
    // would fall back to its offscreen driver when the display cannot be
    // reached, and play on with no window anyone can see. Without a display
    // that offscreen driver gives a real GL context through EGL.
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool x11 = display && *display;
    const bool way = wayland && *wayland;
    if (!x11 && !way) return init_driver("offscreen", 1);
    if (x11 && init_driver("x11", 3)) return true;
    if (way && init_driver("wayland", 3)) return true;
    // SDL's error is the last driver's: name that driver's display.
    last_error = std::string("cannot open display \"") + (way ? wayland : display) + "\": " + last_error;
    return false;
}

} // namespace

SDL_Window* platform_sdl_window() { return window; }

bool platform_has_display() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

bool platform_window_open(const PlatformWindowDesc& desc) {
    if (window) return true;
    mode_switch_failed = false;
    if (!init_video()) return false;
    offscreen = !platform_has_display();

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);

    Uint32 flags = SDL_WINDOW_OPENGL;
    bool fullscreen = desc.fullscreen && platform_has_display();
    if (desc.hidden) flags |= SDL_WINDOW_HIDDEN;
    else flags |= SDL_WINDOW_SHOWN;
    if (!desc.framed || desc.fullscreen || desc.desktop) flags |= SDL_WINDOW_BORDERLESS;
    if (desc.resizable && desc.framed && !desc.fullscreen && !desc.desktop) flags |= SDL_WINDOW_RESIZABLE;
    // Without a display there is no desktop: the offscreen window keeps the given size.
    if (desc.desktop && platform_has_display()) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;

    int x = desc.x;
    int y = desc.y;
    if (desc.centered && !desc.fullscreen) {
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
            // Work-area arithmetic of the original: halves of right and bottom.
            x = (usable.x + usable.w) / 2 - desc.width / 2;
            y = (usable.y + usable.h) / 2 - desc.height / 2;
        }
    }

    int w = desc.width;
    int h = desc.height;
    SDL_DisplayMode mode{};
    bool have_mode = false;
    if (fullscreen) {
        // EnumDisplaySettings: without the current mode there is nothing to switch.
        SDL_DisplayMode current;
        if (SDL_GetCurrentDisplayMode(0, &current) != 0) {
            last_error = SDL_GetError();
            return false;
        }
        SDL_DisplayMode wanted{};
        wanted.format = SDL_PIXELFORMAT_RGB888;
        wanted.w = desc.width;
        wanted.h = desc.height;
        wanted.refresh_rate = 60;
        have_mode = SDL_GetClosestDisplayMode(0, &wanted, &mode) != nullptr;
        // The window starts at the size of the mode the display will really
        // use (the whole screen where no such mode exists, as under Xvfb), so
        // it covers the screen with or without a window manager.
        if (have_mode) {
            x = 0;
            y = 0;
            w = mode.w;
            h = mode.h;
        }
    }

    if (desc.desktop && platform_has_display()) {
        SDL_DisplayMode current;
        if (SDL_GetDesktopDisplayMode(0, &current) == 0) {
            x = 0;
            y = 0;
            w = current.w;
            h = current.h;
        }
    }

    window = SDL_CreateWindow(desc.title, x, y, w, h, flags);
    if (!window) {
        last_error = SDL_GetError();
        return false;
    }

    if (fullscreen) {
        // A refused switch is not fatal: the caller posts the quit message.
        if (!have_mode || SDL_SetWindowDisplayMode(window, &mode) != 0 ||
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0)
            mode_switch_failed = true;
    }

    context = SDL_GL_CreateContext(window);
    if (!context) {
        last_error = SDL_GetError();
        SDL_DestroyWindow(window);
        window = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(window, context);
    keep_gl_driver_loaded();
    if (!desc.hidden) SDL_RaiseWindow(window);
    // Showing a window sends it its size message, so the picture follows it.
    int cw = 0, ch = 0;
    SDL_GL_GetDrawableSize(window, &cw, &ch);
    platform_post_message(WM_SIZE, 0,
                          static_cast<int64_t>((static_cast<uint32_t>(ch) << 16) | static_cast<uint32_t>(cw & 0xFFFF)));
    return true;
}

void platform_window_close() {
    if (context) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (window) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    // Leaves the full-screen mode and lets a later open start afresh.
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool platform_window_is_open() { return window != nullptr; }

const char* platform_last_error() { return last_error.c_str(); }

bool platform_mode_switch_failed() { return mode_switch_failed; }

void platform_window_swap() {
    if (!window) return;
    SDL_GL_SwapWindow(window);
    // A swap on the offscreen driver's pbuffer neither waits nor flushes, so
    // an unthrottled loop would queue frames without end; wait for the frame
    // as a real swap with vertical sync would.
    if (offscreen) glFinish();
}

void platform_window_client_size(int* width, int* height) {
    if (!window) {
        *width = 0;
        *height = 0;
        return;
    }
    SDL_GL_GetDrawableSize(window, width, height);
}

void platform_set_swap_interval(int interval) { SDL_GL_SetSwapInterval(interval); }

void platform_make_current() {
    if (window && context) SDL_GL_MakeCurrent(window, context);
}
