// Makes the five scene files of the demo under CONTENT_DIR/models and
// their light maps under CONTENT_DIR/textures.
// Usage: gen_scenes CONTENT_DIR
#include "geometry.h"
#include "music_sync.h"
#include "raster.h"
#include "robots.h"

#include "gfx/image_write.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>

namespace {

const float kPi = 3.14159265f;

int add_texture(SceneDesc* s, const std::string& path) {
    s->textures.push_back(path);
    return static_cast<int>(s->textures.size() - 1);
}

// Light maps made with the scenes, written beside the other textures; a
// deque, so atlases handed out stay put as more are added.
struct LightMapFile {
    std::string name;
    LightAtlas atlas;
};
std::deque<LightMapFile> light_maps;

// A light map of the scene: its texture index, and the atlas whose texels
// the caller fills.
struct LightMap {
    int texture;
    LightAtlas* atlas;
};
LightMap add_light_map(SceneDesc* s, const std::string& name, int width, int height) {
    light_maps.push_back({name, light_atlas(width, height)});
    return {add_texture(s, name), &light_maps.back().atlas};
}

// Closed, fully opaque surfaces: front faces only, no blending.
constexpr uint32_t kSolid = MATERIAL_CULL_BACK | MATERIAL_OPAQUE;

int add_material(SceneDesc* s, const std::string& name, std::vector<int> textures, uint32_t flags = 0,
                 float alpha = 1.0f) {
    SceneDescMaterial m;
    m.name = name;
    m.colour[3] = alpha;
    m.flags = flags;
    for (int t : textures) m.layers.push_back({t, COMBINE_MODULATE});
    s->materials.push_back(m);
    return static_cast<int>(s->materials.size() - 1);
}

int add_mesh(SceneDesc* s, SceneDescMesh mesh) {
    s->meshes.push_back(std::move(mesh));
    return static_cast<int>(s->meshes.size() - 1);
}

int add_object(SceneDesc* s, SceneDescObject o) {
    s->objects.push_back(std::move(o));
    return static_cast<int>(s->objects.size() - 1);
}

// A camera record and the animated object of the same name that holds it.
// Eased cameras stop on every key (separate moves); the others glide through.
void add_camera(SceneDesc* s, const std::string& name, const std::vector<CameraKey>& keys, bool eased = false) {
    s->cameras.push_back({name, 0});
    SceneDescObject o;
    o.name = name;
    o.flags = OBJECT_CAMERA;
    o.camera = static_cast<int>(s->cameras.size() - 1);
    o.location = keys.front().eye;
    o.rotation = camera_rotation(keys.front().eye, keys.front().target, keys.front().roll);
    if (keys.size() >= 2) {
        o.flags |= OBJECT_ANIMATED;
        o.keys = eased ? camera_moves(keys) : camera_track(keys);
    }
    add_object(s, o);
}

Paint paint(float r, float g, float b, float emissive = 0, float uv_scale = 2) {
    Paint p;
    p.r = r;
    p.g = g;
    p.b = b;
    p.emissive = emissive;
    p.uv_scale = uv_scale;
    return p;
}

// ---------------------------------------------------------------- circuits

Paint swatch(int s) {
    Paint p;
    p.uv_mode = UV_FIXED;
    p.u0 = 496.0f / 512.0f;
    p.v0 = (s * 64 + 32) / 512.0f;
    return p;
}

SceneDesc make_circuits() {
    SceneDesc s;
    int tex = add_texture(&s, "circuit.png");
    // One material for everything, since the block fades it by name; two
    // passes keep the boxes right without a depth test.
    int mat = add_material(&s, "Material", {tex}, MATERIAL_TWO_PASS);
    Matrix id = matrix_identity();

    MeshBuilder board = mesh_builder(baker_flat());
    mesh_use_material(&board, mat);
    Paint board_paint;
    board_paint.uv_mode = UV_BOARD;
    // Edges only: the top is the grid below, and the underside never faces the
    // camera; without a depth test it was shaded under every copy for nothing.
    mesh_box(&board, id, {-5, -5, -0.12f}, {5, 5, 0}, swatch(6), 0, 16 | 32);
    mesh_quad(&board, id, {-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}, board_paint, 8, 8);

    MeshBuilder parts = mesh_builder(baker_flat());
    mesh_use_material(&parts, mat);
    Rng rng{748};
    struct Chip {
        float x, y, w, h, z;
        int light;
    };
    const Chip chips[] = {{0.6f, 0.4f, 2.2f, 2.2f, 0.28f, 1},  {-2.9f, 2.6f, 1.4f, 0.9f, 0.22f, 3},
                          {-2.6f, -2.4f, 1.0f, 1.8f, 0.2f, 1}, {3.2f, -2.9f, 1.6f, 0.8f, 0.2f, 3},
                          {3.4f, 3.0f, 0.9f, 0.9f, 0.18f, 5},  {-0.8f, -3.4f, 1.2f, 0.7f, 0.16f, 3},
                          {-3.6f, 0.2f, 0.7f, 1.2f, 0.16f, 5}};
    auto clear_of_chips = [&](float x, float y, float margin) {
        for (const Chip& c : chips)
            if (std::fabs(x - c.x) < c.w / 2 + margin && std::fabs(y - c.y) < c.h / 2 + margin) return false;
        return true;
    };
    // Vias: glowing posts where traces change layer.
    for (int i = 0; i < 40; ++i) {
        float x = -4.6f + rng_float(&rng) * 9.2f, y = -4.6f + rng_float(&rng) * 9.2f;
        if (!clear_of_chips(x, y, 0.2f)) continue;
        Matrix m = place({x, y, 0}, 0, kPi / 2);
        mesh_cylinder(&parts, m, 0.07f, 0.05f, 0, 0.08f, 8, swatch(i % 3 == 0 ? 5 : 3));
    }
    for (const Chip& c : chips) {
        Vec3 lo{c.x - c.w / 2, c.y - c.h / 2, 0.02f}, hi{c.x + c.w / 2, c.y + c.h / 2, c.z};
        // Pins along the long sides, bent down to the board.
        bool along_x = c.w >= c.h;
        float len = along_x ? c.w : c.h;
        int pins = static_cast<int>(len / 0.18f);
        for (int p = 0; p < pins; ++p) {
            float t = -len / 2 + (p + 0.5f) * len / pins;
            for (int side = -1; side <= 1; side += 2) {
                float ox = along_x ? c.x + t : c.x + side * (c.w / 2 + 0.06f);
                float oy = along_x ? c.y + side * (c.h / 2 + 0.06f) : c.y + t;
                float hx = along_x ? 0.035f : 0.08f, hy = along_x ? 0.08f : 0.035f;
                mesh_box(&parts, id, {ox - hx, oy - hy, 0}, {ox + hx, oy + hy, 0.07f}, swatch(2));
            }
        }
        mesh_box(&parts, id, lo, hi, swatch(0), 0, 16);
        // A die window of lit cells, and a notch mark on top.
        int cols = std::max(2, static_cast<int>(c.w * 3)), rows = std::max(2, static_cast<int>(c.h * 3));
        float iw = c.w * 0.32f, ih = c.h * 0.32f;
        mesh_box(&parts, id, {c.x - iw - 0.04f, c.y - ih - 0.04f, c.z},
                 {c.x + iw + 0.04f, c.y + ih + 0.04f, c.z + 0.01f}, swatch(6), 0, 16);
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < cols; ++i) {
                if (rng_int(&rng, 0, 5) == 0) continue;
                float x0 = c.x - iw + 2 * iw * i / cols, y0 = c.y - ih + 2 * ih * j / rows;
                float x1 = x0 + 2 * iw / cols * 0.8f, y1 = y0 + 2 * ih / rows * 0.8f;
                mesh_box(&parts, id, {x0, y0, c.z + 0.01f}, {x1, y1, c.z + 0.02f},
                         swatch(rng_int(&rng, 0, 3) == 0 ? 4 : c.light), 0, 16);
            }
        mesh_box(&parts, id, {lo.x + 0.08f, hi.y - 0.2f, c.z}, {lo.x + 0.2f, hi.y - 0.08f, c.z + 0.015f}, swatch(4), 0,
                 16);
    }
    // Capacitors: short cans with glowing tops.
    for (int i = 0; i < 14; ++i) {
        float x = -4.4f + rng_float(&rng) * 8.8f, y = -4.4f + rng_float(&rng) * 8.8f;
        if (!clear_of_chips(x, y, 0.35f)) continue;
        Matrix m = place({x, y, 0}, 0, kPi / 2);
        mesh_cylinder(&parts, m, 0.16f, 0.16f, 0, 0.35f, 12, swatch(2));
        mesh_cylinder(&parts, m, 0.12f, 0.0f, 0.35f, 0.38f, 12, swatch(i % 2 ? 5 : 3), false);
    }

    MeshBuilder packet = mesh_builder(baker_flat());
    mesh_use_material(&packet, mat);
    mesh_box(&packet, id, {-0.14f, -0.05f, 0.0f}, {0.14f, 0.05f, 0.06f}, swatch(4));
    mesh_box(&packet, id, {-0.3f, -0.02f, 0.0f}, {-0.14f, 0.02f, 0.03f}, swatch(3));

    int board_mesh = add_mesh(&s, mesh_finish(board, "Board", PROFILE_TEXTURED));
    int parts_mesh = add_mesh(&s, mesh_finish(parts, "Parts", PROFILE_TEXTURED));
    int packet_mesh = add_mesh(&s, mesh_finish(packet, "Packet", PROFILE_TEXTURED));

    add_object(&s, scene_desc_mesh_object("Board", board_mesh));
    // Data packets racing along the board, each on its own lane and pace; a
    // run sets off on a beat and lasts three to six beats, then the packet
    // jumps back to the start of its lane just before the next one.
    for (int i = 0; i < 10; ++i) {
        SceneDescObject o = scene_desc_mesh_object("Packet" + std::to_string(i + 1), packet_mesh);
        bool vertical = i % 2 == 1;
        float lane = -4.2f + i * 0.93f;
        int period = 3 + i % 4;
        float phase = rng_float(&rng);
        int first = -rng_int(&rng, 0, period - 1);
        std::vector<float> times;
        std::vector<Vec3> locs, rots;
        for (int beat = first; beat <= sync_beats(kSyncCircuits) + period; beat += period) {
            float a = -5.2f + 10.4f * phase;
            float b = a + 10.4f * ((i % 3) ? 1 : -1);
            times.push_back(sync_beat_frame(kSyncCircuits, beat));
            times.push_back(sync_beat_frame(kSyncCircuits, beat + period) - 0.25f);
            Vec3 p0 = vertical ? Vec3{lane, a, 0.01f} : Vec3{a, lane, 0.01f};
            Vec3 p1 = vertical ? Vec3{lane, b, 0.01f} : Vec3{b, lane, 0.01f};
            float rz = (vertical ? kPi / 2 : 0) + ((i % 3) ? 0 : kPi);
            locs.push_back(p0);
            locs.push_back(p1);
            rots.push_back({0, 0, rz});
            rots.push_back({0, 0, rz});
        }
        std::vector<TrackKey> keys = smooth_track(times, locs, rots);
        // Straight runs: handles on the line, a third of the way along.
        for (size_t k = 0; k < keys.size(); ++k) {
            bool start = k % 2 == 0;
            Vec3 other = start ? locs[k + 1] : locs[k - 1];
            Vec3 here = locs[k];
            Vec3 third = {here.x + (other.x - here.x) / 3, here.y + (other.y - here.y) / 3,
                          here.z + (other.z - here.z) / 3};
            keys[k].location[start ? 2 : 0] = third;
            keys[k].location[start ? 0 : 2] = here;
            keys[k].rotation[0] = keys[k].rotation[2] = rots[k];
        }
        o.flags |= OBJECT_ANIMATED;
        o.keys = keys;
        o.location = locs[0];
        o.rotation = quat_euler(0, 0, rots[0].z);
        add_object(&s, o);
    }
    add_object(&s, scene_desc_mesh_object("Parts", parts_mesh));
    add_camera(&s, "Camera",
               {{0, {-3.0f, -5.5f, 8.5f}, {0.0f, 0.0f, 0}, -0.35f},
                {150, {0.0f, -5.2f, 7.4f}, {0.6f, 0.0f, 0}, -0.15f},
                {300, {3.4f, -3.0f, 6.6f}, {0.8f, 0.4f, 0}, 0.1f},
                {450, {3.8f, 2.0f, 6.0f}, {0.4f, 0.6f, 0}, 0.35f},
                {600, {0.5f, 4.2f, 5.4f}, {0.2f, 0.6f, 0}, 0.55f},
                {760, {-3.0f, 2.2f, 4.6f}, {0.3f, 0.6f, 0}, 0.8f}});
    return s;
}

// ---------------------------------------------------------------- warehouse

const float kFloor = -1.0f;
const float kCeiling = 8.0f;
const float kX0 = -2, kX1 = 26, kZ0 = -12, kZ1 = 16;

// Box faces that lie on the floor, a shelf, the ceiling or a wall, or end
// inside another box: no camera ever sees them, yet each was rasterised.
const int kSkipEndsX = 1 | 2;
const int kSkipBottom = 4;
const int kSkipTop = 8;
const int kSkipEndsZ = 16 | 32;

// Where a block's cameras can stand, in the scene's space.
struct CameraRegion {
    Vec3 lo, hi;
};

// The robot blocks' cameras and the reflection capture, from their keys with
// a margin.
const CameraRegion kWarehouseCameras = {{3.0f, -0.95f, -7.0f}, {21.0f, 2.6f, 11.0f}};

// A closed box hides its own faces that turn away from every camera: the
// depth test then rejects them, but only after they were rasterised, and
// shaded too when drawn before the faces in front. The box is lo..hi in the
// axes of m; the region is taken into them by its corners, which only ever
// widens it.
int faces_turned_away(const CameraRegion& cameras, const Matrix& m, Vec3 lo, Vec3 hi) {
    Matrix inverse = matrix_inverse(m);
    Vec3 clo = {1e9f, 1e9f, 1e9f}, chi = {-1e9f, -1e9f, -1e9f};
    for (int corner = 0; corner < 8; ++corner) {
        Vec3 p = matrix_transform_point(inverse, (corner & 1) ? cameras.hi.x : cameras.lo.x,
                                        (corner & 2) ? cameras.hi.y : cameras.lo.y,
                                        (corner & 4) ? cameras.hi.z : cameras.lo.z);
        clo = {std::min(clo.x, p.x), std::min(clo.y, p.y), std::min(clo.z, p.z)};
        chi = {std::max(chi.x, p.x), std::max(chi.y, p.y), std::max(chi.z, p.z)};
    }
    int skip = 0;
    if (clo.x >= lo.x) skip |= 1;
    if (chi.x <= hi.x) skip |= 2;
    if (clo.y >= lo.y) skip |= 4;
    if (chi.y <= hi.y) skip |= 8;
    if (clo.z >= lo.z) skip |= 16;
    if (chi.z <= hi.z) skip |= 32;
    return skip;
}

void warehouse_box(MeshBuilder* b, Vec3 lo, Vec3 hi, const Paint& paint, float cell = 0, int skip_faces = 0) {
    const Matrix id = matrix_identity();
    mesh_box(b, id, lo, hi, paint, cell, skip_faces | faces_turned_away(kWarehouseCameras, id, lo, hi));
}

std::vector<Light> warehouse_lights() {
    std::vector<Light> l;
    const float lamps[][2] = {{4, -4}, {12, -5}, {20, -4}, {4, 9}, {20, 9}, {12, 11}};
    for (auto& p : lamps) l.push_back({{p[0], 6.0f, p[1]}, 1.0f, 0.55f, 0.2f, 0.9f, 4.5f});
    l.push_back({{12, 5.5f, 2}, 0.2f, 0.8f, 1.0f, 1.1f, 4.0f});   // cyan spot over the dance floor
    l.push_back({{12, -0.6f, 2}, 0.1f, 0.6f, 0.9f, 0.35f, 2.5f}); // the floor ring's own light
    l.push_back({{kX0 + 0.5f, 0.0f, 2}, 1.0f, 0.4f, 0.05f, 0.5f, 3.0f});
    l.push_back({{kX1 - 0.5f, 0.0f, 2}, 1.0f, 0.4f, 0.05f, 0.5f, 3.0f});
    return l;
}

void warehouse_rack(MeshBuilder* b, int steel, int crates, float x0, float x1, float z, float depth, Rng* rng) {
    Paint upright = paint(0.95f, 0.45f, 0.08f, 0, 1); // orange-painted steel
    Paint beam = paint(0.55f, 0.6f, 0.7f, 0, 1);
    Paint crate = paint(1, 1, 1, 0, 1.1f);
    int bays = static_cast<int>((x1 - x0) / 2.5f);
    float levels[] = {kFloor + 0.15f, 0.9f, 2.7f, 4.5f};
    for (int i = 0; i <= bays; ++i) {
        float x = x0 + i * 2.5f;
        mesh_use_material(b, steel);
        for (float dz : {0.0f, depth})
            warehouse_box(b, {x - 0.06f, kFloor, z + dz - 0.06f}, {x + 0.06f, 5.6f, z + dz + 0.06f}, upright, 1.0f,
                          kSkipBottom);
        if (i == bays) break;
        for (float y : levels) {
            mesh_use_material(b, steel);
            warehouse_box(b, {x, y - 0.1f, z - 0.05f}, {x + 2.5f, y, z + 0.05f}, beam, 1.0f, kSkipEndsX);
            warehouse_box(b, {x, y - 0.1f, z + depth - 0.05f}, {x + 2.5f, y, z + depth + 0.05f}, beam, 1.0f,
                          kSkipEndsX);
            warehouse_box(b, {x + 0.05f, y - 0.02f, z}, {x + 2.45f, y, z + depth}, paint(0.35f, 0.36f, 0.4f, 0, 1),
                          1.0f);
            // Crates on most shelves, never all the same.
            mesh_use_material(b, crates);
            float cx = x + 0.15f;
            while (cx < x + 2.2f) {
                float w = 0.55f + rng_float(rng) * 0.45f;
                if (cx + w > x + 2.4f) break;
                float h = std::min(0.5f + rng_float(rng) * 0.6f, 1.6f);
                if (rng_int(rng, 0, 4) > 0)
                    warehouse_box(b, {cx, y, z + 0.1f}, {cx + w, y + h, z + depth - 0.1f}, crate, 0.6f, kSkipBottom);
                cx += w + 0.08f;
            }
        }
    }
}

void warehouse_crate_stack(MeshBuilder* b, float x, float z, int count, Rng* rng) {
    Paint crate = paint(1, 1, 1, 0, 1.2f);
    float y = kFloor;
    for (int i = 0; i < count; ++i) {
        float size = 1.1f - i * 0.12f;
        float yaw = (rng_float(rng) - 0.5f) * 0.5f;
        Matrix m = place({x + (rng_float(rng) - 0.5f) * 0.2f, y, z + (rng_float(rng) - 0.5f) * 0.2f}, yaw);
        mesh_box(b, m, {-size / 2, 0, -size / 2}, {size / 2, size, size / 2}, crate, 0.55f, i == 0 ? kSkipBottom : 0);
        y += size;
    }
}

SceneDesc make_armazem() {
    SceneDesc s;
    int t_floor = add_texture(&s, "concrete.png");
    int t_metal = add_texture(&s, "metal_panel.png");
    int t_crate = add_texture(&s, "crate.vtx");
    int t_lamp = add_texture(&s, "lamp.vtx");
    // The floor, walls and ceiling keep their light in maps on unit 1.
    LightMap floor_light = add_light_map(&s, "armazem_floor_light.png", 64, 64);
    LightMap walls_light = add_light_map(&s, "armazem_walls_light.png", 128, 64);
    int m_floor = add_material(&s, "Floor", {t_floor, floor_light.texture}, kSolid);
    int m_walls = add_material(&s, "Walls", {t_metal, walls_light.texture}, kSolid);
    int m_steel = add_material(&s, "Steel", {t_metal}, kSolid);
    int m_crates = add_material(&s, "Crates", {t_crate}, kSolid);
    int m_lights = add_material(&s, "Lights", {t_lamp}, kSolid);

    Matrix id = matrix_identity();
    Baker bake = baker_lights(warehouse_lights(), 0.03f, kFloor);
    Rng rng{527};

    MeshBuilder shell = mesh_builder(bake);
    mesh_use_material(&shell, m_floor);
    mesh_quad_mapped(&shell, floor_light.atlas, id, {kX0, kFloor, kZ1}, {kX1, kFloor, kZ1}, {kX1, kFloor, kZ0},
                     {kX0, kFloor, kZ0}, paint(0.85f, 0.85f, 0.85f, 0, 4), 56, 56);
    mesh_use_material(&shell, m_walls);
    Paint wall = paint(0.55f, 0.6f, 0.7f, 0, 4);
    int nx = static_cast<int>((kX1 - kX0) / 0.7f), nz = static_cast<int>((kZ1 - kZ0) / 0.7f), ny = 13;
    mesh_quad_mapped(&shell, walls_light.atlas, id, {kX0, kFloor, kZ0}, {kX1, kFloor, kZ0}, {kX1, kCeiling, kZ0},
                     {kX0, kCeiling, kZ0}, wall, nx, ny);
    mesh_quad_mapped(&shell, walls_light.atlas, id, {kX1, kFloor, kZ1}, {kX0, kFloor, kZ1}, {kX0, kCeiling, kZ1},
                     {kX1, kCeiling, kZ1}, wall, nx, ny);
    mesh_quad_mapped(&shell, walls_light.atlas, id, {kX0, kFloor, kZ1}, {kX0, kFloor, kZ0}, {kX0, kCeiling, kZ0},
                     {kX0, kCeiling, kZ1}, wall, nz, ny);
    mesh_quad_mapped(&shell, walls_light.atlas, id, {kX1, kFloor, kZ0}, {kX1, kFloor, kZ1}, {kX1, kCeiling, kZ1},
                     {kX1, kCeiling, kZ0}, wall, nz, ny);
    mesh_quad_mapped(&shell, walls_light.atlas, id, {kX0, kCeiling, kZ0}, {kX1, kCeiling, kZ0}, {kX1, kCeiling, kZ1},
                     {kX0, kCeiling, kZ1}, paint(0.25f, 0.27f, 0.3f, 0, 4), 20, 20);

    MeshBuilder steel = mesh_builder(bake);
    // Most of the steel lies far from the lamps, where its light barely
    // changes along a beam; cells there only cost the rasteriser triangles.
    steel.light_tolerance = 1.0f / 255.0f;
    mesh_use_material(&steel, m_steel);
    // Pillars and the roof trusses between them.
    for (float x : {2.0f, 8.0f, 16.0f, 22.0f})
        for (float z : {-6.0f, 10.0f}) {
            warehouse_box(&steel, {x - 0.3f, kFloor, z - 0.3f}, {x + 0.3f, kCeiling, z + 0.3f},
                          paint(0.6f, 0.62f, 0.68f, 0, 2), 0.6f, kSkipBottom | kSkipTop);
            warehouse_box(&steel, {x - 0.34f, kFloor, z - 0.34f}, {x + 0.34f, kFloor + 0.9f, z + 0.34f},
                          paint(1.0f, 0.55f, 0.05f, 0, 1), 0.45f, kSkipBottom);
        }
    for (float z : {-6.0f, 10.0f})
        warehouse_box(&steel, {kX0, 7.2f, z - 0.2f}, {kX1, 7.6f, z + 0.2f}, paint(0.5f, 0.52f, 0.58f, 0, 2), 1.0f,
                      kSkipEndsX);
    for (float x : {2.0f, 8.0f, 16.0f, 22.0f})
        warehouse_box(&steel, {x - 0.2f, 7.2f, kZ0}, {x + 0.2f, 7.6f, kZ1}, paint(0.5f, 0.52f, 0.58f, 0, 2), 1.0f,
                      kSkipEndsZ);
    warehouse_rack(&steel, m_steel, m_crates, 0.0f, 24.5f, -11.4f, 1.1f, &rng);
    warehouse_rack(&steel, m_steel, m_crates, 0.0f, 9.0f, 14.2f, 1.1f, &rng);
    warehouse_rack(&steel, m_steel, m_crates, 15.5f, 24.5f, 14.2f, 1.1f, &rng);
    mesh_use_material(&steel, m_crates);
    warehouse_crate_stack(&steel, 4.5f, 4.5f, 3, &rng);
    warehouse_crate_stack(&steel, 5.8f, 5.2f, 2, &rng);
    warehouse_crate_stack(&steel, 4.9f, 6.3f, 1, &rng);
    warehouse_crate_stack(&steel, 20.0f, -1.5f, 2, &rng);
    warehouse_crate_stack(&steel, 21.2f, -0.8f, 3, &rng);
    warehouse_crate_stack(&steel, 19.5f, 6.5f, 1, &rng);
    warehouse_crate_stack(&steel, 0.5f, -3.0f, 2, &rng);
    warehouse_crate_stack(&steel, 23.5f, 11.0f, 2, &rng);

    MeshBuilder lights = mesh_builder(bake);
    // Hanging lamps: dark housing, blazing underside, a cable to the roof.
    const float lamps[][2] = {{4, -4}, {12, -5}, {20, -4}, {4, 9}, {20, 9}, {12, 11}};
    for (auto& p : lamps) {
        mesh_use_material(&lights, m_steel);
        mesh_cylinder(&lights, place({p[0], 6.25f, p[1]}), 0.7f, 0.25f, 0, 0.5f, 16, paint(0.3f, 0.3f, 0.32f, 0, 1));
        mesh_cylinder(&lights, place({p[0], 6.75f, p[1]}), 0.02f, 0.02f, 0, 1.25f, 4, paint(0.2f, 0.2f, 0.2f));
        mesh_use_material(&lights, m_lights);
        mesh_ring(&lights, place({p[0], 6.24f, p[1]}, 0, kPi), 0.0f, 0.66f, 16, paint(1.0f, 0.75f, 0.45f, 1.0f));
    }
    // Cyan spot housing over the dance floor and the ring around it.
    mesh_use_material(&lights, m_lights);
    mesh_ring(&lights, place({12, kFloor + 0.03f, 2}), 2.3f, 2.45f, 64, paint(0.3f, 0.95f, 1.0f, 1.0f));
    mesh_ring(&lights, place({12, kFloor + 0.03f, 2}), 2.9f, 2.95f, 64, paint(1.0f, 0.5f, 0.1f, 0.8f));
    mesh_ring(&lights, place({12, 5.6f, 2}, 0, kPi), 0.0f, 0.45f, 24, paint(0.6f, 1.0f, 1.0f, 1.0f));
    // Glowing strips along the foot of the walls and signs on them.
    Paint strip = paint(1.0f, 0.45f, 0.05f, 1.0f);
    warehouse_box(&lights, {kX0 + 0.01f, kFloor + 0.3f, kZ0 + 0.5f}, {kX0 + 0.06f, kFloor + 0.4f, kZ1 - 0.5f}, strip);
    warehouse_box(&lights, {kX1 - 0.06f, kFloor + 0.3f, kZ0 + 0.5f}, {kX1 - 0.01f, kFloor + 0.4f, kZ1 - 0.5f}, strip);
    Paint sign = paint(0.2f, 0.9f, 1.0f, 1.0f);
    for (float x : {5.0f, 12.0f, 19.0f})
        warehouse_box(&lights, {x - 1.0f, 5.0f, kZ0 + 0.01f}, {x + 1.0f, 5.25f, kZ0 + 0.06f}, sign);
    for (float z : {-5.0f, 9.0f}) {
        warehouse_box(&lights, {kX0 + 0.01f, 4.6f, z - 1.5f}, {kX0 + 0.06f, 4.8f, z + 1.5f}, sign);
        warehouse_box(&lights, {kX1 - 0.06f, 4.6f, z - 1.5f}, {kX1 - 0.01f, 4.8f, z + 1.5f}, sign);
    }
    // Painted aisle lines.
    Paint line = paint(0.9f, 0.6f, 0.1f, 0.15f);
    for (float z : {-8.5f, 12.0f})
        warehouse_box(&lights, {kX0 + 1, kFloor, z - 0.06f}, {kX1 - 1, kFloor + 0.04f, z + 0.06f}, line, 1.0f,
                      kSkipBottom);

    // Everything stands inside the shell, so it goes last: the depth test then
    // rejects the walls and floor behind the racks before they are shaded.
    add_object(&s, scene_desc_mesh_object("Structure", add_mesh(&s, mesh_finish(steel, "Structure", PROFILE_LIT))));
    add_object(&s, scene_desc_mesh_object("Lights", add_mesh(&s, mesh_finish(lights, "Lights", PROFILE_LIT))));
    add_object(&s, scene_desc_mesh_object("Shell", add_mesh(&s, mesh_finish(shell, "Shell", PROFILE_MAPPED))));

    // The robot dances at (12, -1, 2); the camera circles it in six moves of
    // two bars each, from bar line to bar line.
    std::vector<CameraKey> keys;
    const int bars = (kSyncWarehouse.end_ms - kSyncWarehouse.start_ms) / kBarMs;
    for (int k = 0; k <= bars / 2; ++k) {
        float t = sync_frame(kSyncWarehouse, kSyncWarehouse.start_ms + k * 2 * kBarMs);
        float m = k * 2.3f; // spread the old path's shape over the fewer keys
        float a = 0.6f + m * 0.55f;
        float r = 7.2f + 0.5f * std::sin(m * 0.9f); // far enough to keep raised arms and feet in frame
        float h = 0.6f + 1.4f * std::sin(m * 0.7f + 1.0f);
        Vec3 eye = {12 + r * std::sin(a), h, 2 + r * std::cos(a)};
        Vec3 target = {12 + 0.3f * std::sin(m * 1.3f), 0.25f + 0.15f * std::sin(m * 0.8f), 2};
        keys.push_back({t, eye, target, 0.0f});
    }
    add_camera(&s, "CAMXDD", keys, true);
    return s;
}

// ---------------------------------------------------------------- shaft

const float kHalf = 4.0f; // half width of the shaft

// The shaft's camera stands still near the axis; the storey is drawn above
// and below it, so in the storey's space it can be at any height.
const CameraRegion kShaftCameras = {{1.0f, -1000.0f, 1.2f}, {2.2f, 1000.0f, 2.4f}};

void shaft_box(MeshBuilder* b, const Matrix& m, Vec3 lo, Vec3 hi, const Paint& paint, float cell = 0,
               int skip_faces = 0) {
    mesh_box(b, m, lo, hi, paint, cell, skip_faces | faces_turned_away(kShaftCameras, m, lo, hi));
}

SceneDesc make_level_elements() {
    SceneDesc s;
    int t_wall = add_texture(&s, "shaft_wall.png");
    int t_metal = add_texture(&s, "metal_panel.png");
    int t_lamp = add_texture(&s, "lamp.vtx");
    LightMap wall_light = add_light_map(&s, "shaft_walls_light.png", 64, 32);
    int m_wall = add_material(&s, "Shaft", {t_wall, wall_light.texture}, kSolid);
    int m_steel = add_material(&s, "Steel", {t_metal}, kSolid);
    int m_glow = add_material(&s, "Glow", {t_lamp}, kSolid);

    // Lamps in every storey; copies above and below keep the light seamless
    // where storeys meet.
    std::vector<Light> lights;
    for (float dy : {-10.0f, 0.0f, 10.0f}) {
        for (int c = 0; c < 4; ++c) {
            float a = kPi / 4 + c * kPi / 2;
            bool warm = c % 2 == 0;
            lights.push_back({{3.2f * std::cos(a), 0.6f + dy, 3.2f * std::sin(a)},
                              warm ? 1.0f : 0.2f,
                              warm ? 0.5f : 0.8f,
                              warm ? 0.1f : 1.0f,
                              0.9f,
                              3.5f});
        }
        lights.push_back({{0, 5.0f + dy, 0}, 0.3f, 0.7f, 1.0f, 0.25f, 5.0f});
    }
    Baker bake = baker_lights(lights, 0.02f, -100.0f);
    Matrix id = matrix_identity();

    // The walls keep their light in a map, so they are a mesh of their own.
    MeshBuilder walls = mesh_builder(bake);
    mesh_use_material(&walls, m_wall);
    Paint wall = paint(0.8f, 0.85f, 0.9f, 0, 4);
    wall.uv_scale = 8;
    const float H = 10.0f;
    mesh_quad_mapped(&walls, wall_light.atlas, id, {-kHalf, 0, -kHalf}, {kHalf, 0, -kHalf}, {kHalf, H, -kHalf},
                     {-kHalf, H, -kHalf}, wall, 12, 16);
    mesh_quad_mapped(&walls, wall_light.atlas, id, {kHalf, 0, kHalf}, {-kHalf, 0, kHalf}, {-kHalf, H, kHalf},
                     {kHalf, H, kHalf}, wall, 12, 16);
    mesh_quad_mapped(&walls, wall_light.atlas, id, {-kHalf, 0, kHalf}, {-kHalf, 0, -kHalf}, {-kHalf, H, -kHalf},
                     {-kHalf, H, kHalf}, wall, 12, 16);
    mesh_quad_mapped(&walls, wall_light.atlas, id, {kHalf, 0, -kHalf}, {kHalf, 0, kHalf}, {kHalf, H, kHalf},
                     {kHalf, H, -kHalf}, wall, 12, 16);

    MeshBuilder b = mesh_builder(bake);
    mesh_use_material(&b, m_steel);
    Paint steel = paint(0.55f, 0.58f, 0.65f, 0, 2);
    // Corner columns, the ring girder of the landing and cross braces.
    for (int c = 0; c < 4; ++c) {
        float x = (c & 1) ? kHalf - 0.35f : -kHalf + 0.35f, z = (c & 2) ? kHalf - 0.35f : -kHalf + 0.35f;
        // The ends meet the columns of the storeys above and below.
        shaft_box(&b, id, {x - 0.35f, 0, z - 0.35f}, {x + 0.35f, H, z + 0.35f}, steel, 0.8f, kSkipBottom | kSkipTop);
        mesh_cylinder(&b, place({x * 0.8f + (c & 1 ? -0.3f : 0.3f), 0, z * 0.8f}), 0.12f, 0.12f, 0, H, 10,
                      paint(0.8f, 0.4f, 0.1f, 0, 1), false);
    }
    for (int side = 0; side < 4; ++side) {
        Matrix m = place({0, 0, 0}, side * kPi / 2);
        shaft_box(&b, m, {-kHalf, 0.0f, -kHalf}, {kHalf, 0.5f, -kHalf + 0.6f}, steel, 0.8f);
        shaft_box(&b, m, {-kHalf + 0.7f, 0.5f, -kHalf}, {kHalf - 0.7f, 0.62f, -kHalf + 0.35f},
                  paint(0.4f, 0.42f, 0.46f, 0, 1), 0.8f);
    }
    mesh_use_material(&b, m_glow);
    // A glowing band under every landing and vertical light bars.
    for (int side = 0; side < 4; ++side) {
        Matrix m = place({0, 0, 0}, side * kPi / 2);
        shaft_box(&b, m, {-kHalf + 0.7f, 0.08f, -kHalf + 0.6f}, {kHalf - 0.7f, 0.2f, -kHalf + 0.64f},
                  paint(1.0f, 0.5f, 0.08f, 1.0f), 1.0f);
        shaft_box(&b, m, {-0.08f, 1.5f, -kHalf}, {0.08f, 8.5f, -kHalf + 0.05f}, paint(0.3f, 0.9f, 1.0f, 1.0f), 1.0f);
    }
    for (int c = 0; c < 4; ++c) {
        float a = kPi / 4 + c * kPi / 2;
        mesh_sphere(&b, place({3.35f * std::cos(a), 0.75f, 3.35f * std::sin(a)}), 0.16f, 10, 6,
                    c % 2 == 0 ? paint(1.0f, 0.7f, 0.35f, 1.0f) : paint(0.5f, 0.95f, 1.0f, 1.0f));
    }
    int storey = add_mesh(&s, mesh_finish(b, "Storey", PROFILE_LIT));

    // The five equaliser pieces: unit length along local z, stretched by the
    // block with five spectrum bands.
    int pieces[5];
    const Paint tips[5] = {paint(1.0f, 0.45f, 0.05f, 1.0f), paint(1.0f, 0.65f, 0.15f, 1.0f),
                           paint(0.95f, 0.95f, 0.85f, 1.0f), paint(0.4f, 0.9f, 1.0f, 1.0f),
                           paint(0.15f, 0.7f, 1.0f, 1.0f)};
    for (int k = 0; k < 5; ++k) {
        MeshBuilder p = mesh_builder(baker_flat());
        mesh_use_material(&p, m_glow);
        for (int seg = 0; seg < 6; ++seg) {
            float z0 = seg * 0.36f, z1 = z0 + 0.3f;
            Paint c = tips[k];
            float fade = 0.5f + 0.1f * seg;
            c.r *= fade;
            c.g *= fade;
            c.b *= fade;
            mesh_box(&p, id, {-0.45f, -0.25f, z0}, {0.45f, 0.25f, z1}, c);
        }
        mesh_use_material(&p, m_steel);
        mesh_box(&p, id, {-0.6f, -0.4f, -0.15f}, {0.6f, 0.4f, 0.0f}, paint(0.4f, 0.42f, 0.46f));
        pieces[k] = add_mesh(&s, mesh_finish(p, "Bar" + std::to_string(k + 1), PROFILE_LIT));
    }

    add_object(&s, scene_desc_mesh_object("Storey", storey));
    // Behind everything else in the storey, so drawn after it.
    add_object(&s, scene_desc_mesh_object("Walls", add_mesh(&s, mesh_finish(walls, "Walls", PROFILE_MAPPED))));
    for (int k = 0; k < 5; ++k) {
        float a = k * 2 * kPi / 5 + 0.3f;
        // On the wall, pointing into the shaft: local z towards the axis.
        float r = kHalf - 0.02f;
        float cx = std::cos(a), cz = std::sin(a);
        float scale = r / std::max(std::fabs(cx), std::fabs(cz));
        SceneDescObject o = scene_desc_mesh_object("C" + std::to_string(k + 1), pieces[k],
                                                   {cx * scale * 0.98f, 1.2f + k * 1.9f, cz * scale * 0.98f});
        o.rotation = quat_axis_angle({0, 1, 0}, std::atan2(-cx, -cz));
        o.scale = {1, 1, 1};
        add_object(&s, o);
    }
    add_camera(&s, "Camera", {{0, {1.6f, -6.0f, 1.8f}, {-1.2f, 6.0f, -1.4f}, 0.25f}});
    return s;
}

bool write_scene(const std::filesystem::path& root, const std::string& name, const SceneDesc& s) {
    std::filesystem::create_directories(root / "models");
    bool ok = scene_write_file(s, (root / "models" / name).string());
    size_t faces = 0, verts = 0;
    for (const SceneDescMesh& m : s.meshes) {
        verts += m.vertex_count;
        for (const SceneDescGroup& g : m.groups) faces += g.indices.size() / 3;
    }
    std::printf("gen_scenes: %-22s %5zu vertices %6zu faces %3zu objects%s\n", name.c_str(), verts, faces,
                s.objects.size(), ok ? "" : "  WRITE FAILED");
    return ok;
}

bool write_light_map(const std::filesystem::path& root, const LightMapFile& f) {
    std::filesystem::create_directories(root / "textures");
    bool ok = image_write_png((root / "textures" / f.name).string(), f.atlas.width, f.atlas.height, 3,
                              light_atlas_bytes(f.atlas).data());
    if (!ok) std::fprintf(stderr, "gen_scenes: cannot write %s\n", f.name.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_scenes CONTENT_DIR\n");
        return 2;
    }
    auto started = std::chrono::steady_clock::now();
    std::filesystem::path root = argv[1];
    bool ok = true;
    ok &= write_scene(root, "circuits.vscene", make_circuits());
    ok &= write_scene(root, "armazem.vscene", make_armazem());
    ok &= write_scene(root, "robot_wheee.vscene", make_robot_wheee());
    ok &= write_scene(root, "robot_wheee_glow.vscene", make_robot_wheee_glow());
    ok &= write_scene(root, "robot_afropowa.vscene", make_robot_afropowa());
    ok &= write_scene(root, "robot_afropowa_glow.vscene", make_robot_afropowa_glow());
    ok &= write_scene(root, "level_elements.vscene", make_level_elements());
    for (const LightMapFile& f : light_maps) ok &= write_light_map(root, f);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("gen_scenes: %s in %.2f s\n", ok ? "done" : "FAILED", seconds);
    return ok ? 0 : 1;
}
