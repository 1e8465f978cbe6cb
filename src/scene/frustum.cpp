#include "scene/frustum.h"

#include "core/gl.h"

namespace {

Vec4 plane_combine(const Matrix& c, int row, float sign) {
    return Vec4{c.m[3] + sign * c.m[row], c.m[7] + sign * c.m[4 + row], c.m[11] + sign * c.m[8 + row],
                c.m[15] + sign * c.m[12 + row]};
}

} // namespace

void frustum_from_matrices(const Matrix& projection, const Matrix& modelview, Vec4 planes[6]) {
    Matrix clip = projection;
    matrix_multiply(&clip, modelview);
    // A point is inside when -w < x, y, z < w in clip space.
    planes[0] = plane_combine(clip, 0, 1);
    planes[1] = plane_combine(clip, 0, -1);
    planes[2] = plane_combine(clip, 1, 1);
    planes[3] = plane_combine(clip, 1, -1);
    planes[4] = plane_combine(clip, 2, 1);
    planes[5] = plane_combine(clip, 2, -1);
}

void frustum_update(Vec4 planes[6]) {
    Matrix projection, modelview;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
    frustum_from_matrices(projection, modelview, planes);
}
