// Live reloading on real GL: an edited texture shows through every copy of
// its record, an edited shader keeps its registrations and changes the
// picture, a broken edit keeps the last good version and says where until
// it is fixed, and reloaded scenes keep the content's wiring.
#include "audio/audio.h"
#include "core/gl.h"
#include "core/log.h"
#include "core/notice.h"
#include "core/paths.h"
#include "core/reload.h"
#include "demo/content.h"
#include "gfx/image_write.h"
#include "gfx/texture.h"
#include "scene/material.h"
#include "scene/scene_draw.h"
#include "script/shader.h"
#include "script/vertex_profile.h"
#include "shell/reload_watch.h"
#include "shell/window.h"
#include "support/gl_context.h"
#include "text/reload_banner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

int boxes = 0;
void count_box(const char*, const char*) { ++boxes; }
NoticeAnswer count_dialog(const char*, const char*) {
    ++boxes;
    return NOTICE_EXIT;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Reload : ::testing::Test {
    std::string root;
    void SetUp() override {
        test_gl_context();
        root = fs::absolute("reload_root").string();
        fs::remove_all(root);
        fs::create_directories(root + "/textures");
        fs::create_directories(root + "/scripts");
        path_set_data_root(root);
        std::remove("report.htm");
        log_reset_for_tests();
        boxes = 0;
        notice_set_hooks(NoticeHooks{count_box, count_dialog});
        reload_set_active(true);
    }
    void TearDown() override {
        reload_watch_stop();
        reload_set_active(false);
        notice_set_hooks(NoticeHooks{});
        path_set_data_root("");
        log_reset_for_tests();
    }
};

std::string solid_png(int side, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < side * side; ++i) pixels.insert(pixels.end(), {r, g, b});
    std::vector<uint8_t> png = image_encode_png(side, side, 3, pixels.data());
    return std::string(png.begin(), png.end());
}

int poll_until_loaded() {
    for (int frame = 0; frame < 100; ++frame) {
        if (int loaded = reload_watch_poll()) return loaded;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

TestPixel drawn(Texture t) {
    glClear(GL_COLOR_BUFFER_BIT);
    view_ortho(800, 600);
    texture_draw(t, 0, 0, 800, 600, Color{255, 255, 255, 255});
    return test_read_pixel(400, 300);
}

TEST_F(Reload, EditedTextureShowsThroughEveryCopyOfTheRecord) {
    const std::string file = root + "/textures/swatch.png";
    test_write_file(file, solid_png(4, 255, 0, 0));
    ASSERT_TRUE(reload_watch_start(root));
    Texture loaded;
    texture_init(&loaded);
    ASSERT_TRUE(texture_load(&loaded, "swatch.png"));
    const Texture copy = loaded;
    EXPECT_EQ(drawn(copy).r, 255);

    // Saved the way editors do, at another size.
    test_write_file(file + ".new", solid_png(8, 0, 255, 0));
    fs::rename(file + ".new", file);
    ASSERT_EQ(poll_until_loaded(), 1);
    TestPixel now = drawn(copy);
    EXPECT_EQ(now.r, 0);
    EXPECT_EQ(now.g, 255);
    EXPECT_EQ(reload_error_text(), "");

    // Cut short, it keeps the last good picture and says so.
    test_write_file(file, solid_png(4, 0, 0, 255).substr(0, 40));
    ASSERT_EQ(poll_until_loaded(), 1);
    EXPECT_EQ(drawn(copy).g, 255);
    EXPECT_TRUE(has(reload_error_text(), "textures/swatch.png: ")) << reload_error_text();
    EXPECT_EQ(boxes, 0);

    const GLuint name = loaded.gl_name;
    texture_free(&loaded);
    EXPECT_FALSE(reload_is_registered(RELOAD_TEXTURE, name));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A picture that does not decode when it is first loaded (a scene saved
// before its new texture) is filled when it is saved again.
TEST_F(Reload, TextureBrokenAtLoadShowsOnceSaved) {
    const std::string file = root + "/textures/late.png";
    test_write_file(file, solid_png(4, 255, 0, 0).substr(0, 40));
    ASSERT_TRUE(reload_watch_start(root));
    Texture late;
    texture_init(&late);
    EXPECT_FALSE(texture_load(&late, "late.png"));
    EXPECT_TRUE(has(reload_error_text(), "textures/late.png: ")) << reload_error_text();

    test_write_file(file, solid_png(4, 0, 0, 255));
    ASSERT_EQ(poll_until_loaded(), 1);
    TestPixel now = drawn(late);
    EXPECT_EQ(now.r, 0);
    EXPECT_EQ(now.b, 255);
    EXPECT_EQ(reload_error_text(), "");
    texture_free(&late);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A script whose pixel stage is body, and whose own registration gives the
// sampler "pattern" unit `unit`.
std::string tint_script(const std::string& body, int unit) {
    return "#define VERTEX 1\n#define PIXEL 2\n"
           "shader_program(VERTEX, \"\nvoid main() { gl_Position = gl_Vertex; }\n\")\n"
           "shader_program(PIXEL, \"\nuniform vec4 lift;\nuniform vec4 tint;\nuniform sampler2D pattern;\n"
           "void main()\n{\n" +
           body +
           "\n}\n\")\n"
           "shader_settings(4)\nshader_link()\nshader_assign_tex(\"pattern\", " +
           std::to_string(unit) + ")\n";
}

// A full-window quad through a copy of the record, as materials hold them.
TestPixel drawn_with(const ShaderProgram& program) {
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_BLEND);
    ShaderProgram copy = program;
    shader_bind(&copy);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    shader_unbind(&copy);
    return test_read_pixel(400, 300);
}

// The far end of the error banner's first line, over a white frame.
TestPixel banner_pixel() {
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    view_ortho(800, 600);
    reload_banner_draw(0.0f, 800);
    return test_read_pixel(796, 4);
}

std::vector<ShaderUniform*> uniforms_of(ShaderProgram* program) {
    std::vector<ShaderUniform*> out;
    ListNode* cursor = nullptr;
    while (list_next(&program->uniforms, &cursor)) out.push_back(static_cast<ShaderUniform*>(cursor->data));
    return out;
}

struct TintProgram {
    ShaderProgram program;
    float tint[4] = {1, 0, 0, 1};
    explicit TintProgram(const std::string& root) {
        test_write_file(root + "/scripts/tint.vsl", tint_script("gl_FragColor = tint;", 0));
        shader_init(&program);
        shader_load(&program, "tint.vsl");
        shader_uniform_vec4(&program, "tint", tint);
    }
    ~TintProgram() { shader_free(&program); }
};

TEST_F(Reload, EditedShaderKeepsItsRegistrationsAndChangesThePicture) {
    TintProgram t(root);
    const uint32_t handle = t.program.program;
    EXPECT_EQ(drawn_with(t.program).r, 255);

    // "lift", used now, takes a location before "tint" (Mesa moves tint's).
    test_write_file(root + "/scripts/tint.vsl", tint_script("gl_FragColor = tint.gbra + lift;", 3));
    ASSERT_EQ(reload_file(root + "/scripts/tint.vsl"), 1);
    EXPECT_EQ(t.program.program, handle);
    TestPixel now = drawn_with(t.program);
    EXPECT_EQ(now.r, 0);
    EXPECT_EQ(now.b, 255);

    // The program's users' registration stays, the script's own is the new one.
    std::vector<ShaderUniform*> uniforms = uniforms_of(&t.program);
    ASSERT_EQ(uniforms.size(), 2u);
    EXPECT_STREQ(uniforms[0]->name, "tint");
    EXPECT_EQ(uniforms[0]->data, t.tint);
    EXPECT_EQ(uniforms[0]->location, glGetUniformLocationARB(handle, "tint"));
    EXPECT_STREQ(uniforms[1]->name, "pattern");
    EXPECT_EQ(uniforms[1]->value, 3);
    EXPECT_EQ(reload_error_text(), "");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Reload, BrokenShaderKeepsTheLastGoodProgramAndSaysWhereUntilFixed) {
    TintProgram t(root);
    const uint32_t handle = t.program.program;
    const std::string broken = tint_script("gl_FragColor = tint;\n    gl_FragColor += undefined_thing;", 0);
    test_write_file(root + "/scripts/tint.vsl", broken);
    const auto at = broken.find("undefined_thing");
    const int line = 1 + static_cast<int>(std::count(broken.begin(), broken.begin() + static_cast<long>(at), '\n'));

    ASSERT_EQ(reload_file(root + "/scripts/tint.vsl"), 1);
    EXPECT_EQ(t.program.program, handle);
    EXPECT_EQ(drawn_with(t.program).r, 255);
    const std::string error = reload_error_text();
    EXPECT_TRUE(has(error, "scripts/tint.vsl:" + std::to_string(line) + ": pixel shader: ")) << error;
    EXPECT_TRUE(has(error, "undefined_thing")) << error;
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(log_fatal_message(), "");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_LT(banner_pixel().r, 128); // on its dark band

    test_write_file(root + "/scripts/tint.vsl", tint_script("gl_FragColor = tint.gbra;", 0));
    ASSERT_EQ(reload_file(root + "/scripts/tint.vsl"), 1);
    EXPECT_EQ(reload_error_text(), "");
    EXPECT_EQ(drawn_with(t.program).b, 255);
    EXPECT_EQ(banner_pixel().r, 255); // gone with the error
    log_close();
    const std::string report = test_read_file("report.htm");
    EXPECT_TRUE(has(report, "Reload [\"scripts/tint.vsl\"] Not Loaded")) << report;
    EXPECT_TRUE(has(report, "Reload [\"scripts/tint.vsl\"] Loads Again")) << report;
}

bool content_complete(const std::string& dir) {
    for (const char* f : {"scripts/vertexprofiles.vsl", "scripts/test7.vsl", "models/armazem.vscene",
                          "models/robot_wheee.vscene", "models/robot_wheee_glow.vscene", "fps7.ogg"})
        if (!fs::exists(fs::path(dir) / f)) return false;
    return true;
}

int registrations_named(ShaderProgram* program, const char* name) {
    std::vector<ShaderUniform*> all = uniforms_of(program);
    return static_cast<int>(
        std::count_if(all.begin(), all.end(), [&](ShaderUniform* u) { return u->name == std::string(name); }));
}

// The built content, with the two scenes to edit copied and the rest linked.
TEST(ContentReload, ReloadedScenesKeepTheContentWiring) {
    const std::string content_dir = test_content_dir();
    if (content_dir.empty() || !content_complete(content_dir)) GTEST_SKIP() << "generated content not built";
    const std::string root = fs::absolute("content_reload_root").string();
    fs::remove_all(root);
    fs::create_directories(root + "/models");
    for (const fs::directory_entry& entry : fs::directory_iterator(content_dir))
        if (entry.path().filename() != "models") fs::create_symlink(entry.path(), root / entry.path().filename());
    for (const fs::directory_entry& entry : fs::directory_iterator(content_dir + "/models")) {
        const fs::path to = fs::path(root) / "models" / entry.path().filename();
        const std::string name = entry.path().filename().string();
        if (name == "robot_wheee.vscene" || name == "armazem.vscene") fs::copy_file(entry.path(), to);
        else fs::create_symlink(entry.path(), to);
    }

    test_gl_context();
    path_set_data_root(root);
    std::remove("report.htm");
    log_reset_for_tests();
    reload_set_active(true);
    vertex_profile_load("vertexprofiles.vsl");
    audio_init();
    static Content content;
    content_init(&content);
    ASSERT_TRUE(content_load(&content));

    // The same bytes again still make a fresh scene in the same record.
    const std::string robot_file = root + "/models/robot_wheee.vscene";
    const std::string robot_bytes = test_read_file(robot_file);
    Scene* robot = &content.robot_wheee_scene;
    const Armature* old_armature = scene_find_armature(robot, "Armature");
    test_write_file(robot_file, robot_bytes);
    ASSERT_EQ(reload_file(robot_file), 1);
    Armature* armature = scene_find_armature(robot, "Armature");
    ASSERT_NE(armature, nullptr);
    EXPECT_NE(armature, old_armature);
    Material* material = scene_find_material(robot, "Material");
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->shader, &content.skin_program);
    EXPECT_NE(material->flags & MATERIAL_SHADER, 0u);
    ASSERT_NE(material_layer_at(material, 0), nullptr);
    EXPECT_EQ(material_layer_at(material, 0)->texture, &content.cube_target);
    EXPECT_EQ(material_layer_at(material, material->layer_count + 1), nullptr);
    EXPECT_EQ(registrations_named(&content.skin_program, "bmatrix"), 1);
    EXPECT_EQ(registrations_named(&content.skin_program, "camera_pos"), 1);
    for (ShaderUniform* u : uniforms_of(&content.skin_program)) {
        if (std::string(u->name) == "bmatrix") {
            EXPECT_EQ(u->data, armature->skin[0].m);
        }
    }
    // Drawn through its program: the bones uploaded are the new scene's.
    view_perspective(4.0f / 3.0f, 35.0f, 10000.0f, 0.1f);
    scene_draw(robot, false);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The skinning script again: four programs, their bones still wired.
    const uint32_t skin_handle = content.skin_program.program;
    EXPECT_EQ(reload_file(root + "/scripts/test7.vsl"), 4);
    EXPECT_EQ(content.skin_program.program, skin_handle);
    EXPECT_EQ(registrations_named(&content.skin_program, "bmatrix"), 1);
    EXPECT_EQ(reload_file(root + "/scripts/blur_pass.vsl"), 1);
    EXPECT_EQ(content.blur_offset_location, glGetUniformLocationARB(content.blur_program.program, "offset"));

    // The warehouse's light-mapped materials are found again in the new scene.
    ASSERT_EQ(reload_file(root + "/models/armazem.vscene"), 1);
    const char* const mapped[2] = {"Floor", "Walls"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(content.light_mapped[i], scene_find_material(&content.armazem_scene, mapped[i]));
        if (content.light_mapped[i]) {
            EXPECT_EQ(content.light_mapped[i]->shader, &content.radiosity_mapped_program);
        }
    }

    // A broken file leaves the scene as it was, and nothing is fatal.
    test_write_file(robot_file, robot_bytes.substr(0, robot_bytes.size() / 2));
    ASSERT_EQ(reload_file(robot_file), 1);
    EXPECT_EQ(scene_find_armature(robot, "Armature"), armature);
    EXPECT_TRUE(has(reload_error_text(), "models/robot_wheee.vscene: ")) << reload_error_text();
    EXPECT_EQ(log_fatal_message(), "");
    test_write_file(robot_file, robot_bytes);
    ASSERT_EQ(reload_file(robot_file), 1);
    EXPECT_EQ(reload_error_text(), "");

    reload_set_active(false);
    audio_shutdown();
    vertex_profile_free();
    path_set_data_root("");
    log_reset_for_tests();
}

} // namespace
