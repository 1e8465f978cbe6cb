// The two dancing robots: armature, skinned body and dance for each.
#pragma once

#include "scene/scene_writer.h"

// Where both robots dance (their pelvis stands 1 unit above the floor).
extern const Vec3 kRobotSpot;

SceneDesc make_robot_wheee();
SceneDesc make_robot_afropowa();
// Coarser robots on the same bones, drawn only in the glow pass.
SceneDesc make_robot_wheee_glow();
SceneDesc make_robot_afropowa_glow();
