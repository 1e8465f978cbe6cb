#include "platform/platform_time.h"

#include <SDL.h>

namespace {
bool driven = false;
uint64_t driven_counter = 0;
uint64_t driven_frequency = 1;
uint32_t driven_ticks = 0;
} // namespace

uint64_t platform_performance_counter() { return driven ? driven_counter : SDL_GetPerformanceCounter(); }

uint64_t platform_performance_frequency() { return driven ? driven_frequency : SDL_GetPerformanceFrequency(); }

// The tick count is 32 bits and wraps; callers compare with signed differences.
uint32_t platform_tick_count() { return driven ? driven_ticks : static_cast<uint32_t>(SDL_GetTicks64()); }

void platform_time_drive(uint64_t counter, uint64_t frequency, uint32_t ticks) {
    driven = true;
    driven_counter = counter;
    driven_frequency = frequency ? frequency : 1;
    driven_ticks = ticks;
}

void platform_time_release() { driven = false; }
