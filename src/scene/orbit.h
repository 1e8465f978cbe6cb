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

// The starting orbit: the bounds of every mesh object, in its matrix as it
// stands, seen whole from the front (+z) a little from above.
OrbitCamera orbit_camera_start(Scene* scene, float fovy_degrees, float aspect);
// Loads the orbit's view into the current matrix.
void orbit_camera_apply(const OrbitCamera& orbit);
