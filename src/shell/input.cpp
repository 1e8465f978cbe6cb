#include "shell/input.h"

#include "core/list.h"
#include "platform/platform_events.h"
#include "platform/platform_window.h"
#include "shell/window.h"

#include <cstdlib>

namespace {

constexpr int key_count = 256;
constexpr int release_queue_limit = 10;

int key_state[key_count];
List release_queue;
PlatformMessage message_record;
int exit_code = 0;

// Key codes are below 256; anything else must never index the table.
bool valid_key(uint64_t key) { return key < key_count; }

void read_client_size() {
    // No window (a test driving the procedure directly): nothing to read.
    if (!platform_window_is_open()) return;
    int w = 0, h = 0;
    platform_window_client_size(&w, &h);
    window_size.width = w;
    window_size.height = h;
}

int queue_length() {
    int n = 0;
    ListNode* cursor = nullptr;
    while (list_next(&release_queue, &cursor)) ++n;
    return n;
}

void on_key_up(uint64_t key) {
    if (!valid_key(key)) return;
    int k = static_cast<int>(key);
    // A release of a key never seen going down is not queued.
    if (key_state[k]) {
        int* code = static_cast<int*>(std::malloc(sizeof(int)));
        *code = k;
        list_push_back(&release_queue, code);
    }
    if (queue_length() > release_queue_limit) {
        ListNode* cursor = nullptr;
        list_next(&release_queue, &cursor);
        std::free(cursor->data);
        list_remove(&release_queue, &cursor);
    }
    key_state[k] = 0;
}

} // namespace

int64_t window_proc(uint32_t, uint32_t message, uint64_t wparam, int64_t) {
    switch (message) {
    case WM_CREATE: return 0;
    case WM_SIZE: read_client_size(); return 0;
    case WM_ACTIVATE:
        read_client_size();
        platform_make_current();
        return 0;
    case WM_CLOSE: post_quit_message(0); return 0;
    case WM_KEYDOWN:
        if (valid_key(wparam)) key_state[wparam] = 1;
        return 0;
    case WM_KEYUP: on_key_up(wparam); return 0;
    case WM_LBUTTONDOWN: key_state[VK_LBUTTON] = 1; return 0;
    case WM_LBUTTONUP: key_state[VK_LBUTTON] = 0; return 0;
    case WM_RBUTTONDOWN: key_state[VK_RBUTTON] = 1; return 0;
    case WM_RBUTTONUP: key_state[VK_RBUTTON] = 0; return 0;
    default: return 0; // DefWindowProc: nothing the engine relies on
    }
}

bool message_pump() {
    if (!platform_peek_message(&message_record)) return true;
    if (message_record.message == WM_QUIT) {
        exit_code = static_cast<int>(static_cast<int64_t>(message_record.wparam));
        return false;
    }
    // System key-downs never reach the window procedure, so Alt+F4 and the
    // system menu keys do nothing; only the Alt state is kept.
    if (message_record.message == WM_SYSKEYDOWN) {
        key_state[VK_MENU] = 1;
        return true;
    }
    window_proc(message_record.window, message_record.message, message_record.wparam, message_record.lparam);
    if (message_record.message == WM_SYSKEYUP) key_state[VK_MENU] = 0;
    return true;
}

int message_exit_code() { return exit_code; }

void post_quit_message(int code) { platform_post_quit_message(code); }

bool key_was_released(int key) {
    bool found = false;
    ListNode* cursor = nullptr;
    while (list_next(&release_queue, &cursor)) {
        if (*static_cast<int*>(cursor->data) != key) continue;
        std::free(cursor->data);
        list_remove(&release_queue, &cursor);
        found = true;
    }
    return found;
}

int key_pop_released() {
    if (!release_queue.header || !release_queue.header->tail) return 0;
    ListNode* cursor = release_queue.header->tail;
    int key = *static_cast<int*>(cursor->data);
    std::free(cursor->data);
    list_remove(&release_queue, &cursor);
    return key;
}

void key_clear_released() {
    ListNode* cursor = nullptr;
    while (list_next(&release_queue, &cursor)) {
        std::free(cursor->data);
        list_remove(&release_queue, &cursor);
    }
    list_destroy(&release_queue);
}

int key_query(int key, int mode) {
    if (mode == KEY_QUERY_RELEASED) return key_was_released(key) ? 1 : 0;
    if (mode == KEY_QUERY_LAST_RELEASED) return key_pop_released();
    if (mode == 0 && key == 0) key_clear_released();
    return key >= 0 && key < key_count ? key_state[key] : 0;
}

void input_reset() {
    key_clear_released();
    for (int& k : key_state) k = 0;
    message_record = PlatformMessage{};
    exit_code = 0;
}
