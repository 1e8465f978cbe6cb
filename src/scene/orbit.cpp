#include "scene/orbit.h"

#include "core/gl.h"
#include "scene/bbox.h"
#include "scene/object.h"

#include <cmath>

namespace {

constexpr float pi = 3.14159265f;

} // namespace

OrbitCamera orbit_camera_start(Scene* scene, float fovy_degrees, float aspect) {
    BoundingBox box;
    bool any = false;
    scene_list_each<SceneObject>(&scene->objects, [&](SceneObject* o) {
        Mesh* mesh = object_mesh(o);
        if (!mesh) return;
        // The mesh's own corners only: bbox_transform also takes in the
        // object's origin, which for a skinned mesh may lie far off.
        for (int i = 0; i < 8; ++i) {
            Vec3 corner{(i & 1) ? mesh->box.max.x : mesh->box.min.x, (i & 2) ? mesh->box.max.y : mesh->box.min.y,
                        (i & 4) ? mesh->box.max.z : mesh->box.min.z};
            Vec3 p = matrix_transform_point(o->matrix, corner.x, corner.y, corner.z);
            if (!any) {
                box.max = box.min = p;
                any = true;
            }
            bbox_extend(&box, p);
        }
    });
    OrbitCamera orbit;
    orbit.target = {(box.max.x + box.min.x) / 2, (box.max.y + box.min.y) / 2, (box.max.z + box.min.z) / 2};
    Vec3 half{(box.max.x - box.min.x) / 2, (box.max.y - box.min.y) / 2, (box.max.z - box.min.z) / 2};
    float radius = std::sqrt(half.x * half.x + half.y * half.y + half.z * half.z);
    if (!std::isfinite(radius) || radius < 1e-3f) radius = 1.0f;
    orbit.radius = radius;
    // Far enough that the bounding sphere fits the narrower side, with room
    // for limbs that move out of the rest pose.
    float half_fov = fovy_degrees * pi / 360.0f;
    if (aspect < 1.0f) half_fov = std::atan(std::tan(half_fov) * aspect);
    orbit.distance = 1.6f * radius / std::sin(half_fov);
    return orbit;
}

void orbit_camera_apply(const OrbitCamera& orbit) {
    glLoadIdentity();
    glTranslatef(0, 0, -orbit.distance);
    glRotatef(orbit.pitch * 180.0f / pi, 1, 0, 0);
    glRotatef(-orbit.yaw * 180.0f / pi, 0, 1, 0);
    glTranslatef(-orbit.target.x, -orbit.target.y, -orbit.target.z);
}
