#include "core/gl.h"
#include "gfx/primitives.h"
#include "shell/window.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace {

struct FeedbackVertex {
    float x, y; // top-down pixels of the 800 x 600 view
};
struct FeedbackPrimitive {
    GLenum kind; // GL_POLYGON_TOKEN or GL_LINE_TOKEN
    std::vector<FeedbackVertex> vertices;
};

// Records what a drawing call sends to GL, in window coordinates.
std::vector<FeedbackPrimitive> feedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint n = glRenderMode(GL_RENDER);
    std::vector<FeedbackPrimitive> out;
    auto vertex = [&](GLint& i) {
        // Window coordinates carry float noise; positions here are whole or half pixels.
        auto snap = [](float f) { return std::round(f * 100.0f) / 100.0f; };
        FeedbackVertex v{snap(buffer[i]), snap(600.0f - buffer[i + 1])};
        i += 3;
        return v;
    };
    for (GLint i = 0; i < n;) {
        auto token = static_cast<GLenum>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            int count = static_cast<int>(buffer[i++]);
            FeedbackPrimitive p{GL_POLYGON_TOKEN, {}};
            for (int k = 0; k < count; ++k) p.vertices.push_back(vertex(i));
            out.push_back(p);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            FeedbackPrimitive p{GL_LINE_TOKEN, {}};
            p.vertices.push_back(vertex(i));
            p.vertices.push_back(vertex(i));
            out.push_back(p);
        } else if (token == GL_POINT_TOKEN) {
            vertex(i);
        } else {
            ++i;
        }
    }
    return out;
}

bool lit(int x, int y) {
    TestPixel p = test_read_pixel(x, y);
    return p.r || p.g || p.b;
}

class Primitives : public ::testing::Test {
protected:
    void SetUp() override {
        test_gl_context();
        viewport_percent(0, 0, 100, 100);
        view_ortho(800, 600);
        glDisable(GL_TEXTURE_2D);
        glShadeModel(GL_FLAT);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    Color red{255, 0, 0, 255};
};

TEST_F(Primitives, RectCoversExactlyItsPixels) {
    draw_rect(10, 20, 100, 50, red);
    EXPECT_TRUE(lit(10, 20));
    EXPECT_TRUE(lit(109, 69));
    EXPECT_TRUE(lit(109, 20));
    EXPECT_TRUE(lit(10, 69));
    EXPECT_FALSE(lit(9, 20));
    EXPECT_FALSE(lit(110, 20));
    EXPECT_FALSE(lit(10, 19));
    EXPECT_FALSE(lit(10, 70));
    int count = 0;
    std::vector<uint8_t> frame = test_read_frame(800, 600);
    for (size_t i = 0; i < frame.size(); i += 4) count += frame[i] != 0;
    EXPECT_EQ(count, 100 * 50);
}

TEST_F(Primitives, RectLeavesBlendOffAndTexturingAsItWas) {
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glEnable(GL_TEXTURE_2D);
    draw_rect(0, 0, 4, 4, Color{1, 2, 3, 4});
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)); // bound to 0, not disabled
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[3], 4 / 255.0f, 1e-4);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &tex);
}

TEST_F(Primitives, OutlineTopEdgeRunsOnePixelFurther) {
    Color white{255, 255, 255, 255};
    draw_rect_outline(10, 20, 100, 50, white);
    auto lines = feedback([&] { draw_rect_outline(10, 20, 100, 50, white); });
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_FLOAT_EQ(lines[1].vertices[0].x, 10);
    EXPECT_FLOAT_EQ(lines[1].vertices[1].x, 111);
    EXPECT_FLOAT_EQ(lines[1].vertices[1].y, 20);
    // On screen the top row reaches x + w while the bottom row stops short.
    EXPECT_TRUE(lit(110, 20));
    EXPECT_FALSE(lit(111, 20));
    EXPECT_FALSE(lit(110, 70));
    EXPECT_TRUE(lit(60, 70));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(Primitives, BevelFrameLightAndDark) {
    Color light{0, 255, 0, 255}, dark{0, 0, 255, 255};
    auto lines = feedback([&] { draw_bevel_frame(10, 20, 100, 50, light, dark); });
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_FLOAT_EQ(lines[0].vertices[1].x, 111);
    draw_bevel_frame(10, 20, 100, 50, light, dark);
    EXPECT_EQ(test_read_pixel(60, 20).g, 255);
    EXPECT_EQ(test_read_pixel(110, 20).g, 255);
    EXPECT_EQ(test_read_pixel(60, 70).b, 255);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(Primitives, GradientRunsTopToBottom) {
    draw_gradient_rect(10, 20, 100, 200, Color{255, 0, 0, 255}, Color{0, 0, 255, 255});
    TestPixel top = test_read_pixel(50, 20), bottom = test_read_pixel(50, 219), middle = test_read_pixel(50, 120);
    EXPECT_GE(top.r, 250);
    EXPECT_LE(top.b, 5);
    EXPECT_LE(bottom.r, 5);
    EXPECT_GE(bottom.b, 250);
    EXPECT_NEAR(middle.r, 127, 3);
    EXPECT_NEAR(middle.b, 127, 3);
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
}

TEST_F(Primitives, CutCornersTruncateOnce) {
    auto quads = feedback([&] { draw_rounded_rect(10, 20, 100, 50, 5.5f, red); });
    std::set<float> xs, ys;
    for (auto& q : quads)
        for (auto& v : q.vertices) xs.insert(v.x), ys.insert(v.y);
    EXPECT_EQ(xs, (std::set<float>{10, 15, 104, 110}));
    EXPECT_EQ(ys, (std::set<float>{20, 25, 64, 70}));
    draw_rounded_rect(10, 20, 100, 50, 5.5f, red);
    EXPECT_FALSE(lit(10, 20)); // the cut corner
    EXPECT_FALSE(lit(109, 69));
    EXPECT_TRUE(lit(60, 45));
    EXPECT_TRUE(lit(12, 45));
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    auto lines = feedback([&] { draw_rounded_outline(10, 20, 100, 50, 5.5f, red); });
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_FLOAT_EQ(lines[0].vertices[0].x, 15);
    EXPECT_FLOAT_EQ(lines[0].vertices[1].x, 104);
    EXPECT_FLOAT_EQ(lines[3].vertices[1].y, 64);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Primitives, ZeroCornerOutlineHasEightLines) {
    auto lines = feedback([&] { draw_rounded_outline(10, 20, 100, 50, 0, red); });
    // Zero-length corner lines may be dropped by GL; the four sides remain.
    EXPECT_GE(lines.size(), 4u);
    draw_rounded_outline(10, 20, 100, 50, 0, red);
    EXPECT_TRUE(lit(60, 20));
    EXPECT_TRUE(lit(60, 70));
}

TEST_F(Primitives, ZeroAlphaDrawsNothing) {
    Color clear{255, 255, 255, 0};
    draw_rect(0, 0, 800, 600, clear);
    draw_gradient_rect(0, 0, 800, 600, clear, clear);
    draw_rounded_rect(0, 0, 800, 600, 10, clear);
    draw_line(0, 300, 800, 300, clear);
    std::vector<uint8_t> frame = test_read_frame(800, 600);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t b) { return b == 0 || b == 255; }));
    for (size_t i = 0; i < frame.size(); i += 4) ASSERT_EQ(frame[i], 0) << i;
}

TEST_F(Primitives, HalfAlphaBlendsOverWhatIsThere) {
    draw_rect(0, 0, 20, 20, Color{0, 0, 255, 255});
    draw_rect(0, 0, 20, 20, Color{255, 0, 0, 128});
    TestPixel p = test_read_pixel(5, 5);
    EXPECT_NEAR(p.r, 128, 2);
    EXPECT_NEAR(p.b, 127, 2);
}

} // namespace
