#include "app/demo_main.h"

#include "app/app_engine.h"
#include "app/app_notice.h"
#include "app/app_options.h"
#include "app/frame_driver.h"
#include "app/playback.h"
#include "audio/audio.h"
#include "core/gl.h"
#include "core/log.h"
#include "core/paths.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "demo/demoblock.h"
#include "gfx/texture.h"
#include "platform/platform_window.h"
#include "script/vertex_profile.h"
#include "shell/frame_timer.h"
#include "shell/input.h"
#include "shell/window.h"
#include "text/font.h"

#include <cstdio>

namespace {

const char* const window_title = "V4 Vantor | Quillon DemoTest";
constexpr int screen_width = 800;
constexpr int screen_height = 600;
constexpr int key_a = 65;
constexpr int key_escape = 27;
constexpr Color overlay_colour{255, 255, 255, 255};

// The circuits block, whose glow the benchmark times on its own.
demoblock* glow_block(Timeline* timeline) {
    ListNode* cursor = nullptr;
    while (list_next(&timeline->blocks, &cursor)) {
        demoblock* block = static_cast<demoblock*>(cursor->data);
        if (block->start == demo_block_spans[3].start) return block;
    }
    return nullptr;
}

// A fatal loader error ends the run: the report's trailer, the reason on
// standard error, status 1, and no empty output left behind.
int end_after_fatal_error(FrameDriver* frames) {
    frame_driver_abandon(frames);
    log_close();
    std::fprintf(stderr, "vantor: %s\n", log_fatal_message().c_str());
    return 1;
}

// The window the command line asks for when playing live.
void live_window(const AppOptions& options, int* width, int* height, int* flags) {
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

} // namespace

int demo_main(const AppOptions& options) {
    // A fresh message record and key table for every run.
    input_reset();
    path_set_data_root(options.data_dir); // chosen by the caller; "" is the working directory

    // Live playback, or off-line capture and benchmark: only the clock and
    // where the frames go differ.
    FrameDriver frames;
    if (!frame_driver_init(&frames, options)) return 1;
    app_notice_install(frames.mode == FRAME_LIVE);

    // --- Start-up ---
    int flags = 0;
    int width = screen_width;
    int height = screen_height;
    live_window(options, &width, &height, &flags);
    frame_driver_window(&frames, &width, &height, &flags);
    if (!window_create(window_title, 0, 0, width, height, flags)) {
        frame_driver_abandon(&frames);
        return 1;
    }
    gl_clear_color(0, 0, 0, 255);
    app_load_font();
    if (!vertex_profile_load("vertexprofiles.vsl")) return end_after_fatal_error(&frames);
    platform_set_swap_interval(1);
    frame_driver_audio_init(&frames);

    // Content and blocks live until the process ends, as the frame loop
    // expects; static keeps them reachable to the very end.
    static Content content;
    content_init(&content);
    if (!content_load(&content)) return end_after_fatal_error(&frames);
    // The music from its start, however long loading took.
    audio_play(audio_create_stream("fps7.ogg"));
    audio_set_position(0);

    static Timeline timeline;
    timeline_init(&timeline);
    demo_blocks_create(&timeline, &content);

    float music_time = 0.0f;
    frame_driver_measure_start(&frames);
    frame_driver_prime(&frames, &timeline.current_time, &music_time);
    Playback playback;
    playback.live = frames.mode == FRAME_LIVE;
    playback.loop = options.loop;
    if (playback.live && options.audio_delay_given) playback_set_delay(&playback, options.audio_delay_ms, 0);
    if (playback.live && options.from_ms > 0) {
        playback_seek(&timeline, options.from_ms);
        music_time = static_cast<float>(timeline.current_time);
    }

    // --- Frame loop: one window message handled per pass ---
    while (message_pump()) {
        demo_frame_draw(&timeline);

        // The blocks of the next frame see the position read last frame.
        timeline.current_time = static_cast<int>(music_time);

        font_set_style(VL_FONT_SMALL | VL_FONT_LEFT);
        if (key_query(key_a, KEY_QUERY_DOWN))
            font_print(10.0f, 10.0f + frame_visible_top(), overlay_colour, "FPS %.2f Time %d",
                       static_cast<double>(frame_timer.displayed_rate), timeline.current_time);
        playback_draw_notice(&playback, frame_visible_top());

        frame_driver_present(&frames);
        if (key_query(key_escape, KEY_QUERY_RELEASED) || frame_driver_done(&frames)) break;

        music_time = static_cast<float>(frame_driver_position(&frames));
        // A seek, a pause or the loop: the next frame draws the new time.
        int moved = playback_update(&playback, &timeline, static_cast<unsigned>(music_time));
        if (moved >= 0) music_time = static_cast<float>(moved);
        frame_driver_spectrum(&frames);
    }

    // --- Shutdown ---
    if (frames.mode == FRAME_BENCHMARK) frames.report.screen_passes = benchmark_screen_passes(glow_block(&timeline));
    int status = frame_driver_finish(&frames);
    audio_shutdown();
    return app_close(status);
}
