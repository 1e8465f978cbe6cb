// An orbit camera round a scene: what the scene viewer drags about and what
// a small demo turns with the music.
#pragma once

#include "math/math3d.h"
#include "scene/scene.h"

// Looks at target from distance, turned yaw about the vertical and pitch
// down from the horizontal (radians).
struct OrbitCamera {
    Vec3 target{0, 0, 0};
    float distance = 1.0f;
    float yaw = 0.0f;
    float pitch = 0.35f;
    float radius = 1.0f; // of the scene's bounds, for the clip planes and zoom limits
};

// Bones a skinning program takes: an armature with more is drawn unskinned.
constexpr int ORBIT_SKIN_BONES = 32;

// The bounds of what is drawn at the current pose: every mesh object in its
// matrix as it stands, a skinned one (bone numbers on texture unit 1,
// weights on unit 2) moved by the skin matrices of the armature above it as
// the skinning programs move it. Needs the GL context (the vertices are read
// back from their buffers). False when nothing is drawn.
bool scene_drawn_bounds(Scene* scene, int max_skin_bones, BoundingBox* out);

// The starting orbit: the scene's drawn bounds seen whole from the front (+z)
// a little from above.
OrbitCamera orbit_camera_start(Scene* scene, float fovy_degrees, float aspect);
// The orbit round a box, turned as `from` is: framing the model again keeps
// the direction it is seen from.
OrbitCamera orbit_camera_frame(const BoundingBox& box, float fovy_degrees, float aspect, const OrbitCamera& from);
// Loads the orbit's view into the current matrix.
void orbit_camera_apply(const OrbitCamera& orbit);
