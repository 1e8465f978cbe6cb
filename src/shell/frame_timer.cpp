#include "shell/frame_timer.h"

#include "platform/platform_time.h"
#include "platform/platform_window.h"

#include <cstdint>

FrameTimer frame_timer;

namespace {
// The on-screen rate changes at most five times a second so it stays readable.
constexpr int32_t display_refresh_ms = 200;
} // namespace

float frame_timer_update() {
    uint64_t frequency = platform_performance_frequency();
    int64_t counter = static_cast<int64_t>(platform_performance_counter());
    int64_t elapsed = counter - frame_timer.last_counter;
    // Two presents within one counter tick would divide by zero; keep the
    // last rate then.
    if (elapsed > 0)
        frame_timer.rate = static_cast<float>(static_cast<long double>(frequency) / static_cast<long double>(elapsed));
    frame_timer.last_counter = counter;

    uint32_t t = platform_tick_count();
    if (static_cast<int32_t>(t - frame_timer.last_display_tick) > display_refresh_ms) {
        frame_timer.displayed_rate = frame_timer.rate;
        frame_timer.last_display_tick = t;
    }
    return frame_timer.rate;
}

void present() {
    frame_timer_update();
    platform_window_swap();
}

void frame_timer_reset() { frame_timer = FrameTimer{}; }
