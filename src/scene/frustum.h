// The view volume as six planes, for culling.
#pragma once

#include "math/math3d.h"

// Six planes, positive side inside: the view volume of projection x
// modelview, in the space the modelview maps from.
void frustum_from_matrices(const Matrix& projection, const Matrix& modelview, Vec4 planes[6]);
// The same from the GL's current projection and modelview matrices.
void frustum_update(Vec4 planes[6]);
