// The scene viewer: one scene file drawn with the engine's own scene
// drawing (skinned meshes through the skinning program, fed with their
// armature's skin matrices), an orbit camera, the scene's cameras, the
// animation clock and a counts overlay. Off line it renders the animation
// from the orbit camera's start, like the demo's capture.
#pragma once

#include "scene/scene.h"
#include "scene/scene_writer.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct AppOptions;
struct Player;

// A model converted in memory: the scene and its pictures by the names the
// scene gives them, with a line for each thing left out.
struct ViewerModel {
    SceneDesc scene;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures;
    std::vector<std::string> warnings;
};
// Converts a model file (glTF) in memory; false with the reason in *error.
using ViewerImport = bool (*)(const std::string& path, ViewerModel* out, std::string* error);

// True for the files the import takes (.gltf, .glb) rather than scene files.
bool viewer_is_model_file(const std::string& path);

// After player_command_line, with --view: returns the process exit status,
// 0 after a normal end, 1 when the scene cannot be read or the window
// cannot be had. A .gltf or .glb goes through import, given by the program
// that links the importer; without one such a file is refused.
int viewer_main(Player* player, const AppOptions& options, ViewerImport import = nullptr);

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
