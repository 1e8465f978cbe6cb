// Figures for the glow at 800 x 600: printed, never asserted.
#include "demo/blocks.h"
#include "demo/content.h"
#include "demo/demoblock.h"
#include "core/gl.h"
#include "gfx/render_target.h"
#include "gfx/screen_pass.h"
#include "script/shader.h"
#include "shell/window.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

// Used when the built content is not there: a plain 5-tap box blur.
const char* fallback_script = R"(shader_program(1, "
void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
")
shader_program(2, "
uniform sampler2D tex_blur;
uniform vec3 offset;
void main()
{
    vec2 stride = offset.xy * offset.z / 256.0;
    vec4 sum = vec4(0.0);
    for (int i = -2; i <= 2; i++)
        sum += texture2D(tex_blur, gl_TexCoord[0].st + float(i) * stride);
    gl_FragColor = vec4(sum.rgb / 5.0, 1.0);
}
")
shader_settings(4)
shader_link()
shader_assign_tex("tex_blur", 0)
)";

class BusyBlock : public demoblock {
public:
    void draw_scene() override {
        view_ortho(800, 600);
        glBegin(GL_QUADS);
        for (int i = 0; i < 200; ++i) {
            float x = static_cast<float>((i * 37) % 760);
            float y = static_cast<float>((i * 53) % 560);
            glColor3ub(static_cast<GLubyte>(i * 7), static_cast<GLubyte>(255 - i), 180);
            glVertex2f(x, y);
            glVertex2f(x + 40, y);
            glVertex2f(x + 40, y + 40);
            glVertex2f(x, y + 40);
        }
        glEnd();
    }
};

double ms_per_call(int runs, const std::function<void()>& body) {
    body(); // warm up shaders and caches
    glFinish();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) body();
    glFinish();
    std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / runs;
}

} // namespace

TEST(ScreenPassBench, GlowAt800x600) {
    test_gl_context();
    Content content;
    content.glow_target = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    content.glow_target_2 = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    shader_init(&content.blur_program);

    std::string script = "fallback";
    const char* content_dir = std::getenv("VANTOR_CONTENT");
    std::string path = std::string(content_dir ? content_dir : "") + "/scripts/blur_pass.vsl";
    FILE* file = content_dir ? std::fopen(path.c_str(), "r") : nullptr;
    if (file) script = path;
    else file = fmemopen(const_cast<char*>(fallback_script), std::strlen(fallback_script), "r");
    ASSERT_NE(file, nullptr);
    shader_load_stream(&content.blur_program, file, "blur_pass.vsl");
    std::fclose(file);
    content.blur_texture_location = glGetUniformLocationARB(content.blur_program.program, "tex_blur");
    content.blur_offset_location = glGetUniformLocationARB(content.blur_program.program, "offset");

    BusyBlock block;
    block.content = &content;
    const int runs = 40;
    double glow = ms_per_call(runs, [&] { demo_glow_pass(&block, 2.5f); });
    double composite = ms_per_call(runs, [&] {
        glViewport(0, 0, 800, 600);
        view_ortho(800, 600);
        demo_glow_composite(&block);
    });
    double quad = ms_per_call(runs, [&] {
        glViewport(0, 0, 800, 600);
        view_ortho(800, 600);
        texture_draw(content.glow_target, 0, 0, 800, 600, Color{255, 255, 255, 255});
    });
    double frame = ms_per_call(runs, [&] {
        demo_glow_pass(&block, 2.5f);
        glViewport(0, 0, 800, 600);
        gl_clear();
        block.draw_scene();
        demo_glow_composite(&block);
    });

    std::printf("blur script: %s\n", script.c_str());
    std::printf("glow_pass (scene + two 256x256 blurs): %.2f ms\n", glow);
    std::printf("glow_composite (additive 800x600 quad): %.2f ms\n", composite);
    std::printf("texture_draw 800x600 quad: %.2f ms\n", quad);
    std::printf("glowing frame (pass + scene + composite): %.2f ms\n", frame);
    EXPECT_GT(frame, 0.0);

    texture_free(&content.glow_target);
    texture_free(&content.glow_target_2);
}
