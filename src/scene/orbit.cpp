#include "scene/orbit.h"

#include "core/gl.h"
#include "scene/bbox.h"
#include "scene/object.h"
#include "scene/scene_draw.h"
#include "scene/vbo_model.h"
#include "script/vertex_profile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Where a skinned profile keeps what the skinning program reads: the
// position, the bone numbers (integers, unit 1) and the weights (unit 2).
struct SkinLayout {
    int position = -1;
    int bones = -1;
    int weights = -1;
    int stride = 0;
};

bool skin_layout(int profile, SkinLayout* out) {
    if (profile < 0 || profile >= vertex_profile_count) return false;
    const VertexProfile& p = vertex_profiles[profile];
    SkinLayout l;
    l.stride = p.stride;
    for (int i = 0; i < p.client_count; ++i) {
        const VertexClient& c = p.clients[i];
        // Each must lie inside the record, or the file's numbers would take us past it.
        if (c.offset < 0 || c.components < 1 || c.offset + 4 * c.components > p.stride) continue;
        if (c.type == CLIENT_VERTEX && c.components >= 3) l.position = c.offset;
        if (c.type == CLIENT_TEXCOORD_INT && c.unit == 1 && c.components == 4) l.bones = c.offset;
        if (c.type == CLIENT_TEXCOORD && c.unit == 2 && c.components == 4) l.weights = c.offset;
    }
    *out = l;
    return l.position >= 0 && l.bones >= 0 && l.weights >= 0;
}

struct Bounds {
    BoundingBox box;
    bool any = false;
};

void bounds_add(Bounds* b, Vec3 p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    if (!b->any) {
        b->box.max = b->box.min = p;
        b->any = true;
    }
    bbox_extend(&b->box, p);
}

// The mesh's own corners only: bbox_transform also takes in the object's
// origin, which for a skinned mesh may lie far off.
void add_box_corners(Bounds* b, const Mesh& mesh, const Matrix& matrix) {
    for (int i = 0; i < 8; ++i) {
        Vec3 corner{(i & 1) ? mesh.box.max.x : mesh.box.min.x, (i & 2) ? mesh.box.max.y : mesh.box.min.y,
                    (i & 4) ? mesh.box.max.z : mesh.box.min.z};
        bounds_add(b, matrix_transform_point(matrix, corner.x, corner.y, corner.z));
    }
}

// Every vertex as the skinning program places it: the weighted sum of its
// bones' skin matrices times the rest position, divided through by the sum
// of the weights as the projection's divide does.
bool add_skinned(Bounds* b, const Mesh& mesh, const Matrix& matrix, const Armature& armature, const SkinLayout& l) {
    std::vector<uint8_t> bytes = mesh_read_vertices(&mesh);
    size_t stride = static_cast<size_t>(l.stride);
    if (stride == 0 || mesh.vertex_count <= 0 || bytes.size() / stride < static_cast<size_t>(mesh.vertex_count))
        return false;
    size_t bones = std::min(armature.skin.size(), static_cast<size_t>(armature.bone_count));
    for (size_t v = 0; v < static_cast<size_t>(mesh.vertex_count); ++v) {
        const uint8_t* record = bytes.data() + v * stride;
        float pos[3];
        int32_t index[4];
        float weight[4];
        std::memcpy(pos, record + l.position, sizeof pos);
        std::memcpy(index, record + l.bones, sizeof index);
        std::memcpy(weight, record + l.weights, sizeof weight);
        Vec3 sum{0, 0, 0};
        float total = 0;
        for (int k = 0; k < 4; ++k) {
            if (weight[k] == 0.0f || index[k] < 0 || static_cast<size_t>(index[k]) >= bones) continue;
            Vec3 p = matrix_transform_point(armature.skin[static_cast<size_t>(index[k])], pos[0], pos[1], pos[2]);
            sum = {sum.x + weight[k] * p.x, sum.y + weight[k] * p.y, sum.z + weight[k] * p.z};
            total += weight[k];
        }
        if (std::fabs(total) < 1e-6f) continue;
        bounds_add(b, matrix_transform_point(matrix, sum.x / total, sum.y / total, sum.z / total));
    }
    return true;
}

} // namespace

bool scene_drawn_bounds(Scene* scene, int max_skin_bones, BoundingBox* out) {
    scene_update_matrices(scene);
    Bounds b;
    scene_list_each<SceneObject>(&scene->objects, [&](SceneObject* o) {
        Mesh* mesh = object_mesh(o);
        if (!mesh) return;
        SkinLayout layout;
        const Armature* armature = object_skin_armature(o);
        bool skinned = armature && armature->bone_count <= max_skin_bones && skin_layout(mesh->profile, &layout);
        if (!skinned || !add_skinned(&b, *mesh, o->matrix, *armature, layout)) add_box_corners(&b, *mesh, o->matrix);
    });
    if (b.any) *out = b.box;
    return b.any;
}

OrbitCamera orbit_camera_frame(const BoundingBox& box, float fovy_degrees, float aspect, const OrbitCamera& from) {
    OrbitCamera orbit = from;
    orbit.target = {(box.max.x + box.min.x) / 2, (box.max.y + box.min.y) / 2, (box.max.z + box.min.z) / 2};
    Vec3 half{(box.max.x - box.min.x) / 2, (box.max.y - box.min.y) / 2, (box.max.z - box.min.z) / 2};
    float radius = std::sqrt(half.x * half.x + half.y * half.y + half.z * half.z);
    if (!std::isfinite(radius) || radius < 1e-3f) radius = 1.0f;
    orbit.radius = radius;
    // Far enough that the bounding sphere fits the narrower side, with room
    // for limbs that move out of the pose.
    float half_fov = fovy_degrees * math_pi / 360.0f;
    if (aspect < 1.0f) half_fov = std::atan(std::tan(half_fov) * aspect);
    orbit.distance = 1.6f * radius / std::sin(half_fov);
    return orbit;
}

OrbitCamera orbit_camera_start(Scene* scene, float fovy_degrees, float aspect) {
    BoundingBox box;
    scene_drawn_bounds(scene, ORBIT_SKIN_BONES, &box);
    return orbit_camera_frame(box, fovy_degrees, aspect, OrbitCamera{});
}

void orbit_camera_apply(const OrbitCamera& orbit) {
    glLoadIdentity();
    glTranslatef(0, 0, -orbit.distance);
    glRotatef(orbit.pitch * 180.0f / math_pi, 1, 0, 0);
    glRotatef(-orbit.yaw * 180.0f / math_pi, 0, 1, 0);
    glTranslatef(-orbit.target.x, -orbit.target.y, -orbit.target.z);
}
