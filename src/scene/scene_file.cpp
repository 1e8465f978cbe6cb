#include "scene/scene_file.h"

#include "core/log.h"
#include "core/paths.h"
#include "core/reload.h"
#include "gfx/texture.h"
#include "scene/armature.h"
#include "scene/object.h"
#include "scene/vbo_model.h"
#include "script/vertex_profile.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

// Bounds-checked little-endian reader over the whole file. The first
// failure sticks: every later read returns zeros and the message is kept.
struct Reader {
    const uint8_t* p = nullptr;
    size_t size = 0;
    size_t pos = 0;
    std::string error;

    bool failed() const { return !error.empty(); }
    size_t left() const { return size - pos; }

    bool fail(std::string message) {
        if (error.empty()) error = std::move(message);
        return false;
    }

    bool need(uint64_t bytes, const char* what) {
        if (failed()) return false;
        if (bytes > left()) return fail(std::string("file ends inside ") + what);
        return true;
    }

    uint32_t u32(const char* what) {
        if (!need(4, what)) return 0;
        uint32_t v = static_cast<uint32_t>(p[pos]) | static_cast<uint32_t>(p[pos + 1]) << 8 |
                     static_cast<uint32_t>(p[pos + 2]) << 16 | static_cast<uint32_t>(p[pos + 3]) << 24;
        pos += 4;
        return v;
    }
    int32_t i32(const char* what) { return static_cast<int32_t>(u32(what)); }
    float f32(const char* what) {
        uint32_t bits = u32(what);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    Vec3 vec3(const char* what) {
        Vec3 v;
        v.x = f32(what);
        v.y = f32(what);
        v.z = f32(what);
        return v;
    }
    Vec4 quat(const char* what) {
        Vec4 q;
        q.x = f32(what);
        q.y = f32(what);
        q.z = f32(what);
        q.w = f32(what);
        return q;
    }
    // A count that must be non-negative and whose items, each at least
    // item_bytes long, must fit in what is left of the file.
    int32_t count(const char* what, uint64_t item_bytes) {
        int32_t n = i32(what);
        if (failed()) return 0;
        if (n < 0) {
            fail(std::string("negative ") + what + " " + std::to_string(n));
            return 0;
        }
        if (static_cast<uint64_t>(n) * item_bytes > left()) {
            fail(std::string(what) + " " + std::to_string(n) + " runs past the end of the file");
            return 0;
        }
        return n;
    }
    // Text up to its first zero byte, as the engine's C texts always were.
    std::string str(const char* what) {
        int32_t n = count(what, 1);
        if (failed() || n == 0) return {};
        const char* begin = reinterpret_cast<const char*>(p + pos);
        pos += static_cast<size_t>(n);
        return std::string(begin, strnlen(begin, static_cast<size_t>(n)));
    }
    void bytes(uint8_t* out, size_t n, const char* what) {
        if (!need(n, what)) return;
        if (n) std::memcpy(out, p + pos, n);
        pos += n;
    }
};

int loaded_profile_stride(int profile) {
    if (profile < 0 || profile >= vertex_profile_count) return -1;
    return vertex_profile_stride(profile);
}

// Minimum sizes of whole entries, to refuse absurd counts before allocating.
constexpr uint64_t TEXTURE_MIN = 4, MATERIAL_MIN = 52, MESH_MIN = 48, ARMATURE_MIN = 12, CAMERA_MIN = 8,
                   OBJECT_MIN = 48, LAYER_SIZE = 8, VERTEX_GROUP_MIN = 8, ENTRY_SIZE = 28, GROUP_MIN = 8,
                   FACE_SIZE = 12, BONE_SIZE = 28, FRAME_MIN = 8, POSE_ENTRY_SIZE = 28, KEY_SIZE = 76;

void decode_material(Reader& r, SceneDescMaterial& m) {
    m.name = r.str("material name");
    for (float& c : m.colour) c = r.f32("material colour");
    m.reserved = r.vec3("material");
    for (float& v : m.reserved_values) v = r.f32("material");
    m.flags = r.u32("material flags");
    int32_t layers = r.count("material layer count", LAYER_SIZE);
    m.layers.resize(static_cast<size_t>(layers));
    for (SceneDescLayer& layer : m.layers) {
        layer.texture = r.i32("material layer");
        layer.mode = r.i32("material layer");
    }
}

void decode_mesh(Reader& r, SceneDescMesh& m, SceneStrideFn stride_of) {
    m.name = r.str("mesh name");
    m.vertex_count = r.i32("mesh header");
    int32_t group_count = r.i32("mesh header");
    int32_t vertex_group_count = r.i32("mesh header");
    m.profile = r.i32("mesh header");
    m.flags = r.u32("mesh header");
    m.box_a = r.vec3("mesh box");
    m.box_b = r.vec3("mesh box");
    if (r.failed()) return;
    if (m.vertex_count < 0 || group_count < 0 || vertex_group_count < 0) {
        r.fail("mesh \"" + m.name + "\" has a negative count");
        return;
    }
    int stride = stride_of(m.profile);
    // Stride 0 is a profile without registrations: vertices with no data.
    if (stride < 0) {
        r.fail("mesh \"" + m.name + "\" uses vertex profile " + std::to_string(m.profile) + ", which is not loaded");
        return;
    }
    if (static_cast<uint64_t>(vertex_group_count) * VERTEX_GROUP_MIN > r.left() ||
        static_cast<uint64_t>(group_count) * GROUP_MIN > r.left()) {
        r.fail("mesh \"" + m.name + "\" counts run past the end of the file");
        return;
    }
    m.vertex_groups.resize(static_cast<size_t>(vertex_group_count));
    for (SceneDescVertexGroup& vg : m.vertex_groups) {
        vg.name = r.str("vertex group name");
        int32_t entries = r.count("vertex group entry count", ENTRY_SIZE);
        vg.entries.resize(static_cast<size_t>(entries));
        for (VertexGroupEntry& e : vg.entries) {
            e.value = r.u32("vertex group entry");
            e.a = r.vec3("vertex group entry");
            e.b = r.vec3("vertex group entry");
        }
    }
    m.groups.resize(static_cast<size_t>(group_count));
    for (SceneDescGroup& g : m.groups) {
        int32_t faces = r.count("group face count", FACE_SIZE);
        g.material = r.i32("group material");
        if (r.failed()) return;
        g.indices.resize(static_cast<size_t>(faces) * 3);
        for (uint32_t& index : g.indices) {
            index = r.u32("group indices");
            if (!r.failed() && index >= static_cast<uint32_t>(m.vertex_count)) {
                r.fail("mesh \"" + m.name + "\" has vertex index " + std::to_string(index) + " of " +
                       std::to_string(m.vertex_count) + " vertices");
                return;
            }
        }
    }
    uint64_t vertex_bytes = static_cast<uint64_t>(m.vertex_count) * static_cast<uint64_t>(stride);
    if (!r.need(vertex_bytes, "mesh vertex data")) return;
    m.vertices.resize(static_cast<size_t>(vertex_bytes));
    r.bytes(m.vertices.data(), m.vertices.size(), "mesh vertex data");
}

void decode_armature(Reader& r, SceneDescArmature& a) {
    a.name = r.str("armature name");
    int32_t bones = r.count("bone count", BONE_SIZE);
    a.bones.resize(static_cast<size_t>(bones));
    for (size_t i = 0; i < a.bones.size() && !r.failed(); ++i) {
        SceneDescBone& b = a.bones[i];
        b.parent = r.i32("bone");
        b.tail = r.vec3("bone");
        b.head = r.vec3("bone");
        if (!r.failed() && (b.parent < -1 || b.parent >= static_cast<int32_t>(i)))
            r.fail("armature \"" + a.name + "\" bone " + std::to_string(i) + " has parent " + std::to_string(b.parent) +
                   ", which is not an earlier bone");
    }
    int32_t frames = r.count("pose frame count", FRAME_MIN);
    a.frames.resize(static_cast<size_t>(frames));
    for (SceneDescFrame& f : a.frames) {
        f.time = r.f32("pose frame");
        int32_t n = r.count("pose frame entry count", POSE_ENTRY_SIZE);
        if (r.failed()) return;
        if (n < bones) {
            r.fail("armature \"" + a.name + "\" has a pose frame of " + std::to_string(n) + " entries for " +
                   std::to_string(bones) + " bones");
            return;
        }
        f.rotations.resize(static_cast<size_t>(n));
        f.locations.resize(static_cast<size_t>(n));
        for (Vec4& q : f.rotations) q = r.quat("pose rotations");
        for (Vec3& v : f.locations) v = r.vec3("pose locations");
    }
}

bool in_range(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

void decode_object(Reader& r, SceneDescObject& o, size_t position, const SceneDesc& desc) {
    o.name = r.str("object name");
    o.location = r.vec3("object");
    o.rotation = r.quat("object");
    o.scale = r.vec3("object");
    o.flags = r.u32("object flags");
    if (o.flags & OBJECT_PARENT) o.parent = r.i32("object parent");
    if (o.flags & OBJECT_MESH) o.mesh = r.i32("object mesh");
    if (o.flags & OBJECT_ARMATURE) o.armature = r.i32("object armature");
    if (o.flags & OBJECT_CAMERA) o.camera = r.i32("object camera");
    if (o.flags & OBJECT_ANIMATED) {
        int32_t keys = r.count("track key count", KEY_SIZE);
        o.keys.resize(static_cast<size_t>(keys));
        for (TrackKey& k : o.keys) {
            k.time = r.f32("track key");
            for (Vec3& v : k.location) v = r.vec3("track key");
            for (Vec3& v : k.rotation) v = r.vec3("track key");
        }
    }
    if (r.failed()) return;
    std::string who = "object \"" + o.name + "\" ";
    int kinds = !!(o.flags & OBJECT_MESH) + !!(o.flags & OBJECT_ARMATURE) + !!(o.flags & OBJECT_CAMERA);
    if (kinds > 1) r.fail(who + "is more than one of mesh, armature and camera");
    else if ((o.flags & OBJECT_PARENT) && !(o.parent >= 0 && static_cast<size_t>(o.parent) < position))
        r.fail(who + "has parent " + std::to_string(o.parent) + ", which is not an earlier object");
    else if ((o.flags & OBJECT_MESH) && !in_range(o.mesh, desc.meshes.size()))
        r.fail(who + "has mesh " + std::to_string(o.mesh) + " of " + std::to_string(desc.meshes.size()));
    else if ((o.flags & OBJECT_ARMATURE) && !in_range(o.armature, desc.armatures.size()))
        r.fail(who + "has armature " + std::to_string(o.armature) + " of " + std::to_string(desc.armatures.size()));
    else if ((o.flags & OBJECT_CAMERA) && !in_range(o.camera, desc.cameras.size()))
        r.fail(who + "has camera " + std::to_string(o.camera) + " of " + std::to_string(desc.cameras.size()));
}

// Positions that point at earlier sections, checked once those are complete.
void check_references(Reader& r, const SceneDesc& desc) {
    for (const SceneDescMaterial& m : desc.materials)
        for (const SceneDescLayer& layer : m.layers)
            if (!in_range(layer.texture, desc.textures.size())) {
                r.fail("material \"" + m.name + "\" has texture " + std::to_string(layer.texture) + " of " +
                       std::to_string(desc.textures.size()));
                return;
            }
    for (const SceneDescMesh& m : desc.meshes) {
        if (!(m.flags & MESH_MATERIALS)) continue;
        for (const SceneDescGroup& g : m.groups)
            if (!in_range(g.material, desc.materials.size())) {
                r.fail("mesh \"" + m.name + "\" has material " + std::to_string(g.material) + " of " +
                       std::to_string(desc.materials.size()));
                return;
            }
    }
}

template <typename T, typename F> void decode_section(Reader& r, std::vector<T>& items, int32_t count, F&& decode_one) {
    items.clear();
    for (int32_t i = 0; i < count && !r.failed(); ++i) {
        items.emplace_back();
        decode_one(items.back());
    }
}

} // namespace

bool scene_decode(const uint8_t* bytes, size_t size, SceneDesc* out, std::string* error, SceneStrideFn stride_of) {
    if (!stride_of) stride_of = loaded_profile_stride;
    Reader r;
    r.p = bytes;
    r.size = bytes ? size : 0;
    *out = SceneDesc{};
    const char* header = "header";
    int32_t objects = r.i32(header), meshes = r.i32(header), materials = r.i32(header);
    int32_t textures = r.i32(header), armatures = r.i32(header), cameras = r.i32(header);
    if (!r.failed() && (objects < 0 || meshes < 0 || materials < 0 || textures < 0 || armatures < 0 || cameras < 0))
        r.fail("negative count in the header");
    uint64_t least = static_cast<uint64_t>(objects) * OBJECT_MIN + static_cast<uint64_t>(meshes) * MESH_MIN +
                     static_cast<uint64_t>(materials) * MATERIAL_MIN + static_cast<uint64_t>(textures) * TEXTURE_MIN +
                     static_cast<uint64_t>(armatures) * ARMATURE_MIN + static_cast<uint64_t>(cameras) * CAMERA_MIN;
    if (!r.failed() && least > r.left()) r.fail("header counts run past the end of the file");

    decode_section(r, out->textures, textures, [&](std::string& path) { path = r.str("texture path"); });
    decode_section(r, out->materials, materials, [&](SceneDescMaterial& m) { decode_material(r, m); });
    decode_section(r, out->meshes, meshes, [&](SceneDescMesh& m) { decode_mesh(r, m, stride_of); });
    decode_section(r, out->armatures, armatures, [&](SceneDescArmature& a) { decode_armature(r, a); });
    decode_section(r, out->cameras, cameras, [&](SceneDescCamera& c) {
        c.name = r.str("camera name");
        c.parameter = r.u32("camera parameter");
    });
    size_t position = 0;
    decode_section(r, out->objects, objects, [&](SceneDescObject& o) { decode_object(r, o, position++, *out); });
    if (!r.failed()) check_references(r, *out);
    if (r.failed()) {
        if (error) *error = r.error + " (at byte " + std::to_string(r.pos) + ")";
        return false;
    }
    return true;
}

namespace {

template <typename T> std::vector<T*> table_of(List* list) {
    std::vector<T*> table;
    scene_list_each<T>(list, [&](T* record) { table.push_back(record); });
    return table;
}

Mesh* build_mesh(const SceneDescMesh& d, const std::vector<Material*>& materials) {
    Mesh* mesh = new Mesh{};
    mesh->name = d.name;
    mesh->vertex_count = d.vertex_count;
    mesh->group_count = static_cast<int32_t>(d.groups.size());
    mesh->vertex_group_count = static_cast<int32_t>(d.vertex_groups.size());
    mesh->profile = d.profile;
    mesh->flags = d.flags;
    mesh->box.max = d.box_a;
    mesh->box.min = d.box_b;
    for (const SceneDescVertexGroup& vg : d.vertex_groups)
        mesh->vertex_groups.push_back(VertexGroup{vg.entries, vg.name, static_cast<int32_t>(vg.entries.size())});
    for (const SceneDescGroup& g : d.groups) {
        MeshGroup* group = new MeshGroup{};
        group->face_count = static_cast<int32_t>(g.indices.size() / 3);
        group->indices = g.indices;
        group->material_index = g.material;
        if (mesh->flags & MESH_MATERIALS) group->material = materials[static_cast<size_t>(g.material)];
        list_push_front(&mesh->groups, group);
    }
    mesh->vertices = d.vertices;
    mesh_store(mesh, true);
    return mesh;
}

SceneObject* build_object(const SceneDescObject& d, const std::vector<SceneObject*>& objects,
                          const std::vector<Mesh*>& meshes, const std::vector<Armature*>& armatures,
                          const std::vector<Camera*>& cameras) {
    SceneObject* o = new SceneObject{};
    o->name = d.name;
    o->location = d.location;
    o->rotation = d.rotation;
    o->scale = d.scale;
    o->flags = d.flags;
    if (d.flags & OBJECT_PARENT) o->parent = objects[static_cast<size_t>(d.parent)];
    if (d.flags & OBJECT_MESH) o->data = meshes[static_cast<size_t>(d.mesh)];
    else if (d.flags & OBJECT_ARMATURE) o->data = armatures[static_cast<size_t>(d.armature)];
    else if (d.flags & OBJECT_CAMERA) {
        Camera* camera = cameras[static_cast<size_t>(d.camera)];
        o->data = camera;
        camera->matrix = &o->matrix;
    }
    if (d.flags & OBJECT_ANIMATED) {
        o->track = std::make_unique<ObjectTrack>();
        o->track->keys = d.keys;
        o->track->key_count = static_cast<int32_t>(d.keys.size());
    }
    // Parents come first, so this is already the world matrix relative to the root.
    object_compute_matrix(o);
    return o;
}

} // namespace

Armature* scene_build_armature(const SceneDescArmature& d) {
    Armature* a = new Armature{};
    a->name = d.name;
    a->bone_count = static_cast<int32_t>(d.bones.size());
    a->bones.resize(d.bones.size());
    a->skin.assign(d.bones.size(), matrix_identity());
    for (size_t i = 0; i < d.bones.size(); ++i) {
        Bone& bone = a->bones[i];
        bone.tail = d.bones[i].tail;
        bone.head = d.bones[i].head;
        if (d.bones[i].parent >= 0) bone.parent = &a->bones[static_cast<size_t>(d.bones[i].parent)];
    }
    armature_update_matrices(a);
    for (const SceneDescFrame& f : d.frames) {
        PoseFrame frame;
        frame.time = f.time;
        frame.count = static_cast<int32_t>(f.rotations.size());
        frame.rotations = f.rotations;
        frame.locations = f.locations;
        frame.locations.resize(f.rotations.size(), Vec3{0, 0, 0});
        a->frames.push_back(std::move(frame));
    }
    a->frame_count = static_cast<int32_t>(a->frames.size());
    a->current_frame = 0;
    return a;
}

void scene_build(Scene* scene, const SceneDesc& desc) {
    scene_init(scene);
    scene->object_count = static_cast<int32_t>(desc.objects.size());
    scene->mesh_count = static_cast<int32_t>(desc.meshes.size());
    scene->material_count = static_cast<int32_t>(desc.materials.size());
    scene->texture_count = static_cast<int32_t>(desc.textures.size());
    scene->armature_count = static_cast<int32_t>(desc.armatures.size());
    scene->camera_count = static_cast<int32_t>(desc.cameras.size());

    for (const std::string& path : desc.textures) {
        Texture* texture = new Texture;
        texture_init(texture);
        texture_load(texture, path.c_str());
        list_push_back(&scene->textures, texture);
    }
    std::vector<Texture*> textures = table_of<Texture>(&scene->textures);

    for (const SceneDescMaterial& d : desc.materials) {
        Material* m = new Material{};
        m->name = d.name;
        std::memcpy(m->colour, d.colour, sizeof m->colour);
        m->reserved = d.reserved;
        m->reserved_1 = d.reserved_values[0];
        m->reserved_2 = d.reserved_values[1];
        m->reserved_3 = d.reserved_values[2];
        m->flags = d.flags;
        m->layer_count = static_cast<int32_t>(d.layers.size());
        for (const SceneDescLayer& l : d.layers)
            list_push_back(&m->layers, new MaterialLayer{textures[static_cast<size_t>(l.texture)], LAYER_BIND, l.mode});
        list_push_back(&scene->materials, m);
    }
    std::vector<Material*> materials = table_of<Material>(&scene->materials);

    for (const SceneDescMesh& d : desc.meshes) list_push_back(&scene->meshes, build_mesh(d, materials));
    for (const SceneDescArmature& d : desc.armatures) list_push_back(&scene->armatures, scene_build_armature(d));
    for (const SceneDescCamera& d : desc.cameras)
        list_push_back(&scene->cameras, new Camera{d.name, nullptr, d.parameter});

    std::vector<Mesh*> meshes = table_of<Mesh>(&scene->meshes);
    std::vector<Armature*> armatures = table_of<Armature>(&scene->armatures);
    std::vector<Camera*> cameras = table_of<Camera>(&scene->cameras);
    std::vector<SceneObject*> objects;
    for (const SceneDescObject& d : desc.objects) {
        objects.push_back(build_object(d, objects, meshes, armatures, cameras));
        list_push_back(&scene->objects, objects.back());
    }
}

bool scene_read(Scene* scene, FILE* file, std::string* error) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    if (std::ferror(file)) {
        if (error) *error = "read error";
        return false;
    }
    SceneDesc desc;
    if (!scene_decode(bytes.data(), bytes.size(), &desc, error)) return false;
    scene_build(scene, desc);
    return true;
}

bool scene_load(Scene* scene, const char* name) {
    std::string path = path_data(std::string("models/") + name);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        log_fatal("VScene Model [\"%s\"] Not Found !", name);
        return false;
    }
    std::string error;
    if (!scene_read(scene, file.get(), &error)) {
        std::fprintf(stderr, "vantor: scene file \"%s\": %s\n", path.c_str(), error.c_str());
        log_fatal("VScene Model [\"%s\"] Corrupt File !", name);
        return false;
    }
    log_set_level(LOG_OK);
    log_write("VScene Model [\"%s\" obj %d, msh %d, tex %d, mat %d] Loaded !", name, scene->object_count,
              scene->mesh_count, scene->texture_count, scene->material_count);
    if (reload_active()) {
        reload_register(RELOAD_SCENE, reinterpret_cast<uintptr_t>(scene), path,
                        [scene, model = std::string(name)](const std::string& file, std::string* error) {
                            return scene_reload(scene, model.c_str(), file, error);
                        });
    }
    return true;
}

namespace {

// The fresh scene takes the record's place; the old one is freed.
void put_in_place(Scene* scene, Scene* fresh, const char* name) {
    // Where the scene stands is the program's business, not the file's.
    fresh->position = scene->position;
    fresh->rotation = scene->rotation;
    fresh->scale = scene->scale;
    fresh->matrix = scene->matrix;
    Scene old = *scene;
    *scene = *fresh;
    scene_free(&old);
    log_write_at(LOG_OK, "VScene Model [\"%s\" obj %d, msh %d, tex %d, mat %d] Reloaded !", name,
                 scene->object_count, scene->mesh_count, scene->texture_count, scene->material_count);
}

} // namespace

bool scene_reload(Scene* scene, const char* name, const std::string& file, std::string* error) {
    std::unique_ptr<FILE, int (*)(FILE*)> stream(std::fopen(file.c_str(), "rb"), std::fclose);
    if (!stream) {
        *error = "cannot be opened";
        return false;
    }
    Scene fresh;
    scene_init(&fresh);
    if (!scene_read(&fresh, stream.get(), error)) return false;
    put_in_place(scene, &fresh, name);
    return true;
}

void scene_rebuild(Scene* scene, const SceneDesc& desc, const char* name) {
    Scene fresh;
    scene_init(&fresh);
    scene_build(&fresh, desc);
    put_in_place(scene, &fresh, name);
}

namespace {

bool read_scene_file(Scene* scene, const std::string& path, std::string* error) {
    namespace fs = std::filesystem;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open \"" + path + "\"";
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = "read error in \"" + path + "\"";
        return false;
    }
    SceneDesc desc;
    if (!scene_decode(bytes.data(), bytes.size(), &desc, error)) return false;
    std::error_code ec;
    fs::path folder = fs::absolute(path, ec).parent_path();
    for (std::string& texture : desc.textures) {
        // Only plain names beside the file are taken from there; anything
        // else goes through the content lookup, which never leaves its root
        // for a relative name.
        fs::path name(texture);
        if (texture.empty() || name.has_parent_path() || name.is_absolute()) continue;
        if (fs::is_regular_file(folder / name, ec)) texture = (folder / name).string();
    }
    scene_build(scene, desc);
    return true;
}

} // namespace

bool scene_load_file(Scene* scene, const std::string& path, std::string* error) {
    if (!read_scene_file(scene, path, error)) return false;
    if (reload_active()) {
        reload_register(RELOAD_SCENE, reinterpret_cast<uintptr_t>(scene), path,
                        [scene](const std::string& file, std::string* error) {
                            Scene fresh;
                            scene_init(&fresh);
                            if (!read_scene_file(&fresh, file, error)) return false;
                            put_in_place(scene, &fresh, std::filesystem::path(file).filename().c_str());
                            return true;
                        });
    }
    return true;
}

std::string read_string(FILE* file) {
    uint8_t raw[4];
    if (std::fread(raw, 1, 4, file) != 4) return {};
    int32_t n = static_cast<int32_t>(static_cast<uint32_t>(raw[0]) | static_cast<uint32_t>(raw[1]) << 8 |
                                     static_cast<uint32_t>(raw[2]) << 16 | static_cast<uint32_t>(raw[3]) << 24);
    std::string text;
    char chunk[4096];
    while (n > 0) {
        size_t want = std::min<size_t>(sizeof chunk, static_cast<size_t>(n));
        size_t got = std::fread(chunk, 1, want, file);
        text.append(chunk, got);
        if (got < want) break;
        n -= static_cast<int32_t>(got);
    }
    return std::string(text.c_str());
}
