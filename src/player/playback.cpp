#include "player/playback.h"

#include "audio/audio.h"
#include "core/log.h"
#include "demo/demoblock.h"
#include "platform/platform_events.h"
#include "platform/platform_time.h"
#include "shell/input.h"
#include "text/font.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int seek_step_ms = 5000;
constexpr int key_page_up = 0x21;
constexpr int key_page_down = 0x22;
constexpr int key_home = 0x24;
// '=' / '+' and '-' beside the digits, and the keypad's + and -.
constexpr int key_plus = 0xBB;
constexpr int key_minus = 0xBD;
constexpr int key_pad_plus = 0x6B;
constexpr int key_pad_minus = 0x6D;
constexpr int delay_step_ms = 10;
constexpr int delay_limit_ms = 10000;
constexpr uint32_t notice_ms = 2000;
constexpr Color notice_colour{255, 255, 255, 255};

// Playback lines go to the report, so a run says what the viewer did and
// where the music really was.
void log_playback(const char* what, unsigned from, unsigned to) {
    if (to == from) log_write_at(LOG_INFO, "Playback [%s at %u ms]", what, from);
    else log_write_at(LOG_INFO, "Playback [%s from %u ms to %u ms]", what, from, to);
    log_flush();
}

bool key_down(int key) { return key_query(key, KEY_QUERY_DOWN) == 1; }

// +1 or -1 when + or - is released after it went down with Ctrl held (Ctrl
// may come up first: xdotool and some keyboards send it so).
int delay_keys(Playback* p) {
    bool ctrl = key_down(VK_CONTROL);
    p->plus_armed |= ctrl && (key_down(key_plus) || key_down(key_pad_plus));
    p->minus_armed |= ctrl && (key_down(key_minus) || key_down(key_pad_minus));
    int step = 0;
    if (key_was_released(key_plus) | key_was_released(key_pad_plus)) {
        step += p->plus_armed;
        p->plus_armed = false;
    }
    if (key_was_released(key_minus) | key_was_released(key_pad_minus)) {
        step -= p->minus_armed;
        p->minus_armed = false;
    }
    return step;
}

} // namespace

void playback_set_delay(Playback* p, int ms, unsigned at) {
    ms = std::clamp(ms, -delay_limit_ms, delay_limit_ms);
    audio_set_delay(ms);
    char what[48];
    std::snprintf(what, sizeof what, "Audio delay %d ms", ms);
    log_playback(what, at, at);
    p->notice = true;
    p->notice_until = platform_tick_count() + notice_ms;
}

void playback_draw_notice(Playback* p, float top) {
    if (!p->notice) return;
    if (static_cast<int32_t>(p->notice_until - platform_tick_count()) <= 0) {
        p->notice = false;
        return;
    }
    font_set_style(VL_FONT_SMALL | VL_FONT_LEFT);
    font_print(10.0f, 26.0f + top, notice_colour, "Audio delay %d ms", audio_get_delay());
}

void playback_seek(const Playback* p, Timeline* timeline, int ms) {
    ms = std::clamp(ms, 0, p->end_ms);
    audio_set_position(static_cast<unsigned>(ms));
    timeline->current_time = ms;
    if (p->after_seek) p->after_seek(timeline);
}

int playback_update(Playback* p, Timeline* timeline, unsigned position) {
    if (!p->live) return -1;
    const int end = p->end_ms;
    const int now = static_cast<int>(std::min(position, static_cast<unsigned>(end)));
    int target = -1;
    const char* what = "Seek";
    if (key_was_released(VK_SPACE)) {
        bool pause = !audio_is_paused();
        audio_set_paused(pause);
        unsigned at = audio_get_position();
        log_playback(pause ? "Pause" : "Resume", at, at);
    }
    if (int step = delay_keys(p)) playback_set_delay(p, audio_get_delay() + step * delay_step_ms, position);
    if (key_was_released(VK_RIGHT)) target = now + seek_step_ms;
    if (key_was_released(VK_LEFT)) target = now - seek_step_ms;
    if (key_was_released(key_page_down)) target = timeline_next_start(timeline, now, end);
    if (key_was_released(key_page_up)) target = timeline_previous_start(timeline, now);
    if (key_was_released(key_home)) target = 0;
    // Where the show would end, start again.
    if (target < 0 && p->loop && position >= static_cast<unsigned>(end)) {
        target = 0;
        what = "Loop";
    }
    if (p->loop && target >= end) target = 0;
    if (target < 0) return -1;
    playback_seek(p, timeline, target);
    // The position read back after the seek: what the music really does.
    unsigned after = audio_get_position();
    log_playback(what, position, after);
    return static_cast<int>(std::min(after, static_cast<unsigned>(end)));
}
