#include "core/gl.h"
#include "core/log.h"
#include "gfx/render_target.h"
#include "gfx/screen_pass.h"
#include "platform/platform_pbuffer.h"
#include "shell/window.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Runs `body` with a fresh report and returns what it wrote.
template <typename F> std::string report_of(F body) {
    log_reset_for_tests();
    std::remove("report.htm"); // a body that logs nothing leaves no file
    body();
    log_reset_for_tests();
    return test_read_file("report.htm");
}

GLint get_int(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

std::vector<uint8_t> read_texture(GLenum target, GLuint name, GLenum image_target, int w, int h) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    glBindTexture(target, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(image_target, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    glBindTexture(target, 0);
    return px;
}

void expect_pixel(TestPixel p, int r, int g, int b) {
    EXPECT_NEAR(p.r, r, 2);
    EXPECT_NEAR(p.g, g, 2);
    EXPECT_NEAR(p.b, b, 2);
}

// Paints a marker on the window that a stray clear would wipe out.
void paint_window_marker() {
    view_ortho(800, 600);
    glDisable(GL_TEXTURE_2D);
    glColor3ub(200, 10, 10);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(800, 0);
    glVertex2f(800, 600);
    glVertex2f(0, 600);
    glEnd();
}

} // namespace

TEST(RenderTarget, FramebufferTargetsLogAndSetUpTheirTextures) {
    test_gl_context();
    texture_filter_mode = 1;
    Texture flat;
    Texture cube;
    GLint gen_mode[3] = {};
    std::string report = report_of([&] {
        flat = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
        render_target_create(&cube, GL_TEXTURE_CUBE_MAP, 128, 128, 4, RENDER_TARGET_FBO);
        // Reflection generation is texture-unit state, set on creation.
        glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &gen_mode[0]);
        glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &gen_mode[1]);
        glGetTexGeniv(GL_R, GL_TEXTURE_GEN_MODE, &gen_mode[2]);
    });
    EXPECT_NE(report.find("Texture FrameBuffer [VL_TEXTURE_2D 256x256x4] FBO Created !"), std::string::npos);
    EXPECT_NE(report.find("Texture FrameBuffer [VL_TEXTURE_CUBEMAP 128x128x4] FBO Created !"), std::string::npos);
    for (GLint m : gen_mode) EXPECT_EQ(m, GL_REFLECTION_MAP);

    EXPECT_STREQ(flat.name, "Buffer Texture");
    EXPECT_EQ(flat.kind, 1);
    EXPECT_NE(flat.framebuffer, 0u);
    EXPECT_NE(flat.renderbuffer, 0u);
    EXPECT_NE(flat.gl_name, 0u);
    EXPECT_EQ(flat.pbuffer, 0u);
    EXPECT_STREQ(cube.name, "Buffer Texture");
    EXPECT_EQ(get_int(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(get_int(GL_RENDERBUFFER_BINDING_EXT), 0);

    GLint v = 0;
    glBindTexture(GL_TEXTURE_2D, flat.gl_name);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v);
    EXPECT_EQ(v, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &v);
    EXPECT_EQ(v, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);

    glBindTexture(GL_TEXTURE_CUBE_MAP, cube.gl_name);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R}) {
        glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, wrap, &v);
        EXPECT_EQ(v, GL_CLAMP_TO_EDGE);
    }
    for (GLenum face = 0; face < 6; ++face) {
        glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_TEXTURE_WIDTH, &v);
        EXPECT_EQ(v, 128);
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    texture_free(&flat);
    texture_free(&cube);
}

TEST(RenderTarget, BeginOnCubeFaceAttachesItAndEndReturnsToTheWindow) {
    test_gl_context();
    Texture cube = render_target_create(GL_TEXTURE_CUBE_MAP, 128, 128, 4, RENDER_TARGET_FBO);
    ASSERT_NE(cube.gl_name, 0u);

    ASSERT_TRUE(render_target_begin(cube, 3));
    GLint v = 0;
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                             GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_CUBE_MAP_FACE_EXT, &v);
    EXPECT_EQ(v, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y);
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                             GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &v);
    EXPECT_EQ(static_cast<GLuint>(v), cube.gl_name);
    EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 0);
    EXPECT_EQ(vp[1], 0);
    EXPECT_EQ(vp[2], 128);
    EXPECT_EQ(vp[3], 128);
    EXPECT_TRUE(render_target_end(cube));
    EXPECT_EQ(get_int(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(get_int(GL_RENDERBUFFER_BINDING_EXT), 0);

    // A face outside 0..5 is refused instead of attaching a wrong enum.
    EXPECT_FALSE(render_target_begin(cube, 6));
    EXPECT_EQ(get_int(GL_FRAMEBUFFER_BINDING_EXT), 0);
    render_target_end(cube);
    texture_free(&cube);
}

TEST(RenderTarget, DrawingGoesIntoTheTargetAndNotTheWindow) {
    test_gl_context();
    Texture t = render_target_create(GL_TEXTURE_2D, 64, 32, 4, RENDER_TARGET_FBO);
    paint_window_marker();

    gl_clear_color(10, 200, 30, 255);
    ASSERT_TRUE(render_target_begin(t, 0));
    render_target_end(t);
    gl_clear_color(0, 0, 0, 255);

    std::vector<uint8_t> px = read_texture(GL_TEXTURE_2D, t.gl_name, GL_TEXTURE_2D, 64, 32);
    for (size_t i = 0; i < px.size(); i += 4) {
        ASSERT_EQ(px[i], 10) << i;
        ASSERT_EQ(px[i + 1], 200) << i;
    }
    expect_pixel(test_read_pixel(400, 300), 200, 10, 10);
    texture_free(&t);
}

TEST(RenderTarget, PlainTargetHasTheRequestedSizeAndNoSurface) {
    test_gl_context();
    Texture t;
    texture_init(&t);
    render_target_create(&t, GL_TEXTURE_2D, 100, 60, 3, RENDER_TARGET_PLAIN);
    EXPECT_STREQ(t.name, "Buffer Texture");
    EXPECT_EQ(t.kind, 0);
    EXPECT_EQ(t.width, 100);
    EXPECT_EQ(t.height, 60);
    EXPECT_EQ(t.bytes_per_pixel, 3);
    EXPECT_EQ(t.framebuffer, 0u);
    ASSERT_NE(t.gl_name, 0u);
    GLint w = 0, h = 0, format = 0;
    glBindTexture(GL_TEXTURE_2D, t.gl_name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 60);
    EXPECT_EQ(format, GL_RGB);

    // Nothing to draw into: begin refuses rather than clearing the window.
    paint_window_marker();
    EXPECT_FALSE(render_target_begin(t, 0));
    EXPECT_TRUE(render_target_end(t));
    expect_pixel(test_read_pixel(10, 10), 200, 10, 10);
    texture_free(&t);
}

TEST(RenderTarget, IncompleteTargetIsRefusedAndItsBeginFails) {
    test_gl_context();
    // A zero-sized colour attachment can never be complete.
    Texture dead;
    std::string report = report_of([&] { dead = render_target_create(GL_TEXTURE_2D, 0, 0, 4, RENDER_TARGET_FBO); });
    EXPECT_EQ(report.find("FBO Created"), std::string::npos);
    EXPECT_EQ(dead.name, nullptr);
    EXPECT_EQ(dead.gl_name, 0u);
    EXPECT_EQ(get_int(GL_FRAMEBUFFER_BINDING_EXT), 0);

    paint_window_marker();
    EXPECT_FALSE(render_target_begin(dead, 0));
    EXPECT_TRUE(render_target_end(dead));
    expect_pixel(test_read_pixel(400, 300), 200, 10, 10);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 800);
    texture_free(&dead);
}

TEST(RenderTarget, PbufferWhereThePlatformHasOne) {
    test_gl_context();
    texture_filter_mode = 2;
    bool available = platform_pbuffer_available(PLATFORM_PBUFFER_2D);
    Texture t;
    Texture cube;
    std::string report = report_of([&] {
        t = render_target_create(GL_TEXTURE_2D, 64, 64, 4, RENDER_TARGET_PBUFFER);
        cube = render_target_create(GL_TEXTURE_CUBE_MAP, 64, 64, 4, RENDER_TARGET_PBUFFER);
    });
    texture_filter_mode = 1;

    // EGL binds only 2D surfaces as textures.
    EXPECT_EQ(cube.name, nullptr);
    EXPECT_NE(report.find("Texture FrameBuffer [#1] PBuffer not suported !"), std::string::npos);
    if (!available) {
        EXPECT_EQ(t.name, nullptr);
        EXPECT_EQ(report.find("OFS Created"), std::string::npos);
        GTEST_SKIP() << "no pbuffer on this platform; fallback line checked";
    }
    ASSERT_NE(report.find("Texture FrameBuffer [VL_TEXTURE_2D 64x64x4] OFS Created !"), std::string::npos) << report;
    ASSERT_STREQ(t.name, "Buffer Texture");
    EXPECT_EQ(t.kind, 2);
    EXPECT_NE(t.pbuffer, 0u);

    // Top half red, bottom half the pbuffer's clear colour (blue).
    ASSERT_TRUE(render_target_begin(t, 0));
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 64);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    view_ortho_viewport();
    glColor3ub(255, 0, 0);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(64, 0);
    glVertex2f(64, 32);
    glVertex2f(0, 32);
    glEnd();
    EXPECT_TRUE(render_target_end(t));

    // Back on the window: its marker is intact and the target draws upright.
    test_gl_context();
    view_ortho(800, 600);
    texture_draw(t, 100, 100, 64, 64, Color{255, 255, 255, 255});
    expect_pixel(test_read_pixel(132, 110), 255, 0, 0);
    expect_pixel(test_read_pixel(132, 150), 0, 0, 255);
    expect_pixel(test_read_pixel(300, 300), 0, 0, 0);

    // The loader's bind/unbind route reaches the same image.
    texture_bind(t, 0);
    glColor3ub(255, 255, 255);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(400, 400);
    glTexCoord2f(1, 0);
    glVertex2f(464, 400);
    glTexCoord2f(1, 1);
    glVertex2f(464, 464);
    glTexCoord2f(0, 1);
    glVertex2f(400, 464);
    glEnd();
    texture_unbind(t, 0);
    // t = 1 is the pbuffer's top row, here drawn at the quad's bottom.
    expect_pixel(test_read_pixel(432, 460), 255, 0, 0);
    expect_pixel(test_read_pixel(432, 404), 0, 0, 255);
    texture_free(&t);
}
