#include "platform/platform_dialog.h"
#include "platform/platform_window.h"
#include "platform/window_sdl_internal.h"

#include <SDL.h>

#include <cstdio>

namespace {
bool interactive = true;

void to_stderr(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}
} // namespace

void platform_set_interactive(bool value) { interactive = value; }

bool platform_is_interactive() { return interactive; }

void platform_message_box(const char* text, const char* caption) {
    if (!text) text = "";
    if (!caption) caption = "";
    // Nobody can press OK: say it where someone will read it and go on as if
    // it had been pressed.
    if (!interactive || !platform_has_display()) {
        to_stderr(text, caption);
        return;
    }
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr) != 0) to_stderr(text, caption);
}
