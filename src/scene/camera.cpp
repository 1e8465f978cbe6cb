#include "scene/camera.h"

#include "core/gl.h"

void camera_apply(const Camera* camera) {
    glLoadIdentity();
    // A camera no object holds has no view; leave the identity.
    if (!camera || !camera->matrix) return;
    Matrix rotation = *camera->matrix;
    rotation.m[12] = rotation.m[13] = rotation.m[14] = 0;
    Matrix inverse = matrix_inverse(rotation);
    glMultMatrixf(inverse.m);
    glTranslatef(-camera->matrix->m[12], -camera->matrix->m[13], -camera->matrix->m[14]);
}
