// Colour, vector, quaternion and matrix records. Matrices are column-major
// as OpenGL takes them (element (r, c) at 4c + r) and builders multiply on
// the right (M = M x R), like the fixed-function matrix calls.
#pragma once

#include <cstdint>
#include <cstdio>

// Pi in single precision, as the drawing arithmetic uses it.
constexpr float math_pi = 3.14159265f;

struct Color {
    uint8_t r, g, b, a;
};

struct Vec3 {
    float x, y, z;
};

// A quaternion (x, y, z, w) or a plane (a, b, c, d).
struct Vec4 {
    float x, y, z, w;
};

struct Matrix {
    float m[16];
};

void color_set(Color* c, int r, int g, int b, int a);
Color color_set(int r, int g, int b, int a);
Color color_from_u32(Color* c, uint32_t v);
Color color_from_rgb(uint32_t rgb, int a);
// Each channel times s, truncated, low 8 bits kept: products of 256 wrap.
Color color_scale(Color c, float s);

Vec3 vec3_zero();
void vec3_set(Vec3* v, float x, float y, float z);
Vec3 vec3_set(float x, float y, float z);
Vec4 vec4_zero();
void vec4_set(Vec4* v, float x, float y, float z, float w);
Vec4 vec4_set(float x, float y, float z, float w);
Vec4 quat_identity();
// v -= (x, y, z) in place; returns the new v.
Vec3 vec3_sub(Vec3* v, float x, float y, float z);
Vec3 vec3_scale(Vec3 v, float s);
Vec3 vec3_negate(Vec3 v);
// Little-endian floats from a stream; false when the file ends early.
bool vec3_read(FILE* file, Vec3* v);
bool vec4_read(FILE* file, Vec4* v);
Vec3 vec3_lerp(Vec3 a, Vec3 b, float t);
Vec3 vec3_bezier(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, float t);
float plane_distance(Vec4 plane, float x, float y, float z);

Vec4 quat_slerp(Vec4 q1, Vec4 q2, float t);
// Writes w, x, y, z (w first) for the rotation Rz(z)·Ry(y)·Rx(x).
void quat_from_euler(Vec3 angles, float out[4]);

void matrix_identity(Matrix* m);
Matrix matrix_identity();
Matrix matrix_set(Matrix* m, const float values[16]);
Matrix matrix_multiply(Matrix* m, const Matrix& a);
void matrix_translate(Matrix* m, float x, float y, float z);
void matrix_scale(Matrix* m, float x, float y, float z);
// M = M x Rz(z)·Rx(x)·Ry(-y).
void matrix_rotate_euler(Matrix* m, Vec3 angles);
void matrix_rotate_quat(Matrix* m, Vec4 q);
// Identity when the determinant is exactly 0.
Matrix matrix_inverse(const Matrix& m);
Vec3 matrix_transform_point(const Matrix& m, float x, float y, float z);
Vec3 matrix_translation(const Matrix& m);
void matrix_apply(const Matrix& m);
// A box only touching a plane counts as outside.
bool box_in_frustum(const Vec4 planes[6], float min_x, float min_y, float min_z, float max_x, float max_y, float max_z);
