// Two blocks that glow: the circuit board of vantor's content, then a title,
// eight seconds each, both glowing harder with the bass. The show ends after
// sixteen seconds; the player gives it vantor's options (glow --help).
//
// A block glows in three steps: demo_glow_pass draws its draw_scene into a
// small render target and blurs it, the block draws its picture, and
// demo_glow_composite adds the blur over it.
#include "demo/blocks.h"
#include "demo/content.h"
#include "player/player.h"
#include "scene/animation.h"
#include "scene/camera.h"
#include "scene/scene_file.h"
#include "shell/window.h"
#include "text/font.h"

#include <algorithm>

// The board through its own camera, going through its animation.
struct board_block : demoblock {
    void draw_scene() override {
        demo_perspective();
        if (Camera* camera = demo_find_camera(&content->circuits_scene, "Camera")) camera_apply(camera);
        demo_scene_draw(&content->circuits_scene);
    }
    void run() override {
        scene_animate(&content->circuits_scene, progress * 500.0f + 2.0f);
        demo_glow_pass(this, 1.0f + 0.5f * music_spectrum[0]);
        viewport_percent(0, 0, 100, 100);
        draw_scene();
        view_ortho(800, 600);
        demo_glow_composite(this);
    }
};

// A title fading in over its first two seconds.
struct title_block : demoblock {
    void draw_scene() override {
        view_ortho(800, 600);
        font_set_style(VL_FONT_LARGE | VL_FONT_CENTER | VL_FONT_MIDDLE);
        auto alpha = static_cast<uint8_t>(255.0f * std::min(1.0f, progress * 4.0f));
        font_print(400.0f, 300.0f, Color{255, 190, 110, alpha}, "%s", "GLOW ON THE V4 ENGINE");
    }
    void run() override {
        demo_glow_pass(this, 2.0f + 4.0f * music_spectrum[0]);
        viewport_percent(0, 0, 100, 100);
        draw_scene();
        demo_glow_composite(this);
    }
};

int main(int argc, char** argv) {
    // The show's own frame: the letterbox bars hide what the glow leaves out.
    PlayerSetup setup{.name = "glow",
                      .end_ms = 16000,
                      .content_dir = V4_CONTENT_DIR,
                      .title = "Glow on the V4 engine",
                      .draw = demo_frame_draw};
    Player player;
    if (!player_open(&player, setup, argc, argv)) return player.status;

    // Of the show's content only the glow's targets and blur, and the board.
    // Static, as the show's is: it lives as long as the GL context.
    static Content content;
    content_init(&content);
    content_load_glow(&content);
    if (!scene_load(&content.circuits_scene, "circuits.vscene")) return player_fail(&player);

    board_block board;
    title_block title;
    demoblock_set_span(&board, 0, 8000);
    demoblock_set_span(&title, 8000, 16000);
    board.content = title.content = &content;
    Timeline timeline;
    timeline_add(&timeline, &board);
    timeline_add(&timeline, &title);
    // The benchmark times the board's glow on its own after the frames.
    player.benchmark_glow = &board;
    int status = player_run(&player, &timeline);
    timeline_free(&timeline);
    return player_close(&player, status);
}
