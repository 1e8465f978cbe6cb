// Object tracks (cubic Bezier location and Euler rotation between keys) and
// armature poses (slerp and lerp between pose frames), evaluated at a time
// in the files' frame units.
#pragma once

#include "scene/scene.h"

// Every animated object, then every armature's pose and matrices.
void scene_animate(Scene* scene, float time);

// Rewrites location and rotation; held after the last key, extrapolated
// before the first. Tracks with fewer than two keys are left alone.
void object_track_evaluate(SceneObject* object, float time);

// Rewrites every bone's pose; the caller rebuilds the matrices.
void armature_pose_evaluate(Armature* armature, float time);
