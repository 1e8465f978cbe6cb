// Scene files: the writer and the decoder agree byte for byte, malformed
// files are refused without touching memory they do not own, and loading
// builds the model with its report lines in file order.
#include "core/log.h"
#include "core/paths.h"
#include "gfx/texture.h"
#include "scene/material.h"
#include "scene/object.h"
#include "scene/scene.h"
#include "scene/scene_file.h"
#include "scene/scene_writer.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

namespace {

// Profile 0: position (12 bytes); profile 1: position and RGBA colour (28 bytes).
// Profile 5 has no registrations: stride 0, meshes without vertex data.
int test_stride(int profile) { return profile == 0 ? 12 : profile == 1 ? 28 : profile == 5 ? 0 : -1; }

std::vector<uint8_t> floats(std::initializer_list<float> values) {
    std::vector<uint8_t> bytes;
    for (float v : values) scene_desc_push_f32(&bytes, v);
    return bytes;
}

TrackKey key(float time, Vec3 location, Vec3 rotation) {
    TrackKey k;
    k.time = time;
    for (Vec3& v : k.location) v = location;
    for (Vec3& v : k.rotation) v = rotation;
    return k;
}

// One of every record kind, with the awkward cases of the format in it.
SceneDesc rich_desc(const std::string& texture_a = "a.png", const std::string& texture_b = "b.png") {
    SceneDesc d;
    d.textures = {texture_a, texture_b};

    SceneDescMaterial material;
    material.name = "Material";
    material.colour[0] = 0.25f;
    material.flags = MATERIAL_TWO_PASS | MATERIAL_NO_FOG;
    material.layers = {{1, COMBINE_ADD}, {0, COMBINE_MODULATE}};
    SceneDescMaterial other;
    other.name = "Other";
    d.materials = {material, other};

    SceneDescMesh quad;
    quad.name = "Quad";
    quad.vertex_count = 4;
    quad.profile = 0;
    quad.flags = MESH_MATERIALS | MESH_BUFFERED;
    quad.box_a = {1, 1, 0};
    quad.box_b = {-1, -1, 0};
    quad.vertex_groups = {{"weights", {{7, {1, 2, 3}, {4, 5, 6}}, {8, {0, 0, 0}, {0, 0, 1}}}}};
    quad.groups = {{1, {0, 1, 2, 0, 2, 3}}, {0, {0, 1, 2}}, {1, {}}};
    quad.vertices = floats({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0});
    SceneDescMesh loose;
    loose.name = "Loose";
    loose.vertex_count = 3;
    loose.profile = 1;
    loose.groups = {{7, {2, 1, 0}}}; // no MESH_MATERIALS: 7 is a plain number
    loose.vertices.resize(3 * 28, 0);
    d.meshes = {quad, loose};

    SceneDescArmature armature;
    armature.name = "Armature";
    armature.bones = {{-1, {0, 1, 0}, {0, 0, 0}}, {0, {0, 1, 0}, {0, 1, 0}}, {1, {1, 0, 0}, {0, 2, 0}}};
    armature.frames = {{0, {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
                       {10, {{0, 0, 1, 0}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}}, {}}};
    d.armatures = {armature};
    d.cameras = {{"Camera", 0x3f800000}, {"Unused", 0}};

    SceneDescObject root;
    root.name = "Root";
    root.location = {1, 2, 3};
    root.flags = OBJECT_AXES;
    SceneDescObject child;
    child.name = "Child";
    child.location = {0, 0, -4};
    child.rotation = {0, 0, 0.70710678f, 0.70710678f};
    child.scale = {2, 2, 2};
    child.flags = OBJECT_PARENT | OBJECT_MESH | OBJECT_ANIMATED;
    child.parent = 0;
    child.mesh = 0;
    child.keys = {key(2, {0, 0, 0}, {0, 0, 0}), key(10, {1, 0, 0}, {0, 0, 1}), key(20, {2, 0, 0}, {0, 0, 2})};
    SceneDescObject camera;
    camera.name = "Cam";
    camera.flags = OBJECT_CAMERA | OBJECT_PARENT;
    camera.parent = 1;
    camera.camera = 0;
    SceneDescObject rig;
    rig.name = "Rig";
    rig.flags = OBJECT_ARMATURE;
    rig.armature = 0;
    SceneDescObject plain;
    plain.name = "Loose";
    plain.flags = OBJECT_MESH;
    plain.mesh = 1;
    d.objects = {root, child, camera, rig, plain};
    return d;
}

bool decodes(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
    SceneDesc out;
    std::string local;
    return scene_decode(bytes.data(), bytes.size(), &out, error ? error : &local, test_stride);
}

void put_i32(std::vector<uint8_t>& bytes, size_t at, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(u >> (8 * i));
}

} // namespace

TEST(SceneFile, SmallestObjectFileIs73BytesAndReadsBack) {
    SceneDesc d;
    SceneDescObject o;
    o.name = "a";
    o.scale = {1, 1, 1};
    d.objects = {o};
    std::vector<uint8_t> bytes = scene_write(d);
    ASSERT_EQ(bytes.size(), 73u);
    EXPECT_EQ(bytes[0], 1); // object count first
    SceneDesc out;
    std::string error;
    ASSERT_TRUE(scene_decode(bytes.data(), bytes.size(), &out, &error, test_stride)) << error;
    ASSERT_EQ(out.objects.size(), 1u);
    EXPECT_EQ(out.objects[0].name, "a");
    EXPECT_EQ(out.objects[0].flags, 0u);
    EXPECT_TRUE(out.objects[0].keys.empty());

    // Six zero counts make a valid empty scene; zero bytes do not.
    std::vector<uint8_t> empty(24, 0);
    EXPECT_TRUE(decodes(empty));
    EXPECT_FALSE(decodes({}));
}

TEST(SceneFile, RoundTripKeepsEveryField) {
    SceneDesc d = rich_desc();
    std::vector<uint8_t> bytes = scene_write(d);
    SceneDesc out;
    std::string error;
    ASSERT_TRUE(scene_decode(bytes.data(), bytes.size(), &out, &error, test_stride)) << error;
    EXPECT_EQ(scene_write(out), bytes);

    EXPECT_EQ(out.textures[1], "b.png");
    ASSERT_EQ(out.materials[0].layers.size(), 2u);
    EXPECT_EQ(out.materials[0].layers[0].texture, 1);
    EXPECT_EQ(out.materials[0].layers[0].mode, COMBINE_ADD);
    EXPECT_EQ(out.meshes[0].vertex_groups[0].entries[0].b.z, 6.0f);
    EXPECT_EQ(out.meshes[0].groups[0].indices.size(), 6u);
    EXPECT_EQ(out.meshes[1].groups[0].material, 7);
    EXPECT_EQ(out.armatures[0].bones[2].parent, 1);
    // A frame may cover more bones than the armature has.
    EXPECT_EQ(out.armatures[0].frames[1].rotations.size(), 4u);
    EXPECT_EQ(out.cameras[0].parameter, 0x3f800000u);
    EXPECT_EQ(out.objects[1].keys[2].location[1].x, 2.0f);
    EXPECT_EQ(out.objects[2].camera, 0);
    EXPECT_EQ(out.objects[2].parent, 1);

    // Trailing bytes are not looked at.
    bytes.push_back(0xAB);
    EXPECT_TRUE(decodes(bytes));
}

TEST(SceneFile, ConditionalObjectFieldsInTableOrder) {
    SceneDesc d;
    d.meshes.resize(1);
    d.meshes[0].name = "m";
    SceneDescObject parent;
    parent.name = "p";
    SceneDescObject o;
    o.name = "o";
    o.flags = OBJECT_PARENT | OBJECT_MESH | OBJECT_ANIMATED;
    o.parent = 0;
    o.mesh = 0;
    o.keys = {key(1, {5, 6, 7}, {0, 0, 0}), key(2, {0, 0, 0}, {0, 0, 0})};
    d.objects = {parent, o};
    std::vector<uint8_t> bytes = scene_write(d);
    // The last object: name (4 + 1), 44 bytes, then parent, mesh, key count, keys.
    size_t at = bytes.size() - 2 * 76 - 12;
    int32_t fields[3];
    std::memcpy(fields, &bytes[at], 12);
    EXPECT_EQ(fields[0], 0);
    EXPECT_EQ(fields[1], 0);
    EXPECT_EQ(fields[2], 2);
    float location_value_x;
    std::memcpy(&location_value_x, &bytes[at + 12 + 4 + 12], 4);
    EXPECT_EQ(location_value_x, 5.0f);
    EXPECT_TRUE(decodes(bytes));
}

TEST(SceneFile, ProfileWithoutRegistrationsGivesMeshesWithoutVertexData) {
    SceneDesc d;
    SceneDescMesh bare;
    bare.name = "Bare";
    bare.vertex_count = 3;
    bare.profile = 5; // stride 0
    d.meshes = {bare};
    std::vector<uint8_t> bytes = scene_write(d);
    SceneDesc out;
    std::string error;
    ASSERT_TRUE(scene_decode(bytes.data(), bytes.size(), &out, &error, test_stride)) << error;
    ASSERT_EQ(out.meshes.size(), 1u);
    EXPECT_EQ(out.meshes[0].vertex_count, 3);
    EXPECT_TRUE(out.meshes[0].vertices.empty());

    // A profile that does not exist is still refused.
    d.meshes[0].profile = 3;
    bytes = scene_write(d);
    EXPECT_FALSE(decodes(bytes, &error));
    EXPECT_NE(error.find("vertex profile 3"), std::string::npos) << error;
}

TEST(SceneFile, TruncatedAtEveryLengthIsRefused) {
    std::vector<uint8_t> bytes = scene_write(rich_desc());
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        std::string error;
        EXPECT_FALSE(decodes(cut, &error)) << "length " << n;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(decodes(bytes));
}

TEST(SceneFile, HugeAndNegativeCountsAreRefused) {
    std::vector<uint8_t> good = scene_write(rich_desc());
    for (size_t field = 0; field < 6; ++field)
        for (int32_t value : {-1, 0x7fffffff, 1 << 24}) {
            std::vector<uint8_t> bytes = good;
            put_i32(bytes, field * 4, value);
            EXPECT_FALSE(decodes(bytes)) << "header field " << field << " = " << value;
        }
    // A string length far past the end of the file (the first texture path).
    std::vector<uint8_t> bytes = good;
    put_i32(bytes, 24, 0x7ffffff0);
    EXPECT_FALSE(decodes(bytes));
    put_i32(bytes, 24, -5);
    EXPECT_FALSE(decodes(bytes));

    // Inner counts: faces, vertex-group entries, bones, frames, keys.
    SceneDesc d;
    d.meshes.resize(1);
    d.meshes[0].name = "m";
    d.meshes[0].vertex_count = 1;
    d.meshes[0].vertices.resize(12);
    d.meshes[0].groups = {{0, {0, 0, 0}}};
    bytes = scene_write(d);
    size_t faces_at = 24 + 5 + 20 + 24;
    put_i32(bytes, faces_at, 0x40000000);
    EXPECT_FALSE(decodes(bytes));
    put_i32(bytes, faces_at, -1);
    EXPECT_FALSE(decodes(bytes));
    bytes = scene_write(d);
    put_i32(bytes, 24 + 5, 0x7fffffff); // vertex count: 12 x that is past the end
    EXPECT_FALSE(decodes(bytes));
}

TEST(SceneFile, OutOfRangePositionsAreRefused) {
    struct Case {
        const char* what;
        void (*spoil)(SceneDesc&);
    };
    const Case cases[] = {
        {"layer texture", [](SceneDesc& d) { d.materials[0].layers[1].texture = 2; }},
        {"negative layer texture", [](SceneDesc& d) { d.materials[0].layers[0].texture = -1; }},
        {"group material", [](SceneDesc& d) { d.meshes[0].groups[1].material = 2; }},
        {"vertex index", [](SceneDesc& d) { d.meshes[0].groups[0].indices[4] = 4; }},
        {"huge vertex index", [](SceneDesc& d) { d.meshes[1].groups[0].indices[0] = 0xffffffffu; }},
        {"profile", [](SceneDesc& d) { d.meshes[1].profile = 2; }},
        {"negative profile", [](SceneDesc& d) { d.meshes[1].profile = -1; }},
        {"bone parent after the bone", [](SceneDesc& d) { d.armatures[0].bones[1].parent = 2; }},
        {"bone parent itself", [](SceneDesc& d) { d.armatures[0].bones[1].parent = 1; }},
        {"bone parent below -1", [](SceneDesc& d) { d.armatures[0].bones[0].parent = -2; }},
        {"short pose frame", [](SceneDesc& d) { d.armatures[0].frames[0].rotations.resize(2); }},
        {"object mesh", [](SceneDesc& d) { d.objects[1].mesh = 2; }},
        {"object armature", [](SceneDesc& d) { d.objects[3].armature = 1; }},
        {"object camera", [](SceneDesc& d) { d.objects[2].camera = -1; }},
        {"parent after child", [](SceneDesc& d) { d.objects[1].parent = 3; }},
        {"parent itself", [](SceneDesc& d) { d.objects[1].parent = 1; }},
        {"two kinds of data",
         [](SceneDesc& d) {
             d.objects[4].flags |= OBJECT_CAMERA;
             d.objects[4].camera = 0;
         }},
    };
    ASSERT_TRUE(decodes(scene_write(rich_desc())));
    for (const Case& c : cases) {
        SceneDesc d = rich_desc();
        c.spoil(d);
        std::string error;
        EXPECT_FALSE(decodes(scene_write(d), &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    // Without MESH_MATERIALS a group's material number is never used, so any value passes.
    SceneDesc d = rich_desc();
    d.meshes[1].groups[0].material = -9;
    EXPECT_TRUE(decodes(scene_write(d)));
}

TEST(SceneFile, RandomCorruptionNeverCrashes) {
    std::vector<uint8_t> good = scene_write(rich_desc());
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = good;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) {
            size_t at = rng() % bytes.size();
            bytes[at] = (rng() % 3 == 0) ? 0xff : static_cast<uint8_t>(rng());
        }
        if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
        SceneDesc out;
        std::string error;
        if (!scene_decode(bytes.data(), bytes.size(), &out, &error, test_stride)) {
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(SceneFile, ReadStringStopsAtTheEnd) {
    const char data[] = "\x03\x00\x00\x00"
                        "abc"
                        "\x10\x00\x00\x00"
                        "xy";
    FILE* f = fmemopen(const_cast<char*>(data), sizeof data - 1, "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_string(f), "abc");
    EXPECT_EQ(read_string(f), "xy");
    EXPECT_EQ(read_string(f), "");
    std::fclose(f);
}

namespace {

void write_model(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories("models");
    test_write_file("models/" + name, std::string(bytes.begin(), bytes.end()));
}

} // namespace

TEST(SceneFile, MissingAndCorruptFilesAreFatal) {
    path_set_data_root(std::filesystem::current_path().string());
    log_reset_for_tests();
    {
        Scene scene;
        EXPECT_FALSE(scene_load(&scene, "nowhere.vscene"));
    }
    EXPECT_EQ(log_fatal_message(), "VScene Model [\"nowhere.vscene\"] Not Found !");
    log_close();
    std::string report = test_read_file("report.htm");
    EXPECT_NE(report.find("VScene Model [\"nowhere.vscene\"] Not Found !"), std::string::npos);

    SceneDesc d;
    d.objects.resize(1);
    d.objects[0].name = "a";
    std::vector<uint8_t> bytes = scene_write(d);
    bytes.resize(bytes.size() - 3);
    write_model("cut.vscene", bytes);
    log_reset_for_tests();
    testing::internal::CaptureStderr();
    {
        Scene scene;
        EXPECT_FALSE(scene_load(&scene, "cut.vscene"));
        EXPECT_EQ(scene.object_count, 0); // untouched
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("past the end"), std::string::npos);
    EXPECT_EQ(log_fatal_message(), "VScene Model [\"cut.vscene\"] Corrupt File !");
    log_close();
    report = test_read_file("report.htm");
    EXPECT_NE(report.find("VScene Model [\"cut.vscene\"] Corrupt File !"), std::string::npos);
    EXPECT_EQ(report.find("VBO Model"), std::string::npos); // refused before anything was stored
    log_reset_for_tests();
}

namespace {

const char* kProfiles = "#define MAX_VERTEX_PROFILES 2\n"
                        "def position {\n"
                        "vertex_profile_allocate(1)\n"
                        "vertex_profile_register(0, 1, 3, 0, 0)\n"
                        "}\n"
                        "def position_colour {\n"
                        "vertex_profile_allocate(2)\n"
                        "vertex_profile_register(0, 1, 3, 0, 0)\n"
                        "vertex_profile_register(1, 3, 4, 12, 0)\n"
                        "}\n";

void load_test_profiles() {
    if (vertex_profile_count == 2 && vertex_profile_stride(1) == 28) return;
    vertex_profile_free();
    FILE* f = fmemopen(const_cast<char*>(kProfiles), std::strlen(kProfiles), "r");
    ASSERT_NE(f, nullptr);
    vertex_profile_load_stream(f, "test_profiles.vsl");
    ASSERT_EQ(vertex_profile_count, 2);
    ASSERT_EQ(vertex_profile_stride(0), 12);
    ASSERT_EQ(vertex_profile_stride(1), 28);
}

size_t find_after(const std::string& text, const std::string& needle, size_t from) {
    size_t at = text.find(needle, from);
    EXPECT_NE(at, std::string::npos) << needle;
    return at == std::string::npos ? from : at;
}

} // namespace

TEST(SceneLoad, EmptySceneReportsZeroCounts) {
    test_gl_context();
    load_test_profiles();
    path_set_data_root(std::filesystem::current_path().string());
    log_reset_for_tests();
    write_model("empty.vscene", std::vector<uint8_t>(24, 0));
    Scene scene;
    EXPECT_TRUE(scene_load(&scene, "empty.vscene"));
    EXPECT_EQ(scene.object_count, 0);
    EXPECT_EQ(scene.objects.header, nullptr);
    log_close();
    std::string report = test_read_file("report.htm");
    EXPECT_NE(report.find("VScene Model [\"empty.vscene\" obj 0, msh 0, tex 0, mat 0] Loaded !"), std::string::npos)
        << report;
}

TEST(SceneLoad, BuildsTheModelWithReportLinesInFileOrder) {
    test_gl_context();
    load_test_profiles();
    path_set_data_root(std::filesystem::current_path().string());
    log_reset_for_tests();
    std::string png = test_data_dir() + "/png/pngsuite/basn2c08.png";
    write_model("rich.vscene", scene_write(rich_desc(png, "missing_texture.png")));
    Scene scene;
    scene_init(&scene);
    ASSERT_TRUE(scene_load(&scene, "rich.vscene"));
    log_close();
    std::string report = test_read_file("report.htm");

    // Textures, then the meshes in file order, then the scene line.
    size_t at = find_after(report, "basn2c08.png", 0);
    at = find_after(report, "VBO Model [\"Quad\",verts 4, faces 3, groups 3, nvp 0] [AGP Malloc] loaded ", at);
    at = find_after(report, "VBO Model [\"Loose\",verts 3, faces 1, groups 1, nvp 1] [RAM Malloc] loaded ", at);
    find_after(report, "VScene Model [\"rich.vscene\" obj 5, msh 2, tex 2, mat 2] Loaded !", at);

    // Layers in file order, each bound, pointing at the file's textures.
    Material* material = scene_find_material(&scene, "Material");
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->layer_count, 2);
    MaterialLayer* first = material_layer_at(material, 0);
    MaterialLayer* second = material_layer_at(material, 1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->flags, LAYER_BIND);
    EXPECT_EQ(first->mode, COMBINE_ADD);
    EXPECT_EQ(second->mode, COMBINE_MODULATE);
    Texture* loaded = static_cast<Texture*>(scene.textures.header->head->data);
    Texture* unloaded = static_cast<Texture*>(scene.textures.header->tail->data);
    EXPECT_EQ(first->texture, unloaded);
    EXPECT_EQ(second->texture, loaded);
    EXPECT_NE(loaded->gl_name, 0u);
    EXPECT_EQ(unloaded->gl_name, 0u);

    // Groups in reverse file order; materials resolved only with MESH_MATERIALS.
    SceneObject* child = scene_find_object(&scene, "Child");
    Mesh* quad = object_mesh(child);
    ASSERT_NE(quad, nullptr);
    std::vector<MeshGroup*> groups;
    scene_list_each<MeshGroup>(&quad->groups, [&](MeshGroup* g) { groups.push_back(g); });
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0]->face_count, 0);
    EXPECT_EQ(groups[1]->face_count, 1);
    EXPECT_EQ(groups[2]->face_count, 2);
    EXPECT_EQ(groups[1]->material, material);
    EXPECT_EQ(groups[2]->material, scene_find_material(&scene, "Other"));
    EXPECT_NE(quad->vertex_buffer, 0u);
    EXPECT_TRUE(quad->vertices.empty());
    EXPECT_TRUE(groups[2]->indices.empty());
    EXPECT_EQ(quad->box.max.x, 1.0f);
    EXPECT_EQ(quad->box.min.x, -1.0f);
    ASSERT_EQ(quad->vertex_groups.size(), 1u);
    EXPECT_EQ(quad->vertex_groups[0].entry_count, 2);

    Mesh* loose = object_mesh(scene_find_object(&scene, "Loose"));
    ASSERT_NE(loose, nullptr);
    MeshGroup* loose_group = static_cast<MeshGroup*>(loose->groups.header->head->data);
    EXPECT_EQ(loose_group->material, nullptr);
    EXPECT_EQ(loose_group->material_index, 7);
    EXPECT_EQ(loose->vertices.size(), 3u * 28);
    EXPECT_EQ(loose_group->indices.size(), 3u);

    // A child's matrix is its parent's times its own transforms.
    SceneObject* root = scene_find_object(&scene, "Root");
    Matrix expected = root->matrix;
    matrix_translate(&expected, 0, 0, -4);
    matrix_rotate_quat(&expected, child->rotation);
    matrix_scale(&expected, 2, 2, 2);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(child->matrix.m[i], expected.m[i]) << i;
    EXPECT_EQ(child->parent, root);
    ASSERT_NE(child->track, nullptr);
    EXPECT_EQ(child->track->key_count, 3);

    // The camera follows the object that claimed it; the other stays unclaimed.
    SceneObject* cam_object = scene_find_object(&scene, "Cam");
    EXPECT_EQ(scene_find_camera(&scene, "Camera")->matrix, &cam_object->matrix);
    EXPECT_EQ(scene_find_camera(&scene, "Unused")->matrix, nullptr);

    // Bones at rest: every skin matrix is the identity.
    Armature* armature = scene_find_armature(&scene, "Armature");
    ASSERT_NE(armature, nullptr);
    EXPECT_EQ(object_armature(scene_find_object(&scene, "Rig")), armature);
    EXPECT_EQ(armature->frame_count, 2);
    EXPECT_EQ(armature->bones[2].parent, &armature->bones[1]);
    for (const Matrix& skin : armature->skin)
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(skin.m[i], matrix_identity().m[i], 1e-6f);

    scene_free(&scene);
    EXPECT_EQ(scene.objects.header, nullptr);
}
