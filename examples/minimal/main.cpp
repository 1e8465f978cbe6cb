// A minimal demo on the V4 engine: a scene file turned round once every ten seconds of music,
// swelling with the bass. The player gives it vantor's options but --view (minimal --help).
#include "player/player.h"
#include "scene/animation.h"
#include "scene/orbit.h"
#include "scene/scene_draw.h"
#include "scene/scene_file.h"
#include "shell/window.h"

struct turntable_block : demoblock {
    Scene scene;
    OrbitCamera orbit;
    void run() override {
        view_perspective(4.0f / 3.0f, 35.0f, orbit.distance * 20.0f, orbit.radius * 0.01f);
        orbit.yaw = static_cast<float>(time) * 6.2831853f / 10000.0f;
        orbit_camera_apply(orbit);
        float swell = 1.0f + 0.2f * music_spectrum[0];
        scene.scale = {swell, swell, swell};
        scene_animate(&scene, static_cast<float>(time) * 25.0f / 1000.0f);
        scene_draw(&scene, false);
    }
};

int main(int argc, char** argv) {
    Player player;
    PlayerSetup setup{
        .name = "minimal", .arguments = "SCENE.vscene", .content_dir = V4_CONTENT_DIR, .title = "Minimal V4 demo"};
    if (!player_open(&player, setup, argc, argv)) return player.status;
    turntable_block block;
    std::string error;
    if (!scene_load_file(&block.scene, player.options.arguments[0], &error)) return player_fail(&player, error.c_str());
    block.orbit = orbit_camera_start(&block.scene, 35.0f, 4.0f / 3.0f);
    demoblock_set_span(&block, 0, 1 << 30);
    Timeline timeline;
    timeline_add(&timeline, &block);
    int status = player_run(&player, &timeline);
    timeline_free(&timeline);
    scene_free(&block.scene);
    return player_close(&player, status);
}
