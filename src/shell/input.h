// Window messages and polled keyboard and mouse-button state.
#pragma once

#include <cstdint>

enum {
    KEY_QUERY_DOWN = 1,
    KEY_QUERY_RELEASED = 4,
    KEY_QUERY_LAST_RELEASED = 8,
};

// Handles at most one window message; false only on the quit message.
bool message_pump();
// Exit code carried by the last quit message retrieved.
int message_exit_code();
// Posts the quit message (PostQuitMessage).
void post_quit_message(int code);

int key_query(int key, int mode);
bool key_was_released(int key);
int key_pop_released();
void key_clear_released();
