// Drawing a loaded scene with fixed-function OpenGL: the root transform, the
// objects in file order, the material model around every mesh group, the
// axis marker and the bone display; plus the camera view and the optional
// frustum culling.
#pragma once

#include "scene/scene.h"

#include <cstdint>

// Six planes, positive side inside. scene_draw refills them from the
// current projection and modelview (in scene-root space) when culling is on.
extern Vec4 frustum_planes[6];

// The planes of the view volume of projection x modelview, in the space the
// modelview maps from.
void frustum_from_matrices(const Matrix& projection, const Matrix& modelview, Vec4 planes[6]);
// The same from the GL's current projection and modelview matrices.
void frustum_update(Vec4 planes[6]);

void scene_draw(Scene* scene, bool draw_bones);

// Loads the camera's view into the current matrix. A camera no object
// claimed loads the identity.
void camera_apply(const Camera* camera);

void object_draw_axes(SceneObject* object);
void armature_draw_bones(Armature* armature);

void bbox_init(BoundingBox* box);
void bbox_extend(BoundingBox* box, Vec3 point);
// The box in the matrix's target space; always contains the image of the origin.
BoundingBox bbox_transform(const BoundingBox& box, const Matrix& matrix);
