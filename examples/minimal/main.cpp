// A minimal demo on the V4 engine: a window, one scene loaded from a file,
// the music clock and one block that turns the scene round in time with it.
//
//   minimal SCENE.vscene [--windowed] [--data DIR] [--capture OUT --from MS --to MS ...]
//
// Every option but the scene is the demo program's own (vantor --help).
#include "app/app_options.h"
#include "app/frame_driver.h"
#include "audio/audio.h"
#include "core/log.h"
#include "core/paths.h"
#include "demo/demoblock.h"
#include "scene/animation.h"
#include "scene/orbit.h"
#include "scene/scene_draw.h"
#include "scene/scene_file.h"
#include "script/vertex_profile.h"
#include "shell/input.h"
#include "shell/window.h"

#include <cstdio>
#include <string>
#include <vector>

// Where the engine's content was installed (the CMake package says).
#ifndef V4_CONTENT_DIR
#define V4_CONTENT_DIR "/usr/share/vantor"
#endif

namespace {

// The one block: the scene on a turntable, one turn per ten seconds of
// music, swelling a little with the bass.
class turntable_block : public demoblock {
public:
    Scene* scene = nullptr;
    OrbitCamera orbit;

    void run() override {
        view_perspective(4.0f / 3.0f, 35.0f, orbit.distance * 20.0f, orbit.radius * 0.01f);
        orbit.yaw = static_cast<float>(time) * 6.2831853f / 10000.0f;
        orbit_camera_apply(orbit);
        float swell = 1.0f + 0.2f * music_spectrum[0];
        scene->scale = {swell, swell, swell};
        scene_animate(scene, static_cast<float>(time) * 25.0f / 1000.0f);
        scene_draw(scene, false);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: minimal SCENE.vscene [vantor options]\n");
        return 1;
    }
    // The demo's own command line, less the scene.
    std::vector<const char*> args{argv[0]};
    for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
    AppOptions options;
    std::string error;
    if (!app_options_parse(static_cast<int>(args.size()), args.data(), &options, &error) ||
        !capture_check_options(options, &error)) {
        std::fprintf(stderr, "minimal: %s\n", error.c_str());
        return 1;
    }
    if (options.data_dir.empty()) options.data_dir = V4_CONTENT_DIR;
    path_set_data_root(options.data_dir);
    log_set_path("minimal.htm");

    FrameDriver frames;
    if (!frame_driver_init(&frames, options)) return 1;
    int width = 800, height = 600, flags = VL_WINDOW_FRAMED;
    frame_driver_window(&frames, &width, &height, &flags);
    if (!window_create("Minimal V4 demo", 0, 0, width, height, flags)) return 1;
    vertex_profile_load("vertexprofiles.vsl");
    frame_driver_audio_init(&frames);

    Scene scene;
    scene_init(&scene);
    if (!scene_load_file(&scene, argv[1], &error)) {
        std::fprintf(stderr, "minimal: %s\n", error.c_str());
        return 1;
    }
    turntable_block block;
    block.scene = &scene;
    block.orbit = orbit_camera_start(&scene, 35.0f, 4.0f / 3.0f);
    Timeline timeline;
    timeline_init(&timeline);
    demoblock_set_span(&block, 0, 1 << 30);
    timeline_add(&timeline, &block);

    // The music clock: the stream's playback position (or, off line, the
    // captured frame's time) drives the timeline.
    audio_play(audio_create_stream("fps7.ogg"));
    float music_time = 0;
    frame_driver_prime(&frames, &timeline.current_time, &music_time);
    while (message_pump()) {
        gl_clear();
        timeline_draw(&timeline);
        timeline.current_time = static_cast<int>(music_time);
        frame_driver_present(&frames);
        if (key_query(27, KEY_QUERY_RELEASED) || frame_driver_done(&frames)) break;
        music_time = static_cast<float>(frame_driver_position(&frames));
        frame_driver_spectrum(&frames);
    }

    int status = frame_driver_finish(&frames);
    timeline_free(&timeline);
    scene_free(&scene);
    audio_shutdown();
    vertex_profile_free();
    log_close();
    window_destroy();
    return status;
}
