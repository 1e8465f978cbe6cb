#include "core/gl.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "demo/demoblock.h"
#include "gfx/render_target.h"
#include "gfx/screen_pass.h"
#include "script/shader.h"
#include "shell/window.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const Color white = {255, 255, 255, 255};

// A blur that dilates instead of averaging: five taps `strength` texels
// apart, the brightest wins, so a single pixel grows by exactly
// 2 x strength texels on each side of the offset's direction.
const char* blur_script = R"(#define VERTEX 1
#define PIXEL 2
#define BOTH 4
shader_program(VERTEX, "
void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
")
shader_program(PIXEL, "
uniform sampler2D tex_blur;
uniform vec3 offset;
void main()
{
    vec2 stride = offset.xy * offset.z / 256.0;
    vec4 best = vec4(0.0);
    for (int i = -2; i <= 2; i++)
        best = max(best, texture2D(tex_blur, gl_TexCoord[0].st + float(i) * stride));
    gl_FragColor = vec4(best.rgb, 1.0);
}
")
shader_settings(BOTH)
shader_link()
shader_assign_tex("tex_blur", 0)
)";

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> px; // rows top first as drawn under the 2D view
    int red(int x, int y) const { return px[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Reads a 2D render target with rows flipped so y counts from the top.
Image read_target(const Texture& t) {
    Image img;
    img.width = t.width;
    img.height = t.height;
    std::vector<uint8_t> raw(static_cast<size_t>(t.width) * t.height * 4);
    glBindTexture(GL_TEXTURE_2D, t.gl_name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    img.px.resize(raw.size());
    size_t row = static_cast<size_t>(t.width) * 4;
    for (int y = 0; y < t.height; ++y) std::memcpy(&img.px[row * y], &raw[row * (t.height - 1 - y)], row);
    return img;
}

void fill_rect(float x, float y, float w, float h, uint8_t r, uint8_t g, uint8_t b) {
    glColor3ub(r, g, b);
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x + w, y);
    glVertex2f(x + w, y + h);
    glVertex2f(x, y + h);
    glEnd();
}

void expect_pixel(TestPixel p, int r, int g, int b, int tolerance = 2) {
    EXPECT_NEAR(p.r, r, tolerance);
    EXPECT_NEAR(p.g, g, tolerance);
    EXPECT_NEAR(p.b, b, tolerance);
}

// Paints the four quadrants of a render target red, green, blue, white
// (top left, top right, bottom left, bottom right) under the 2D view.
void paint_quadrants(const Texture& t) {
    ASSERT_TRUE(render_target_begin(t, 0));
    view_ortho_viewport();
    float hw = t.width / 2.0f;
    float hh = t.height / 2.0f;
    fill_rect(0, 0, hw, hh, 255, 0, 0);
    fill_rect(hw, 0, hw, hh, 0, 255, 0);
    fill_rect(0, hh, hw, hh, 0, 0, 255);
    fill_rect(hw, hh, hw, hh, 255, 255, 255);
    render_target_end(t);
}

class GlowBlock : public demoblock {
public:
    int scenes = 0;
    void draw_scene() override {
        ++scenes;
        view_ortho_viewport();
        fill_rect(100, 60, 1, 1, 255, 255, 255);
    }
};

// The blur program and glow targets, as the content set-up makes them.
void make_glow_content(Content* content) {
    texture_filter_mode = 2; // exact texel taps
    content->glow_target = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    content->glow_target_2 = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    texture_filter_mode = 1;
    shader_init(&content->blur_program);
    FILE* file = fmemopen(const_cast<char*>(blur_script), std::strlen(blur_script), "r");
    ASSERT_NE(file, nullptr);
    shader_load_stream(&content->blur_program, file, "test_blur.vsl");
    std::fclose(file);
    ASSERT_NE(content->blur_program.program, 0u);
    content->blur_texture_location = glGetUniformLocationARB(content->blur_program.program, "tex_blur");
    content->blur_offset_location = glGetUniformLocationARB(content->blur_program.program, "offset");
    ASSERT_GE(content->blur_offset_location, 0);
}

// Lit texels of one row or column through (x, y), as distances from it.
int extent_x(const Image& img, int x, int y) {
    int extent = 0;
    for (int i = 0; i < img.width; ++i)
        if (img.red(i, y) > 128) extent = std::max(extent, std::abs(i - x));
    return extent;
}

int extent_y(const Image& img, int x, int y) {
    int extent = 0;
    for (int j = 0; j < img.height; ++j)
        if (img.red(x, j) > 128) extent = std::max(extent, std::abs(j - y));
    return extent;
}

int lit_count(const Image& img) {
    int n = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) n += img.red(x, y) > 128;
    return n;
}

GLint get_int(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

} // namespace

TEST(TextureDraw, RenderTargetAppearsUpright) {
    test_gl_context();
    Texture t = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    paint_quadrants(t);

    test_gl_context();
    view_ortho(800, 600);
    texture_draw(t, 100, 100, 200, 200, white);
    expect_pixel(test_read_pixel(150, 150), 255, 0, 0);
    expect_pixel(test_read_pixel(250, 150), 0, 255, 0);
    expect_pixel(test_read_pixel(150, 250), 0, 0, 255);
    expect_pixel(test_read_pixel(250, 250), 255, 255, 255);
    expect_pixel(test_read_pixel(50, 50), 0, 0, 0);
    expect_pixel(test_read_pixel(350, 350), 0, 0, 0);

    // The pass leaves texturing and blending off on unit 0.
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(get_int(GL_TEXTURE_BINDING_2D), 0);

    // The colour modulates the texture.
    texture_draw(t, 400, 100, 200, 200, Color{255, 128, 255, 255});
    expect_pixel(test_read_pixel(550, 150), 0, 128, 0, 3);
    texture_free(&t);
}

TEST(TextureDraw, LoadedImageAppearsUpright) {
    test_gl_context();
    std::string path = test_data_dir() + "/png/pngsuite/basn2c08.png";
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    int w = 0, h = 0, bpp = 0;
    uint8_t* pixels = texture_read_png(file, &w, &h, &bpp);
    ASSERT_NE(pixels, nullptr);
    std::fclose(file);
    ASSERT_EQ(bpp, 3);

    texture_filter_mode = 2;
    Texture t;
    texture_init(&t);
    ASSERT_TRUE(texture_load(&t, path.c_str()));
    texture_filter_mode = 1;

    view_ortho(800, 600);
    texture_draw(t, 10, 20, w, h, white);
    std::vector<uint8_t> frame = test_read_frame(800, 600);
    int mismatches = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int want = pixels[(y * w + x) * 3 + c];
                int got = frame[((20 + y) * 800 + 10 + x) * 4 + c];
                mismatches += std::abs(want - got) > 1;
            }
    EXPECT_EQ(mismatches, 0);
    std::free(pixels);
    texture_free(&t);
}

TEST(TextureDraw, RectangleTargetUsesTexelCoordinates) {
    test_gl_context();
    Texture t = render_target_create(GL_TEXTURE_RECTANGLE_ARB, 100, 50, 4, RENDER_TARGET_FBO);
    ASSERT_NE(t.gl_name, 0u);
    paint_quadrants(t);

    test_gl_context();
    view_ortho(800, 600);
    texture_draw(t, 300, 300, 100, 50, white);
    // Normalised coordinates would show a single texel over the whole quad.
    expect_pixel(test_read_pixel(310, 305), 255, 0, 0);
    expect_pixel(test_read_pixel(390, 305), 0, 255, 0);
    expect_pixel(test_read_pixel(310, 345), 0, 0, 255);
    expect_pixel(test_read_pixel(390, 345), 255, 255, 255);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_RECTANGLE_ARB));
    texture_free(&t);
}

TEST(GlowPass, BrightPixelSpreadsHorizontallyThenVertically) {
    test_gl_context();
    Content content;
    make_glow_content(&content);
    GlowBlock block;
    block.content = &content;

    ASSERT_TRUE(demo_glow_pass(&block, 1));
    EXPECT_EQ(block.scenes, 1);
    EXPECT_EQ(get_int(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(get_int(GL_CURRENT_PROGRAM), 0);

    // The horizontal pass alone: a row of 5 texels.
    Image horizontal = read_target(content.glow_target_2);
    EXPECT_EQ(extent_x(horizontal, 100, 60), 2);
    EXPECT_EQ(extent_y(horizontal, 100, 60), 0);
    EXPECT_EQ(lit_count(horizontal), 5);
    // Then vertically: a 5 x 5 square around the pixel.
    Image both = read_target(content.glow_target);
    EXPECT_EQ(extent_x(both, 100, 60), 2);
    EXPECT_EQ(extent_y(both, 100, 60), 2);
    EXPECT_EQ(lit_count(both), 25);
    EXPECT_GT(both.red(102, 62), 128);
    EXPECT_LE(both.red(103, 60), 128);

    // A larger strength spreads wider.
    ASSERT_TRUE(demo_glow_pass(&block, 3));
    Image wide = read_target(content.glow_target);
    EXPECT_EQ(extent_x(wide, 100, 60), 6);
    EXPECT_EQ(extent_y(wide, 100, 60), 6);
    EXPECT_EQ(block.scenes, 2);

    texture_free(&content.glow_target);
    texture_free(&content.glow_target_2);
    shader_free(&content.blur_program);
}

TEST(GlowPass, FailedBeginSkipsOnlyItsStep) {
    test_gl_context();
    Content content;
    make_glow_content(&content);
    Texture good = content.glow_target;
    // The first and last steps draw into a target whose creation failed.
    texture_init(&content.glow_target);
    content.glow_target.kind = RENDER_TARGET_FBO;
    content.glow_target.width = 256;
    content.glow_target.height = 256;
    GlowBlock block;
    block.content = &content;

    // The second target starts red; the window holds a marker.
    gl_clear_color(255, 0, 0, 255);
    render_target_begin(content.glow_target_2, 0);
    render_target_end(content.glow_target_2);
    gl_clear_color(0, 0, 0, 255);
    glViewport(0, 0, 800, 600);
    view_ortho(800, 600);
    fill_rect(0, 0, 800, 600, 0, 0, 200);

    EXPECT_TRUE(demo_glow_pass(&block, 1));
    EXPECT_EQ(block.scenes, 0);
    EXPECT_EQ(get_int(GL_FRAMEBUFFER_BINDING_EXT), 0);
    // The horizontal step still ran: it cleared and drew its target.
    Image second = read_target(content.glow_target_2);
    EXPECT_EQ(second.red(128, 128), 0);
    // Nothing reached the window.
    glViewport(0, 0, 800, 600);
    EXPECT_EQ(test_read_pixel(400, 300).b, 200);

    texture_free(&good);
    texture_free(&content.glow_target_2);
    shader_free(&content.blur_program);
}

TEST(GlowPass, CompositeAddsOverTheWholeView) {
    test_gl_context();
    Content content;
    make_glow_content(&content);
    GlowBlock block;
    block.content = &content;
    gl_clear_color(40, 50, 60, 255);
    ASSERT_TRUE(render_target_begin(content.glow_target, 0));
    render_target_end(content.glow_target);
    gl_clear_color(10, 20, 30, 255);
    test_gl_context();
    glClearColor(10 / 255.0f, 20 / 255.0f, 30 / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    gl_clear_color(0, 0, 0, 255);

    view_ortho(800, 600);
    demo_glow_composite(&block);
    for (auto [x, y] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}, {400, 300}})
        expect_pixel(test_read_pixel(x, y), 50, 70, 90);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(get_int(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(get_int(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);

    texture_free(&content.glow_target);
    texture_free(&content.glow_target_2);
    shader_free(&content.blur_program);
}

namespace {

// Single texels on the glow target's left edge (it wraps to the right edge
// of the screen), on block edges, inside one block and three rows above the
// rows the picture shows, where the blur still carries it in.
class SparseGlowBlock : public demoblock {
public:
    void draw_scene() override {
        view_ortho_viewport();
        fill_rect(0, 128, 1, 1, 255, 255, 255);
        fill_rect(47, 95, 1, 1, 200, 100, 0);
        fill_rect(130, 170, 1, 1, 0, 100, 200);
        fill_rect(200, 30, 1, 1, 255, 200, 100);
    }
};

// The rows between the letterbox bars, which are all a viewer sees.
std::vector<uint8_t> picture_rows(const std::vector<uint8_t>& frame) {
    return {frame.begin() + 80 * 800 * 4, frame.begin() + 520 * 800 * 4};
}

// The window after the block's glow pass and composite over a plain colour.
std::vector<uint8_t> glow_over(SparseGlowBlock* block, float strength) {
    EXPECT_TRUE(demo_glow_pass(block, strength));
    glViewport(0, 0, 800, 600);
    glClearColor(10 / 255.0f, 20 / 255.0f, 30 / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1); // the glow targets' clear
    view_ortho(800, 600);
    demo_glow_composite(block);
    return test_read_frame(800, 600);
}

} // namespace

TEST(GlowPass, BlackPartsSkippedGiveTheSamePicture) {
    test_gl_context();
    Content content;
    make_glow_content(&content);
    // Filtered as the demo's targets are, so a texel reaches across blocks.
    texture_free(&content.glow_target);
    texture_free(&content.glow_target_2);
    content.glow_target = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    content.glow_target_2 = render_target_create(GL_TEXTURE_2D, 256, 256, 4, RENDER_TARGET_FBO);
    SparseGlowBlock block;
    block.content = &content;

    // Strength 0 leaves only filtering to spread the texels; 1.5 spreads
    // them three texels each way.
    for (float strength : {0.0f, 1.5f}) {
        content.blur_reach = 0;
        const std::vector<uint8_t> whole = glow_over(&block, strength);
        EXPECT_FALSE(content.glow_tiles.valid);

        content.blur_reach = 2; // the test blur's taps
        const std::vector<uint8_t> skipped = glow_over(&block, strength);
        ASSERT_TRUE(content.glow_tiles.valid);
        EXPECT_LT(content.glow_tiles.composite_count, 40);
        EXPECT_TRUE(content.glow_tiles.composite[4][15]) << "the edge texel wraps to the right";
        EXPECT_TRUE(picture_rows(whole) == picture_rows(skipped)) << "strength " << strength;
        // The glow did reach the screen, at both sides too.
        EXPECT_NE(whole[(300 * 800) * 4], 10);
        EXPECT_NE(whole[(300 * 800 + 799) * 4], 10);
    }

    texture_free(&content.glow_target);
    texture_free(&content.glow_target_2);
    shader_free(&content.blur_program);
}

namespace {

// Six walls of a box around the capture point, each split into four
// triangles towards its edges, so a colour names the wall (major axis of
// the direction) and the side (largest remaining axis).
constexpr float box = 5;

Color wall_colour(int wall, int side) {
    return Color{static_cast<uint8_t>(20 + wall * 40), static_cast<uint8_t>(30 + side * 60), 200, 255};
}

// wall: 0 +X, 1 -X, 2 +Y, 3 -Y, 4 +Z, 5 -Z; side likewise among the other
// two axes: 0 +u, 1 -u, 2 +v, 3 -v with u, v the remaining axes in order.
void direction_colour(const float d[3], int* wall, int* side) {
    int major = 0;
    for (int a = 1; a < 3; ++a)
        if (std::fabs(d[a]) > std::fabs(d[major])) major = a;
    *wall = major * 2 + (d[major] < 0);
    int u = (major + 1) % 3 < (major + 2) % 3 ? (major + 1) % 3 : (major + 2) % 3;
    int v = 3 - major - u;
    if (std::fabs(d[u]) > std::fabs(d[v])) *side = d[u] < 0;
    else *side = 2 + (d[v] < 0);
}

class EnvironmentBlock : public heavy_demoblock {
public:
    int environments = 0;
    Vec3 at{};
    void draw_environment() override {
        ++environments;
        glBegin(GL_TRIANGLES);
        for (int wall = 0; wall < 6; ++wall) {
            int major = wall / 2;
            float sign = wall % 2 ? -1.0f : 1.0f;
            int u = (major + 1) % 3 < (major + 2) % 3 ? (major + 1) % 3 : (major + 2) % 3;
            int v = 3 - major - u;
            for (int side = 0; side < 4; ++side) {
                // Corners of the edge this triangle faces, in the wall's (u, v).
                float cu[2], cv[2];
                if (side < 2) {
                    float e = side == 0 ? 1 : -1;
                    cu[0] = cu[1] = e;
                    cv[0] = -1;
                    cv[1] = 1;
                } else {
                    float e = side == 2 ? 1 : -1;
                    cv[0] = cv[1] = e;
                    cu[0] = -1;
                    cu[1] = 1;
                }
                Color c = wall_colour(wall, side);
                glColor3ub(c.r, c.g, c.b);
                float p[3][3] = {};
                p[0][major] = sign * box;
                for (int k = 0; k < 2; ++k) {
                    p[k + 1][major] = sign * box;
                    p[k + 1][u] = cu[k] * box;
                    p[k + 1][v] = cv[k] * box;
                }
                for (auto& q : p) glVertex3f(q[0] + at.x, q[1] + at.y, q[2] + at.z);
            }
        }
        glEnd();
    }
};

// Direction of texel (s, t) of a cube face, as GL samples it.
void face_direction(int face, float s, float t, float d[3]) {
    float sc = 2 * s - 1;
    float tc = 2 * t - 1;
    switch (face) {
    case 0:
        d[0] = 1;
        d[1] = -tc;
        d[2] = -sc;
        break;
    case 1:
        d[0] = -1;
        d[1] = -tc;
        d[2] = sc;
        break;
    case 2:
        d[0] = sc;
        d[1] = 1;
        d[2] = tc;
        break;
    case 3:
        d[0] = sc;
        d[1] = -1;
        d[2] = -tc;
        break;
    case 4:
        d[0] = sc;
        d[1] = -tc;
        d[2] = 1;
        break;
    default:
        d[0] = -sc;
        d[1] = -tc;
        d[2] = -1;
        break;
    }
}

} // namespace

TEST(CubeCapture, EachFaceSeesItsWallTheRightWayRound) {
    test_gl_context();
    Texture cube = render_target_create(GL_TEXTURE_CUBE_MAP, 128, 128, 4, RENDER_TARGET_FBO);
    ASSERT_NE(cube.gl_name, 0u);
    EnvironmentBlock block;
    block.at = Vec3{30, -12, 7};

    CubeCapture capture;
    capture.target = cube;
    capture.draw = [&block] { block.draw_environment(); };
    capture.orientation = block.capture_orientation;
    // An offset column in the orientation must not move the view.
    capture.orientation.m[12] = 500;
    capture.orientation.m[13] = -500;
    capture.orientation.m[14] = 250;
    capture.x = block.at.x;
    capture.y = block.at.y;
    capture.z = block.at.z;
    EXPECT_TRUE(cube_capture_pass(capture));
    EXPECT_EQ(block.environments, 6);
    EXPECT_EQ(get_int(GL_FRAMEBUFFER_BINDING_EXT), 0);

    glBindTexture(GL_TEXTURE_CUBE_MAP, cube.gl_name);
    std::vector<uint8_t> px(128 * 128 * 4);
    for (int face = 0; face < 6; ++face) {
        glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        // Samples off the diagonals, one in each triangle of the wall.
        const int samples[5][2] = {{64, 64 + 0}, {100, 64}, {28, 64}, {64, 100}, {64, 28}};
        for (int k = 1; k < 5; ++k) {
            int i = samples[k][0];
            int j = samples[k][1];
            float d[3];
            face_direction(face, (i + 0.5f) / 128, (j + 0.5f) / 128, d);
            int wall = 0, side = 0;
            direction_colour(d, &wall, &side);
            Color want = wall_colour(wall, side);
            const uint8_t* got = &px[(j * 128 + i) * 4];
            EXPECT_EQ(wall, face);
            EXPECT_NEAR(got[0], want.r, 2) << "face " << face << " texel " << i << "," << j;
            EXPECT_NEAR(got[1], want.g, 2) << "face " << face << " texel " << i << "," << j;
            EXPECT_NEAR(got[2], want.b, 2) << "face " << face << " texel " << i << "," << j;
        }
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

    // A second call draws the environment six more times.
    cube_capture_pass(capture);
    EXPECT_EQ(block.environments, 12);
    texture_free(&cube);
}
