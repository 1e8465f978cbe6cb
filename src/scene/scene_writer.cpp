#include "scene/scene_writer.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Out {
    std::vector<uint8_t> bytes;

    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void count(size_t n) { i32(static_cast<int32_t>(n)); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    void vec3(Vec3 v) {
        f32(v.x);
        f32(v.y);
        f32(v.z);
    }
    void quat(Vec4 q) {
        f32(q.x);
        f32(q.y);
        f32(q.z);
        f32(q.w);
    }
    void str(const std::string& s) {
        count(s.size());
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
};

void write_material(Out& out, const SceneDescMaterial& m) {
    out.str(m.name);
    for (float c : m.colour) out.f32(c);
    out.vec3(m.reserved);
    for (float v : m.reserved_values) out.f32(v);
    out.u32(m.flags);
    out.count(m.layers.size());
    for (const SceneDescLayer& layer : m.layers) {
        out.i32(layer.texture);
        out.i32(layer.mode);
    }
}

void write_mesh(Out& out, const SceneDescMesh& m) {
    out.str(m.name);
    out.i32(m.vertex_count);
    out.count(m.groups.size());
    out.count(m.vertex_groups.size());
    out.i32(m.profile);
    out.u32(m.flags);
    out.vec3(m.box_a);
    out.vec3(m.box_b);
    for (const SceneDescVertexGroup& vg : m.vertex_groups) {
        out.str(vg.name);
        out.count(vg.entries.size());
        for (const VertexGroupEntry& e : vg.entries) {
            out.u32(e.value);
            out.vec3(e.a);
            out.vec3(e.b);
        }
    }
    for (const SceneDescGroup& g : m.groups) {
        size_t faces = g.indices.size() / 3;
        out.count(faces);
        out.i32(g.material);
        for (size_t i = 0; i < faces * 3; ++i) out.u32(g.indices[i]);
    }
    out.bytes.insert(out.bytes.end(), m.vertices.begin(), m.vertices.end());
}

void write_armature(Out& out, const SceneDescArmature& a) {
    out.str(a.name);
    out.count(a.bones.size());
    for (const SceneDescBone& b : a.bones) {
        out.i32(b.parent);
        out.vec3(b.tail);
        out.vec3(b.head);
    }
    out.count(a.frames.size());
    for (const SceneDescFrame& f : a.frames) {
        out.f32(f.time);
        out.count(f.rotations.size());
        for (Vec4 q : f.rotations) out.quat(q);
        for (size_t i = 0; i < f.rotations.size(); ++i)
            out.vec3(i < f.locations.size() ? f.locations[i] : Vec3{0, 0, 0});
    }
}

void write_object(Out& out, const SceneDescObject& o) {
    out.str(o.name);
    out.vec3(o.location);
    out.quat(o.rotation);
    out.vec3(o.scale);
    out.u32(o.flags);
    if (o.flags & OBJECT_PARENT) out.i32(o.parent);
    if (o.flags & OBJECT_MESH) out.i32(o.mesh);
    if (o.flags & OBJECT_ARMATURE) out.i32(o.armature);
    if (o.flags & OBJECT_CAMERA) out.i32(o.camera);
    if (o.flags & OBJECT_ANIMATED) {
        out.count(o.keys.size());
        for (const TrackKey& k : o.keys) {
            out.f32(k.time);
            for (Vec3 v : k.location) out.vec3(v);
            for (Vec3 v : k.rotation) out.vec3(v);
        }
    }
}

} // namespace

SceneDescObject scene_desc_mesh_object(const std::string& name, int mesh, Vec3 location) {
    SceneDescObject o;
    o.name = name;
    o.flags = OBJECT_MESH;
    o.mesh = mesh;
    o.location = location;
    return o;
}

std::vector<uint8_t> scene_write(const SceneDesc& desc) {
    Out out;
    out.count(desc.objects.size());
    out.count(desc.meshes.size());
    out.count(desc.materials.size());
    out.count(desc.textures.size());
    out.count(desc.armatures.size());
    out.count(desc.cameras.size());
    for (const std::string& path : desc.textures) out.str(path);
    for (const SceneDescMaterial& m : desc.materials) write_material(out, m);
    for (const SceneDescMesh& m : desc.meshes) write_mesh(out, m);
    for (const SceneDescArmature& a : desc.armatures) write_armature(out, a);
    for (const SceneDescCamera& c : desc.cameras) {
        out.str(c.name);
        out.u32(c.parameter);
    }
    for (const SceneDescObject& o : desc.objects) write_object(out, o);
    return std::move(out.bytes);
}

bool scene_write_file(const SceneDesc& desc, const std::string& path) {
    std::vector<uint8_t> bytes = scene_write(desc);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    return std::fflush(file.get()) == 0;
}

void scene_desc_push_f32(std::vector<uint8_t>* bytes, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    scene_desc_push_u32(bytes, bits);
}

void scene_desc_push_u32(std::vector<uint8_t>* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void scene_desc_push_vec3(std::vector<uint8_t>* bytes, Vec3 v) {
    scene_desc_push_f32(bytes, v.x);
    scene_desc_push_f32(bytes, v.y);
    scene_desc_push_f32(bytes, v.z);
}
