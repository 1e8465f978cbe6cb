#include "math/math3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float pi = 3.14159265358979f;

Vec4 quat_about_z(float angle) { return Vec4{0, 0, std::sin(angle / 2), std::cos(angle / 2)}; }

void expect_vec3(Vec3 v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void expect_vec4(Vec4 v, Vec4 e, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, e.x, eps);
    EXPECT_NEAR(v.y, e.y, eps);
    EXPECT_NEAR(v.z, e.z, eps);
    EXPECT_NEAR(v.w, e.w, eps);
}

// The image of a direction under the matrix (no translation).
Vec3 direction(const Matrix& m, float x, float y, float z) {
    Vec3 p = matrix_transform_point(m, x, y, z);
    Vec3 o = matrix_transform_point(m, 0, 0, 0);
    return Vec3{p.x - o.x, p.y - o.y, p.z - o.z};
}

TEST(Math, ColourBytes) {
    Color c;
    Color r = color_from_u32(&c, 0x11223344u);
    EXPECT_EQ(c.r, 0x44);
    EXPECT_EQ(c.g, 0x33);
    EXPECT_EQ(c.b, 0x22);
    EXPECT_EQ(c.a, 0x11);
    EXPECT_EQ(r.a, 0x11);
    uint32_t as_int;
    std::memcpy(&as_int, &c, 4);
    EXPECT_EQ(as_int, 0x11223344u); // r, g, b, a in memory
    Color rgb = color_from_rgb(0xFF102030u, 7);
    EXPECT_EQ(rgb.r, 0x30);
    EXPECT_EQ(rgb.b, 0x10);
    EXPECT_EQ(rgb.a, 7);
    color_set(&c, 256 + 5, -1, 300, 511);
    EXPECT_EQ(c.r, 5);
    EXPECT_EQ(c.g, 255);
    EXPECT_EQ(c.b, 44);
    EXPECT_EQ(c.a, 255);
}

TEST(Math, ColourScaleTruncatesAndWraps) {
    Color half = color_scale(Color{255, 100, 3, 201}, 0.5f);
    EXPECT_EQ(half.r, 127);
    EXPECT_EQ(half.g, 50);
    EXPECT_EQ(half.b, 1);
    EXPECT_EQ(half.a, 100);
    Color up = color_scale(Color{105, 105, 105, 255}, 1.2f);
    EXPECT_EQ(up.r, 126);
    EXPECT_EQ(up.a, 50); // 306 wraps to 50
    Color dim = color_scale(Color{200, 200, 200, 200}, 0.41f);
    EXPECT_EQ(dim.r, 82);
    Color zero = color_scale(Color{9, 9, 9, 9}, 0);
    EXPECT_EQ(zero.r, 0);
    Color huge = color_scale(Color{255, 1, 0, 0}, 3e38f); // no undefined conversion
    EXPECT_EQ(huge.r, 0);
}

TEST(Math, SlerpBranches) {
    Vec4 a = quat_about_z(0);
    // 0.9 rad apart: dot 0.9004 is within the threshold, a plain linear blend.
    Vec4 b = quat_about_z(0.9f);
    Vec4 lin = quat_slerp(a, b, 0.5f);
    expect_vec4(lin, Vec4{0, 0, 0.5f * b.z, 0.5f * (1 + b.w)});
    // 1.0 rad apart: dot 0.8776, the spherical form keeps unit length.
    Vec4 c = quat_about_z(1.0f);
    Vec4 sph = quat_slerp(a, c, 0.5f);
    expect_vec4(sph, quat_about_z(0.5f));
    float lin_len = std::sqrt(lin.z * lin.z + lin.w * lin.w);
    EXPECT_LT(lin_len, 0.999f); // not renormalised
    expect_vec4(quat_slerp(a, c, 0), a);
    expect_vec4(quat_slerp(a, c, 1), c);
}

TEST(Math, SlerpTakesTheShorterArcAndKeepsEqualInputs) {
    Vec4 a = quat_about_z(0);
    Vec4 c = quat_about_z(1.0f);
    Vec4 minus_c{-c.x, -c.y, -c.z, -c.w};
    expect_vec4(quat_slerp(a, minus_c, 0.5f), quat_about_z(0.5f));
    Vec4 q{0.1f, 0.2f, 0.3f, 0.927362f};
    for (float t : {0.0f, 0.3f, 1.0f, 7.0f}) {
        Vec4 r = quat_slerp(q, q, t);
        EXPECT_EQ(r.x, q.x);
        EXPECT_EQ(r.w, q.w);
    }
}

TEST(Math, EulerQuaternionOrder) {
    float q[4];
    quat_from_euler(Vec3{0, 0, pi / 2}, q);
    EXPECT_NEAR(q[0], std::cos(pi / 4), 1e-6); // w first
    EXPECT_NEAR(q[3], std::sin(pi / 4), 1e-6);
    // Rz(z)·Ry(y)·Rx(x) against the matrix built from the quaternion.
    Vec3 angles{0.3f, -0.7f, 1.1f};
    quat_from_euler(angles, q);
    Matrix from_q = matrix_identity();
    matrix_rotate_quat(&from_q, Vec4{q[1], q[2], q[3], q[0]});
    float cx = std::cos(0.3f), sx = std::sin(0.3f), cy = std::cos(-0.7f), sy = std::sin(-0.7f), cz = std::cos(1.1f),
          sz = std::sin(1.1f);
    // Image of the x axis under Rz·Ry·Rx is column 0 of that product.
    expect_vec3(direction(from_q, 1, 0, 0), cz * cy, sz * cy, -sy);
    (void)cx, (void)sx;
}

TEST(Math, RotationsAndTranslationMultiplyOnTheRight) {
    Matrix m = matrix_identity();
    matrix_rotate_quat(&m, Vec4{0, 0, std::sin(pi / 4), std::cos(pi / 4)});
    expect_vec3(direction(m, 1, 0, 0), 0, 1, 0);
    matrix_translate(&m, 2, 0, 0); // moves along the rotated x axis
    expect_vec3(matrix_translation(m), 0, 2, 0);
    matrix_scale(&m, 3, 1, 1);
    expect_vec3(matrix_transform_point(m, 1, 0, 0), 0, 5, 0);

    Matrix e = matrix_identity();
    matrix_rotate_euler(&e, Vec3{0, pi / 2, 0});
    expect_vec3(direction(e, 1, 0, 0), 0, 0, 1); // y turns opposite to the standard Ry
    Matrix ez = matrix_identity();
    matrix_rotate_euler(&ez, Vec3{0, 0, pi / 2});
    expect_vec3(direction(ez, 1, 0, 0), 0, 1, 0);
    Matrix ex = matrix_identity();
    matrix_rotate_euler(&ex, Vec3{pi / 2, 0, 0});
    expect_vec3(direction(ex, 0, 1, 0), 0, 0, 1);
}

TEST(Math, MultiplyIsRowTimesColumn) {
    float a_values[16], b_values[16];
    for (int i = 0; i < 16; ++i) a_values[i] = static_cast<float>(i + 1), b_values[i] = static_cast<float>(i % 5 - 2);
    Matrix a, b;
    matrix_set(&a, a_values);
    matrix_set(&b, b_values);
    Matrix p = a;
    Matrix returned = matrix_multiply(&p, b);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[4 * k + r] * b.m[4 * c + k];
            EXPECT_FLOAT_EQ(p.m[4 * c + r], sum);
            EXPECT_FLOAT_EQ(returned.m[4 * c + r], sum);
        }
}

TEST(Math, Inverse) {
    Matrix m = matrix_identity();
    m.m[0] = 2, m.m[5] = 4, m.m[10] = 5;
    m.m[12] = 1, m.m[13] = 2, m.m[14] = 3;
    Matrix inv = matrix_inverse(m);
    EXPECT_FLOAT_EQ(inv.m[0], 0.5f);
    EXPECT_FLOAT_EQ(inv.m[5], 0.25f);
    EXPECT_FLOAT_EQ(inv.m[10], 0.2f);
    EXPECT_FLOAT_EQ(inv.m[12], -0.5f);
    EXPECT_FLOAT_EQ(inv.m[13], -0.5f);
    EXPECT_FLOAT_EQ(inv.m[14], -0.6f);
    EXPECT_FLOAT_EQ(inv.m[15], 1);
    // A general matrix times its inverse is the identity.
    Matrix g = matrix_identity();
    matrix_rotate_euler(&g, Vec3{0.4f, 1.2f, -0.3f});
    matrix_translate(&g, 3, -2, 7);
    matrix_scale(&g, 2, 0.5f, 3);
    Matrix prod = g;
    matrix_multiply(&prod, matrix_inverse(g));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(prod.m[i], (i % 5 == 0) ? 1.0f : 0.0f, 1e-5f) << i;
    Matrix singular = matrix_identity();
    singular.m[5] = 0;
    Matrix id = matrix_inverse(singular);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(id.m[i], (i % 5 == 0) ? 1.0f : 0.0f);
}

TEST(Math, BoxTouchingAPlaneIsOutside) {
    Vec4 planes[6] = {{1, 0, 0, 0}, {-1, 0, 0, 10}, {0, 1, 0, 10}, {0, -1, 0, 10}, {0, 0, 1, 10}, {0, 0, -1, 10}};
    EXPECT_FALSE(box_in_frustum(planes, -5, -1, -1, 0, 1, 1));
    EXPECT_TRUE(box_in_frustum(planes, -5, -1, -1, 0.001f, 1, 1));
    EXPECT_TRUE(box_in_frustum(planes, 1, 1, 1, 2, 2, 2));
    EXPECT_FALSE(box_in_frustum(planes, 11, 0, 0, 12, 1, 1)); // beyond the second plane
    EXPECT_FLOAT_EQ(plane_distance(Vec4{1, 2, 3, 4}, 1, 1, 1), 10);
}

TEST(Math, VectorsAndCurves) {
    Vec3 v = vec3_set(1, 2, 3);
    Vec3 r = vec3_sub(&v, 1, 1, 1);
    expect_vec3(v, 0, 1, 2);
    expect_vec3(r, 0, 1, 2);
    expect_vec3(vec3_scale(v, 2), 0, 2, 4);
    expect_vec3(vec3_negate(v), 0, -1, -2);
    expect_vec3(vec3_zero(), 0, 0, 0);
    Vec4 zero = vec4_zero(), identity = quat_identity();
    EXPECT_TRUE(zero.x == 0 && zero.y == 0 && zero.z == 0 && zero.w == 0);
    EXPECT_TRUE(identity.x == 0 && identity.y == 0 && identity.z == 0 && identity.w == 1);
    expect_vec3(vec3_lerp(Vec3{0, 0, 0}, Vec3{10, 20, 30}, 0.25f), 2.5f, 5, 7.5f);
    Vec3 p0{0, 0, 0}, p1{1, 2, 0}, p2{3, 2, 0}, p3{4, 0, 0};
    expect_vec3(vec3_bezier(p0, p1, p2, p3, 0), 0, 0, 0);
    expect_vec3(vec3_bezier(p0, p1, p2, p3, 1), 4, 0, 0);
    expect_vec3(vec3_bezier(p0, p1, p2, p3, 0.5f), 2, 1.5f, 0);
}

TEST(Math, ReadsLittleEndianFloats) {
    float values[5] = {1.5f, -2.25f, 1e-3f, 42, 0};
    unsigned char bytes[20];
    for (int i = 0; i < 5; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        for (int k = 0; k < 4; ++k) bytes[4 * i + k] = static_cast<unsigned char>(bits >> (8 * k));
    }
    FILE* f = fmemopen(bytes, sizeof bytes, "rb");
    ASSERT_NE(f, nullptr);
    Vec4 q;
    ASSERT_TRUE(vec4_read(f, &q));
    EXPECT_EQ(q.x, 1.5f);
    EXPECT_EQ(q.w, 42);
    Vec3 v;
    EXPECT_FALSE(vec3_read(f, &v)); // only one float left
    std::fclose(f);
}

} // namespace
