#include "app/app_options.h"

#include "demo/blocks.h"
#include "player/player_options.h"

PlayerSetup app_player_setup(AppOptions* options) {
    PlayerSetup setup;
    setup.name = "vantor";
    setup.version = app_version_text();
    setup.end_ms = demo_end_ms;
    setup.extra.with_value = {"--view", "--scene-fps"};
    setup.extra.read = [options](std::string_view name, std::string_view value, const char** bad) {
        if (name == "--view") {
            if (value.empty()) *bad = "a .vscene file";
            else options->view_path = value;
            return true;
        }
        if (name == "--scene-fps") {
            if (!player_parse_int(value, 1, 1000, &options->scene_fps)) *bad = "1 to 1000";
            return true;
        }
        return false;
    };
    setup.extra.check = [options](std::string* error) {
        if (options->scene_fps == 25 || !options->view_path.empty()) return true;
        *error = "--scene-fps goes with --view";
        return false;
    };
    setup.extra.usage = "  --view FILE         show one scene file, or a .gltf or .glb model, instead of the\n"
                        "                      demo: drag to orbit, wheel to zoom, Space pauses, Left/Right\n"
                        "                      step a frame, C cycles the cameras, F frames the model again,\n"
                        "                      hold A for counts; with --capture, the animation\n"
                        "                      from --from to --to seen from the starting orbit camera\n"
                        "  --scene-fps N       key frames per second of the viewed animation (default 25,\n"
                        "                      as vantor-import writes them)\n";
    return setup;
}

const char* app_version_text() { return "vantor " VANTOR_VERSION " (V4 Graphic Engine Project, build \"vantor\")\n"; }
