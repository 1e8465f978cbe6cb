// The demo program's command line: the player's shared options, and the
// scene viewer's own.
#pragma once

#include "player/player_setup.h"

#include <string>

struct AppOptions {
    std::string view_path; // --view: the .vscene file, shown instead of the demo
    int scene_fps = 25;    // key frames per second of the viewed scene's animation
};

// The player's setup for "vantor": its name, its version, and --view and
// --scene-fps, read into *options (which must outlive the parse).
PlayerSetup app_player_setup(AppOptions* options);

const char* app_version_text();
