// Mesh building for the scene generator: primitives placed by a matrix,
// per-vertex light baking, skin bindings, and conversion to the scene
// writer's records in the layouts of vertexprofiles.vsl.
#pragma once

#include "math/math3d.h"
#include "scene/scene_writer.h"

#include <functional>
#include <string>
#include <vector>

// Profile numbers, as in content/scripts/vertexprofiles.vsl.
enum {
    PROFILE_LIT = 0,      // position, normal, colour, uv: 48 bytes
    PROFILE_TEXTURED = 1, // position, normal, uv: 32 bytes
    PROFILE_SKINNED = 2,  // position, normal, colour, uv, 4 bone ints, 4 weights: 80 bytes
    PROFILE_MAPPED = 3,   // position, normal, uv, light-map uv: 40 bytes
};
int profile_stride(int profile);

struct Vertex {
    Vec3 p{0, 0, 0};
    Vec3 n{0, 1, 0};
    float colour[4] = {1, 1, 1, 1};
    float uv[2] = {0, 0};
    float light_uv[2] = {0, 0};
    int32_t bones[4] = {0, 0, 0, 0};
    float weights[4] = {1, 0, 0, 0};
};

// What a surface looks like: albedo, light it gives off, texture scale
// (world units per texture repeat; 0 keeps the explicit uv), and for the
// robots the two shader parameters (reflectivity, glow).
enum { UV_PLANAR = 0, UV_FIXED = 1, UV_BOARD = 2, UV_PARAMS = 3 };

struct Paint {
    float r = 1, g = 1, b = 1;
    int uv_mode = UV_PLANAR;
    float emissive = 0;
    float uv_scale = 1;
    float reflect = 0;
    float glow = 0;
    float u0 = 0, v0 = 0; // fixed uv when uv_scale is 0
};

struct Light {
    Vec3 position;
    float r, g, b;
    float intensity;
    float radius;
};

// Colour from the lights at a point; emissive paint shines by itself.
using Baker = std::function<void(const Vec3& p, const Vec3& n, const Paint& paint, float out[4])>;
Baker baker_lights(std::vector<Light> lights, float ambient, float floor_y);
Baker baker_flat();

// Which bones move a vertex (robots): up to four with weights summing to 1.
using Binder = std::function<void(const Vec3& p, Vertex* v)>;
Binder bind_rigid(int bone);
// Blends from bone a (at y <= y0) to bone b (at y >= y1).
Binder bind_blend_y(int a, int b, float y0, float y1);

struct MeshBuilder {
    std::vector<Vertex> vertices;
    std::vector<std::vector<uint32_t>> groups; // indexed by group slot
    std::vector<int32_t> group_materials;
    int group = 0;
    Baker bake;
    Binder bind;
    // When above 0, boxes keep only the cells their light needs: the fewest
    // whose light, drawn as triangles, stays this close to the full grid's
    // at every corner of it, in every channel.
    float light_tolerance = 0;
    // Below 1, scales the segments and rings of cylinders, spheres and discs:
    // for a copy of a mesh that is only ever drawn small.
    float detail = 1;
};

MeshBuilder mesh_builder(Baker bake);
// Selects (adding when new) the group that draws with scene material m.
void mesh_use_material(MeshBuilder* b, int material);

// A quad p0 p1 p2 p3 counter-clockwise seen from the front, split into
// nu x nv cells so that baked light has resolution.
void mesh_quad(MeshBuilder* b, const Matrix& m, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, const Paint& paint, int nu = 1,
               int nv = 1);
// Baked light kept in a texture instead of in the vertices: a large flat
// quad then costs two triangles instead of two per cell, which the software
// rasteriser pays for in every pass. Each quad gets a block of texels, one
// per corner of its cells, with a border that repeats its edge so filtering
// never reaches a neighbour; texel centres sit on the cell corners, so the
// light between them is the same blend of the same values.
struct LightAtlas {
    int width = 0;
    int height = 0;         // both powers of two, fixed when made
    std::vector<float> rgb; // width x height, rows from the top
    int shelf_x = 0, shelf_y = 0, shelf_height = 0;
};
LightAtlas light_atlas(int width, int height);
// Like mesh_quad, with the light in the atlas and the vertices white; the
// vertices carry light-map coordinates for PROFILE_MAPPED. Exits when the
// atlas is full: its size is a constant of the content.
void mesh_quad_mapped(MeshBuilder* b, LightAtlas* atlas, const Matrix& m, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3,
                      const Paint& paint, int nu, int nv);
// 8-bit RGB rows, top first.
std::vector<uint8_t> light_atlas_bytes(const LightAtlas& atlas);

// Axis-aligned box (in the matrix's space) from lo to hi; faces are cut into
// cells of at most `cell` units (0: one quad per face), or fewer where the
// builder's light tolerance allows. skip_faces bits:
// 1 -x, 2 +x, 4 -y, 8 +y, 16 -z, 32 +z.
void mesh_box(MeshBuilder* b, const Matrix& m, Vec3 lo, Vec3 hi, const Paint& paint, float cell = 0,
              int skip_faces = 0);
// Cylinder or cone frustum along local y from y0 to y1.
void mesh_cylinder(MeshBuilder* b, const Matrix& m, float r0, float r1, float y0, float y1, int segments,
                   const Paint& paint, bool caps = true);
void mesh_sphere(MeshBuilder* b, const Matrix& m, float radius, int segments, int rings, const Paint& paint,
                 Vec3 squash = {1, 1, 1});
// Flat ring in the xz plane facing +y.
void mesh_ring(MeshBuilder* b, const Matrix& m, float r0, float r1, int segments, const Paint& paint);

// Placement helpers.
Matrix place(Vec3 t, float yaw = 0, float pitch = 0, float roll = 0);

SceneDescMesh mesh_finish(const MeshBuilder& b, const std::string& name, int profile, bool buffered = true);

// Camera keys: where the camera is and what it looks at.
struct CameraKey {
    float time;
    Vec3 eye;
    Vec3 target;
    float roll;
};
// Track keys with smooth handles (cubic Hermite turned Bezier); the camera
// looks along its local -z, y up.
std::vector<TrackKey> camera_track(const std::vector<CameraKey>& keys);
// Separate moves: the camera eases out of each key and into the next, at
// rest on every key, so a move begins and ends exactly on its key's time.
std::vector<TrackKey> camera_moves(const std::vector<CameraKey>& keys);
Vec4 camera_rotation(Vec3 eye, Vec3 target, float roll);
// Plain location/rotation keys (Euler angles) with smooth handles.
std::vector<TrackKey> smooth_track(const std::vector<float>& times, const std::vector<Vec3>& locations,
                                   const std::vector<Vec3>& rotations);

Vec4 quat_axis_angle(Vec3 axis, float angle);
Vec4 quat_mul(Vec4 a, Vec4 b);
Vec4 quat_euler(float x, float y, float z);
