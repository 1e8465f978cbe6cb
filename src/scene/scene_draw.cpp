#include "scene/scene_draw.h"

#include "core/gl.h"
#include "gfx/texture.h"
#include "gfx/texture_state.h"
#include "scene/armature.h"
#include "scene/bbox.h"
#include "scene/frustum.h"
#include "scene/object.h"
#include "scene/vbo_model.h"
#include "script/shader.h"

void scene_draw(Scene* scene, bool draw_bones) { scene_draw_filtered(scene, draw_bones, nullptr); }

Matrix scene_root_at(const Scene* scene, Vec3 position) {
    Matrix root = matrix_identity();
    matrix_translate(&root, position.x, position.y, position.z);
    matrix_rotate_euler(&root, scene->rotation);
    matrix_scale(&root, scene->scale.x, scene->scale.y, scene->scale.z);
    return root;
}

void scene_update_matrices(Scene* scene) {
    scene->matrix = scene_root_at(scene, scene->position);
    // In list order, so a parent's matrix is current before its children's.
    scene_list_each<SceneObject>(&scene->objects, [](SceneObject* object) { object_compute_matrix(object); });
}

void scene_draw_filtered(Scene* scene, bool draw_bones, const std::function<bool(const SceneObject&)>& keep) {
    glEnable(GL_NORMALIZE);
    glPushMatrix();
    scene->matrix = scene_root_at(scene, scene->position);
    glMultMatrixf(scene->matrix.m);
    if (!scene->objects.header || !scene->objects.header->head) {
        glPopMatrix();
        return;
    }
    const bool culling = engine_options & ENGINE_FRUSTUM_CULLING;
    // Every group resets the texture units; most of those calls repeat what is set.
    texture_state_begin();
    // The object matrices are relative to the root, so the planes are taken in root space.
    Vec4 planes[6];
    if (culling) frustum_update(planes);
    scene_list_each<SceneObject>(&scene->objects, [&](SceneObject* object) {
        if (keep && !keep(*object)) return;
        Mesh* mesh = object_mesh(object);
        if (mesh && culling) {
            BoundingBox world = bbox_transform(mesh->box, object->matrix);
            if (!box_in_frustum(planes, world.min.x, world.min.y, world.min.z, world.max.x, world.max.y, world.max.z))
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
