// Drawing a loaded scene with fixed-function OpenGL: the root transform, the
// objects in file order, the material model around every mesh group, the
// axis marker and the bone display, with optional frustum culling.
#pragma once

#include "scene/scene.h"

#include <functional>

void scene_draw(Scene* scene, bool draw_bones);
// The root transform scene_draw applies, for the scene placed at position:
// T(position) x R(the scene's rotation) x S(its scale).
Matrix scene_root_at(const Scene* scene, Vec3 position);
// scene_draw leaving out the objects keep turns down; an empty keep keeps all.
void scene_draw_filtered(Scene* scene, bool draw_bones, const std::function<bool(const SceneObject&)>& keep);
// The root and object matrices as scene_draw leaves them, nothing drawn:
// for a scene whose camera a pass uses without drawing the scene.
void scene_update_matrices(Scene* scene);
