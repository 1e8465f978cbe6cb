// The generated content: every file is there, loads with the engine's own
// loaders, and keeps the contracts the blocks and the font rely on; the
// generators make the same bytes every time.
#include "core/gl.h"
#include "core/paths.h"
#include "gfx/pack.h"
#include "gfx/texture.h"
#include "scene/scene_file.h"
#include "script/shader.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool content_built() {
    std::string dir = test_content_dir();
    return !dir.empty() && fs::exists(dir + "/models/level_elements.vscene") && fs::exists(dir + "/data_00.pack");
}

#define REQUIRE_CONTENT()                                                                                              \
    do {                                                                                                               \
        if (!content_built()) GTEST_SKIP() << "generated content not built";                                           \
        path_set_data_root(test_content_dir());                                                                        \
    } while (0)

// Decodes a texture file without GL, through the loader's own decoder.
bool decode_file(const std::string& path, TextureImage* image) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    return texture_decode(f, path.c_str(), image);
}

void load_profiles_once() {
    if (vertex_profile_count == 0) vertex_profile_load("vertexprofiles.vsl");
}

SceneDesc decode_scene(const std::string& name) {
    load_profiles_once();
    std::string bytes = test_read_file(test_content_dir() + "/models/" + name);
    SceneDesc desc;
    std::string error;
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(scene_decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &desc, &error,
                             vertex_profile_stride))
        << name << ": " << error;
    return desc;
}

const SceneDescObject* find_object(const SceneDesc& d, const std::string& name) {
    for (const SceneDescObject& o : d.objects)
        if (o.name == name) return &o;
    return nullptr;
}

bool has_material(const SceneDesc& d, const std::string& name) {
    for (const SceneDescMaterial& m : d.materials)
        if (m.name == name) return true;
    return false;
}

// The camera and the animated object of the same name that carries it, with
// keys spanning the frames the block asks for.
void expect_animated_camera(const SceneDesc& d, const std::string& name, float first, float last) {
    bool camera = false;
    int index = 0;
    for (size_t i = 0; i < d.cameras.size(); ++i)
        if (d.cameras[i].name == name && !camera) {
            camera = true;
            index = static_cast<int>(i);
        }
    ASSERT_TRUE(camera) << name;
    const SceneDescObject* o = find_object(d, name);
    ASSERT_NE(o, nullptr) << name;
    EXPECT_TRUE(o->flags & OBJECT_CAMERA);
    EXPECT_EQ(o->camera, index);
    if (last > first) {
        ASSERT_TRUE(o->flags & OBJECT_ANIMATED) << name;
        ASSERT_GE(o->keys.size(), 2u);
        EXPECT_LE(o->keys.front().time, first);
        EXPECT_GE(o->keys.back().time, last);
    }
}

// Armature "Armature": a real hierarchy that fits the shader's bone array,
// a rest pose that skins to the identity, and pose frames over the range.
void expect_dancer(const SceneDesc& d, float first, float last, int shader_bones) {
    ASSERT_EQ(d.armatures.size(), 1u);
    const SceneDescArmature& a = d.armatures[0];
    EXPECT_EQ(a.name, "Armature");
    EXPECT_GE(a.bones.size(), 10u);
    EXPECT_LE(static_cast<int>(a.bones.size()), shader_bones);
    int depth_max = 0;
    for (size_t i = 0; i < a.bones.size(); ++i) {
        const SceneDescBone& b = a.bones[i];
        Vec3 expect_head{0, 0, 0};
        int depth = 0;
        if (b.parent >= 0) {
            const SceneDescBone& p = a.bones[b.parent];
            expect_head = {p.head.x + p.tail.x, p.head.y + p.tail.y, p.head.z + p.tail.z};
            for (int q = b.parent; q >= 0; q = a.bones[q].parent) ++depth;
        }
        depth_max = std::max(depth_max, depth);
        EXPECT_NEAR(b.head.x, expect_head.x, 1e-5) << "bone " << i;
        EXPECT_NEAR(b.head.y, expect_head.y, 1e-5) << "bone " << i;
        EXPECT_NEAR(b.head.z, expect_head.z, 1e-5) << "bone " << i;
    }
    EXPECT_GE(depth_max, 3) << "a hierarchy, not a flat list";
    ASSERT_GE(a.frames.size(), 2u);
    EXPECT_LE(a.frames.front().time, first);
    EXPECT_GE(a.frames.back().time, last);
    for (const SceneDescFrame& f : a.frames) ASSERT_EQ(f.rotations.size(), a.bones.size());

    // Every skinned vertex: up to four bones inside the armature, weights
    // that sum to 1.
    bool skinned = false;
    for (const SceneDescMesh& m : d.meshes) {
        if (m.profile != 2) continue;
        skinned = true;
        ASSERT_EQ(vertex_profile_stride(2), 80);
        for (int v = 0; v < m.vertex_count; ++v) {
            const uint8_t* base = m.vertices.data() + static_cast<size_t>(v) * 80;
            int32_t bones[4];
            float weights[4];
            std::memcpy(bones, base + 48, 16);
            std::memcpy(weights, base + 64, 16);
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                ASSERT_GE(bones[k], 0);
                ASSERT_LT(bones[k], static_cast<int>(a.bones.size()));
                ASSERT_GE(weights[k], 0.0f);
                sum += weights[k];
            }
            ASSERT_NEAR(sum, 1.0f, 1e-5) << "vertex " << v;
        }
    }
    EXPECT_TRUE(skinned);
    EXPECT_TRUE(has_material(d, "Material"));
}

int shader_bone_array_size() {
    std::string text = test_read_file(test_content_dir() + "/scripts/test7.vsl");
    size_t at = text.find("bmatrix[");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 8);
}

std::map<std::string, std::string> read_tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = test_read_file(e.path().string());
    return files;
}

} // namespace

TEST(Content, FontSheetKeepsEveryGlyphInsideTheCentralEightByEight) {
    REQUIRE_CONTENT();
    TextureImage font;
    ASSERT_TRUE(decode_file(test_content_dir() + "/fnt_04b08.png", &font));
    ASSERT_EQ(font.width, 256);
    ASSERT_EQ(font.height, 256);
    ASSERT_EQ(font.bytes_per_pixel, 4);
    const std::vector<uint8_t>& px = font.planes[0];
    for (int cell = 0; cell < 256; ++cell) {
        int ink = 0, stray = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                size_t i = ((static_cast<size_t>(cell / 16) * 16 + y) * 256 + (cell % 16) * 16 + x) * 4;
                if (px[i + 3] == 0) continue;
                bool inside = x >= 4 && x <= 11 && y >= 4 && y <= 11;
                (inside ? ink : stray)++;
                EXPECT_EQ(px[i], 255);
            }
        EXPECT_EQ(stray, 0) << "character " << cell + 32;
        // Every printable character but the space is designed.
        if (cell >= 1 && cell <= 94) EXPECT_GT(ink, 0) << "character " << cell + 32;
        else EXPECT_EQ(ink, 0) << "character " << cell + 32;
    }
}

TEST(Content, TitleCardsHaveArtworkOnlyInTheirTopRows) {
    REQUIRE_CONTENT();
    for (const char* name : {"veldra_core_text.png", "veldra_blender_text.png"}) {
        TextureImage card;
        ASSERT_TRUE(decode_file(test_content_dir() + "/textures/" + name, &card)) << name;
        ASSERT_EQ(card.width, 512);
        ASSERT_EQ(card.height, 512);
        ASSERT_EQ(card.bytes_per_pixel, 4);
        long solid = 0, soft = 0, below = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                uint8_t a = card.planes[0][(static_cast<size_t>(y) * 512 + x) * 4 + 3];
                if (y >= 280) below += a != 0;
                else if (a == 255) ++solid;
                else if (a > 0) ++soft;
            }
        EXPECT_EQ(below, 0) << name;
        EXPECT_GT(solid, 5000) << name << ": lettering";
        EXPECT_GT(soft, solid) << name << ": a glow around it";
    }
}

TEST(Content, EveryLookupPathOfTheTextureLoaderIsUsed) {
    REQUIRE_CONTENT();
    std::set<std::string> names;
    for (const char* scene :
         {"circuits.vscene", "armazem.vscene", "robot_wheee.vscene", "robot_afropowa.vscene", "level_elements.vscene"})
        for (const std::string& t : decode_scene(scene).textures) names.insert(t);
    int pack_only = 0, vtx = 0, loose = 0;
    for (const std::string& name : names) {
        PackLookup outcome;
        FILE* packed = pack_open_entry(name.c_str(), &outcome);
        bool is_loose = fs::exists(test_content_dir() + "/textures/" + name);
        EXPECT_TRUE(packed || is_loose) << name << " is nowhere";
        std::string head(4, '\0');
        if (packed) {
            EXPECT_EQ(std::fread(head.data(), 1, 4, packed), 4u);
            std::fclose(packed);
        } else {
            head = test_read_file(test_content_dir() + "/textures/" + name).substr(0, 4);
        }
        pack_only += packed && !is_loose;
        loose += is_loose;
        vtx += head.compare(0, 3, "VTX") == 0;
    }
    EXPECT_GE(pack_only, 1);
    EXPECT_GE(loose, 1);
    EXPECT_GE(vtx, 1);

    // And they all load on real GL, as powers of two.
    test_gl_context();
    for (const std::string& name : names) {
        Texture t;
        texture_init(&t);
        ASSERT_TRUE(texture_load(&t, name.c_str())) << name;
        EXPECT_EQ(t.target, static_cast<GLenum>(GL_TEXTURE_2D));
        EXPECT_EQ(t.width & (t.width - 1), 0) << name;
        EXPECT_EQ(t.height & (t.height - 1), 0) << name;
        EXPECT_TRUE(t.bytes_per_pixel == 3 || t.bytes_per_pixel == 4);
        texture_free(&t);
    }
}

TEST(Content, ScenesProvideTheNamesAndRangesTheBlocksUse) {
    REQUIRE_CONTENT();
    const int shader_bones = shader_bone_array_size();
    EXPECT_GE(shader_bones, 10);

    SceneDesc circuits = decode_scene("circuits.vscene");
    EXPECT_TRUE(has_material(circuits, "Material"));
    expect_animated_camera(circuits, "Camera", 2, 750);

    SceneDesc armazem = decode_scene("armazem.vscene");
    expect_animated_camera(armazem, "CAMXDD", 2, 527);

    SceneDesc wheee = decode_scene("robot_wheee.vscene");
    expect_dancer(wheee, 2, 652, shader_bones);

    SceneDesc afro = decode_scene("robot_afropowa.vscene");
    expect_dancer(afro, 2, 242, shader_bones);
    expect_animated_camera(afro, "Camera", 2, 242);
    // Robot two's camera stays inside the warehouse.
    for (const TrackKey& k : find_object(afro, "Camera")->keys) {
        EXPECT_GT(k.location[1].x, -2);
        EXPECT_LT(k.location[1].x, 26);
        EXPECT_GT(k.location[1].y, -1);
        EXPECT_LT(k.location[1].y, 8);
        EXPECT_GT(k.location[1].z, -12);
        EXPECT_LT(k.location[1].z, 16);
    }

    SceneDesc level = decode_scene("level_elements.vscene");
    expect_animated_camera(level, "Camera", 0, 0);
    for (int k = 1; k <= 5; ++k) {
        const SceneDescObject* c = find_object(level, std::string("C").append(std::to_string(k)));
        ASSERT_NE(c, nullptr) << k;
        EXPECT_TRUE(c->flags & OBJECT_MESH);
        // The piece grows along its local z from its base.
        const SceneDescMesh& m = level.meshes[c->mesh];
        EXPECT_GT(std::max(m.box_a.z, m.box_b.z), 1.0f);
        EXPECT_LE(std::min(m.box_a.z, m.box_b.z), 0.0f);
    }
    // One storey: ten units tall.
    float lo = 1e9f, hi = -1e9f;
    for (const SceneDescMesh& m : level.meshes) {
        lo = std::min({lo, m.box_a.y, m.box_b.y});
        hi = std::max({hi, m.box_a.y, m.box_b.y});
    }
    EXPECT_NEAR(hi - lo, 10.0f, 0.5f);

    // Every mesh names a loaded profile and carries its stride per vertex,
    // and groups draw with real materials.
    for (const SceneDesc* d : {&circuits, &armazem, &wheee, &afro, &level})
        for (const SceneDescMesh& m : d->meshes) {
            ASSERT_LT(m.profile, vertex_profile_count) << m.name;
            EXPECT_EQ(m.vertices.size(), static_cast<size_t>(m.vertex_count) * vertex_profile_stride(m.profile))
                << m.name;
            EXPECT_TRUE(m.flags & MESH_MATERIALS) << m.name;
        }
}

TEST(Content, ShaderScriptsCompileAndLinkWithTheEnginesUniforms) {
    REQUIRE_CONTENT();
    test_gl_context();
    struct Expect {
        const char* script;
        std::vector<const char*> uniforms;
    };
    const Expect expects[] = {{"blur_pass.vsl", {"tex_blur", "offset"}},
                              {"radiosity_dark.vsl", {"surface"}},
                              {"radiosity_mapped.vsl", {"surface", "light"}},
                              {"test7.vsl", {"bmatrix", "camera_pos", "reflection"}}};
    for (const Expect& e : expects) {
        ShaderProgram p;
        shader_init(&p);
        shader_load(&p, e.script);
        ASSERT_NE(p.program, 0u) << e.script;
        GLint ok = 0;
        glGetObjectParameterivARB(p.vertex_shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
        EXPECT_EQ(ok, 1) << e.script << " vertex stage";
        glGetObjectParameterivARB(p.pixel_shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
        EXPECT_EQ(ok, 1) << e.script << " pixel stage";
        glGetObjectParameterivARB(p.program, GL_OBJECT_LINK_STATUS_ARB, &ok);
        EXPECT_EQ(ok, 1) << e.script << " link";
        for (const char* u : e.uniforms) EXPECT_GE(glGetUniformLocationARB(p.program, u), 0) << e.script << " " << u;
        shader_free(&p);
    }
}

TEST(Content, GeneratorsMakeTheSameBytesEveryTime) {
    REQUIRE_CONTENT();
    fs::path tools = fs::path(test_content_dir()).parent_path() / "tools" / "visuals";
    if (!fs::exists(tools / "gen_images") || !fs::exists(tools / "gen_scenes"))
        GTEST_SKIP() << "generators not found next to the content";
    fs::path runs[2] = {fs::absolute("run_a"), fs::absolute("run_b")};
    for (const fs::path& run : runs) {
        fs::remove_all(run);
        fs::create_directories(run);
        auto started = std::chrono::steady_clock::now();
        for (const char* gen : {"gen_images", "gen_scenes"}) {
            std::string cmd = (tools / gen).string() + " " + run.string() + " > /dev/null";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        }
        std::printf("generation took %.2f s\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    std::map<std::string, std::string> a = read_tree(runs[0]), b = read_tree(runs[1]);
    EXPECT_GE(a.size(), 12u);
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, bytes] : a) {
        ASSERT_TRUE(b.count(name)) << name;
        EXPECT_TRUE(bytes == b[name]) << name << " differs between two runs";
        // And the build's own content is the same.
        EXPECT_TRUE(bytes == test_read_file(test_content_dir() + "/" + name)) << name << " differs from the build's";
    }
}
