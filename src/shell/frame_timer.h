// Frame-rate measurement and the buffer swap that ends every frame.
#pragma once

extern float frame_rate;
extern float displayed_frame_rate;

float frame_timer_update();
void present();

// Back to the all-zero start state (tests).
void frame_timer_reset();
