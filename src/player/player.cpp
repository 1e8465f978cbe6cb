#include "player/player.h"

#include "audio/audio.h"
#include "core/log.h"
#include "core/paths.h"
#include "gfx/texture.h"
#include "platform/platform_paths.h"
#include "platform/platform_window.h"
#include "script/vertex_profile.h"
#include "shell/frame_timer.h"
#include "shell/input.h"
#include "shell/reload_watch.h"
#include "shell/window.h"
#include "text/font.h"
#include "text/reload_banner.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int key_a = 65;
constexpr int key_escape = 27;
constexpr Color overlay_colour{255, 255, 255, 255};

bool stop(Player* p, int status) {
    p->status = status;
    return false;
}

bool refuse(Player* p, const std::string& error) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", p->setup.name, error.c_str(), p->setup.name);
    return stop(p, 1);
}

// --data, else the working directory, the installed or the built content.
bool choose_data_root(Player* p) {
    std::string& dir = p->options.data_dir;
    std::error_code ec;
    if (!dir.empty()) {
        if (std::filesystem::is_directory(dir, ec)) return true;
        std::fprintf(stderr, "%s: content directory \"%s\" not found\n", p->setup.name, dir.c_str());
        return false;
    }
    std::string looked;
    if (player_find_data_root(platform_executable_dir(), p->setup.content_dir, &dir, &looked)) return true;
    std::fprintf(stderr, "%s: no content (scripts/vertexprofiles.vsl) in %s; use --data DIR\n", p->setup.name,
                 looked.c_str());
    return false;
}

// --report, else the working directory or the user's state folder; a report
// that is not where it used to be is announced.
void choose_report_path(const Player* p) {
    if (!p->options.report_path.empty()) {
        log_set_path(p->options.report_path);
        return;
    }
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    ReportPaths paths = player_report_paths(cwd, std::getenv("HOME"), std::getenv("XDG_STATE_HOME"), p->setup.name);
    if (paths.path != "report.htm") {
        std::filesystem::create_directories(std::filesystem::path(paths.path).parent_path(), ec);
        std::fprintf(stderr, "%s: report in %s\n", p->setup.name, paths.path.c_str());
    }
    log_set_path(paths.path, paths.fallback);
}

// The window the command line asks for when playing live.
void chosen_window(const PlayerOptions& options, int* width, int* height, int* flags) {
    if (options.desktop) {
        *flags = VL_WINDOW_DESKTOP;
    } else if (options.windowed || options.size_given) {
        *flags = VL_WINDOW_FRAMED | VL_WINDOW_RESIZABLE;
        *width = options.width;
        *height = options.height;
    } else {
        *flags = VL_WINDOW_FULLSCREEN;
    }
}

// The glyph sheet is the one texture sampled with nearest filtering.
void load_font() {
    texture_filter_mode = 2;
    Texture sheet = texture_load("fnt_04b08.png");
    font_init(sheet);
    texture_filter_mode = 1;
}

// A frame of a demo that draws nothing of its own around its blocks.
void draw_blocks(Timeline* timeline) {
    gl_clear();
    viewport_percent(0, 0, 100, 100);
    view_ortho(static_cast<float>(FRAME_WIDTH), static_cast<float>(FRAME_HEIGHT));
    timeline_draw(timeline);
    // Whatever view the blocks left, the overlay goes over the whole frame.
    viewport_percent(0, 0, 100, 100);
    view_ortho(static_cast<float>(FRAME_WIDTH), static_cast<float>(FRAME_HEIGHT));
}

void draw_overlay(Player* p, int time) {
    font_set_style(VL_FONT_SMALL | VL_FONT_LEFT);
    if (key_query(key_a, KEY_QUERY_DOWN))
        font_print(10.0f, 10.0f + frame_visible_top(), overlay_colour, "FPS %.2f Time %d",
                   static_cast<double>(frame_timer.displayed_rate), time);
    playback_draw_notice(&p->playback, frame_visible_top());
    // Last, so nothing covers why an edit did not show.
    reload_banner_draw(frame_visible_top(), FRAME_WIDTH);
}

// The benchmark's names when the program gives none: "block1", "block2" and
// so on in the timeline's order; where spans overlap, the later block names
// the frame.
void name_blocks_in_order(FrameDriver* frames, Timeline* timeline) {
    struct Named {
        int start;
        int end;
        std::string name;
    };
    std::vector<Named> blocks;
    ListNode* cursor = nullptr;
    while (list_next(&timeline->blocks, &cursor)) {
        const demoblock* block = static_cast<const demoblock*>(cursor->data);
        blocks.push_back({block->start, block->end, "block" + std::to_string(blocks.size() + 1)});
    }
    frames->name_block = [blocks](int64_t time, const char** name, const char** title) {
        for (const Named& b : blocks) {
            if (time < b.start || time >= b.end) continue;
            *name = b.name.c_str();
            *title = "";
        }
    };
}

} // namespace

bool player_command_line(Player* p, const PlayerSetup& setup, int argc, const char* const* argv) {
    p->setup = setup;
    std::string error;
    if (!player_options_parse(argc, argv, setup, &p->options, &error)) return refuse(p, error);
    if (p->options.help) {
        std::fputs(player_options_usage(setup).c_str(), stdout);
        return stop(p, 0);
    }
    if (p->options.version) {
        std::fputs(player_version_text(setup).c_str(), stdout);
        return stop(p, 0);
    }
    if (!capture_check_options(p->options, &error)) return refuse(p, error);
    if (!choose_data_root(p)) return stop(p, 1);
    choose_report_path(p);
    return true;
}

bool player_start(Player* p) {
    const PlayerSetup& setup = p->setup;
    // A fresh message record and key table for every run.
    input_reset();
    path_set_data_root(p->options.data_dir); // "" is the working directory
    // Before the font and the demo's content load: only files loaded while
    // watching are registered. A refusal is in the report; the show goes on.
    if (p->options.watch) reload_watch_start(p->options.data_dir);

    // Live playback, or off-line capture and benchmark: only the clock and
    // where the frames go differ.
    if (!frame_driver_init(&p->frames, p->options, setup.name, setup.music)) return stop(p, 1);
    if (setup.notices) setup.notices(p->frames.mode == FRAME_LIVE);

    int flags = VL_WINDOW_FRAMED;
    int width = FRAME_WIDTH;
    int height = FRAME_HEIGHT;
    if (setup.window == PLAYER_WINDOW_CHOSEN) chosen_window(p->options, &width, &height, &flags);
    frame_driver_window(&p->frames, &width, &height, &flags);
    if (!window_create(setup.title, 0, 0, width, height, flags)) {
        frame_driver_abandon(&p->frames);
        return stop(p, 1);
    }
    gl_clear_color(setup.clear_colour.r, setup.clear_colour.g, setup.clear_colour.b, setup.clear_colour.a);
    load_font();
    if (!vertex_profile_load("vertexprofiles.vsl") && setup.profiles_required) return stop(p, player_fail(p));
    platform_set_swap_interval(1);
    if (setup.music_clock) frame_driver_audio_init(&p->frames);
    return true;
}

bool player_open(Player* p, const PlayerSetup& setup, int argc, const char* const* argv) {
    return player_command_line(p, setup, argc, argv) && player_start(p);
}

int player_run(Player* p, Timeline* timeline) {
    const PlayerSetup& setup = p->setup;
    // The music from its start, however long loading took.
    if (setup.music && setup.music_clock) audio_play(audio_create_stream(setup.music));
    audio_set_position(0);
    if (setup.name_block) p->frames.name_block = setup.name_block;
    else name_blocks_in_order(&p->frames, timeline);

    frame_driver_measure_start(&p->frames);
    frame_driver_prime(&p->frames, &timeline->current_time, &p->music_time);
    Playback& playback = p->playback;
    playback.live = p->frames.mode == FRAME_LIVE;
    playback.loop = p->options.loop;
    playback.end_ms = setup.end_ms;
    playback.after_seek = setup.after_seek;
    if (playback.live && p->options.audio_delay_given) playback_set_delay(&playback, p->options.audio_delay_ms, 0);
    if (playback.live && p->options.from_ms > 0) {
        playback_seek(&playback, timeline, p->options.from_ms);
        p->music_time = static_cast<float>(timeline->current_time);
    }

    PlayerLoop loop;
    loop.draw = [&] {
        (setup.draw ? setup.draw : draw_blocks)(timeline);
        // The blocks of the next frame see the position read last frame.
        timeline->current_time = static_cast<int>(p->music_time);
        draw_overlay(p, timeline->current_time);
        return true;
    };
    loop.next = [&] {
        p->music_time = static_cast<float>(frame_driver_position(&p->frames));
        // A seek, a pause or the loop: the next frame draws the new time.
        int moved = playback_update(&playback, timeline, static_cast<unsigned>(p->music_time));
        if (moved >= 0) p->music_time = static_cast<float>(moved);
        frame_driver_spectrum(&p->frames);
        // Live, the show is over at its end unless a block still plays there
        // (vantor's last block ends the program itself).
        int time = static_cast<int>(p->music_time);
        return !playback.live || time < setup.end_ms || timeline_playing(timeline, time);
    };
    return player_loop(p, loop);
}

int player_loop(Player* p, const PlayerLoop& loop) {
    while (message_pump()) {
        if (!loop.draw()) break;
        frame_driver_present(&p->frames);
        if (key_query(key_escape, KEY_QUERY_RELEASED) || frame_driver_done(&p->frames)) break;
        if (loop.next && !loop.next()) break;
        // Between two frames, so no frame draws half-swapped content; the
        // report is read while editing, so what a reload said goes out now.
        if (p->options.watch && reload_watch_poll() > 0) log_flush();
    }
    if (p->frames.mode == FRAME_BENCHMARK) p->frames.report.screen_passes = benchmark_screen_passes(p->benchmark_glow);
    return frame_driver_finish(&p->frames);
}

int player_fail(Player* p, const char* why) {
    frame_driver_abandon(&p->frames);
    log_close();
    std::fprintf(stderr, "%s: %s\n", p->setup.name, why ? why : log_fatal_message().c_str());
    return player_close(p, 1);
}

int player_close(Player* p, int status) {
    reload_watch_stop();
    audio_shutdown();
    vertex_profile_free();
    font_free();
    log_close();
    window_destroy();
    key_clear_released();
    p->status = status != 0 ? status : message_exit_code();
    return p->status;
}
