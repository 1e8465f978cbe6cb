// One entry point per loader, fed arbitrary bytes. The libFuzzer targets
// call these, and tests/test_fuzz_regressions.cpp replays the saved crash
// inputs and the corpora through the very same code, so a fix is proven by
// the ordinary test run.
//
// Each function returns 0 and aborts (through fuzz_check) when a loader
// accepts data that would later make the engine read or write out of
// bounds: the sanitizers see the memory faults inside the loaders, the
// checks catch results that would only go wrong later (at upload or draw).
#pragma once

#include "gfx/pack.h"
#include "gfx/texture.h"
#include "scene/animation.h"
#include "scene/armature.h"
#include "scene/object.h"
#include "scene/scene_file.h"
#include "script/shader.h"
#include "script/vertex_profile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// A broken invariant: say which and abort, so libFuzzer saves the input and
// the regression test fails with the reason.
#define fuzz_check(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                   \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

// FUZZ_VERBOSE=1 says what each input came to (for checking seeds and
// reading reproducers).
inline bool fuzz_verbose() {
    static const bool on = std::getenv("FUZZ_VERBOSE") != nullptr;
    return on;
}

// FUZZ_STRICT=1 adds the checks for faults that are known and not yet
// mended (each has a DISABLED_ regression test), so that a long run keeps
// exploring past them instead of stopping at the first.
inline bool fuzz_strict() { return std::getenv("FUZZ_STRICT") != nullptr; }

// A read-only stream over the bytes. fmemopen refuses a zero-sized buffer,
// so an empty input reads from /dev/null instead.
inline FILE* fuzz_stream(const uint8_t* data, size_t size) {
    if (size == 0) return std::fopen("/dev/null", "rb");
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

// What the upload in texture_load takes for granted about a decoded image.
inline void fuzz_check_texture_image(const TextureImage& img) {
    fuzz_check(img.width >= 0 && img.height >= 0 && img.depth >= 0);
    fuzz_check(img.bytes_per_pixel == 0 || img.bytes_per_pixel == 3 || img.bytes_per_pixel == 4);
    uint64_t plane = static_cast<uint64_t>(img.width) * static_cast<uint64_t>(img.height) *
                     static_cast<uint64_t>(img.bytes_per_pixel);
    if (img.target == GL_TEXTURE_2D) {
        fuzz_check(img.planes.size() <= 1);
        if (!img.planes.empty() && !img.planes[0].empty()) fuzz_check(img.planes[0].size() == plane);
    } else if (img.target == GL_TEXTURE_3D) {
        fuzz_check(img.planes.size() == 1);
        if (!img.planes[0].empty()) fuzz_check(img.planes[0].size() == plane * static_cast<uint64_t>(img.depth));
    } else {
        fuzz_check(img.target == GL_TEXTURE_CUBE_MAP);
        fuzz_check(img.planes.size() == 6);
        for (const std::vector<uint8_t>& face : img.planes)
            if (!face.empty()) fuzz_check(face.size() == plane);
    }
}

// Texture decoding: the bytes are a whole PNG file or VTX container.
inline int fuzz_texture_input(const uint8_t* data, size_t size) {
    FILE* stream = fuzz_stream(data, size);
    if (!stream) return 0;
    TextureImage img;
    bool ok = texture_decode(stream, "fuzz.tex", &img);
    if (fuzz_verbose())
        std::fprintf(stderr, "texture: %s target 0x%x %dx%dx%d depth %d\n", ok ? "decoded" : "refused", img.target,
                     img.width, img.height, img.bytes_per_pixel, img.depth);
    if (ok) fuzz_check_texture_image(img);
    return 0;
}

// Pack lookup: the bytes are the requested name, a 0 byte, then the archive.
// The archive lives in a memory file so the real fopen-based lookup runs;
// a found entry goes on to the texture decoder as in texture_load.
inline int fuzz_pack_input(const uint8_t* data, size_t size) {
    static int fd = memfd_create("data_00.pack", 0);
    if (fd < 0) return 0;
    const void* zero = std::memchr(data, 0, size);
    if (!zero) return 0;
    size_t name_size = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data);
    std::string name(reinterpret_cast<const char*>(data), name_size);
    const uint8_t* archive = data + name_size + 1;
    size_t archive_size = size - name_size - 1;
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) return 0;
    for (size_t done = 0; done < archive_size;) {
        ssize_t n = write(fd, archive + done, archive_size - done);
        if (n <= 0) return 0;
        done += static_cast<size_t>(n);
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    PackLookup outcome = PACK_ARCHIVE_MISSING;
    FILE* entry = pack_open_entry_at(path, name.c_str(), &outcome);
    fuzz_check((entry != nullptr) == (outcome == PACK_FOUND));
    fuzz_check(outcome != PACK_ARCHIVE_MISSING);
    if (fuzz_verbose()) std::fprintf(stderr, "pack: \"%s\" %s\n", name.c_str(), entry ? "found" : "not found");
    if (!entry) return 0;
    // The entry's data starts behind its header: length byte, name (whose
    // last character may sit where the stored terminator belongs), size.
    long position = std::ftell(entry);
    fuzz_check(position >= static_cast<long>(name.size() + 5) && static_cast<size_t>(position) <= archive_size);
    TextureImage img;
    bool ok = texture_decode(entry, name.c_str(), &img);
    if (fuzz_verbose())
        std::fprintf(stderr, "pack: entry %s %dx%dx%d\n", ok ? "decoded" : "refused", img.width, img.height,
                     img.bytes_per_pixel);
    if (ok) fuzz_check_texture_image(img);
    return 0;
}

// Vertex-profile script: loads, checks every profile the drawing code would
// walk, then frees so the next input starts clean.
inline int fuzz_vertex_profile_input(const uint8_t* data, size_t size) {
    FILE* stream = fuzz_stream(data, size);
    if (!stream) return 0;
    vertex_profile_load_stream(stream, "fuzz.vsl");
    std::fclose(stream);
    if (fuzz_verbose()) std::fprintf(stderr, "vertex profiles: %d\n", vertex_profile_count);
    fuzz_check(vertex_profile_count >= 0);
    fuzz_check(vertex_profile_count == 0 || vertex_profiles != nullptr);
    for (int i = 0; i < vertex_profile_count; ++i) {
        const VertexProfile& p = vertex_profiles[i];
        fuzz_check(p.client_count >= 0 && (p.client_count == 0 || p.clients));
        fuzz_check(p.stride >= 0 && p.stride <= VERTEX_PROFILE_MAX_STRIDE);
        for (int c = 0; c < p.client_count; ++c) {
            const VertexClient& client = p.clients[c];
            fuzz_check(client.components >= 0 && client.components <= VERTEX_PROFILE_MAX_COMPONENTS);
            fuzz_check(client.offset >= 0);
            // Drawing reads components x 4 bytes at offset inside every
            // vertex record of stride bytes: more runs into the next vertex
            // and, at the last one, past the vertex buffer. The unit picks a
            // texture-coordinate array.
            bool texcoord = client.type == CLIENT_TEXCOORD || client.type == CLIENT_TEXCOORD_INT;
            if (vertex_client_drawable(client) && texcoord) fuzz_check(client.unit >= 0 && client.unit < 32);
            if (vertex_client_drawable(client))
                fuzz_check(static_cast<int64_t>(client.offset) + client.components * 4 <= p.stride);
        }
        fuzz_check(vertex_profile_stride(i) == p.stride);
    }
    fuzz_check(vertex_profile_stride(-1) == 0 && vertex_profile_stride(vertex_profile_count) == 0);
    vertex_profile_free();
    return 0;
}

// Shader script with the GL seam switched off: the statement handling and
// uniform registration run, compiles and links are counted, not made.
inline int fuzz_shader_input(const uint8_t* data, size_t size) {
    FILE* stream = fuzz_stream(data, size);
    if (!stream) return 0;
    shader_set_gl_stub(true);
    ShaderProgram shader;
    shader_init(&shader);
    shader_load_stream(&shader, stream, "fuzz.vsl");
    std::fclose(stream);
    if (fuzz_verbose())
        std::fprintf(stderr, "shader: program %u vertex %u pixel %u settings %d\n", shader.program,
                     shader.vertex_shader, shader.pixel_shader, shader.settings);
    shader_bind(&shader);
    shader_unbind(&shader);
    ListNode* cursor = nullptr;
    while (list_next(&shader.uniforms, &cursor)) fuzz_check(static_cast<ShaderUniform*>(cursor->data)->name != nullptr);
    // Still under the stub: the counted handles are not GL objects.
    shader_free(&shader);
    shader_set_gl_stub(false);
    return 0;
}

// Strides of the demo's own profiles (content/scripts/vertexprofiles.vsl:
// 48, 32 and 80 bytes) plus a few small ones, fixed so that a saved input
// reproduces whatever the content does later.
inline int fuzz_scene_stride(int profile) {
    static const int strides[] = {48, 32, 80, 12, 16, 20, 24, 28};
    if (profile < 0 || profile >= static_cast<int>(sizeof strides / sizeof strides[0])) return -1;
    return strides[profile];
}

inline bool fuzz_in_range(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

// What scene_build indexes without checking, and the animation that then
// runs on the file's keys and pose frames every frame.
inline void fuzz_check_scene(const SceneDesc& desc) {
    for (const SceneDescMaterial& m : desc.materials)
        for (const SceneDescLayer& layer : m.layers) fuzz_check(fuzz_in_range(layer.texture, desc.textures.size()));
    for (const SceneDescMesh& m : desc.meshes) {
        int stride = fuzz_scene_stride(m.profile);
        fuzz_check(stride >= 0 && m.vertex_count >= 0);
        fuzz_check(m.vertices.size() == static_cast<size_t>(m.vertex_count) * static_cast<size_t>(stride));
        for (const SceneDescGroup& g : m.groups) {
            fuzz_check(g.indices.size() % 3 == 0);
            for (uint32_t index : g.indices) fuzz_check(index < static_cast<uint32_t>(m.vertex_count));
            if (m.flags & MESH_MATERIALS) fuzz_check(fuzz_in_range(g.material, desc.materials.size()));
        }
    }
    for (const SceneDescArmature& a : desc.armatures) {
        for (size_t i = 0; i < a.bones.size(); ++i)
            fuzz_check(a.bones[i].parent >= -1 && a.bones[i].parent < static_cast<int32_t>(i));
        for (const SceneDescFrame& f : a.frames) fuzz_check(f.rotations.size() >= a.bones.size());
    }
    for (size_t i = 0; i < desc.objects.size(); ++i) {
        const SceneDescObject& o = desc.objects[i];
        int kinds = !!(o.flags & OBJECT_MESH) + !!(o.flags & OBJECT_ARMATURE) + !!(o.flags & OBJECT_CAMERA);
        fuzz_check(kinds <= 1);
        if (o.flags & OBJECT_PARENT) fuzz_check(o.parent >= 0 && static_cast<size_t>(o.parent) < i);
        if (o.flags & OBJECT_MESH) fuzz_check(fuzz_in_range(o.mesh, desc.meshes.size()));
        if (o.flags & OBJECT_ARMATURE) fuzz_check(fuzz_in_range(o.armature, desc.armatures.size()));
        if (o.flags & OBJECT_CAMERA) fuzz_check(fuzz_in_range(o.camera, desc.cameras.size()));
    }
}

// Runs the GL-free animation over the decoded tracks and poses the way
// scene_build would set them up, at times around and between the keys.
inline void fuzz_animate(const SceneDesc& desc) {
    std::vector<float> times = {-1.0f, 0.0f, 2.0f, 100.0f, 1e9f, NAN};
    for (const SceneDescArmature& d : desc.armatures) {
        std::unique_ptr<Armature> built(scene_build_armature(d));
        Armature& a = *built;
        for (const SceneDescFrame& f : d.frames) times.push_back(f.time);
        for (float t : times) {
            armature_pose_evaluate(&a, t);
            armature_update_matrices(&a);
            fuzz_check(a.current_frame >= 0 && (a.frames.empty() || a.current_frame < a.frame_count));
        }
    }
    for (const SceneDescObject& d : desc.objects) {
        if (!(d.flags & OBJECT_ANIMATED)) continue;
        SceneObject o;
        o.flags = d.flags;
        o.track = std::make_unique<ObjectTrack>();
        o.track->keys = d.keys;
        o.track->key_count = static_cast<int32_t>(d.keys.size());
        std::vector<float> key_times = times;
        for (const TrackKey& k : d.keys) key_times.push_back(k.time);
        for (float t : key_times) {
            object_track_evaluate(&o, t);
            object_compute_matrix(&o);
        }
    }
}

// The stream-side text reader over the same bytes, text after text.
inline void fuzz_read_strings(const uint8_t* data, size_t size) {
    FILE* stream = fuzz_stream(data, size);
    if (!stream) return;
    // Every call consumes at least its 4-byte length or ends the stream.
    for (size_t i = 0; i <= size / 4 && !std::feof(stream); ++i) {
        std::string text = read_string(stream);
        fuzz_check(text.size() <= size);
    }
    std::fclose(stream);
}

inline int fuzz_scene_input(const uint8_t* data, size_t size) {
    fuzz_read_strings(data, size);
    SceneDesc desc;
    std::string error;
    bool ok = scene_decode(data, size, &desc, &error, fuzz_scene_stride);
    if (fuzz_verbose())
        std::fprintf(stderr, "scene: %s%s (obj %zu, msh %zu, mat %zu, tex %zu, arm %zu, cam %zu)\n",
                     ok ? "decoded" : "refused: ", error.c_str(), desc.objects.size(), desc.meshes.size(),
                     desc.materials.size(), desc.textures.size(), desc.armatures.size(), desc.cameras.size());
    if (!ok) {
        fuzz_check(!error.empty());
        return 0;
    }
    fuzz_check_scene(desc);
    fuzz_animate(desc);
    return 0;
}
