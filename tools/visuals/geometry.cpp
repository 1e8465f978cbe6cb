#include "geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

const float kPi = 3.14159265f;

Vec3 add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 mul(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 normalize(Vec3 a) {
    float l = std::sqrt(dot(a, a));
    return l > 0 ? mul(a, 1 / l) : Vec3{0, 1, 0};
}
Vec3 lerp3(Vec3 a, Vec3 b, float t) { return add(a, mul(sub(b, a), t)); }

// Corner (i, j) of an nu x nv grid over the quad p0 p1 p2 p3: i runs from p0
// towards p1, j from p0 towards p3.
Vec3 quad_grid_point(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, int i, int j, int nu, int nv) {
    float u = static_cast<float>(i) / nu, v = static_cast<float>(j) / nv;
    return lerp3(lerp3(p0, p1, u), lerp3(p3, p2, u), v);
}

Vec3 transform_dir(const Matrix& m, Vec3 d) {
    const float* e = m.m;
    return normalize({e[0] * d.x + e[4] * d.y + e[8] * d.z, e[1] * d.x + e[5] * d.y + e[9] * d.z,
                      e[2] * d.x + e[6] * d.y + e[10] * d.z});
}

// The normal of the quad p0 p1 p2 p3, as the matrix turns it.
Vec3 quad_normal(const Matrix& m, Vec3 p0, Vec3 p1, Vec3 p3) {
    return transform_dir(m, normalize(cross(sub(p1, p0), sub(p3, p0))));
}

using Rgb = std::array<float, 3>;

// Baked light at the corners of an nu x nv grid over the quad, rows of nu + 1.
std::vector<Rgb> quad_grid_light(const MeshBuilder* b, const Matrix& m, const Vec3 (&p)[4], Vec3 n, const Paint& paint,
                                 int nu, int nv) {
    std::vector<Rgb> light;
    light.reserve(static_cast<size_t>(nu + 1) * (nv + 1));
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i) {
            Vec3 local = quad_grid_point(p[0], p[1], p[2], p[3], i, j, nu, nv);
            float c[4];
            b->bake(matrix_transform_point(m, local.x, local.y, local.z), n, paint, c);
            light.push_back({c[0], c[1], c[2]});
        }
    return light;
}

void surface_uv(const Vec3& p, const Vec3& n, const Paint& paint, float uv[2]) {
    switch (paint.uv_mode) {
    case UV_FIXED:
        uv[0] = paint.u0;
        uv[1] = paint.v0;
        return;
    case UV_BOARD:
        uv[0] = (p.x + 5.0f) / 10.0f * 0.9375f;
        uv[1] = (5.0f - p.y) / 10.0f;
        return;
    case UV_PARAMS:
        uv[0] = paint.reflect;
        uv[1] = paint.glow;
        return;
    default: break;
    }
    float s = paint.uv_scale > 0 ? 1.0f / paint.uv_scale : 1.0f;
    float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (ay >= ax && ay >= az) {
        uv[0] = p.x * s;
        uv[1] = p.z * s;
    } else if (ax >= az) {
        uv[0] = p.z * s;
        uv[1] = -p.y * s;
    } else {
        uv[0] = p.x * s;
        uv[1] = -p.y * s;
    }
}

uint32_t add_vertex(MeshBuilder* b, Vec3 p, Vec3 n, const Paint& paint) {
    Vertex v;
    v.p = p;
    v.n = n;
    b->bake(p, n, paint, v.colour);
    surface_uv(p, n, paint, v.uv);
    if (b->bind) b->bind(p, &v);
    b->vertices.push_back(v);
    return static_cast<uint32_t>(b->vertices.size() - 1);
}

void add_triangle(MeshBuilder* b, uint32_t i0, uint32_t i1, uint32_t i2) {
    std::vector<uint32_t>& g = b->groups[b->group];
    g.push_back(i0);
    g.push_back(i1);
    g.push_back(i2);
}

} // namespace

int profile_stride(int profile) {
    switch (profile) {
    case PROFILE_LIT: return 48;
    case PROFILE_TEXTURED: return 32;
    case PROFILE_SKINNED: return 80;
    case PROFILE_MAPPED: return 40;
    default: return 0;
    }
}

Baker baker_lights(std::vector<Light> lights, float ambient, float floor_y) {
    return
        [lights = std::move(lights), ambient, floor_y](const Vec3& p, const Vec3& n, const Paint& paint, float out[4]) {
            float lr = ambient, lg = ambient, lb = ambient * 1.2f;
            for (const Light& l : lights) {
                Vec3 d = sub(l.position, p);
                float dist = std::sqrt(dot(d, d));
                float lambert = dist > 0 ? std::max(0.0f, dot(n, mul(d, 1 / dist))) : 1.0f;
                float att = l.intensity / (1.0f + (dist / l.radius) * (dist / l.radius));
                lr += l.r * lambert * att;
                lg += l.g * lambert * att;
                lb += l.b * lambert * att;
            }
            // Surfaces near the floor sit in their own shadow.
            float ao = 1.0f;
            if (std::fabs(n.y) < 0.5f) ao = 0.45f + 0.55f * std::clamp((p.y - floor_y) / 1.2f, 0.0f, 1.0f);
            out[0] = std::clamp(paint.r * (lr * ao + paint.emissive), 0.0f, 1.0f);
            out[1] = std::clamp(paint.g * (lg * ao + paint.emissive), 0.0f, 1.0f);
            out[2] = std::clamp(paint.b * (lb * ao + paint.emissive), 0.0f, 1.0f);
            out[3] = 1.0f;
        };
}

Baker baker_flat() {
    return [](const Vec3&, const Vec3&, const Paint& paint, float out[4]) {
        out[0] = paint.r;
        out[1] = paint.g;
        out[2] = paint.b;
        out[3] = 1.0f;
    };
}

Binder bind_rigid(int bone) {
    return [bone](const Vec3&, Vertex* v) {
        v->bones[0] = bone;
        v->bones[1] = v->bones[2] = v->bones[3] = 0;
        v->weights[0] = 1;
        v->weights[1] = v->weights[2] = v->weights[3] = 0;
    };
}

Binder bind_blend_y(int a, int b, float y0, float y1) {
    return [a, b, y0, y1](const Vec3& p, Vertex* v) {
        float t = std::clamp((p.y - y0) / (y1 - y0), 0.0f, 1.0f);
        t = t * t * (3 - 2 * t);
        v->bones[0] = a;
        v->bones[1] = b;
        v->bones[2] = v->bones[3] = 0;
        v->weights[0] = 1 - t;
        v->weights[1] = t;
        v->weights[2] = v->weights[3] = 0;
    };
}

MeshBuilder mesh_builder(Baker bake) {
    MeshBuilder b;
    b.bake = std::move(bake);
    return b;
}

void mesh_use_material(MeshBuilder* b, int material) {
    for (size_t i = 0; i < b->group_materials.size(); ++i)
        if (b->group_materials[i] == material) {
            b->group = static_cast<int>(i);
            return;
        }
    b->group_materials.push_back(material);
    b->groups.emplace_back();
    b->group = static_cast<int>(b->groups.size() - 1);
}

void mesh_quad(MeshBuilder* b, const Matrix& m, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, const Paint& paint, int nu,
               int nv) {
    Vec3 n = quad_normal(m, p0, p1, p3);
    nu = std::max(nu, 1);
    nv = std::max(nv, 1);
    std::vector<uint32_t> idx;
    idx.reserve((nu + 1) * (nv + 1));
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i) {
            Vec3 local = quad_grid_point(p0, p1, p2, p3, i, j, nu, nv);
            idx.push_back(add_vertex(b, matrix_transform_point(m, local.x, local.y, local.z), n, paint));
        }
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) {
            uint32_t i00 = idx[j * (nu + 1) + i], i10 = idx[j * (nu + 1) + i + 1];
            uint32_t i01 = idx[(j + 1) * (nu + 1) + i], i11 = idx[(j + 1) * (nu + 1) + i + 1];
            add_triangle(b, i00, i10, i11);
            add_triangle(b, i00, i11, i01);
        }
}

LightAtlas light_atlas(int width, int height) {
    LightAtlas a;
    a.width = width;
    a.height = height;
    a.rgb.assign(static_cast<size_t>(width) * height * 3, 0.0f);
    return a;
}

void mesh_quad_mapped(MeshBuilder* b, LightAtlas* atlas, const Matrix& m, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3,
                      const Paint& paint, int nu, int nv) {
    Vec3 n = quad_normal(m, p0, p1, p3);
    nu = std::max(nu, 1);
    nv = std::max(nv, 1);
    // The block with its border, on the current shelf or a new one.
    const int w = nu + 3, h = nv + 3;
    if (atlas->shelf_x + w > atlas->width) {
        atlas->shelf_y += atlas->shelf_height;
        atlas->shelf_x = 0;
        atlas->shelf_height = 0;
    }
    if (w > atlas->width || atlas->shelf_y + h > atlas->height) {
        std::fprintf(stderr, "gen_scenes: a light atlas of %dx%d is full\n", atlas->width, atlas->height);
        std::exit(1);
    }
    const int x0 = atlas->shelf_x + 1, y0 = atlas->shelf_y + 1;
    atlas->shelf_x += w;
    atlas->shelf_height = std::max(atlas->shelf_height, h);
    const std::vector<Rgb> light = quad_grid_light(b, m, {p0, p1, p2, p3}, n, paint, nu, nv);
    for (int j = -1; j <= nv + 1; ++j)
        for (int i = -1; i <= nu + 1; ++i) {
            const Rgb& colour = light[std::clamp(j, 0, nv) * (nu + 1) + std::clamp(i, 0, nu)];
            float* texel = &atlas->rgb[(static_cast<size_t>(y0 + j) * atlas->width + (x0 + i)) * 3];
            for (int k = 0; k < 3; ++k) texel[k] = colour[k];
        }
    const uint32_t first = static_cast<uint32_t>(b->vertices.size());
    const Vec3 corners[4] = {p0, p1, p2, p3};
    const int cu[4] = {0, 1, 1, 0}, cv[4] = {0, 0, 1, 1};
    for (int c = 0; c < 4; ++c) {
        Vertex vx;
        vx.p = matrix_transform_point(m, corners[c].x, corners[c].y, corners[c].z);
        vx.n = n;
        surface_uv(vx.p, n, paint, vx.uv);
        vx.light_uv[0] = (x0 + cu[c] * nu + 0.5f) / atlas->width;
        vx.light_uv[1] = (y0 + cv[c] * nv + 0.5f) / atlas->height;
        b->vertices.push_back(vx);
    }
    // Split as mesh_quad splits every cell.
    add_triangle(b, first, first + 1, first + 2);
    add_triangle(b, first, first + 2, first + 3);
}

std::vector<uint8_t> light_atlas_bytes(const LightAtlas& atlas) {
    std::vector<uint8_t> out(atlas.rgb.size());
    for (size_t i = 0; i < atlas.rgb.size(); ++i)
        out[i] = static_cast<uint8_t>(std::lround(std::clamp(atlas.rgb[i], 0.0f, 1.0f) * 255.0f));
    return out;
}

namespace {

// The light at (u, v) as the rasteriser blends it: each cell is the two
// triangles mesh_quad cuts it into.
Rgb quad_grid_light_at(const std::vector<Rgb>& light, int nu, int nv, float u, float v) {
    float x = u * nu, y = v * nv;
    int i = std::min(static_cast<int>(x), nu - 1), j = std::min(static_cast<int>(y), nv - 1);
    float s = x - i, t = y - j;
    const Rgb& c00 = light[j * (nu + 1) + i];
    const Rgb& c10 = light[j * (nu + 1) + i + 1];
    const Rgb& c01 = light[(j + 1) * (nu + 1) + i];
    const Rgb& c11 = light[(j + 1) * (nu + 1) + i + 1];
    Rgb c;
    for (int k = 0; k < 3; ++k)
        c[k] = s >= t ? c00[k] + s * (c10[k] - c00[k]) + t * (c11[k] - c10[k])
                      : c00[k] + t * (c01[k] - c00[k]) + s * (c11[k] - c01[k]);
    return c;
}

bool quad_grid_matches(const std::vector<Rgb>& fine, int nu, int nv, const std::vector<Rgb>& coarse, int cu, int cv,
                       float tolerance) {
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i) {
            Rgb c = quad_grid_light_at(coarse, cu, cv, static_cast<float>(i) / nu, static_cast<float>(j) / nv);
            const Rgb& f = fine[j * (nu + 1) + i];
            for (int k = 0; k < 3; ++k)
                if (std::fabs(c[k] - f[k]) > tolerance) return false;
        }
    return true;
}

// One face of a box: its bit in skip_faces, its corners as mesh_quad takes
// them, and the axes (0 x, 1 y, 2 z) its cells run along.
struct BoxFace {
    int bit;
    Vec3 p[4];
    int u_axis, v_axis;
};

// The fewest cells along each axis of a box whose faces still give the full
// grid's light. Faces share their edges, so each axis has one count for all
// of them: split apart, the edges would leave pin-holes between the faces.
void box_fewest_cells(const MeshBuilder* b, const Matrix& m, const BoxFace (&faces)[6], int skip_faces,
                      const Paint& paint, int (&n)[3]) {
    const int full[3] = {n[0], n[1], n[2]};
    std::vector<Rgb> fine[6];
    Vec3 normal[6];
    int fewest[3] = {1, 1, 1};
    for (int f = 0; f < 6; ++f) {
        if (skip_faces & faces[f].bit) continue;
        const BoxFace& face = faces[f];
        const int nu = full[face.u_axis], nv = full[face.v_axis];
        normal[f] = quad_normal(m, face.p[0], face.p[1], face.p[3]);
        fine[f] = quad_grid_light(b, m, face.p, normal[f], paint, nu, nv);
        // Along u with every row kept, then along v.
        int cu = 1;
        while (cu < nu && !quad_grid_matches(fine[f], nu, nv, quad_grid_light(b, m, face.p, normal[f], paint, cu, nv),
                                             cu, nv, b->light_tolerance))
            ++cu;
        int cv = 1;
        while (cv < nv && !quad_grid_matches(fine[f], nu, nv, quad_grid_light(b, m, face.p, normal[f], paint, cu, cv),
                                             cu, cv, b->light_tolerance))
            ++cv;
        fewest[face.u_axis] = std::max(fewest[face.u_axis], cu);
        fewest[face.v_axis] = std::max(fewest[face.v_axis], cv);
    }
    // What one face needs may not suit another's grid: add cells where a face
    // still strays, which ends at the full grid at the latest.
    for (bool strays = true; strays;) {
        strays = false;
        for (int f = 0; f < 6; ++f) {
            if (skip_faces & faces[f].bit) continue;
            const BoxFace& face = faces[f];
            const int cu = fewest[face.u_axis], cv = fewest[face.v_axis];
            const int nu = full[face.u_axis], nv = full[face.v_axis];
            if ((cu == nu && cv == nv) ||
                quad_grid_matches(fine[f], nu, nv, quad_grid_light(b, m, face.p, normal[f], paint, cu, cv), cu, cv,
                                  b->light_tolerance))
                continue;
            strays = true;
            fewest[face.u_axis] = std::min(cu + 1, nu);
            fewest[face.v_axis] = std::min(cv + 1, nv);
        }
    }
    for (int k = 0; k < 3; ++k) n[k] = fewest[k];
}

} // namespace

void mesh_box(MeshBuilder* b, const Matrix& m, Vec3 lo, Vec3 hi, const Paint& paint, float cell, int skip_faces) {
    auto cells = [cell](float len) { return cell > 0 ? std::max(1, static_cast<int>(std::ceil(len / cell))) : 1; };
    const BoxFace faces[6] = {
        {1, {{lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}}, 2, 1},  // -x
        {2, {{hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}}, 2, 1},  // +x
        {4, {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}}, 0, 2},  // -y
        {8, {{lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}}, 0, 2},  // +y
        {16, {{hi.x, lo.y, lo.z}, {lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}}, 0, 1}, // -z
        {32, {{lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}}, 0, 1}, // +z
    };
    int n[3] = {cells(hi.x - lo.x), cells(hi.y - lo.y), cells(hi.z - lo.z)};
    if (b->light_tolerance > 0) box_fewest_cells(b, m, faces, skip_faces, paint, n);
    for (const BoxFace& face : faces)
        if (!(skip_faces & face.bit))
            mesh_quad(b, m, face.p[0], face.p[1], face.p[2], face.p[3], paint, n[face.u_axis], n[face.v_axis]);
}

namespace {

// A segment or ring count at the builder's detail, never below `least`.
int detail_count(const MeshBuilder* b, int count, int least) {
    if (!(b->detail < 1)) return count;
    return std::max(least, static_cast<int>(std::lround(count * b->detail)));
}

// How much to widen a polygon of `coarse` sides so that it covers as much
// as the `full`-sided one inside the same circle: a coarse copy otherwise
// shows a smaller outline.
float detail_fit(int full, int coarse) {
    if (coarse >= full) return 1;
    auto area = [](int n) { return n * std::sin(2 * kPi / n); };
    return std::sqrt(area(full) / area(coarse));
}

// A round shape's segments at the builder's detail, its radii widened to match.
void coarsen_round(const MeshBuilder* b, int* segments, float* r0, float* r1) {
    const int full = *segments;
    *segments = detail_count(b, full, 6);
    const float fit = detail_fit(full, *segments);
    *r0 *= fit;
    *r1 *= fit;
}

} // namespace

void mesh_cylinder(MeshBuilder* b, const Matrix& m, float r0, float r1, float y0, float y1, int segments,
                   const Paint& paint, bool caps) {
    coarsen_round(b, &segments, &r0, &r1);
    // Built from the lower end up, so its faces turn outward whichever way it was asked for.
    if (y1 < y0) {
        std::swap(y0, y1);
        std::swap(r0, r1);
    }
    float slope = (r0 - r1) / (y1 - y0);
    std::vector<uint32_t> bottom, top;
    for (int i = 0; i <= segments; ++i) {
        float a = 2 * kPi * i / segments;
        float c = std::cos(a), s = std::sin(a);
        Vec3 n = transform_dir(m, normalize({c, slope, s}));
        Vec3 p0 = matrix_transform_point(m, r0 * c, y0, r0 * s);
        Vec3 p1 = matrix_transform_point(m, r1 * c, y1, r1 * s);
        bottom.push_back(add_vertex(b, p0, n, paint));
        top.push_back(add_vertex(b, p1, n, paint));
    }
    // A cone's tip is a ring of one point: triangles with two corners there draw nothing.
    for (int i = 0; i < segments; ++i) {
        if (r0 != 0) add_triangle(b, bottom[i], top[i + 1], bottom[i + 1]);
        if (r1 != 0) add_triangle(b, bottom[i], top[i], top[i + 1]);
    }
    if (!caps) return;
    for (int end = 0; end < 2; ++end) {
        float y = end ? y1 : y0, r = end ? r1 : r0;
        if (r <= 0) continue;
        Vec3 n = transform_dir(m, {0, end ? 1.0f : -1.0f, 0});
        Vec3 cp = matrix_transform_point(m, 0, y, 0);
        uint32_t centre = add_vertex(b, cp, n, paint);
        std::vector<uint32_t> rim;
        for (int i = 0; i <= segments; ++i) {
            float a = 2 * kPi * i / segments;
            rim.push_back(add_vertex(b, matrix_transform_point(m, r * std::cos(a), y, r * std::sin(a)), n, paint));
        }
        for (int i = 0; i < segments; ++i) {
            if (end) add_triangle(b, centre, rim[i + 1], rim[i]);
            else add_triangle(b, centre, rim[i], rim[i + 1]);
        }
    }
}

void mesh_sphere(MeshBuilder* b, const Matrix& m, float radius, int segments, int rings, const Paint& paint,
                 Vec3 squash) {
    const int full_segments = segments, full_rings = rings;
    segments = detail_count(b, segments, 6);
    rings = detail_count(b, rings, 4);
    // A meridian is half a polygon of twice the rings.
    const float fit_round = detail_fit(full_segments, segments), fit_up = detail_fit(2 * full_rings, 2 * rings);
    squash = {squash.x * fit_round, squash.y * fit_up, squash.z * fit_round};
    std::vector<uint32_t> idx;
    for (int j = 0; j <= rings; ++j) {
        float phi = kPi * j / rings;
        for (int i = 0; i <= segments; ++i) {
            float a = 2 * kPi * i / segments;
            Vec3 unit = {std::sin(phi) * std::cos(a), std::cos(phi), std::sin(phi) * std::sin(a)};
            Vec3 local = {unit.x * radius * squash.x, unit.y * radius * squash.y, unit.z * radius * squash.z};
            Vec3 n = transform_dir(m, normalize({unit.x / squash.x, unit.y / squash.y, unit.z / squash.z}));
            idx.push_back(add_vertex(b, matrix_transform_point(m, local.x, local.y, local.z), n, paint));
        }
    }
    // At the poles one triangle of each quad has two corners on the pole:
    // it covers no pixel, yet the rasteriser would still set it up.
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < segments; ++i) {
            uint32_t a = idx[j * (segments + 1) + i], c = idx[j * (segments + 1) + i + 1];
            uint32_t d = idx[(j + 1) * (segments + 1) + i], e = idx[(j + 1) * (segments + 1) + i + 1];
            if (j > 0) add_triangle(b, a, c, e);
            if (j < rings - 1) add_triangle(b, a, e, d);
        }
}

void mesh_ring(MeshBuilder* b, const Matrix& m, float r0, float r1, int segments, const Paint& paint) {
    coarsen_round(b, &segments, &r0, &r1);
    Vec3 n = transform_dir(m, {0, 1, 0});
    std::vector<uint32_t> inner, outer;
    for (int i = 0; i <= segments; ++i) {
        float a = 2 * kPi * i / segments;
        float c = std::cos(a), s = std::sin(a);
        inner.push_back(add_vertex(b, matrix_transform_point(m, r0 * c, 0, r0 * s), n, paint));
        outer.push_back(add_vertex(b, matrix_transform_point(m, r1 * c, 0, r1 * s), n, paint));
    }
    // A disc's inner ring is one point, as at a cone's tip.
    for (int i = 0; i < segments; ++i) {
        if (r0 != 0) add_triangle(b, inner[i], inner[i + 1], outer[i + 1]);
        add_triangle(b, inner[i], outer[i + 1], outer[i]);
    }
}

Vec4 quat_axis_angle(Vec3 axis, float angle) {
    axis = normalize(axis);
    float s = std::sin(angle / 2);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2)};
}

Vec4 quat_mul(Vec4 a, Vec4 b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// Rz(z)·Ry(y)·Rx(x), the order the engine's Euler keys use.
Vec4 quat_euler(float x, float y, float z) {
    float q[4];
    quat_from_euler({x, y, z}, q);
    return {q[1], q[2], q[3], q[0]};
}

Matrix place(Vec3 t, float yaw, float pitch, float roll) {
    Matrix m = matrix_identity();
    matrix_translate(&m, t.x, t.y, t.z);
    matrix_rotate_quat(&m, quat_axis_angle({0, 1, 0}, yaw));
    matrix_rotate_quat(&m, quat_axis_angle({1, 0, 0}, pitch));
    matrix_rotate_quat(&m, quat_axis_angle({0, 0, 1}, roll));
    return m;
}

SceneDescMesh mesh_finish(const MeshBuilder& b, const std::string& name, int profile, bool buffered) {
    SceneDescMesh mesh;
    mesh.name = name;
    mesh.profile = profile;
    mesh.flags = MESH_MATERIALS | (buffered ? uint32_t{MESH_BUFFERED} : 0u);
    mesh.vertex_count = static_cast<int32_t>(b.vertices.size());
    Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (const Vertex& v : b.vertices) {
        lo = {std::min(lo.x, v.p.x), std::min(lo.y, v.p.y), std::min(lo.z, v.p.z)};
        hi = {std::max(hi.x, v.p.x), std::max(hi.y, v.p.y), std::max(hi.z, v.p.z)};
        std::vector<uint8_t>& out = mesh.vertices;
        scene_desc_push_vec3(&out, v.p);
        scene_desc_push_vec3(&out, v.n);
        if (profile != PROFILE_TEXTURED && profile != PROFILE_MAPPED)
            for (float c : v.colour) scene_desc_push_f32(&out, c);
        scene_desc_push_f32(&out, v.uv[0]);
        scene_desc_push_f32(&out, v.uv[1]);
        if (profile == PROFILE_MAPPED) {
            scene_desc_push_f32(&out, v.light_uv[0]);
            scene_desc_push_f32(&out, v.light_uv[1]);
        }
        if (profile == PROFILE_SKINNED) {
            for (int32_t i : v.bones) scene_desc_push_u32(&out, static_cast<uint32_t>(i));
            for (float w : v.weights) scene_desc_push_f32(&out, w);
        }
    }
    if (b.vertices.empty()) lo = hi = {0, 0, 0};
    mesh.box_a = hi;
    mesh.box_b = lo;
    for (size_t g = 0; g < b.groups.size(); ++g) mesh.groups.push_back({b.group_materials[g], b.groups[g]});
    return mesh;
}

Vec4 camera_rotation(Vec3 eye, Vec3 target, float roll) {
    float q[4];
    Vec3 d = normalize(sub(target, eye));
    // Undo the roll (about world z, applied last) so the view direction stays exact.
    float c = std::cos(-roll), s = std::sin(-roll);
    Vec3 dr = {d.x * c - d.y * s, d.x * s + d.y * c, d.z};
    float pitch = std::asin(std::clamp(dr.y, -1.0f, 1.0f));
    float yaw = std::atan2(-dr.x, -dr.z);
    quat_from_euler({pitch, yaw, roll}, q);
    return {q[1], q[2], q[3], q[0]};
}

namespace {

Vec3 camera_euler(Vec3 eye, Vec3 target, float roll) {
    Vec3 d = normalize(sub(target, eye));
    float c = std::cos(-roll), s = std::sin(-roll);
    Vec3 dr = {d.x * c - d.y * s, d.x * s + d.y * c, d.z};
    return {std::asin(std::clamp(dr.y, -1.0f, 1.0f)), std::atan2(-dr.x, -dr.z), roll};
}

// Tangent per unit time at key k, from its neighbours (one-sided at the ends).
Vec3 tangent(const std::vector<float>& t, const std::vector<Vec3>& v, size_t k) {
    size_t a = k > 0 ? k - 1 : k, b = k + 1 < v.size() ? k + 1 : k;
    if (a == b) return {0, 0, 0};
    return mul(sub(v[b], v[a]), 1.0f / (t[b] - t[a]));
}

} // namespace

std::vector<TrackKey> smooth_track(const std::vector<float>& times, const std::vector<Vec3>& locations,
                                   const std::vector<Vec3>& rotations) {
    std::vector<TrackKey> keys(times.size());
    for (size_t k = 0; k < times.size(); ++k) {
        float before = k > 0 ? times[k] - times[k - 1] : 0;
        float after = k + 1 < times.size() ? times[k + 1] - times[k] : 0;
        Vec3 tl = tangent(times, locations, k), tr = tangent(times, rotations, k);
        TrackKey& key = keys[k];
        key.time = times[k];
        key.location[1] = locations[k];
        key.location[0] = sub(locations[k], mul(tl, before / 3));
        key.location[2] = add(locations[k], mul(tl, after / 3));
        key.rotation[1] = rotations[k];
        key.rotation[0] = sub(rotations[k], mul(tr, before / 3));
        key.rotation[2] = add(rotations[k], mul(tr, after / 3));
    }
    return keys;
}

std::vector<TrackKey> camera_track(const std::vector<CameraKey>& keys) {
    std::vector<float> times;
    std::vector<Vec3> locations, rotations;
    for (const CameraKey& k : keys) {
        Vec3 e = camera_euler(k.eye, k.target, k.roll);
        // Keep the yaw continuous so the curve never spins the long way.
        if (!rotations.empty()) {
            float prev = rotations.back().y;
            while (e.y - prev > kPi) e.y -= 2 * kPi;
            while (e.y - prev < -kPi) e.y += 2 * kPi;
        }
        times.push_back(k.time);
        locations.push_back(k.eye);
        rotations.push_back(e);
    }
    return smooth_track(times, locations, rotations);
}

std::vector<TrackKey> camera_moves(const std::vector<CameraKey>& keys) {
    std::vector<TrackKey> track = camera_track(keys);
    // Handles on the key itself: the curve starts and stops with zero speed.
    for (TrackKey& k : track) {
        k.location[0] = k.location[2] = k.location[1];
        k.rotation[0] = k.rotation[2] = k.rotation[1];
    }
    return track;
}
