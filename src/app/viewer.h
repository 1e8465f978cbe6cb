// The scene viewer: one scene file drawn with the engine's own scene
// drawing (skinned meshes through the skinning program, fed with their
// armature's skin matrices), an orbit camera, the scene's cameras, the
// animation clock and a counts overlay. Off line it renders the animation
// from the orbit camera's start, like the demo's capture.
#pragma once

#include "math/math3d.h"
#include "scene/scene.h"

#include <string>

struct AppOptions;

// Returns the process exit status: 0 after a normal end, 1 when the scene
// cannot be read or the window cannot be had.
int viewer_main(const AppOptions& options);

// Reads a scene file from anywhere (not only the content's models folder).
// Texture names found beside the file are loaded from there; others are
// looked up in the content as the demo does. False with the reason in
// *error when the file is missing or malformed. Needs the GL context.
bool viewer_load_scene(Scene* scene, const std::string& path, std::string* error);

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

// The orbit camera: looks at target from distance, turned yaw about the
// vertical and pitch down from the horizontal (radians).
struct OrbitCamera {
    Vec3 target{0, 0, 0};
    float distance = 1.0f;
    float yaw = 0.0f;
    float pitch = 0.35f;
    float radius = 1.0f; // of the scene's bounds, for the clip planes and zoom limits
};

// The starting orbit: the bounds of every mesh object, in its matrix as it
// stands, seen whole from the front (+z) a little from above.
OrbitCamera viewer_orbit_start(Scene* scene, float fovy_degrees, float aspect);
// Loads the orbit's view into the current matrix.
void viewer_orbit_apply(const OrbitCamera& orbit);
