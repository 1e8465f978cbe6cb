#include "shell/frame_timer.h"

#include "platform/platform_time.h"
#include "platform/platform_window.h"

#include <cstdint>

float frame_rate = 0;
float displayed_frame_rate = 0;

namespace {
int64_t last_counter = 0;
uint32_t last_display_tick = 0;
// The on-screen rate changes at most five times a second so it stays readable.
constexpr int32_t display_refresh_ms = 200;
} // namespace

float frame_timer_update() {
    uint64_t frequency = platform_performance_frequency();
    int64_t counter = static_cast<int64_t>(platform_performance_counter());
    int64_t elapsed = counter - last_counter;
    // Two presents within one counter tick would divide by zero; keep the
    // last rate then.
    if (elapsed > 0)
        frame_rate = static_cast<float>(static_cast<long double>(frequency) / static_cast<long double>(elapsed));
    last_counter = counter;

    uint32_t t = platform_tick_count();
    if (static_cast<int32_t>(t - last_display_tick) > display_refresh_ms) {
        displayed_frame_rate = frame_rate;
        last_display_tick = t;
    }
    return frame_rate;
}

void present() {
    frame_timer_update();
    platform_window_swap();
}

void frame_timer_reset() {
    last_counter = 0;
    last_display_tick = 0;
    frame_rate = 0;
    displayed_frame_rate = 0;
}
