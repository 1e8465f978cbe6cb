// Axis-aligned bounding boxes of meshes.
#pragma once

#include "scene/scene.h"

void bbox_init(BoundingBox* box);
void bbox_extend(BoundingBox* box, Vec3 point);
// The box in the matrix's target space; always contains the image of the origin.
BoundingBox bbox_transform(const BoundingBox& box, const Matrix& matrix);
// The box of every mesh object of the scene, inside its root transform, with
// the object matrices worked out afresh from where the objects stand now.
// False when the scene has no mesh object.
bool bbox_of_scene(Scene* scene, BoundingBox* out);
