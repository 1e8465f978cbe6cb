// What the loaders' files call beyond the loaders themselves: the dialogs
// the script loaders may open and the pbuffer hooks of the texture record.
// The fuzz build leaves out the window and the platform layer, so these
// stand in. The dialogs read both texts to the end (an unterminated text
// still shows up under the sanitizer) and answer as the non-interactive
// platform does, OK; the pbuffer hooks are never reached from decoding.
#include "platform/platform_pbuffer.h"
#include "shell/window.h"
#include "text/error_dialog.h"

#include <cstring>

namespace {
volatile size_t text_bytes = 0;

void touch(const char* text, const char* caption) {
    text_bytes = text_bytes + (text ? std::strlen(text) : 0) + (caption ? std::strlen(caption) : 0);
}
} // namespace

void message_box(const char* text, const char* caption) { touch(text, caption); }

int error_dialog(const char* text, const char* caption) {
    touch(text, caption);
    return ERROR_DIALOG_OK;
}

void platform_pbuffer_bind_tex_image(unsigned) {}
void platform_pbuffer_release_tex_image(unsigned) {}
void platform_pbuffer_destroy(unsigned) {}
