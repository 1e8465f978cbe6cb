// Drawing a loaded scene with fixed-function OpenGL: the root transform, the
// objects in file order, the material model around every mesh group, the
// axis marker and the bone display, with optional frustum culling.
#pragma once

#include "scene/scene.h"

void scene_draw(Scene* scene, bool draw_bones);
