// Live reloading on real GL: an edited texture shows through every copy of
// its record, an edited shader keeps its registrations and changes the
// picture, a broken edit keeps the last good version and says where until
// it is fixed.
#include "core/gl.h"
#include "core/log.h"
#include "core/notice.h"
#include "core/paths.h"
#include "core/reload.h"
#include "gfx/image_write.h"
#include "gfx/texture.h"
#include "script/shader.h"
#include "shell/reload_watch.h"
#include "shell/window.h"
#include "support/gl_context.h"

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

    test_write_file(root + "/scripts/tint.vsl", tint_script("gl_FragColor = tint.gbra;", 0));
    ASSERT_EQ(reload_file(root + "/scripts/tint.vsl"), 1);
    EXPECT_EQ(reload_error_text(), "");
    EXPECT_EQ(drawn_with(t.program).b, 255);
    log_close();
    const std::string report = test_read_file("report.htm");
    EXPECT_TRUE(has(report, "Reload [\"scripts/tint.vsl\"] Not Loaded")) << report;
    EXPECT_TRUE(has(report, "Reload [\"scripts/tint.vsl\"] Loads Again")) << report;
}

} // namespace
