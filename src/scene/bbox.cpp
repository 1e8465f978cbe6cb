#include "scene/bbox.h"

#include "scene/object.h"

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

bool bbox_of_scene(Scene* scene, BoundingBox* out) {
    bool any = false;
    scene_list_each<SceneObject>(&scene->objects, [&](SceneObject* object) {
        // In list order, as drawing does, so a parent's matrix is current.
        object_compute_matrix(object);
        const Mesh* mesh = object_mesh(object);
        if (!mesh) return;
        BoundingBox box = bbox_transform(mesh->box, object->matrix);
        if (!any) *out = box;
        bbox_extend(out, box.min);
        bbox_extend(out, box.max);
        any = true;
    });
    return any;
}
