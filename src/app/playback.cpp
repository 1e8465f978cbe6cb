#include "app/playback.h"

#include "audio/audio.h"
#include "core/log.h"
#include "demo/blocks.h"
#include "demo/demoblock.h"
#include "platform/platform_events.h"
#include "shell/input.h"

#include <algorithm>

namespace {

constexpr int seek_step_ms = 5000;
constexpr int key_page_up = 0x21;
constexpr int key_page_down = 0x22;
constexpr int key_home = 0x24;

// Playback lines go to the report, so a run says what the viewer did and
// where the music really was.
void log_playback(const char* what, unsigned from, unsigned to) {
    int level = log_get_level();
    log_set_level(LOG_INFO);
    if (to == from) log_write("Playback [%s at %u ms]", what, from);
    else log_write("Playback [%s from %u ms to %u ms]", what, from, to);
    log_set_level(level);
    log_flush();
}

} // namespace

void playback_seek(Timeline* timeline, int ms) {
    ms = std::clamp(ms, 0, demo_end_ms);
    audio_set_position(static_cast<unsigned>(ms));
    timeline->current_time = ms;
    demo_blocks_rearm_captures(timeline);
}

int playback_update(Playback* p, Timeline* timeline, unsigned position) {
    if (!p->live) return -1;
    const int now = static_cast<int>(std::min<unsigned>(position, demo_end_ms));
    int target = -1;
    const char* what = "Seek";
    if (key_was_released(VK_SPACE)) {
        bool pause = !audio_is_paused();
        audio_set_paused(pause);
        unsigned at = audio_get_position();
        log_playback(pause ? "Pause" : "Resume", at, at);
    }
    if (key_was_released(VK_RIGHT)) target = now + seek_step_ms;
    if (key_was_released(VK_LEFT)) target = now - seek_step_ms;
    if (key_was_released(key_page_down)) target = demo_block_next_start(now);
    if (key_was_released(key_page_up)) target = demo_block_previous_start(now);
    if (key_was_released(key_home)) target = 0;
    // Where the show would end (the end block quits), start again.
    if (target < 0 && p->loop && position >= static_cast<unsigned>(demo_end_ms)) {
        target = 0;
        what = "Loop";
    }
    if (p->loop && target >= demo_end_ms) target = 0;
    if (target < 0) return -1;
    playback_seek(timeline, target);
    // The position read back after the seek: what the music really does.
    unsigned after = audio_get_position();
    log_playback(what, position, after);
    return static_cast<int>(std::min<unsigned>(after, demo_end_ms));
}
