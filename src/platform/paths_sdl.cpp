#include "platform/platform_paths.h"

#include <SDL.h>

std::string platform_executable_dir() {
    // SDL reads /proc/self/exe on Linux and needs no SDL_Init.
    char* base = SDL_GetBasePath();
    if (!base) return std::string();
    std::string dir = base;
    SDL_free(base);
    return dir;
}
