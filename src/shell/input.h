// Window messages and polled keyboard and mouse-button state.
#pragma once

#include <cstdint>

enum {
    KEY_QUERY_DOWN = 1,
    KEY_QUERY_RELEASED = 4,
    KEY_QUERY_LAST_RELEASED = 8,
};

// The window procedure: records key and button states, the release queue,
// the window size, and turns a close request into the quit message.
int64_t window_proc(uint32_t window, uint32_t message, uint64_t wparam, int64_t lparam);

// Handles at most one window message; false only on the quit message.
bool message_pump();
// Exit code carried by the quit message that ended the pump (0 when the loop
// ended any other way).
int message_exit_code();
// Posts the quit message, which ends the frame loop with this exit code.
void post_quit_message(int code);

int key_query(int key, int mode);
bool key_was_released(int key);
int key_pop_released();
void key_clear_released();

// Start of a run: every key up, the release queue empty, no message seen.
void input_reset();

// Mouse-wheel notches turned since the last call (away from the user
// positive), and back to 0.
int input_take_wheel();
