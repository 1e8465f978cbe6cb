#include "scene/scene_draw.h"

#include "core/gl.h"
#include "gfx/texture.h"
#include "gfx/texture_state.h"
#include "scene/vbo_model.h"
#include "script/shader.h"

Vec4 frustum_planes[6] = {};

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

void bbox_init(BoundingBox* box) {
    box->max = Vec3{0, 0, 0};
    box->min = Vec3{0, 0, 0};
}

void bbox_extend(BoundingBox* box, Vec3 p) {
    if (p.x > box->max.x) box->max.x = p.x;
    if (p.y > box->max.y) box->max.y = p.y;
    if (p.z > box->max.z) box->max.z = p.z;
    if (p.x < box->min.x) box->min.x = p.x;
    if (p.y < box->min.y) box->min.y = p.y;
    if (p.z < box->min.z) box->min.z = p.z;
}

BoundingBox bbox_transform(const BoundingBox& box, const Matrix& m) {
    BoundingBox out;
    out.max = out.min = matrix_translation(m);
    for (int corner = 0; corner < 8; ++corner) {
        float x = (corner & 1) ? box.max.x : box.min.x;
        float y = (corner & 2) ? box.max.y : box.min.y;
        float z = (corner & 4) ? box.max.z : box.min.z;
        bbox_extend(&out, matrix_transform_point(m, x, y, z));
    }
    return out;
}

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

void object_draw_axes(SceneObject*) {
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    glColor3ub(0, 0, 255);
    glVertex3f(0, 0, 1);
    glVertex3f(0, 0, 0);
    glColor3ub(0, 255, 0);
    glVertex3f(0, 1, 0);
    glVertex3f(0, 0, 0);
    glColor3ub(255, 0, 0);
    glVertex3f(1, 0, 0);
    glVertex3f(0, 0, 0);
    glEnd();
    glLineWidth(1.0f);
}

namespace {

void bone_line(const float* tail) {
    static const float origin[3] = {0, 0, 0};
    glBegin(GL_LINES);
    glVertex3fv(origin);
    glVertex3fv(tail);
    glEnd();
}

void bone_points(const float* first, const float* second) {
    glBegin(GL_POINTS);
    glVertex3fv(first);
    glVertex3fv(second);
    glEnd();
}

} // namespace

void armature_draw_bones(Armature* armature) {
    static const float origin[3] = {0, 0, 0};
    for (const Bone& bone : armature->bones) {
        const float tail[3] = {bone.tail.x, bone.tail.y, bone.tail.z};
        glDisable(GL_DEPTH_TEST);
        glPushMatrix();
        glMultMatrixf(bone.matrix.m);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_LINE_SMOOTH);
        glLineWidth(4.0f);
        glColor3ub(68, 86, 93);
        bone_line(tail);
        glColor3ub(94, 126, 141);
        glLineWidth(2.0f);
        bone_line(tail);
        glEnable(GL_POINT_SMOOTH);
        glColor3ub(96, 107, 114);
        glPointSize(6.0f);
        bone_points(tail, origin);
        glColor3ub(193, 215, 228);
        glPointSize(4.0f);
        bone_points(origin, tail);
        glDisable(GL_POINT_SMOOTH);
        glDisable(GL_LINE_SMOOTH);
        glPopMatrix();
    }
}

void scene_draw(Scene* scene, bool draw_bones) {
    glEnable(GL_NORMALIZE);
    glPushMatrix();
    Matrix& root = scene->matrix;
    matrix_identity(&root);
    matrix_translate(&root, scene->position.x, scene->position.y, scene->position.z);
    matrix_rotate_euler(&root, scene->rotation);
    matrix_scale(&root, scene->scale.x, scene->scale.y, scene->scale.z);
    glMultMatrixf(root.m);
    if (!scene->objects.header || !scene->objects.header->head) {
        glPopMatrix();
        return;
    }
    const bool culling = engine_options & ENGINE_FRUSTUM_CULLING;
    // Every group resets the texture units; most of those calls repeat what is set.
    texture_state_begin();
    // The object matrices are relative to the root, so the planes are taken in root space.
    if (culling) frustum_update(frustum_planes);
    scene_list_each<SceneObject>(&scene->objects, [&](SceneObject* object) {
        Mesh* mesh = object_mesh(object);
        if (mesh && culling) {
            BoundingBox world = bbox_transform(mesh->box, object->matrix);
            if (!box_in_frustum(frustum_planes, world.min.x, world.min.y, world.min.z, world.max.x, world.max.y,
                                world.max.z))
                return;
        }
        glPushMatrix();
        object_update_matrix(object);
        if (mesh) {
            mesh_draw(mesh);
            texture_reset_units();
        }
        if (draw_bones) {
            if (Armature* armature = object_armature(object)) {
                armature_draw_bones(armature);
                texture_state_forget();
            }
        }
        if (object->flags & OBJECT_CAMERA) glColor3ub(0, 0, 0);
        if (object->flags & OBJECT_AXES) {
            glDisable(GL_LIGHTING);
            texture_state_enable(GL_TEXTURE_2D, false);
            object_draw_axes(object);
        }
        glPopMatrix();
    });
    glPopMatrix();
    texture_reset_units();
    texture_state_end();
}
