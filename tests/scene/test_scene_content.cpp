// The demo's generated scene files against the reader and the names and
// shapes the blocks rely on. Skipped when the content has not been built.
#include "core/log.h"
#include "core/paths.h"
#include "gfx/texture.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"
#include "scene/scene_file.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// Decodes one scene with the real vertex profiles; skips when absent.
bool decode_content(const std::string& name, SceneDesc* out) {
    std::string root = test_content_dir();
    std::string profiles = root + "/scripts/vertexprofiles.vsl";
    std::string path = root + "/models/" + name;
    if (root.empty() || !std::filesystem::exists(path) || !std::filesystem::exists(profiles)) return false;
    if (vertex_profile_count == 0) {
        FILE* f = std::fopen(profiles.c_str(), "r");
        if (!f) return false;
        vertex_profile_load_stream(f, "vertexprofiles.vsl");
    }
    std::string bytes = test_read_file(path);
    std::string error;
    auto start = std::chrono::steady_clock::now();
    bool ok = scene_decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, &error);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("decode %-24s %8zu bytes %7.2f ms\n", name.c_str(), bytes.size(), ms);
    EXPECT_TRUE(ok) << name << ": " << error;
    return ok;
}

template <typename T> const T* named(const std::vector<T>& records, const std::string& name) {
    for (const T& r : records)
        if (r.name == name) return &r;
    return nullptr;
}

const SceneDescObject* holder_of_camera(const SceneDesc& d, const std::string& camera) {
    for (size_t i = 0; i < d.cameras.size(); ++i)
        if (d.cameras[i].name == camera)
            for (const SceneDescObject& o : d.objects)
                if ((o.flags & OBJECT_CAMERA) && o.camera == static_cast<int32_t>(i)) return &o;
    return nullptr;
}

// Skin matrices are the identity at rest only when every head sits at the
// sum of its ancestors' tails.
void expect_rest_pose_is_identity(const SceneDescArmature& a) {
    std::vector<Vec3> frame_origin(a.bones.size(), Vec3{0, 0, 0});
    for (size_t i = 0; i < a.bones.size(); ++i) {
        const SceneDescBone& b = a.bones[i];
        if (b.parent >= 0) {
            Vec3 parent = frame_origin[static_cast<size_t>(b.parent)];
            Vec3 tail = a.bones[static_cast<size_t>(b.parent)].tail;
            frame_origin[i] = Vec3{parent.x + tail.x, parent.y + tail.y, parent.z + tail.z};
        }
        EXPECT_NEAR(b.head.x, frame_origin[i].x, 1e-3f) << a.name << " bone " << i;
        EXPECT_NEAR(b.head.y, frame_origin[i].y, 1e-3f) << a.name << " bone " << i;
        EXPECT_NEAR(b.head.z, frame_origin[i].z, 1e-3f) << a.name << " bone " << i;
    }
}

void expect_robot(const SceneDesc& d, const char* name) {
    const SceneDescArmature* armature = named(d.armatures, "Armature");
    ASSERT_NE(armature, nullptr) << name;
    EXPECT_GE(armature->bones.size(), 10u) << name;
    EXPECT_GE(armature->frames.size(), 2u) << name;
    expect_rest_pose_is_identity(*armature);
    EXPECT_NE(named(d.materials, "Material"), nullptr) << name;
}

} // namespace

TEST(SceneContent, CircuitsHasItsCameraAndMaterial) {
    SceneDesc d;
    if (!decode_content("circuits.vscene", &d)) GTEST_SKIP() << "content not built";
    EXPECT_NE(holder_of_camera(d, "Camera"), nullptr);
    EXPECT_NE(named(d.materials, "Material"), nullptr);

    // The block leaves out what of the copies behind lies under the front
    // copy's board, taking the top of the board's box for an opaque plate:
    // faces facing up at the top must cover it whole.
    const SceneDescObject* board = named(d.objects, "Board");
    ASSERT_NE(board, nullptr);
    ASSERT_GE(board->mesh, 0);
    ASSERT_LT(static_cast<size_t>(board->mesh), d.meshes.size());
    const SceneDescMesh& mesh = d.meshes[static_cast<size_t>(board->mesh)];
    const size_t stride = static_cast<size_t>(vertex_profile_stride(mesh.profile));
    ASSERT_GE(stride, 12u);
    auto position = [&](uint32_t i) {
        Vec3 p;
        std::memcpy(&p, mesh.vertices.data() + i * stride, sizeof p);
        return p;
    };
    const Vec3 top = mesh.box_a, bottom = mesh.box_b;
    double area = 0;
    for (const SceneDescGroup& g : mesh.groups)
        for (size_t t = 0; t + 2 < g.indices.size(); t += 3) {
            Vec3 a = position(g.indices[t]), b = position(g.indices[t + 1]), c = position(g.indices[t + 2]);
            if (a.z != top.z || b.z != top.z || c.z != top.z) continue;
            area += 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
        }
    EXPECT_NEAR(area, (top.x - bottom.x) * (top.y - bottom.y), 1e-3);
}

TEST(SceneContent, WarehouseCameraIsAnimated) {
    SceneDesc d;
    if (!decode_content("armazem.vscene", &d)) GTEST_SKIP() << "content not built";
    const SceneDescObject* holder = holder_of_camera(d, "CAMXDD");
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->name, "CAMXDD");
    EXPECT_TRUE(holder->flags & OBJECT_ANIMATED);
    EXPECT_GE(holder->keys.size(), 2u);
}

TEST(SceneContent, RobotsHaveArmaturesThatRestInPlace) {
    SceneDesc wheee, afropowa;
    if (!decode_content("robot_wheee.vscene", &wheee) || !decode_content("robot_afropowa.vscene", &afropowa))
        GTEST_SKIP() << "content not built";
    expect_robot(wheee, "robot_wheee");
    expect_robot(afropowa, "robot_afropowa");
    const SceneDescObject* holder = holder_of_camera(afropowa, "Camera");
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->name, "Camera");
    EXPECT_TRUE(holder->flags & OBJECT_ANIMATED);
}

namespace {

// The glow pass draws a robot's coarse copy where the picture has the full
// robot: the copy must dance on the very same bones, or its glow would part
// from the robot.
void expect_glow_copy(const SceneDesc& full, const SceneDesc& copy) {
    const SceneDescArmature* a = named(full.armatures, "Armature");
    const SceneDescArmature* b = named(copy.armatures, "Armature");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(a->bones.size(), b->bones.size());
    for (size_t i = 0; i < a->bones.size(); ++i) {
        EXPECT_EQ(a->bones[i].parent, b->bones[i].parent) << i;
        EXPECT_EQ(std::memcmp(&a->bones[i].head, &b->bones[i].head, sizeof(Vec3)), 0) << i;
        EXPECT_EQ(std::memcmp(&a->bones[i].tail, &b->bones[i].tail, sizeof(Vec3)), 0) << i;
    }
    ASSERT_EQ(a->frames.size(), b->frames.size());
    for (size_t f = 0; f < a->frames.size(); ++f) {
        EXPECT_EQ(a->frames[f].time, b->frames[f].time) << f;
        EXPECT_EQ(a->frames[f].rotations.size(), b->frames[f].rotations.size()) << f;
        EXPECT_EQ(std::memcmp(a->frames[f].rotations.data(), b->frames[f].rotations.data(),
                              a->frames[f].rotations.size() * sizeof(Vec4)),
                  0)
            << f;
        ASSERT_EQ(a->frames[f].locations.size(), b->frames[f].locations.size()) << f;
        EXPECT_EQ(std::memcmp(a->frames[f].locations.data(), b->frames[f].locations.data(),
                              a->frames[f].locations.size() * sizeof(Vec3)),
                  0)
            << f;
    }
    const SceneDescObject* body = named(full.objects, "Body");
    const SceneDescObject* copy_body = named(copy.objects, "Body");
    ASSERT_NE(body, nullptr);
    ASSERT_NE(copy_body, nullptr);
    EXPECT_EQ(std::memcmp(&body->location, &copy_body->location, sizeof(Vec3)), 0);
    ASSERT_EQ(full.meshes.size(), 1u);
    ASSERT_EQ(copy.meshes.size(), 1u);
    auto faces = [](const SceneDescMesh& m) {
        size_t n = 0;
        for (const SceneDescGroup& g : m.groups) n += g.indices.size() / 3;
        return n;
    };
    EXPECT_LE(faces(copy.meshes[0]) * 2, faces(full.meshes[0]));
    EXPECT_NE(named(copy.materials, "Material"), nullptr);
}

} // namespace

TEST(SceneContent, GlowCopiesDanceOnTheSameBones) {
    for (const char* robot : {"robot_wheee", "robot_afropowa"}) {
        SCOPED_TRACE(robot);
        SceneDesc full, copy;
        if (!decode_content(std::string(robot) + ".vscene", &full) ||
            !decode_content(std::string(robot) + "_glow.vscene", &copy))
            GTEST_SKIP() << "content not built";
        expect_glow_copy(full, copy);
    }
}

TEST(SceneContent, ShaftHasFivePiecesAndACamera) {
    SceneDesc d;
    if (!decode_content("level_elements.vscene", &d)) GTEST_SKIP() << "content not built";
    for (const char* piece : {"C1", "C2", "C3", "C4", "C5"}) EXPECT_NE(named(d.objects, piece), nullptr) << piece;
    EXPECT_NE(holder_of_camera(d, "Camera"), nullptr);
}

TEST(SceneContent, AllFiveLoadWithTheirTexturesAndDraw) {
    SceneDesc probe;
    if (!decode_content("circuits.vscene", &probe)) GTEST_SKIP() << "content not built";
    test_gl_context();
    path_set_data_root(test_content_dir());
    log_reset_for_tests();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 800.0 / 440.0, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    const std::pair<const char*, const char*> scenes[] = {{"circuits.vscene", "Camera"},
                                                          {"armazem.vscene", "CAMXDD"},
                                                          {"robot_wheee.vscene", nullptr},
                                                          {"robot_afropowa.vscene", "Camera"},
                                                          {"level_elements.vscene", "Camera"}};
    for (const auto& [name, camera] : scenes) {
        Scene scene;
        scene_init(&scene);
        ASSERT_TRUE(scene_load(&scene, name));
        scene_list_each<Texture>(&scene.textures, [&](Texture* t) {
            EXPECT_NE(t->gl_name, 0u) << name << ": " << (t->name ? t->name : "");
        });
        GLint depth_before = 0, depth_after = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_before);
        camera_apply(camera ? scene_find_camera(&scene, camera) : nullptr);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene_draw(&scene, false);
        glFinish();
        auto start = std::chrono::steady_clock::now();
        scene_draw(&scene, false);
        glFinish();
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("draw   %-24s %7.2f ms (second draw)\n", name, ms);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_after);
        EXPECT_EQ(depth_after, depth_before) << name;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << name;
        scene_free(&scene);
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}
