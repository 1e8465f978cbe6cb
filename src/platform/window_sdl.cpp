#include "platform/platform_window.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool mode_switch_failed = false;
std::string last_error;

bool init_video() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // Without an X display SDL would fail; its offscreen driver gives a
    // real GL context through EGL instead.
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if ((!display || !*display) && (!wayland || !*wayland) && (!chosen || !*chosen))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        last_error = SDL_GetError();
        return false;
    }
    return true;
}

} // namespace

bool platform_has_display() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

bool platform_window_open(const PlatformWindowDesc& desc) {
    if (window) return true;
    if (!init_video()) return false;

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
    if (!desc.framed || desc.fullscreen) flags |= SDL_WINDOW_BORDERLESS;

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

    window = SDL_CreateWindow(desc.title, x, y, desc.width, desc.height, flags);
    if (!window) {
        last_error = SDL_GetError();
        return false;
    }

    if (fullscreen) {
        SDL_DisplayMode mode{};
        mode.format = SDL_PIXELFORMAT_RGB888;
        mode.w = desc.width;
        mode.h = desc.height;
        mode.refresh_rate = 60;
        if (SDL_SetWindowDisplayMode(window, &mode) != 0 ||
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
    if (!desc.hidden) SDL_RaiseWindow(window);
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
}

bool platform_window_is_open() { return window != nullptr; }

const char* platform_last_error() { return last_error.c_str(); }

bool platform_mode_switch_failed() { return mode_switch_failed; }

void platform_window_swap() {
    if (window) SDL_GL_SwapWindow(window);
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
