// The in-memory model of a loaded scene: objects, meshes, materials with
// texture layers, armatures, cameras and object tracks. A Scene owns every
// record reachable from its six lists; the lists hold pointers.
#pragma once

#include "core/list.h"
#include "math/math3d.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Texture;
struct ShaderProgram;

enum : uint32_t {
    OBJECT_PARENT = 0x01,
    OBJECT_MESH = 0x02,
    OBJECT_AXES = 0x04,
    OBJECT_ARMATURE = 0x08,
    OBJECT_ANIMATED = 0x10,
    OBJECT_CAMERA = 0x20,
};

enum : uint32_t {
    MESH_BUFFERED = 0x02,
    MESH_MATERIALS = 0x04,
};

enum : uint32_t {
    MATERIAL_UNLIT = 0x01,
    MATERIAL_SHADER = 0x02,
    MATERIAL_NO_FOG = 0x04,
    MATERIAL_TWO_PASS = 0x10,
    MATERIAL_WIREFRAME = 0x20,
    // Front faces only: a closed mesh never shows its back faces, and not
    // rasterising them halves the triangles it costs.
    MATERIAL_CULL_BACK = 0x40,
    // No blending: the material's fragments replace what is behind them, so
    // a surface whose alpha is always 1 skips reading the picture back.
    MATERIAL_OPAQUE = 0x80,
};

enum : uint32_t {
    LAYER_BIND = 0x01,
    LAYER_SPHERE_MAP = 0x04,
    LAYER_REFLECTION_MAP = 0x08,
};

// Texture-environment combine modes of a material layer.
enum {
    COMBINE_MODULATE = 0,
    COMBINE_MODULATE_2X = 1,
    COMBINE_MODULATE_4X = 2,
    COMBINE_ADD = 3,
    COMBINE_ADD_2X = 4,
    COMBINE_ADD_4X = 5,
    COMBINE_BLEND = 6,
    COMBINE_DOT3 = 7,
    COMBINE_MODULATE_PREVIOUS = 8,
    COMBINE_MIX_BY_COLOR = 9,
    COMBINE_MIX_BY_TEXTURE = 10,
};

struct BoundingBox {
    Vec3 max{0, 0, 0};
    Vec3 min{0, 0, 0};
};

// One 28-byte vertex-group entry; kept, never interpreted.
struct VertexGroupEntry {
    uint32_t value = 0;
    Vec3 a{0, 0, 0};
    Vec3 b{0, 0, 0};
};

struct VertexGroup {
    std::vector<VertexGroupEntry> entries;
    std::string name;
    int32_t entry_count = 0;
};

struct Material;

struct MeshGroup {
    // Client copy of 3 x face_count indices; empty once uploaded to index_buffer.
    std::vector<uint32_t> indices;
    uint32_t index_buffer = 0;
    int32_t face_count = 0;
    // Resolved only when the mesh has MESH_MATERIALS; material_index keeps the file's number.
    Material* material = nullptr;
    int32_t material_index = 0;
};

struct Mesh {
    std::string name;
    // Client copy of vertex_count x stride bytes; empty once uploaded to vertex_buffer.
    std::vector<uint8_t> vertices;
    uint32_t vertex_buffer = 0;
    List groups; // MeshGroup*, in reverse file order
    BoundingBox box;
    std::vector<VertexGroup> vertex_groups;
    int32_t vertex_count = 0;
    int32_t group_count = 0;
    int32_t profile = 0;
    uint32_t flags = 0;
    int32_t vertex_group_count = 0;
};

struct MaterialLayer {
    Texture* texture = nullptr;
    uint32_t flags = 0;
    int32_t mode = 0;
};

struct Material {
    std::string name;
    float colour[4] = {1, 1, 1, 1};
    Vec3 reserved{1, 1, 1};
    float reserved_1 = 0.5f;
    float reserved_2 = 1.0f;
    float reserved_3 = 0.0f;
    uint32_t flags = 0;
    int32_t layer_count = 0; // as read from the file; material_add_layer leaves it
    ShaderProgram* shader = nullptr;
    List layers; // MaterialLayer*
};

struct Bone {
    Vec3 head{0, 0, 0};
    Vec3 tail{0, 0, 0};
    Vec3 pose_location{0, 0, 0};
    Vec4 pose_rotation{0, 0, 0, 1};
    Bone* parent = nullptr;
    Matrix matrix = matrix_identity();
};

struct PoseFrame {
    std::vector<Vec4> rotations;
    std::vector<Vec3> locations;
    int32_t count = 0;
    float time = 0;
};

struct Armature {
    std::string name;
    int32_t bone_count = 0;
    std::vector<Bone> bones;  // parents before children
    std::vector<Matrix> skin; // one per bone; the "bmatrix" uniform array
    std::vector<PoseFrame> frames;
    int32_t frame_count = 0;
    int32_t current_frame = 0;
};

struct Camera {
    std::string name;
    const Matrix* matrix = nullptr; // the holding object's matrix; null while unclaimed
    uint32_t parameter = 0;
};

// location and rotation are (in-handle, value, out-handle); rotations are Euler angles in radians.
struct TrackKey {
    Vec3 location[3] = {};
    Vec3 rotation[3] = {};
    float time = 0;
};

struct ObjectTrack {
    std::vector<TrackKey> keys;
    int32_t key_count = 0;
    int32_t current_key = 0;
};

struct SceneObject {
    std::string name;
    Vec3 location{0, 0, 0};
    Vec3 scale{0, 0, 0};
    Vec4 rotation{0, 0, 0, 1};
    Matrix matrix = matrix_identity();
    void* data = nullptr; // Mesh, Armature or Camera by the flags
    uint32_t flags = 0;
    SceneObject* parent = nullptr;
    std::unique_ptr<ObjectTrack> track;
};

struct Scene {
    int32_t object_count = 0;
    int32_t mesh_count = 0;
    int32_t material_count = 0;
    int32_t texture_count = 0;
    int32_t armature_count = 0;
    int32_t camera_count = 0;
    List objects;   // SceneObject*
    List meshes;    // Mesh*
    List materials; // Material*
    List textures;  // Texture*
    List armatures; // Armature*
    List cameras;   // Camera*
    Vec3 position{0, 0, 0};
    Vec3 rotation{0, 0, 0};
    Vec3 scale{1, 1, 1};
    Matrix matrix = matrix_identity();
};

// Empties the record without freeing what it held.
// Drawing options for the whole run: 0x02 lets materials enable lighting,
// 0x08 culls mesh objects against the view volume. Both clear in the demo.
enum : uint32_t {
    ENGINE_LIGHTING = 0x02,
    ENGINE_FRUSTUM_CULLING = 0x08,
};
extern uint32_t engine_options;

void scene_init(Scene* scene);
// Frees everything the scene owns (records, textures, buffer objects) and
// empties it; a watched scene is forgotten. The demo never calls it; tests,
// tools and reloads do.
void scene_free(Scene* scene);

// First record in file order whose name matches exactly; null otherwise.
Material* scene_find_material(Scene* scene, const char* name);
SceneObject* scene_find_object(Scene* scene, const char* name);
Armature* scene_find_armature(Scene* scene, const char* name);
Camera* scene_find_camera(Scene* scene, const char* name);

// A new layer (no texture, flags 0, mode 0) at the front of the layers: it
// takes texture unit 0 and moves every other layer up one unit.

// Walks a scene list as records of type T: f(T*) for each, in list order.
template <typename T, typename F> void scene_list_each(List* list, F&& f) {
    ListNode* cursor = nullptr;
    while (list_next(list, &cursor)) f(static_cast<T*>(cursor->data));
}
