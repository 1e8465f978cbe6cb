#include "gfx/gl.h"
#include "shell/window.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

namespace {

void expect_viewport(int x, int y, int w, int h) {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], x);
    EXPECT_EQ(vp[1], y);
    EXPECT_EQ(vp[2], w);
    EXPECT_EQ(vp[3], h);
}

TEST(View, ViewportPercentMeasuresFromTheTop) {
    test_gl_context();
    viewport_percent(0, 0, 100, 100);
    expect_viewport(0, 0, 800, 600);
    viewport_percent(25, 25, 50, 50);
    expect_viewport(200, 150, 400, 300);
    viewport_percent(0, 10, 50, 20);
    expect_viewport(0, 420, 400, 120);
    viewport_pixels(10, 20, 100, 50);
    expect_viewport(10, 530, 100, 50);
}

TEST(View, OrthoPutsOriginTopLeft) {
    test_gl_context();
    viewport_percent(0, 0, 100, 100);
    view_ortho(800, 600);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    glColor4ub(255, 0, 0, 255);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(10, 0);
    glVertex2f(10, 10);
    glVertex2f(0, 10);
    glEnd();
    TestPixel p = test_read_pixel(2, 2);
    EXPECT_EQ(p.r, 255);
    TestPixel q = test_read_pixel(2, 590);
    EXPECT_EQ(q.r, 0);
}

} // namespace
