#pragma once

#include "scene/scene.h"

// Loads the camera's view into the current matrix. A camera no object
// claimed loads the identity.
void camera_apply(const Camera* camera);
