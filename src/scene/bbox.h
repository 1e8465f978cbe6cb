// Axis-aligned bounding boxes of meshes.
#pragma once

#include "scene/scene.h"

void bbox_init(BoundingBox* box);
void bbox_extend(BoundingBox* box, Vec3 point);
// The box in the matrix's target space; always contains the image of the origin.
BoundingBox bbox_transform(const BoundingBox& box, const Matrix& matrix);
