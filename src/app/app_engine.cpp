#include "app/app_engine.h"

#include "core/log.h"
#include "gfx/texture.h"
#include "script/vertex_profile.h"
#include "shell/input.h"
#include "shell/window.h"
#include "text/font.h"

void app_load_font() {
    texture_filter_mode = 2;
    Texture sheet = texture_load("fnt_04b08.png");
    font_init(sheet);
    texture_filter_mode = 1;
}

int app_close(int status) {
    vertex_profile_free();
    font_free();
    log_close();
    window_destroy();
    key_clear_released();
    return status != 0 ? status : message_exit_code();
}
