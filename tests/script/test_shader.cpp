#include "core/gl.h"
#include "core/log.h"
#include "core/paths.h"
#include "script/shader.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

const char* vertex_source = "uniform vec4 tint; uniform mat4 bones[2];\n"
                            "void main() { gl_Position = bones[0] * bones[1] * gl_Vertex + tint; }";
const char* pixel_source = "uniform sampler2D tex_a; uniform sampler2D tex_b;\n"
                           "void main() { gl_FragColor = texture2D(tex_a, vec2(0.5)) + texture2D(tex_b, vec2(0.5)); }";

// Owns its program: freed once, by whichever record holds it last.
struct Loaded {
    ShaderProgram shader;
    std::string report;
    std::string err;
    Loaded() { shader_init(&shader); }
    Loaded(Loaded&& other) : shader(other.shader), report(std::move(other.report)), err(std::move(other.err)) {
        shader_init(&other.shader);
    }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    ~Loaded() { shader_free(&shader); }
};

Loaded load(const std::string& name, const std::string& text) {
    test_gl_context();
    ::mkdir("scripts", 0755);
    test_write_file("scripts/" + name, text);
    path_set_data_root("");
    Loaded r;
    std::remove("report.htm");
    log_reset_for_tests();
    testing::internal::CaptureStderr();
    shader_load(&r.shader, name.c_str());
    r.err = testing::internal::GetCapturedStderr();
    log_close();
    r.report = test_read_file("report.htm");
    log_reset_for_tests();
    return r;
}

std::string script(int settings, bool with_pixel = true) {
    std::string s = "#define VERTEX 1\n#define PIXEL 2\n";
    s += "shader_program(VERTEX, \"" + std::string(vertex_source) + "\")\n";
    if (with_pixel) s += "shader_program(PIXEL, \"" + std::string(pixel_source) + "\")\n";
    s += "shader_settings(" + std::to_string(settings) + ")\nshader_link()\n";
    return s;
}

GLint attached(uint32_t program) {
    GLint n = -1;
    glGetObjectParameterivARB(program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &n);
    return n;
}

GLint linked(uint32_t program) {
    GLint n = -1;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &n);
    return n;
}

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

TEST(Shader, StagesSettingsAndReportLine) {
    Loaded v = load("vertex_only.vsl", script(1, false));
    ASSERT_NE(v.shader.program, 0u);
    EXPECT_NE(v.shader.vertex_shader, 0u);
    EXPECT_EQ(v.shader.pixel_shader, 0u);
    EXPECT_EQ(attached(v.shader.program), 1);
    EXPECT_EQ(linked(v.shader.program), 1);
    EXPECT_TRUE(has(v.report, "Shader [\"vertex_only.vsl\" type VL_SHADER_VERTEX] loaded </b>")) << v.report;

    Loaded three = load("three.vsl", script(3));
    EXPECT_EQ(attached(three.shader.program), 2);
    EXPECT_TRUE(has(three.report, "type VL_SHADER_PIXEL] loaded </b>"));

    Loaded both = load("both.vsl", script(4));
    EXPECT_EQ(attached(both.shader.program), 2);
    EXPECT_EQ(linked(both.shader.program), 1);
    EXPECT_TRUE(has(both.report, "type VL_SHADER_COMBINED] loaded </b>"));

    Loaded none = load("none.vsl", script(0));
    EXPECT_NE(none.shader.program, 0u);
    EXPECT_EQ(attached(none.shader.program), 0);
    EXPECT_TRUE(has(none.report, "type ] loaded </b>"));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Shader, StageValuesAndReplacedHandles) {
    std::string text = "shader_program(4, \"" + std::string(vertex_source) + "\")\n" + "shader_program(0, \"" +
                       std::string(vertex_source) + "\")\n" + "shader_program(2, \"" + std::string(pixel_source) +
                       "\")\n";
    Loaded r = load("stages.vsl", text);
    EXPECT_NE(r.shader.vertex_shader, 0u);
    EXPECT_NE(r.shader.pixel_shader, 0u);
    EXPECT_EQ(r.shader.program, 0u);
    GLint type = 0;
    glGetObjectParameterivARB(r.shader.pixel_shader, GL_OBJECT_SUBTYPE_ARB, &type);
    EXPECT_EQ(type, GL_FRAGMENT_SHADER_ARB);
    glGetObjectParameterivARB(r.shader.vertex_shader, GL_OBJECT_SUBTYPE_ARB, &type);
    EXPECT_EQ(type, GL_VERTEX_SHADER_ARB);
    // The second vertex statement replaced the first handle; the first lives on in GL.
    GLint first_type = 0;
    glGetObjectParameterivARB(r.shader.vertex_shader - 1, GL_OBJECT_SUBTYPE_ARB, &first_type);
    EXPECT_EQ(first_type, GL_VERTEX_SHADER_ARB);
}

TEST(Shader, TextureAssignmentsUploadNewestFirstAtBind) {
    Loaded r = load("assign.vsl", script(4) + "shader_assign_tex(\"tex_a\", 3)\nshader_assign_tex(\"tex_b\", 1)\n"
                                              "shader_assign_tex(\"tex_a\", 2)\nshader_assign_tex(\"nothing\", 5)\n");
    ShaderProgram& s = r.shader;
    GLint a = glGetUniformLocationARB(s.program, "tex_a");
    GLint b = glGetUniformLocationARB(s.program, "tex_b");
    ListNode* cursor = nullptr;
    ASSERT_TRUE(list_next(&s.uniforms, &cursor));
    EXPECT_STREQ(static_cast<ShaderUniform*>(cursor->data)->name, "nothing");
    EXPECT_EQ(static_cast<ShaderUniform*>(cursor->data)->location, -1);
    shader_bind(&s);
    GLint value = -1;
    glGetUniformivARB(s.program, a, &value);
    EXPECT_EQ(value, 3); // the older registration uploads last
    glGetUniformivARB(s.program, b, &value);
    EXPECT_EQ(value, 1);
    GLhandleARB current = glGetHandleARB(GL_PROGRAM_OBJECT_ARB);
    EXPECT_EQ(current, s.program);
    shader_unbind(&s);
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Shader, PointerUniformsReachGlAtTheNextBind) {
    Loaded r = load("pointers.vsl", script(4));
    ShaderProgram& s = r.shader;
    float tint[4] = {1, 2, 3, 4};
    float bones[32] = {};
    for (int i = 0; i < 32; ++i) bones[i] = static_cast<float>(i);
    shader_uniform_vec4(&s, "tint", tint);
    shader_uniform_matrices(&s, "bones", 2, bones);
    GLint tint_at = glGetUniformLocationARB(s.program, "tint");
    GLint bone1_at = glGetUniformLocationARB(s.program, "bones[1]");
    ASSERT_GE(tint_at, 0);
    ASSERT_GE(bone1_at, 0);

    shader_bind(&s);
    float got[16] = {};
    glGetUniformfvARB(s.program, tint_at, got);
    EXPECT_EQ(got[2], 3.0f);
    glGetUniformfvARB(s.program, bone1_at, got);
    EXPECT_EQ(got[5], 21.0f);

    tint[2] = 30;
    bones[21] = -7;
    glGetUniformfvARB(s.program, tint_at, got);
    EXPECT_EQ(got[2], 3.0f); // not before the bind
    shader_bind(&s);
    glGetUniformfvARB(s.program, tint_at, got);
    EXPECT_EQ(got[2], 30.0f);
    glGetUniformfvARB(s.program, bone1_at, got);
    EXPECT_EQ(got[5], -7.0f);
    shader_unbind(&s);

    // A copy shares the list, and registration before a program gets no location.
    ShaderProgram copy = s;
    ShaderProgram empty;
    shader_init(&empty);
    shader_uniform_vec4(&empty, "tint", tint);
    EXPECT_EQ(static_cast<ShaderUniform*>(empty.uniforms.header->head->data)->location, -1);
    shader_bind(&empty); // program 0: the fixed-function pipeline, nothing uploaded
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), 0u);
    EXPECT_EQ(copy.uniforms.header, s.uniforms.header);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    shader_free(&empty);
}

TEST(Shader, CompileAndLinkLogsGoToMessageBoxes) {
    Loaded r = load("broken.vsl", "shader_program(1, \"void main() { gl_Position = undefined_thing; }\")\n"
                                  "shader_settings(1)\nshader_link()\n");
    EXPECT_TRUE(has(r.err, "Erro de compilação do vertex shader")) << r.err;
    EXPECT_TRUE(has(r.err, "undefined_thing")) << r.err;
    EXPECT_TRUE(has(r.err, "Erro de ligação dos shaders ao programa principal")) << r.err;
    EXPECT_NE(r.shader.program, 0u); // still linked, as asked

    Loaded nomain = load("nomain.vsl", "shader_program(2, \"void helper() {}\")\nshader_settings(2)\nshader_link()\n");
    EXPECT_FALSE(has(nomain.err, "compilação"));
    EXPECT_TRUE(has(nomain.err, "Erro de ligação dos shaders ao programa principal"));
}

TEST(Shader, MissingScriptAndRefusedInput) {
    Loaded r = load("present.vsl", "");
    std::remove("scripts/absent.vsl");
    ShaderProgram s;
    shader_init(&s);
    testing::internal::CaptureStderr();
    shader_load(&s, "absent.vsl");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(has(err, "VELDRA4 ERROR")) << err;
    EXPECT_TRUE(has(err, "Impossivel carregar o shader especificado.\nscripts/absent.vsl")) << err;
    EXPECT_EQ(s.program, 0u);

    std::string huge = "shader_program(1, \"" + std::string(5000, ' ') + "\")\nshader_settings(1)\n";
    Loaded big = load("big.vsl", huge);
    EXPECT_TRUE(has(big.report, "Statement too long"));
    EXPECT_EQ(big.shader.vertex_shader, 0u);
    EXPECT_EQ(big.shader.settings, 0); // loading stopped
    Loaded str = load("string.vsl", "shader_settings(\"4\")\n");
    EXPECT_TRUE(has(str.err, "Usar só constantes e defines !"));
    EXPECT_EQ(str.shader.settings, 0);
}

TEST(Shader, StubLoadsWithoutGl) {
    shader_set_gl_stub(true);
    std::string text = script(4) + "shader_assign_tex(\"tex_a\", 1)\n";
    FILE* file = fmemopen(text.data(), text.size(), "r");
    ShaderProgram s;
    shader_init(&s);
    shader_load_stream(&s, file, "stub.vsl");
    std::fclose(file);
    shader_bind(&s);
    shader_unbind(&s);
    EXPECT_NE(s.program, 0u);
    EXPECT_NE(s.vertex_shader, s.pixel_shader);
    EXPECT_EQ(s.settings, 4);
    EXPECT_NE(s.uniforms.header, nullptr);
    if (s.uniforms.header) {
        EXPECT_EQ(static_cast<ShaderUniform*>(s.uniforms.header->head->data)->value, 1);
    }
    // Under the stub the handles are counters, not GL objects to delete.
    shader_free(&s);
    shader_set_gl_stub(false);
}

} // namespace

namespace {

// The demo's own shader scripts, when the content has been built.
TEST(Shader, ContentScriptsCompileAndLink) {
    const std::string content = test_content_dir();
    if (content.empty() || test_read_file(content + "/scripts/blur_pass.vsl").empty())
        GTEST_SKIP() << "content not built";
    test_gl_context();
    for (const char* name : {"blur_pass.vsl", "radiosity_dark.vsl", "test7.vsl"}) {
        path_set_data_root(content);
        ShaderProgram s;
        shader_init(&s);
        testing::internal::CaptureStderr();
        shader_load(&s, name);
        std::string err = testing::internal::GetCapturedStderr();
        path_set_data_root("");
        EXPECT_EQ(err, "") << name;
        EXPECT_EQ(linked(s.program), 1) << name;
        EXPECT_NE(s.uniforms.header, nullptr) << name << " assigns no sampler";
        const uint32_t program = s.program;
        shader_free(&s);
        EXPECT_FALSE(glIsProgram(program)) << name;
        EXPECT_EQ(s.uniforms.header, nullptr);
    }
}

} // namespace
