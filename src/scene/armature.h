// Armatures: bone and skin matrices from the pose, and the bone display.
#pragma once

#include "scene/scene.h"

// Bone matrices and skin matrices from the current pose, bones in array order.
void armature_update_matrices(Armature* armature);
void armature_draw_bones(Armature* armature);
