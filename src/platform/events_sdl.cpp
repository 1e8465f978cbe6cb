#include "platform/platform_events.h"

#include "platform/window_sdl_internal.h"

#include <SDL.h>

#include <deque>

namespace {

std::deque<PlatformMessage> queue;
bool quit_pending = false;
int quit_code = 0;

// The engine's virtual-key code for an SDL key, 0 for keys the engine has no code for.
// Letters and digits follow the keyboard layout; the rest go by
// position.
int virtual_key(const SDL_Keysym& key) {
    SDL_Keycode sym = key.sym;
    if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
    SDL_Scancode sc = key.scancode;
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return 0x61 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_PAUSE: return 0x13;
    case SDL_SCANCODE_CAPSLOCK: return 0x14;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAGEUP: return 0x21;
    case SDL_SCANCODE_PAGEDOWN: return 0x22;
    case SDL_SCANCODE_END: return 0x23;
    case SDL_SCANCODE_HOME: return 0x24;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_PRINTSCREEN: return 0x2C;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_DELETE: return 0x2E;
    case SDL_SCANCODE_LGUI: return 0x5B;
    case SDL_SCANCODE_RGUI: return 0x5C;
    case SDL_SCANCODE_APPLICATION: return 0x5D;
    case SDL_SCANCODE_KP_0: return 0x60;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_PERIOD: return 0x6E;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 0x90;
    case SDL_SCANCODE_SCROLLLOCK: return 0x91;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    default: return 0;
    }
}

int64_t make_lparam(int low, int high) {
    return static_cast<int64_t>((static_cast<uint32_t>(high & 0xFFFF) << 16) | static_cast<uint32_t>(low & 0xFFFF));
}

void push(uint32_t window, uint32_t message, uint64_t wparam, int64_t lparam) {
    queue.push_back(PlatformMessage{window, message, wparam, lparam});
}

void translate_key(const SDL_KeyboardEvent& ev) {
    int vk = virtual_key(ev.keysym);
    if (vk == 0) return;
    bool down = ev.type == SDL_KEYDOWN;
    // Alt itself, any key while Alt is held, and F10 arrive as
    // system keys.
    bool alt = (ev.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
    bool sys = alt || vk == VK_F10;
    uint32_t message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);

    // Key-message lParam: repeat count, context (Alt), previous state, transition.
    uint32_t bits = 1;
    if (alt) bits |= 1u << 29;
    if (!down || ev.repeat) bits |= 1u << 30;
    if (!down) bits |= 1u << 31;

    // A slow reader gets auto-repeats folded into one message with a repeat
    // count instead of a flood that delays other keys.
    if (down && ev.repeat && !queue.empty()) {
        PlatformMessage& last = queue.back();
        if (last.message == message && last.wparam == static_cast<uint64_t>(vk) && (last.lparam & (1 << 30))) {
            uint32_t count = static_cast<uint32_t>(last.lparam) & 0xFFFF;
            if (count < 0xFFFF) last.lparam = (last.lparam & ~int64_t{0xFFFF}) | (count + 1);
            return;
        }
    }
    push(ev.windowID, message, static_cast<uint64_t>(vk), static_cast<int64_t>(bits));
}

void translate_button(const SDL_MouseButtonEvent& ev) {
    bool down = ev.type == SDL_MOUSEBUTTONDOWN;
    uint32_t message;
    switch (ev.button) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    default: return;
    }
    push(ev.windowID, message, 0, make_lparam(ev.x, ev.y));
}

void translate_wheel(const SDL_MouseWheelEvent& ev) {
    int notches = ev.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.y : ev.y;
    if (notches == 0) return;
    push(ev.windowID, WM_MOUSEWHEEL, static_cast<uint64_t>(static_cast<int64_t>(notches)), 0);
}

void translate_window(const SDL_WindowEvent& ev) {
    switch (ev.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: push(ev.windowID, WM_SIZE, 0, make_lparam(ev.data1, ev.data2)); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: push(ev.windowID, WM_ACTIVATE, WA_ACTIVE, 0); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: push(ev.windowID, WM_ACTIVATE, WA_INACTIVE, 0); break;
    case SDL_WINDOWEVENT_CLOSE: push(ev.windowID, WM_CLOSE, 0, 0); break;
    default: break;
    }
}

// Mouse motion, text input and the rest have no reader; dropping them keeps
// the one-message-per-frame pump from falling behind.
void drain_system_events() {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
        switch (ev.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: translate_key(ev.key); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: translate_button(ev.button); break;
        case SDL_MOUSEWHEEL: translate_wheel(ev.wheel); break;
        case SDL_WINDOWEVENT: translate_window(ev.window); break;
        // SIGINT / SIGTERM: ask to close, like the window's close button.
        case SDL_QUIT: push(0, WM_CLOSE, 0, 0); break;
        default: break;
        }
    }
}

} // namespace

bool platform_peek_message(PlatformMessage* out) {
    drain_system_events();
    if (!queue.empty()) {
        *out = queue.front();
        queue.pop_front();
        return true;
    }
    if (quit_pending) {
        quit_pending = false;
        *out = PlatformMessage{0, WM_QUIT, static_cast<uint64_t>(static_cast<int64_t>(quit_code)), 0};
        return true;
    }
    return false;
}

void platform_post_message(uint32_t message, uint64_t wparam, int64_t lparam) { push(0, message, wparam, lparam); }

void platform_post_quit_message(int code) {
    quit_pending = true;
    quit_code = code;
}

void platform_flush_messages() {
    drain_system_events();
    queue.clear();
    quit_pending = false;
    quit_code = 0;
}

void platform_cursor_position(int* x, int* y) {
    *x = 0;
    *y = 0;
    SDL_Window* window = platform_sdl_window();
    if (!window) return;
    // GetCursorPos + ScreenToClient: screen position minus the client origin,
    // also valid while the cursor is outside the window.
    // While the cursor is over the window, SDL's own state follows every
    // motion event; the global query only refreshes on button events on some
    // X servers and would drop the first click of a dialog.
    if (SDL_GetMouseFocus() == window) {
        SDL_GetMouseState(x, y);
        return;
    }
    int gx = 0, gy = 0, wx = 0, wy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(window, &wx, &wy);
    *x = gx - wx;
    *y = gy - wy;
}

bool platform_simulate_key(const char* key_name, bool down, bool alt_held) {
    if (!SDL_WasInit(SDL_INIT_EVENTS) && SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return false;
    SDL_Keycode sym = SDL_GetKeyFromName(key_name);
    if (sym == SDLK_UNKNOWN) return false;
    SDL_Event ev{};
    ev.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    ev.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    ev.key.keysym.sym = sym;
    ev.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    ev.key.keysym.mod = alt_held ? KMOD_LALT : KMOD_NONE;
    return SDL_PushEvent(&ev) == 1;
}
