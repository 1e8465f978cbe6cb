#include "scene/armature.h"

#include "core/gl.h"

void armature_update_matrices(Armature* armature) {
    for (size_t i = 0; i < armature->bones.size(); ++i) {
        Bone& bone = armature->bones[i];
        matrix_identity(&bone.matrix);
        if (bone.parent) {
            matrix_multiply(&bone.matrix, bone.parent->matrix);
            matrix_translate(&bone.matrix, bone.parent->tail.x, bone.parent->tail.y, bone.parent->tail.z);
        }
        matrix_translate(&bone.matrix, bone.pose_location.x, bone.pose_location.y, bone.pose_location.z);
        matrix_rotate_quat(&bone.matrix, bone.pose_rotation);
        if (i < armature->skin.size()) {
            Matrix& skin = armature->skin[i];
            skin = bone.matrix;
            matrix_translate(&skin, -bone.head.x, -bone.head.y, -bone.head.z);
        }
    }
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
