#include "gfx/gl.h"
#include "shell/log.h"
#include "shell/window.h"
#include "platform/platform_window.h"

int main() {
    if (!window_create("V4 Vantor | Quillon DemoTest", 0, 0, 800, 600, VL_WINDOW_FRAMED)) return 1;
    gl_clear_color(0, 0, 0, 255);
    gl_clear();
    platform_window_swap();
    log_close();
    window_destroy();
    return 0;
}
