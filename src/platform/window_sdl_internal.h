// Shared between the SDL backend files only.
#pragma once

struct SDL_Window;

// The one window, or null.
SDL_Window* platform_sdl_window();
