// The engine's message queue (key, button, size, activation, close and quit
// messages), filled from the system's window and input events, and the
// cursor position. Key codes are the engine's virtual-key codes ('A'..'Z'
// 65..90, Escape 27, ...).
#pragma once

#include <cstdint>

enum : uint32_t {
    WM_CREATE = 0x0001,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A, // wparam: signed notches, away from the user positive
};

enum { WA_INACTIVE = 0, WA_ACTIVE = 1 };

enum {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_MBUTTON = 0x04,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12, // Alt
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_F1 = 0x70,
    VK_F10 = 0x79,
    VK_F12 = 0x7B,
};

struct PlatformMessage {
    uint32_t window = 0; // id of the window it came from, 0 for thread messages
    uint32_t message = 0;
    uint64_t wparam = 0;
    int64_t lparam = 0;
};

// Moves waiting system events into the queue, then removes the oldest
// message into *out. The quit message is handed out only when nothing else
// waits. False (and *out untouched) when there is no message at all.
bool platform_peek_message(PlatformMessage* out);

// Appends a message at the end of the queue.
void platform_post_message(uint32_t message, uint64_t wparam, int64_t lparam);

// Asks for WM_QUIT with this exit code once the queue has drained.
void platform_post_quit_message(int code);

// Drops every queued message and any pending quit.
void platform_flush_messages();

// Cursor position in the window's client area, y down; (0, 0) without a window.
void platform_cursor_position(int* x, int* y);

// Feeds one keyboard event through the same path as real input (an SDL key
// event pushed onto the system queue). key_name is an SDL key name such as
// "Escape", "A" or "Left Alt"; alt_held says whether Alt is down with it.
// For tests; false when the name is unknown.
bool platform_simulate_key(const char* key_name, bool down, bool alt_held);
