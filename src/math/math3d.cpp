#include "math/math3d.h"

#include "core/gl.h"

#include <cmath>
#include <cstring>

void color_set(Color* c, int r, int g, int b, int a) { *c = color_set(r, g, b, a); }

Color color_set(int r, int g, int b, int a) {
    return Color{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b), static_cast<uint8_t>(a)};
}

Color color_from_u32(Color* c, uint32_t v) {
    *c = Color{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
               static_cast<uint8_t>(v >> 24)};
    return *c;
}

Color color_from_rgb(uint32_t rgb, int a) {
    return Color{static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb >> 16),
                 static_cast<uint8_t>(a)};
}

namespace {
// Truncates toward zero and keeps the low 8 bits, without the undefined
// behaviour of converting an out-of-range float straight to a byte.
uint8_t scale_channel(uint8_t v, float s) {
    // The product is taken in single precision, as the channel times a float
    // is: 200 x 0.41f gives 82, where a double product would give 81.99...
    float single = static_cast<float>(v) * s;
    if (!std::isfinite(single)) return 0;
    double product = std::trunc(static_cast<double>(single));
    long long whole = static_cast<long long>(std::fmod(product, 4294967296.0));
    return static_cast<uint8_t>(whole & 0xFF);
}
} // namespace

Color color_scale(Color c, float s) {
    return Color{scale_channel(c.r, s), scale_channel(c.g, s), scale_channel(c.b, s), scale_channel(c.a, s)};
}

Vec3 vec3_zero() { return Vec3{0, 0, 0}; }
void vec3_set(Vec3* v, float x, float y, float z) { *v = Vec3{x, y, z}; }
Vec3 vec3_set(float x, float y, float z) { return Vec3{x, y, z}; }
Vec4 vec4_zero() { return Vec4{0, 0, 0, 0}; }
void vec4_set(Vec4* v, float x, float y, float z, float w) { *v = Vec4{x, y, z, w}; }
Vec4 vec4_set(float x, float y, float z, float w) { return Vec4{x, y, z, w}; }
Vec4 quat_identity() { return Vec4{0, 0, 0, 1}; }

Vec3 vec3_sub(Vec3* v, float x, float y, float z) {
    v->x -= x;
    v->y -= y;
    v->z -= z;
    return *v;
}

Vec3 vec3_scale(Vec3 v, float s) { return Vec3{v.x * s, v.y * s, v.z * s}; }
Vec3 vec3_negate(Vec3 v) { return Vec3{-v.x, -v.y, -v.z}; }

namespace {
bool read_floats(FILE* file, float* out, size_t count) {
    unsigned char bytes[16];
    if (std::fread(bytes, 4, count, file) != count) return false;
    for (size_t i = 0; i < count; ++i) {
        uint32_t bits = static_cast<uint32_t>(bytes[4 * i]) | static_cast<uint32_t>(bytes[4 * i + 1]) << 8 |
                        static_cast<uint32_t>(bytes[4 * i + 2]) << 16 | static_cast<uint32_t>(bytes[4 * i + 3]) << 24;
        std::memcpy(&out[i], &bits, 4);
    }
    return true;
}
} // namespace

bool vec3_read(FILE* file, Vec3* v) {
    float f[3];
    if (!read_floats(file, f, 3)) return false;
    *v = Vec3{f[0], f[1], f[2]};
    return true;
}

bool vec4_read(FILE* file, Vec4* v) {
    float f[4];
    if (!read_floats(file, f, 4)) return false;
    *v = Vec4{f[0], f[1], f[2], f[3]};
    return true;
}

Vec3 vec3_lerp(Vec3 a, Vec3 b, float t) {
    return Vec3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

Vec3 vec3_bezier(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, float t) {
    float u = 1 - t;
    float b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    return Vec3{b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x, b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y,
                b0 * p0.z + b1 * p1.z + b2 * p2.z + b3 * p3.z};
}

float plane_distance(Vec4 plane, float x, float y, float z) {
    return plane.x * x + plane.y * y + plane.z * z + plane.w;
}

Vec4 quat_slerp(Vec4 q1, Vec4 q2, float t) {
    float d = q1.x * q2.x + q1.y * q2.y + q1.z * q2.z + q1.w * q2.w;
    if (q1.x == q2.x && q1.y == q2.y && q1.z == q2.z && q1.w == q2.w) return q1;
    if (d < 0) {
        q2 = Vec4{-q2.x, -q2.y, -q2.z, -q2.w};
        d = -d;
    }
    float w1, w2;
    if (1 - d > 0.1f) {
        float theta = std::acos(d);
        float s = std::sin(theta);
        w1 = std::sin((1 - t) * theta) / s;
        w2 = std::sin(t * theta) / s;
    } else {
        w1 = 1 - t;
        w2 = t;
    }
    return Vec4{w1 * q1.x + w2 * q2.x, w1 * q1.y + w2 * q2.y, w1 * q1.z + w2 * q2.z, w1 * q1.w + w2 * q2.w};
}

void quat_from_euler(Vec3 angles, float out[4]) {
    float cx = std::cos(angles.x / 2), sx = std::sin(angles.x / 2);
    float cy = std::cos(angles.y / 2), sy = std::sin(angles.y / 2);
    float cz = std::cos(angles.z / 2), sz = std::sin(angles.z / 2);
    out[0] = cx * cy * cz + sx * sy * sz;
    out[1] = sx * cy * cz - cx * sy * sz;
    out[2] = cx * sy * cz + sx * cy * sz;
    out[3] = cx * cy * sz - sx * sy * cz;
}

void matrix_identity(Matrix* m) { *m = matrix_identity(); }

Matrix matrix_identity() {
    Matrix m{};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1;
    return m;
}

Matrix matrix_set(Matrix* m, const float values[16]) {
    std::memcpy(m->m, values, sizeof m->m);
    return *m;
}

Matrix matrix_multiply(Matrix* m, const Matrix& a) {
    Matrix r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += m->m[4 * k + row] * a.m[4 * c + k];
            r.m[4 * c + row] = sum;
        }
    *m = r;
    return r;
}

void matrix_translate(Matrix* m, float x, float y, float z) {
    for (int i = 0; i < 4; ++i) m->m[12 + i] = m->m[i] * x + m->m[4 + i] * y + m->m[8 + i] * z + m->m[12 + i];
}

void matrix_scale(Matrix* m, float x, float y, float z) {
    for (int i = 0; i < 4; ++i) {
        m->m[i] *= x;
        m->m[4 + i] *= y;
        m->m[8 + i] *= z;
    }
}

void matrix_rotate_euler(Matrix* m, Vec3 a) {
    float sx = std::sin(a.x), cx = std::cos(a.x);
    float sy = std::sin(a.y), cy = std::cos(a.y);
    float sz = std::sin(a.z), cz = std::cos(a.z);
    Matrix r = matrix_identity();
    r.m[0] = cz * cy + sz * sy * sx;
    r.m[1] = sz * cy - sy * sx * cz;
    r.m[2] = sy * cx;
    r.m[4] = -sz * cx;
    r.m[5] = cz * cx;
    r.m[6] = sx;
    r.m[8] = sz * sx * cy - sy * cz;
    r.m[9] = -sz * sy - cz * sx * cy;
    r.m[10] = cy * cx;
    matrix_multiply(m, r);
}

void matrix_rotate_quat(Matrix* m, Vec4 q) {
    Matrix r = matrix_identity();
    r.m[0] = 1 - 2 * (q.y * q.y + q.z * q.z);
    r.m[1] = 2 * (q.x * q.y + q.z * q.w);
    r.m[2] = 2 * (q.x * q.z - q.y * q.w);
    r.m[4] = 2 * (q.x * q.y - q.z * q.w);
    r.m[5] = 1 - 2 * (q.x * q.x + q.z * q.z);
    r.m[6] = 2 * (q.y * q.z + q.x * q.w);
    r.m[8] = 2 * (q.x * q.z + q.y * q.w);
    r.m[9] = 2 * (q.y * q.z - q.x * q.w);
    r.m[10] = 1 - 2 * (q.x * q.x + q.y * q.y);
    matrix_multiply(m, r);
}

Matrix matrix_inverse(const Matrix& mat) {
    const float* m = mat.m;
    float inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6] -
              m[8] * m[2] * m[5];
    float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0) return matrix_identity();
    Matrix r;
    for (int i = 0; i < 16; ++i) r.m[i] = inv[i] / det;
    return r;
}

Vec3 matrix_transform_point(const Matrix& m, float x, float y, float z) {
    return Vec3{m.m[0] * x + m.m[4] * y + m.m[8] * z + m.m[12], m.m[1] * x + m.m[5] * y + m.m[9] * z + m.m[13],
                m.m[2] * x + m.m[6] * y + m.m[10] * z + m.m[14]};
}

Vec3 matrix_translation(const Matrix& m) { return Vec3{m.m[12], m.m[13], m.m[14]}; }

void matrix_apply(const Matrix& m) { glMultMatrixf(m.m); }

bool box_in_frustum(const Vec4 planes[6], float min_x, float min_y, float min_z, float max_x, float max_y,
                    float max_z) {
    for (int p = 0; p < 6; ++p) {
        bool any_inside = false;
        for (int corner = 0; corner < 8 && !any_inside; ++corner) {
            float x = (corner & 1) ? max_x : min_x;
            float y = (corner & 2) ? max_y : min_y;
            float z = (corner & 4) ? max_z : min_z;
            if (plane_distance(planes[p], x, y, z) > 0) any_inside = true;
        }
        if (!any_inside) return false;
    }
    return true;
}
