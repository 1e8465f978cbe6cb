// The clocks: the high-resolution performance counter and the 32-bit
// millisecond tick count (wraps after 49.7 days). Tests drive them.
#pragma once

#include <cstdint>

uint64_t platform_performance_counter();
uint64_t platform_performance_frequency();
uint32_t platform_tick_count();

// Replaces the system clocks with fixed values until released; call again to
// move the driven clock.
void platform_time_drive(uint64_t counter, uint64_t frequency, uint32_t ticks);
void platform_time_release();
