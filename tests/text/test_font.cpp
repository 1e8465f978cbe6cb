#include "core/gl.h"
#include "core/log.h"
#include "gfx/image_write.h"
#include "gfx/texture.h"
#include "shell/window.h"
#include "support/gl_context.h"
#include "text/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>

namespace {

struct Glyph {
    float x, y, s, t; // first vertex: top-left corner, top-down pixels
    float w, h;
    std::vector<std::pair<float, float>> tex; // the four texture coordinates in drawing order
};

// Glyph quads as GL receives them. Each quad is one polygon (or two
// triangles, which are joined again here by their shared first vertex).
std::vector<Glyph> glyphs(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 18);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint n = glRenderMode(GL_RENDER);
    EXPECT_GE(n, 0) << "feedback buffer overflow";
    auto snap = [](float f) { return std::round(f * 10000.0f) / 10000.0f; };
    std::vector<std::vector<std::array<float, 4>>> polygons;
    for (GLint i = 0; i < n;) {
        auto token = static_cast<GLenum>(buffer[i++]);
        if (token != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected token " << token;
            break;
        }
        int count = static_cast<int>(buffer[i++]);
        std::vector<std::array<float, 4>> poly;
        for (int k = 0; k < count; ++k, i += 11)
            poly.push_back({snap(buffer[i]), snap(600.0f - buffer[i + 1]), snap(buffer[i + 7]), snap(buffer[i + 8])});
        polygons.push_back(poly);
    }
    std::vector<Glyph> out;
    for (size_t p = 0; p < polygons.size(); ++p) {
        std::vector<std::array<float, 4>> quad = polygons[p];
        if (quad.size() == 3 && p + 1 < polygons.size() && polygons[p + 1].size() == 3) {
            // (v0, v1, v2) and (v0, v2, v3) or (v2, v3, v0): take the vertex not yet seen.
            for (auto& v : polygons[p + 1])
                if (std::find(quad.begin(), quad.end(), v) == quad.end()) quad.push_back(v);
            ++p;
        }
        if (quad.size() != 4) {
            ADD_FAILURE() << "glyph with " << quad.size() << " vertices";
            continue;
        }
        float min_x = 1e9f, min_y = 1e9f, max_x = -1e9f, max_y = -1e9f;
        for (auto& v : quad) {
            min_x = std::min(min_x, v[0]), max_x = std::max(max_x, v[0]);
            min_y = std::min(min_y, v[1]), max_y = std::max(max_y, v[1]);
        }
        Glyph g{min_x, min_y, 0, 0, max_x - min_x, max_y - min_y, {}};
        for (auto& v : quad) {
            if (v[0] == min_x && v[1] == min_y) g.s = v[2], g.t = v[3];
            g.tex.push_back({v[2], v[3]});
        }
        out.push_back(g);
    }
    return out;
}

// A 256 x 256 sheet: every cell holds an 8 x 8 white block in its middle.
Texture make_sheet() {
    std::vector<uint8_t> px(256 * 256 * 4, 0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            int cx = x % 16, cy = y % 16;
            uint8_t* p = &px[(static_cast<size_t>(y) * 256 + x) * 4];
            p[0] = p[1] = p[2] = 255;
            p[3] = (cx >= 4 && cx < 12 && cy >= 4 && cy < 12) ? 255 : 0;
        }
    EXPECT_TRUE(image_write_png("sheet.png", 256, 256, 4, px.data()));
    texture_filter_mode = 2;
    Texture t = texture_load("sheet.png");
    texture_filter_mode = 1;
    return t;
}

class Font : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test_gl_context();
        font_init(make_sheet());
    }
    static void TearDownTestSuite() { font_free(); }
    void SetUp() override {
        test_gl_context();
        viewport_percent(0, 0, 100, 100);
        view_ortho(800, 600);
        font_reset_style();
    }
    Color white{255, 255, 255, 255};
};

TEST_F(Font, WidthRuleCountsSpacesExtra) {
    EXPECT_EQ(font_text_width(""), 0);
    EXPECT_EQ(font_text_width("ab"), 12); // start-up advance 6
    EXPECT_EQ(font_text_width(" "), 8);   // 6 / 6 + 7
    font_set_style(VL_FONT_SMALL);
    EXPECT_EQ(font_text_width("a b"), 24);
    EXPECT_EQ(font_text_width("ab\nlonger line"), 16);
    EXPECT_EQ(font_text_width("\nab"), 0);
    font_set_style(VL_FONT_MEDIUM);
    EXPECT_EQ(font_text_width("  "), 32);
    font_set_style(VL_FONT_LARGE);
    EXPECT_EQ(font_text_width(" x"), 33 + 32);
}

TEST_F(Font, LetterSpaceLetter) {
    font_set_style(VL_FONT_SMALL | VL_FONT_LEFT);
    auto g = glyphs([&] { font_print(10, 10, white, "a b"); });
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].x, 6);
    EXPECT_EQ(g[1].x, 21);
    for (auto& q : g) {
        EXPECT_EQ(q.y, 10);
        EXPECT_EQ(q.w, 16);
        EXPECT_EQ(q.h, 16);
    }
    g = glyphs([&] { font_print(10.9f, 10.9f, white, "ab"); });
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[1].x, 14);
    EXPECT_EQ(g[1].y, 10); // positions truncate
}

TEST_F(Font, NewlineRules) {
    font_set_style(VL_FONT_SMALL);
    auto g = glyphs([&] { font_print(10, 10, white, "ab\ncd"); });
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[2].x, g[0].x);
    EXPECT_EQ(g[2].y, 18);
    EXPECT_EQ(g[3].x, 14);
    g = glyphs([&] { font_print(10, 10, white, "\nab"); });
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].y, 10);
    EXPECT_EQ(g[0].x, 6);
    g = glyphs([&] { font_print(10, 10, white, "a\n\nb"); });
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[1].y, 26);
    EXPECT_EQ(g[1].x, 6);
}

TEST_F(Font, AlignmentMeasuresEachLine) {
    font_set_style(VL_FONT_SMALL | VL_FONT_CENTER | VL_FONT_MIDDLE);
    auto g = glyphs([&] { font_print(100, 100, white, "ab\nabcd"); });
    ASSERT_EQ(g.size(), 6u);
    EXPECT_EQ(g[0].x, 100 - 8 - 2);
    EXPECT_EQ(g[0].y, 92); // first line moved up by H / 2
    EXPECT_EQ(g[2].x, 100 - 16 - 2);
    EXPECT_EQ(g[2].y, 100);
    // A line of spaces is measured at 8 per space.
    g = glyphs([&] { font_print(100, 100, white, "   \nx"); });
    ASSERT_EQ(g.size(), 1u);
    font_set_style(VL_FONT_RIGHT | VL_FONT_TOP);
    g = glyphs([&] { font_print(100, 100, white, "abc"); });
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0].x, 100 + 2 - 24);
    EXPECT_EQ(g[0].y, 100);
    font_set_style(VL_FONT_LARGE | VL_FONT_LEFT | VL_FONT_MIDDLE);
    g = glyphs([&] { font_print(100, 100, white, "a"); });
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0].x, 84);
    EXPECT_EQ(g[0].y, 68);
    EXPECT_EQ(g[0].w, 64);
}

TEST_F(Font, StylePrecedence) {
    font_set_style(VL_FONT_LEFT | VL_FONT_RIGHT);
    EXPECT_EQ(font_style().horizontal, VL_FONT_RIGHT);
    font_set_style(VL_FONT_CENTER | VL_FONT_LEFT);
    EXPECT_EQ(font_style().horizontal, VL_FONT_LEFT);
    font_set_style(VL_FONT_SMALL | VL_FONT_MEDIUM);
    EXPECT_EQ(font_style().cell_width, 32);
    EXPECT_EQ(font_style().char_advance, 16);
    EXPECT_EQ(font_style().space_advance, 14);
    font_set_style(VL_FONT_TOP | VL_FONT_MIDDLE);
    EXPECT_EQ(font_style().vertical, VL_FONT_MIDDLE);
    FontStyle before = font_style();
    font_set_style(0);
    font_set_style(0x400 | 0x008);
    FontStyle after = font_style();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(after.line_advance, 8);
}

TEST_F(Font, GlyphTextureCoordinates) {
    font_set_style(VL_FONT_SMALL);
    auto g = glyphs([&] { font_print(50, 50, white, "A0~\x1f"); });
    ASSERT_EQ(g.size(), 4u);
    EXPECT_FLOAT_EQ(g[0].s, 1 / 16.0f); // 'A': cell 33, column 1, row 2
    EXPECT_FLOAT_EQ(g[0].t, 2 / 16.0f);
    EXPECT_FLOAT_EQ(g[1].s, 0); // '0': column 0 of row 1
    EXPECT_FLOAT_EQ(g[1].t, 1 / 16.0f);
    EXPECT_FLOAT_EQ(g[2].s, 14 / 16.0f); // '~' is 126
    EXPECT_FLOAT_EQ(g[2].t, 5 / 16.0f);
    EXPECT_FLOAT_EQ(g[3].s, -1 / 16.0f); // below 32: signed cell arithmetic
    EXPECT_FLOAT_EQ(g[3].t, 0);
    // Vertex order: (s0,t0) (s1,t0) (s1,t1) (s0,t1), starting at the top left.
    auto quad = glyphs([&] {
        Texture none;
        texture_init(&none);
        font_draw_text(none, 10, 10, white, "!");
    });
    ASSERT_EQ(quad.size(), 1u);
    std::vector<std::pair<float, float>> expected{{0.0625f, 0}, {0.125f, 0}, {0.125f, 0.0625f}, {0.0625f, 0.0625f}};
    for (auto& e : expected) EXPECT_NE(std::find(quad[0].tex.begin(), quad[0].tex.end(), e), quad[0].tex.end());
    EXPECT_EQ(quad[0].tex.front(), expected.front());
}

TEST_F(Font, StateAroundDrawing) {
    glEnable(GL_BLEND);
    auto none = glyphs([&] { font_print(10, 10, white, nullptr); });
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(glIsEnabled(GL_BLEND)); // a null format makes no GL call
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    none = glyphs([&] { font_print(10, 10, white, "%s", ""); });
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint env = 0, src = 0, bound = -1;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(env, GL_MODULATE);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(bound, 0);
}

TEST_F(Font, LongTextsAreCutAtTheBuffer) {
    std::string long_text(5000, 'x');
    font_set_style(VL_FONT_SMALL);
    // Squeezed so that every glyph stays inside the view, unclipped.
    glScalef(0.05f, 1, 1);
    auto g = glyphs([&] { font_print(100, 10, white, "%s", long_text.c_str()); });
    glLoadIdentity();
    EXPECT_EQ(g.size(), 1023u);
}

TEST_F(Font, InkIsTintedByTheColour) {
    font_set_style(VL_FONT_SMALL | VL_FONT_LEFT | VL_FONT_TOP);
    glClear(GL_COLOR_BUFFER_BIT);
    font_print(104, 200, Color{255, 128, 0, 255}, "FPS %.2f", 60.0);
    // First glyph's quad starts at 100; ink covers pixels 104..111.
    TestPixel ink = test_read_pixel(107, 207);
    EXPECT_EQ(ink.r, 255);
    EXPECT_NEAR(ink.g, 128, 1);
    EXPECT_EQ(ink.b, 0);
    TestPixel gap = test_read_pixel(101, 201);
    EXPECT_EQ(gap.r, 0);
    // Half the colour's alpha, half the coverage.
    glClear(GL_COLOR_BUFFER_BIT);
    font_print(104, 200, Color{255, 255, 255, 128}, "#");
    EXPECT_NEAR(test_read_pixel(107, 207).r, 128, 2);
}

} // namespace
