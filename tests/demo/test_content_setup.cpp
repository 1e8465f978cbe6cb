// Content set-up: the robot wiring on hand-made scenes, and the whole
// set-up on the content the build generates (when it is there).
#include "audio/audio.h"
#include "core/log.h"
#include "core/paths.h"
#include "demo/content.h"
#include "scene/material.h"
#include "script/shader.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<ShaderUniform*> uniforms_of(ShaderProgram* program) {
    std::vector<ShaderUniform*> out;
    ListNode* cursor = nullptr;
    while (list_next(&program->uniforms, &cursor)) out.push_back(static_cast<ShaderUniform*>(cursor->data));
    return out;
}

struct Robot {
    Scene scene;
    Texture skin_texture{};
    Texture detail_texture{};
    MaterialLayer* file_layers[2] = {};

    explicit Robot(int bones, bool with_names = true) {
        scene_init(&scene);
        if (!with_names) return;
        auto* armature = new Armature;
        armature->name = "Armature";
        armature->bone_count = bones;
        armature->bones.resize(static_cast<size_t>(bones));
        armature->skin.assign(static_cast<size_t>(bones), matrix_identity());
        list_push_back(&scene.armatures, armature);
        auto* material = new Material;
        material->name = "Material";
        material->flags = MATERIAL_NO_FOG;
        material->layer_count = 2;
        list_push_back(&scene.materials, material);
        // File layers are appended in file order.
        for (int i = 0; i < 2; ++i) {
            file_layers[i] = new MaterialLayer{i == 0 ? &skin_texture : &detail_texture, LAYER_BIND, i};
            list_push_back(&material->layers, file_layers[i]);
        }
    }
    ~Robot() { scene_free(&scene); }
};

class ContentWiring : public ::testing::Test {
protected:
    void SetUp() override {
        shader_set_gl_stub(true);
        shader_init(&program);
        texture_init(&cube);
    }
    void TearDown() override {
        shader_free(&program);
        shader_set_gl_stub(false);
    }
    ShaderProgram program;
    Texture cube;
};

TEST_F(ContentWiring, RobotOneGetsBonesCameraAndReflectionLayer) {
    Robot robot(12);
    content_wire_skin(&robot.scene, "robot_wheee.vscene", &program, true);
    content_wire_material(&robot.scene, "robot_wheee.vscene", &program, &cube);

    std::vector<ShaderUniform*> uniforms = uniforms_of(&program);
    ASSERT_EQ(uniforms.size(), 2u);
    // Newest first: camera_pos was registered after bmatrix.
    EXPECT_STREQ(uniforms[0]->name, "camera_pos");
    EXPECT_EQ(uniforms[0]->kind, UNIFORM_VEC4);
    EXPECT_EQ(uniforms[0]->data, skin_camera_pos);
    EXPECT_STREQ(uniforms[1]->name, "bmatrix");
    EXPECT_EQ(uniforms[1]->kind, UNIFORM_MATRIX4);
    EXPECT_EQ(uniforms[1]->count, 12);
    Armature* armature = scene_find_armature(&robot.scene, "Armature");
    EXPECT_EQ(uniforms[1]->data, armature->skin[0].m);

    Material* material = scene_find_material(&robot.scene, "Material");
    EXPECT_EQ(material->flags, static_cast<uint32_t>(MATERIAL_NO_FOG | MATERIAL_SHADER));
    EXPECT_EQ(material->shader, &program);
    EXPECT_EQ(material->layer_count, 2);
    MaterialLayer* reflection = material_layer_at(material, 0);
    ASSERT_NE(reflection, nullptr);
    EXPECT_EQ(reflection->texture, &cube);
    EXPECT_EQ(reflection->flags, 9u);
    EXPECT_EQ(material_layer_at(material, 1), robot.file_layers[0]);
    EXPECT_EQ(material_layer_at(material, 2), robot.file_layers[1]);
    EXPECT_EQ(material_layer_at(material, 3), nullptr);
}

TEST_F(ContentWiring, RobotTwoGetsNoCameraPosition) {
    Robot robot(3);
    content_wire_skin(&robot.scene, "robot_afropowa.vscene", &program, false);
    std::vector<ShaderUniform*> uniforms = uniforms_of(&program);
    ASSERT_EQ(uniforms.size(), 1u);
    EXPECT_STREQ(uniforms[0]->name, "bmatrix");
    EXPECT_EQ(uniforms[0]->count, 3);
}

TEST_F(ContentWiring, ShaderBitIsSetNotAdded) {
    Robot robot(1);
    Material* material = scene_find_material(&robot.scene, "Material");
    material->flags = MATERIAL_SHADER;
    content_wire_material(&robot.scene, "robot.vscene", &program, &cube);
    EXPECT_EQ(material->flags, static_cast<uint32_t>(MATERIAL_SHADER));
}

TEST_F(ContentWiring, BoneCountNeverExceedsTheSkinArray) {
    Robot robot(4);
    scene_find_armature(&robot.scene, "Armature")->bone_count = 4000;
    content_wire_skin(&robot.scene, "robot.vscene", &program, false);
    EXPECT_EQ(uniforms_of(&program)[0]->count, 4);
}

TEST_F(ContentWiring, MissingNamesAreReportedAndLeftUnwired) {
    Robot robot(0, false);
    std::remove("report.htm");
    log_reset_for_tests();
    content_wire_skin(&robot.scene, "empty.vscene", &program, true);
    content_wire_material(&robot.scene, "empty.vscene", &program, &cube);
    log_close();
    EXPECT_TRUE(uniforms_of(&program).empty());
    const std::string report = test_read_file("report.htm");
    EXPECT_NE(report.find("Content [armature \"Armature\" in \"empty.vscene\"] not found"), std::string::npos);
    EXPECT_NE(report.find("Content [material \"Material\" in \"empty.vscene\"] not found"), std::string::npos);
}

bool content_complete(const std::string& dir) {
    namespace fs = std::filesystem;
    for (const char* f : {"scripts/vertexprofiles.vsl", "scripts/blur_pass.vsl", "scripts/radiosity_dark.vsl",
                          "scripts/test7.vsl", "models/circuits.vscene", "models/armazem.vscene",
                          "models/robot_wheee.vscene", "models/robot_wheee_glow.vscene", "models/robot_afropowa.vscene",
                          "models/robot_afropowa_glow.vscene", "models/level_elements.vscene", "fps7.ogg"})
        if (!fs::exists(fs::path(dir) / f)) return false;
    return true;
}

// The real set-up on the generated content: both robots carry the cube map
// as their first layer, and the report lists the loads in set-up order.
TEST(ContentLoad, WholeSetUpOnTheBuiltContent) {
    const std::string dir = test_content_dir();
    if (dir.empty() || !content_complete(dir)) GTEST_SKIP() << "generated content not built";
    test_gl_context();
    path_set_data_root(dir);
    std::remove("report.htm");
    log_reset_for_tests();
    vertex_profile_load("vertexprofiles.vsl");
    audio_init();
    static Content content;
    content_init(&content);
    content_load(&content);
    audio_set_position(0);
    log_close();

    for (Scene* robot : {&content.robot_wheee_scene, &content.robot_wheee_glow_scene, &content.robot_afropowa_scene,
                         &content.robot_afropowa_glow_scene}) {
        Material* material = scene_find_material(robot, "Material");
        ASSERT_NE(material, nullptr);
        MaterialLayer* first = material_layer_at(material, 0);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->texture, &content.cube_target);
        EXPECT_EQ(first->flags, 9u);
        EXPECT_NE(material->flags & MATERIAL_SHADER, 0u);
        int layers = 0;
        while (material_layer_at(material, layers)) ++layers;
        EXPECT_EQ(layers, material->layer_count + 1);
    }
    EXPECT_EQ(scene_find_material(&content.robot_wheee_scene, "Material")->shader, &content.skin_program);
    EXPECT_EQ(scene_find_material(&content.robot_afropowa_scene, "Material")->shader, &content.afropowa_program);
    EXPECT_NE(content.skin_program.program, content.afropowa_program.program);
    // A glow copy has bones of its own, so a program of its own.
    EXPECT_EQ(scene_find_material(&content.robot_wheee_glow_scene, "Material")->shader, &content.wheee_glow_program);
    EXPECT_NE(content.wheee_glow_program.program, content.skin_program.program);
    EXPECT_EQ(scene_find_material(&content.robot_afropowa_glow_scene, "Material")->shader,
              &content.afropowa_glow_program);
    EXPECT_NE(content.afropowa_glow_program.program, content.afropowa_program.program);
    EXPECT_GE(content.blur_texture_location, 0);
    EXPECT_GE(content.blur_offset_location, 0);
    EXPECT_EQ(content.cube_target.target, static_cast<GLenum>(GL_TEXTURE_CUBE_MAP));
    EXPECT_EQ(content.glow_target.width, 256);
    EXPECT_EQ(content.cube_target.width, 128);

    // Loads appear in the order of the set-up: the cube map after robot one's
    // scene and program, our glow copies after the robot each belongs to.
    const std::string report = test_read_file("report.htm");
    size_t at = 0;
    for (const char* name :
         {"veldra_core_text.png", "veldra_blender_text.png", "blur_pass.vsl", "circuits.vscene", "armazem.vscene",
          "radiosity_dark.vsl", "radiosity_mapped.vsl", "robot_wheee.vscene", "test7.vsl",
          "[VL_TEXTURE_CUBEMAP 128x128x4] FBO Created", "robot_wheee_glow.vscene", "test7.vsl", "robot_afropowa.vscene",
          "test7.vsl", "robot_afropowa_glow.vscene", "test7.vsl", "level_elements.vscene"}) {
        size_t found = report.find(name, at);
        EXPECT_NE(found, std::string::npos) << name << " missing or out of order";
        if (found != std::string::npos) at = found + 1;
    }
    EXPECT_EQ(report.find("not found"), std::string::npos);
    audio_shutdown();
    vertex_profile_free();
}

} // namespace
