// Scene objects: their data by flags, their matrices, the axis marker.
#pragma once

#include "scene/scene.h"

// The object's data by its flags; null when the flag is clear.
Mesh* object_mesh(const SceneObject* object);
Armature* object_armature(const SceneObject* object);
// The nearest ancestor holding an armature: how a skinned mesh object finds
// the armature its bone numbers refer to. Null when there is none.
Armature* object_skin_armature(const SceneObject* object);

// matrix = parent's matrix (as it stands) x T(location) x R(rotation) x S(scale).
void object_compute_matrix(SceneObject* object);
// object_compute_matrix, then glMultMatrixf with the new matrix.
void object_update_matrix(SceneObject* object);

void object_draw_axes(SceneObject* object);
