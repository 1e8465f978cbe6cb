// The scene viewer: one scene file drawn with the engine's own scene
// drawing (skinned meshes through the skinning program, fed with their
// armature's skin matrices), an orbit camera, the scene's cameras, the
// animation clock and a counts overlay. Off line it renders the animation
// from the orbit camera's start, like the demo's capture.
#pragma once

#include "scene/scene.h"

struct AppOptions;
struct Player;

// After player_command_line, with --view: returns the process exit status,
// 0 after a normal end, 1 when the scene cannot be read or the window
// cannot be had.
int viewer_main(Player* player, const AppOptions& options);

// The last key time of every object track and pose frame: the animation's
// length in key frames (0 for a still scene).
float viewer_animation_length(Scene* scene);

// Totals the overlay shows.
struct SceneCounts {
    long objects = 0;
    long vertices = 0;
    long faces = 0;
    long bones = 0;
};
SceneCounts viewer_scene_counts(Scene* scene);
