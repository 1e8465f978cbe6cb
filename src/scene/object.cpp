#include "scene/object.h"

#include "core/gl.h"

Mesh* object_mesh(const SceneObject* object) {
    return (object->flags & OBJECT_MESH) ? static_cast<Mesh*>(object->data) : nullptr;
}

Armature* object_armature(const SceneObject* object) {
    return (object->flags & OBJECT_ARMATURE) ? static_cast<Armature*>(object->data) : nullptr;
}

Armature* object_skin_armature(const SceneObject* object) {
    for (const SceneObject* p = object->parent; p; p = p->parent)
        if (Armature* a = object_armature(p)) return a;
    return nullptr;
}

void object_compute_matrix(SceneObject* object) {
    matrix_identity(&object->matrix);
    if ((object->flags & OBJECT_PARENT) && object->parent) matrix_multiply(&object->matrix, object->parent->matrix);
    matrix_translate(&object->matrix, object->location.x, object->location.y, object->location.z);
    matrix_rotate_quat(&object->matrix, object->rotation);
    matrix_scale(&object->matrix, object->scale.x, object->scale.y, object->scale.z);
}

void object_update_matrix(SceneObject* object) {
    object_compute_matrix(object);
    glMultMatrixf(object->matrix.m);
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
