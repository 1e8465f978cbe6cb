// Double-precision matrix and rotation helpers for the conversion: glTF's
// own conventions (column-major, quaternions x, y, z, w), kept apart from
// the engine's float math so resampling does not pile up rounding.
#include "gltf_internal.h"

#include <algorithm>
#include <cmath>

Mat4 mat4_identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Mat4 mat4_multiply(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[static_cast<size_t>(k * 4 + row)] * b[static_cast<size_t>(c * 4 + k)];
            r[static_cast<size_t>(c * 4 + row)] = s;
        }
    return r;
}

Mat4 mat4_translation(double x, double y, double z) {
    Mat4 m = mat4_identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Mat4 mat4_from_trs(const Trs& trs) {
    const Quat& q = trs.r;
    Mat4 m = mat4_identity();
    m[0] = (1 - 2 * (q.y * q.y + q.z * q.z)) * trs.s[0];
    m[1] = 2 * (q.x * q.y + q.z * q.w) * trs.s[0];
    m[2] = 2 * (q.x * q.z - q.y * q.w) * trs.s[0];
    m[4] = 2 * (q.x * q.y - q.z * q.w) * trs.s[1];
    m[5] = (1 - 2 * (q.x * q.x + q.z * q.z)) * trs.s[1];
    m[6] = 2 * (q.y * q.z + q.x * q.w) * trs.s[1];
    m[8] = 2 * (q.x * q.z + q.y * q.w) * trs.s[2];
    m[9] = 2 * (q.y * q.z - q.x * q.w) * trs.s[2];
    m[10] = (1 - 2 * (q.x * q.x + q.y * q.y)) * trs.s[2];
    m[12] = trs.t[0];
    m[13] = trs.t[1];
    m[14] = trs.t[2];
    return m;
}

bool mat4_inverse(const Mat4& a, Mat4* out) {
    // Gauss-Jordan with partial pivoting on [A | I].
    double m[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            m[r][c] = a[static_cast<size_t>(c * 4 + r)];
            m[r][c + 4] = r == c ? 1 : 0;
        }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
        if (std::fabs(m[pivot][c]) < 1e-12) return false;
        for (int k = 0; k < 8; ++k) std::swap(m[c][k], m[pivot][k]);
        double inv = 1.0 / m[c][c];
        for (int k = 0; k < 8; ++k) m[c][k] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            double f = m[r][c];
            for (int k = 0; k < 8; ++k) m[r][k] -= f * m[c][k];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) (*out)[static_cast<size_t>(c * 4 + r)] = m[r][c + 4];
    return true;
}

namespace {

Quat quat_from_rotation(const double r[3][3]) {
    // r[row][col]; Shepperd's method, robust for every angle.
    Quat q;
    double trace = r[0][0] + r[1][1] + r[2][2];
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0) * 2;
        q.w = 0.25 * s;
        q.x = (r[2][1] - r[1][2]) / s;
        q.y = (r[0][2] - r[2][0]) / s;
        q.z = (r[1][0] - r[0][1]) / s;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        double s = std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]) * 2;
        q.w = (r[2][1] - r[1][2]) / s;
        q.x = 0.25 * s;
        q.y = (r[0][1] + r[1][0]) / s;
        q.z = (r[0][2] + r[2][0]) / s;
    } else if (r[1][1] > r[2][2]) {
        double s = std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]) * 2;
        q.w = (r[0][2] - r[2][0]) / s;
        q.x = (r[0][1] + r[1][0]) / s;
        q.y = 0.25 * s;
        q.z = (r[1][2] + r[2][1]) / s;
    } else {
        double s = std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]) * 2;
        q.w = (r[1][0] - r[0][1]) / s;
        q.x = (r[0][2] + r[2][0]) / s;
        q.y = (r[1][2] + r[2][1]) / s;
        q.z = 0.25 * s;
    }
    return quat_normalise(q);
}

double wrap_near(double angle, double near) {
    const double two_pi = 2 * M_PI;
    return angle + two_pi * std::round((near - angle) / two_pi);
}

} // namespace

Trs mat4_decompose(const Mat4& m) {
    Trs out;
    out.t = {m[12], m[13], m[14]};
    double cols[3][3];
    for (int c = 0; c < 3; ++c) {
        double len = std::sqrt(m[static_cast<size_t>(c * 4)] * m[static_cast<size_t>(c * 4)] +
                               m[static_cast<size_t>(c * 4 + 1)] * m[static_cast<size_t>(c * 4 + 1)] +
                               m[static_cast<size_t>(c * 4 + 2)] * m[static_cast<size_t>(c * 4 + 2)]);
        out.s[static_cast<size_t>(c)] = len;
        for (int r = 0; r < 3; ++r) cols[c][r] = len > 0 ? m[static_cast<size_t>(c * 4 + r)] / len : (r == c ? 1 : 0);
    }
    // A mirror shows as a negative determinant; keep it in one scale axis so
    // the rotation stays proper.
    double det = cols[0][0] * (cols[1][1] * cols[2][2] - cols[2][1] * cols[1][2]) -
                 cols[1][0] * (cols[0][1] * cols[2][2] - cols[2][1] * cols[0][2]) +
                 cols[2][0] * (cols[0][1] * cols[1][2] - cols[1][1] * cols[0][2]);
    if (det < 0) {
        out.s[0] = -out.s[0];
        for (int r = 0; r < 3; ++r) cols[0][r] = -cols[0][r];
    }
    double rot[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) rot[r][c] = cols[c][r];
    out.r = quat_from_rotation(rot);
    return out;
}

Quat quat_normalise(Quat q) {
    double len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(len > 1e-12)) return Quat{};
    return {q.x / len, q.y / len, q.z / len, q.w / len};
}

Quat quat_slerp_d(Quat a, Quat b, double t) {
    double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0) {
        b = {-b.x, -b.y, -b.z, -b.w};
        d = -d;
    }
    double wa = 1 - t, wb = t;
    if (d < 0.9995) {
        double angle = std::acos(std::min(d, 1.0));
        double s = std::sin(angle);
        wa = std::sin((1 - t) * angle) / s;
        wb = std::sin(t * angle) / s;
    }
    return quat_normalise({a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb, a.w * wa + b.w * wb});
}

std::array<double, 3> quat_to_euler_near(Quat q, const std::array<double, 3>& near) {
    q = quat_normalise(q);
    double sx = 2 * (q.w * q.x + q.y * q.z), cx = 1 - 2 * (q.x * q.x + q.y * q.y);
    double sy = std::clamp(2 * (q.w * q.y - q.z * q.x), -1.0, 1.0);
    double sz = 2 * (q.w * q.z + q.x * q.y), cz = 1 - 2 * (q.y * q.y + q.z * q.z);
    std::array<double, 3> a = {std::atan2(sx, cx), std::asin(sy), std::atan2(sz, cz)};
    // The same rotation as (x + pi, pi - y, z + pi); take whichever set,
    // shifted by whole turns, lies nearest the previous key so that the
    // curves between keys take the short way.
    std::array<double, 3> b = {a[0] + M_PI, M_PI - a[1], a[2] + M_PI};
    for (int i = 0; i < 3; ++i) {
        a[static_cast<size_t>(i)] = wrap_near(a[static_cast<size_t>(i)], near[static_cast<size_t>(i)]);
        b[static_cast<size_t>(i)] = wrap_near(b[static_cast<size_t>(i)], near[static_cast<size_t>(i)]);
    }
    double da = 0, db = 0;
    for (int i = 0; i < 3; ++i) {
        da += std::fabs(a[static_cast<size_t>(i)] - near[static_cast<size_t>(i)]);
        db += std::fabs(b[static_cast<size_t>(i)] - near[static_cast<size_t>(i)]);
    }
    return db < da ? b : a;
}
