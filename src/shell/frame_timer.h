// Frame-rate measurement and the buffer swap that ends every frame.
#pragma once

#include <cstdint>

struct FrameTimer {
    float rate = 0;           // frames per second, from the last two presents
    float displayed_rate = 0; // the rate shown by the overlay, refreshed five times a second
    int64_t last_counter = 0;
    uint32_t last_display_tick = 0;
};
extern FrameTimer frame_timer;

float frame_timer_update();
void present();

// Back to the all-zero start state (tests).
void frame_timer_reset();
