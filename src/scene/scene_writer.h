// A scene file as plain records, in file order, with positions as numbers:
// what scene_write turns into ".vscene" bytes and what scene_decode reads back.
// The content generator and the tests build scenes through it, so the byte
// layout lives in one place.
#pragma once

#include "scene/scene.h"

#include <cstdint>
#include <string>
#include <vector>

struct SceneDescLayer {
    int32_t texture = 0; // position among the file's textures
    int32_t mode = COMBINE_MODULATE;
};

struct SceneDescMaterial {
    std::string name;
    float colour[4] = {1, 1, 1, 1};
    Vec3 reserved{1, 1, 1};
    float reserved_values[3] = {0.5f, 1.0f, 0.0f};
    uint32_t flags = 0;
    std::vector<SceneDescLayer> layers;
};

struct SceneDescVertexGroup {
    std::string name;
    std::vector<VertexGroupEntry> entries;
};

struct SceneDescGroup {
    int32_t material = 0;          // position among the file's materials
    std::vector<uint32_t> indices; // three per triangle; face count = size / 3
};

struct SceneDescMesh {
    std::string name;
    int32_t vertex_count = 0;
    int32_t profile = 0;
    uint32_t flags = 0;
    Vec3 box_a{0, 0, 0}; // read back as box.max
    Vec3 box_b{0, 0, 0}; // read back as box.min
    std::vector<SceneDescVertexGroup> vertex_groups;
    std::vector<SceneDescGroup> groups; // file order
    // vertex_count x the profile's stride bytes, interleaved 32-bit components.
    std::vector<uint8_t> vertices;
};

struct SceneDescBone {
    int32_t parent = -1; // -1 for a root, else an earlier bone
    Vec3 tail{0, 0, 0};
    Vec3 head{0, 0, 0};
};

struct SceneDescFrame {
    float time = 0;
    std::vector<Vec4> rotations; // one per bone; the entry count written is its size
    std::vector<Vec3> locations; // written padded or cut to rotations.size()
};

struct SceneDescArmature {
    std::string name;
    std::vector<SceneDescBone> bones;
    std::vector<SceneDescFrame> frames; // increasing time
};

struct SceneDescCamera {
    std::string name;
    uint32_t parameter = 0;
};

struct SceneDescObject {
    std::string name;
    Vec3 location{0, 0, 0};
    Vec4 rotation{0, 0, 0, 1};
    Vec3 scale{1, 1, 1};
    uint32_t flags = 0;
    // Each is written only when its flag is set.
    int32_t parent = -1;        // OBJECT_PARENT: an earlier object
    int32_t mesh = -1;          // OBJECT_MESH
    int32_t armature = -1;      // OBJECT_ARMATURE
    int32_t camera = -1;        // OBJECT_CAMERA
    std::vector<TrackKey> keys; // OBJECT_ANIMATED; increasing time
};

struct SceneDesc {
    std::vector<std::string> textures; // paths as texture_load takes them
    std::vector<SceneDescMaterial> materials;
    std::vector<SceneDescMesh> meshes;
    std::vector<SceneDescArmature> armatures;
    std::vector<SceneDescCamera> cameras;
    std::vector<SceneDescObject> objects;
};

// An object showing mesh number `mesh`, with no parent.
SceneDescObject scene_desc_mesh_object(const std::string& name, int mesh, Vec3 location = {0, 0, 0});

// The ".vscene" bytes of the description, little-endian, no padding.
std::vector<uint8_t> scene_write(const SceneDesc& desc);

// Writes the bytes to a file; false when it cannot be written.
bool scene_write_file(const SceneDesc& desc, const std::string& path);

// Helpers for building interleaved vertex data.
void scene_desc_push_f32(std::vector<uint8_t>* bytes, float value);
void scene_desc_push_u32(std::vector<uint8_t>* bytes, uint32_t value);
void scene_desc_push_vec3(std::vector<uint8_t>* bytes, Vec3 v);
