#include "core/gl.h"
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

// Window coordinates (GL's, y up) of a point under the current matrices.
void project(double x, double y, double* wx, double* wy) {
    GLdouble model[16], proj[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, vp);
    GLdouble wz;
    ASSERT_EQ(gluProject(x, y, 0, model, proj, vp, wx, wy, &wz), GL_TRUE);
}

TEST(View, OrthoMapsTheVirtualScreenOntoTheViewportCorners) {
    test_gl_context();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(5, 5, 0); // view_ortho resets the modelview
    viewport_percent(25, 25, 50, 50);
    view_ortho(800, 600);
    double x, y;
    project(0, 0, &x, &y);
    EXPECT_NEAR(x, 200, 1e-3); // top-left of the viewport
    EXPECT_NEAR(y, 450, 1e-3);
    project(800, 600, &x, &y);
    EXPECT_NEAR(x, 600, 1e-3); // bottom-right
    EXPECT_NEAR(y, 150, 1e-3);

    view_ortho_viewport(); // the viewport's own size: one unit per pixel
    project(400, 300, &x, &y);
    EXPECT_NEAR(x, 600, 1e-3);
    EXPECT_NEAR(y, 150, 1e-3);
}

TEST(View, PerspectiveTurnsDepthTestOnAndKeepsTheModelview) {
    test_gl_context();
    viewport_percent(0, 0, 100, 100);
    view_ortho(800, 600);
    glTranslatef(0, 0, -10);
    view_perspective_viewport(90, 10000, 0.1f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat model[16], proj[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, model);
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    EXPECT_FLOAT_EQ(model[14], -10.0f);
    // fovy 90 on an 800 x 600 viewport: f = 1, x scale = f / aspect.
    EXPECT_NEAR(proj[5], 1.0f, 1e-5);
    EXPECT_NEAR(proj[0], 0.75f, 1e-5);
    glDisable(GL_DEPTH_TEST);
    glLoadIdentity();
}

} // namespace
