#include "robots.h"

#include "geometry.h"
#include "music_sync.h"
#include "raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

const Vec3 kRobotSpot = {12.0f, 0.0f, 2.0f};

namespace {

const float kPi = 3.14159265f;

enum Bone {
    B_ROOT,
    B_SPINE,
    B_CHEST,
    B_HEAD,
    B_CLAV_L,
    B_UARM_L,
    B_FARM_L,
    B_HAND_L,
    B_CLAV_R,
    B_UARM_R,
    B_FARM_R,
    B_HAND_R,
    B_HIP_L,
    B_THIGH_L,
    B_SHIN_L,
    B_FOOT_L,
    B_HIP_R,
    B_THIGH_R,
    B_SHIN_R,
    B_FOOT_R,
    B_EXTRA, // antenna (robot one) or hair (robot two)
    BONE_COUNT
};

const int kParents[BONE_COUNT] = {-1,        B_ROOT,   B_SPINE,  B_CHEST,  B_CHEST,   B_CLAV_L, B_UARM_L,
                                  B_FARM_L,  B_CHEST,  B_CLAV_R, B_UARM_R, B_FARM_R,  B_ROOT,   B_HIP_L,
                                  B_THIGH_L, B_SHIN_L, B_ROOT,   B_HIP_R,  B_THIGH_R, B_SHIN_R, B_HEAD};

// Proportions: every bone's head sits at its parent's tail, so the rest
// pose skins to the identity.
struct Proportions {
    float spine, chest, neck, shoulder, upper_arm, forearm, hand, hip, thigh, shin, foot, extra;
};

struct Skeleton {
    std::array<Vec3, BONE_COUNT> tail;
    std::array<Vec3, BONE_COUNT> head;
};

Skeleton skeleton(const Proportions& p) {
    Skeleton s;
    s.tail[B_ROOT] = {0, 0, 0};
    s.tail[B_SPINE] = {0, p.spine, 0};
    s.tail[B_CHEST] = {0, p.chest, 0};
    s.tail[B_HEAD] = {0, p.neck, 0};
    for (int side = 0; side < 2; ++side) {
        float sx = side == 0 ? 1.0f : -1.0f;
        int o = side * 4;
        s.tail[B_CLAV_L + o] = {sx * p.shoulder, -0.04f, 0};
        s.tail[B_UARM_L + o] = {sx * 0.03f, -p.upper_arm, 0};
        s.tail[B_FARM_L + o] = {sx * 0.02f, -p.forearm, 0};
        s.tail[B_HAND_L + o] = {0, -p.hand, 0};
        s.tail[B_HIP_L + o] = {sx * p.hip, -0.08f, 0};
        s.tail[B_THIGH_L + o] = {0, -p.thigh, 0};
        s.tail[B_SHIN_L + o] = {0, -p.shin, 0};
        s.tail[B_FOOT_L + o] = {0, 0, p.foot};
    }
    s.tail[B_EXTRA] = {0, p.extra, 0};
    for (int b = 0; b < BONE_COUNT; ++b) {
        int parent = kParents[b];
        s.head[b] = parent < 0 ? Vec3{0, 0, 0}
                               : Vec3{s.head[parent].x + s.tail[parent].x, s.head[parent].y + s.tail[parent].y,
                                      s.head[parent].z + s.tail[parent].z};
    }
    return s;
}

Vec3 at(const Skeleton& s, int bone, float along = 0) {
    return {s.head[bone].x + s.tail[bone].x * along, s.head[bone].y + s.tail[bone].y * along,
            s.head[bone].z + s.tail[bone].z * along};
}

Paint part(float r, float g, float b, float reflect, float glow = 0) {
    Paint p;
    p.r = r;
    p.g = g;
    p.b = b;
    p.uv_mode = UV_PARAMS;
    p.reflect = reflect;
    p.glow = glow;
    return p;
}

// A limb segment: a tapered cylinder from the bone's head to its tail.
void limb(MeshBuilder* b, const Skeleton& s, int bone, float r0, float r1, const Paint& paint, float shrink = 0.0f) {
    Vec3 h = at(s, bone), t = at(s, bone, 1);
    b->bind = bind_rigid(bone);
    float y0 = h.y - shrink, y1 = t.y + shrink;
    mesh_cylinder(b, place({(h.x + t.x) / 2, 0, (h.z + t.z) / 2}), r0, r1, y0, y1, 14, paint);
}

void joint(MeshBuilder* b, Vec3 p, int bone, float r, const Paint& paint) {
    b->bind = bind_rigid(bone);
    mesh_sphere(b, place(p), r, 12, 8, paint);
}

// A closed round part on one bone and where its indices lie in the group.
struct Blob {
    Vec3 centre, radii;
    size_t begin, end;
};

// Inside one of these parts a triangle of another is hidden from every side.
// The test uses `inner` of each radius: the parts are polygons inside their
// spheres, and at full detail a tenth less keeps the test inside the
// polygons as well; coarser polygons lie further inside.
bool inside_blob(const Blob& blob, Vec3 p, float inner) {
    float x = (p.x - blob.centre.x) / (inner * blob.radii.x), y = (p.y - blob.centre.y) / (inner * blob.radii.y),
          z = (p.z - blob.centre.z) / (inner * blob.radii.z);
    return x * x + y * y + z * z < 1.0f;
}

// Drops the triangles of the afro's puffs that lie wholly inside another
// puff or the afro itself: all ride the same bone, so nothing ever shows
// them, yet each costs the rasteriser its setup in every pass.
void drop_hidden_in_blobs(MeshBuilder* b, const std::vector<Blob>& blobs) {
    std::vector<uint32_t>& indices = b->groups[b->group];
    // At half detail a puff has 6 x 4 facets: widened to the full puff's
    // area, their flats still come within about 0.85 of its radius.
    const float inner = b->detail < 1 ? 0.75f : 0.9f;
    std::vector<uint32_t> kept(indices.begin(), indices.begin() + static_cast<long>(blobs.front().begin));
    for (size_t owner = 0; owner < blobs.size(); ++owner)
        for (size_t t = blobs[owner].begin; t + 2 < blobs[owner].end; t += 3) {
            bool hidden = false;
            for (size_t other = 0; other < blobs.size() && !hidden; ++other) {
                if (other == owner) continue;
                hidden = inside_blob(blobs[other], b->vertices[indices[t]].p, inner) &&
                         inside_blob(blobs[other], b->vertices[indices[t + 1]].p, inner) &&
                         inside_blob(blobs[other], b->vertices[indices[t + 2]].p, inner);
            }
            if (!hidden) kept.insert(kept.end(), {indices[t], indices[t + 1], indices[t + 2]});
        }
    kept.insert(kept.end(), indices.begin() + static_cast<long>(blobs.back().end), indices.end());
    indices = std::move(kept);
}

void box_on(MeshBuilder* b, int bone, Vec3 lo, Vec3 hi, const Paint& paint) {
    b->bind = bind_rigid(bone);
    mesh_box(b, matrix_identity(), lo, hi, paint);
}

// ------------------------------------------------------------ pose helpers

// A dance pose: Euler angles per bone plus the leg work, which is applied
// once after blending so that the feet stay on the floor.
struct Pose {
    std::array<Vec3, BONE_COUNT> euler{}; // x, y, z angles per bone
    Vec3 root_offset{0, 0, 0};
    float bend = 0;         // knee bend, the pelvis dropping to keep the feet down
    float lift[2] = {0, 0}; // knee lift of the left and right leg, radians
};

void pose_add(Pose* into, const Pose& p, float w) {
    for (int b = 0; b < BONE_COUNT; ++b) {
        into->euler[b].x += p.euler[b].x * w;
        into->euler[b].y += p.euler[b].y * w;
        into->euler[b].z += p.euler[b].z * w;
    }
    into->root_offset.x += p.root_offset.x * w;
    into->root_offset.y += p.root_offset.y * w;
    into->root_offset.z += p.root_offset.z * w;
    into->bend += p.bend * w;
    into->lift[0] += p.lift[0] * w;
    into->lift[1] += p.lift[1] * w;
}

float smoothstep(float a, float b, float t) {
    t = std::clamp((t - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// Music helpers; b is the time in beats from the block's start, and every
// accent (a foot landing, the fastest instant of an arm hit, the bottom of
// a nod) falls on a whole beat.
float beat_phase(float b) { return b - std::floor(b); }

// 0 on the beat, 1 half-way: the height of a step, landing on the
// next beat with some speed left so the landing reads.
float lift(float b) { return std::sin(kPi * beat_phase(b)); }

// 1 on the beat, 0 half-way, arriving sharply: a nod that hits the beat.
float hit(float b) { return 1 - lift(b); }

// 1 on the beat, 0 half-way, smoothly: the knees settle into the beat. The
// body bounce is soft so that it never blurs the arms' hits.
float dip(float b) { return 0.5f + 0.5f * std::cos(2 * kPi * beat_phase(b)); }

float parity(float k) { return std::fmod(std::fabs(k), 2.0f) > 0.5f ? 1.0f : 0.0f; }

// Switches 0 -> 1 -> 0 on successive beats; each switch takes w beats either
// side of the beat, so the limb moves fastest exactly on it.
float alternate(float b, float w) {
    float k = std::round(b);
    return parity(k - 1) + (parity(k) - parity(k - 1)) * smoothstep(-w, w, b - k);
}

// alternate() within a move from beat first to beat last: held on the bar
// lines where the move starts and ends, so that the change of move is the
// only snap on those beats; -1 or +1.
float swing(float b, float w, float first, float last) {
    float k = std::round(b);
    float from = parity(std::clamp(k - 1, first, last - 1)), to = parity(std::clamp(k, first, last - 1));
    return 2 * (from + (to - from) * smoothstep(-w, w, b - k)) - 1;
}

// Counts beats, stepping up by one across each beat like alternate().
float ticks(float b, float w) {
    float k = std::round(b);
    return k - 1 + smoothstep(-w, w, b - k);
}

// The foot that is in the air during beat floor(b): left on even beats,
// right on odd ones, so one foot lands on every beat.
void step(Pose* p, float b, float height) {
    int side = static_cast<int>(parity(std::floor(b)));
    p->lift[side] += height * lift(b);
}

// Weight of a section from beat a to beat c; the hand-over is a snap like
// any other accent, fastest on the bar line.
float section(float b, float a, float c) {
    const float w = 0.18f;
    return smoothstep(a - w, a + w, b) * (1 - smoothstep(c - w, c + w, b));
}

// Knees bend by k with the pelvis dropping to keep the feet down; a lifted
// leg raises its knee and tucks its shin.
void pose_legs(Pose* p, const Skeleton& s) {
    float k = p->bend;
    for (int side = 0; side < 2; ++side) {
        int o = side * 4;
        float a = k + p->lift[side];
        p->euler[B_THIGH_L + o].x += -a;
        p->euler[B_SHIN_L + o].x += 2 * a;
        p->euler[B_FOOT_L + o].x += -a;
    }
    float thigh = -s.tail[B_THIGH_L].y, shin = -s.tail[B_SHIN_L].y;
    p->root_offset.y -= (thigh + shin) * (1 - std::cos(k));
}

// Pose frames sampled from the dance in music time: keys on every beat and
// 15 between, at the frames the block will ask for.
SceneDescArmature dance_armature(const Skeleton& s, const SyncBlock& block, Pose (*dance)(float, const Skeleton&)) {
    const int per_beat = 16;
    SceneDescArmature a;
    a.name = "Armature";
    for (int b = 0; b < BONE_COUNT; ++b) a.bones.push_back({kParents[b], s.tail[b], s.head[b]});
    int last = static_cast<int>(std::ceil(sync_beats(block) * per_beat)) + 1;
    for (int j = -1; j <= last; ++j) {
        float beats = static_cast<float>(j) / per_beat;
        Pose p = dance(beats, s);
        pose_legs(&p, s);
        SceneDescFrame f;
        f.time = sync_beat_frame(block, beats);
        for (int b = 0; b < BONE_COUNT; ++b) {
            f.rotations.push_back(quat_euler(p.euler[b].x, p.euler[b].y, p.euler[b].z));
            f.locations.push_back(b == B_ROOT ? p.root_offset : Vec3{0, 0, 0});
        }
        a.frames.push_back(f);
    }
    return a;
}

// ------------------------------------------------------------ robot one

const Proportions kWheee = {0.3f, 0.65f, 0.35f, 0.3f, 0.42f, 0.38f, 0.14f, 0.15f, 0.44f, 0.42f, 0.16f, 0.25f};

MeshBuilder wheee_body(const Skeleton& s, float detail = 1) {
    MeshBuilder b = mesh_builder(baker_flat());
    b.detail = detail;
    mesh_use_material(&b, 0);
    const Paint metal = part(0.30f, 0.32f, 0.37f, 0.75f);
    const Paint dark = part(0.10f, 0.10f, 0.12f, 0.4f);
    const Paint orange = part(1.0f, 0.42f, 0.06f, 0.35f);
    const Paint core = part(1.0f, 0.55f, 0.12f, 0.0f, 1.0f);
    const Paint visor = part(0.25f, 0.9f, 1.0f, 0.0f, 1.0f);

    // Pelvis and a segmented waist that bends with the spine.
    box_on(&b, B_ROOT, {-0.21f, -0.14f, -0.13f}, {0.21f, 0.06f, 0.13f}, metal);
    box_on(&b, B_ROOT, {-0.23f, -0.06f, -0.14f}, {0.23f, -0.02f, 0.14f}, orange);
    for (int i = 0; i < 3; ++i) {
        b.bind = bind_blend_y(B_ROOT, B_SPINE, 0.0f, 0.25f);
        mesh_cylinder(&b, place({0, 0, 0}), 0.14f - i * 0.01f, 0.12f - i * 0.01f, 0.04f + i * 0.09f, 0.11f + i * 0.09f,
                      14, i % 2 ? dark : metal);
    }
    // Chest: a wedge of plates around a glowing core.
    box_on(&b, B_CHEST, {-0.27f, 0.36f, -0.16f}, {0.27f, 0.88f, 0.16f}, metal);
    box_on(&b, B_CHEST, {-0.3f, 0.72f, -0.18f}, {0.3f, 0.9f, 0.18f}, orange);
    box_on(&b, B_CHEST, {-0.2f, 0.4f, 0.16f}, {0.2f, 0.5f, 0.19f}, dark);
    b.bind = bind_rigid(B_CHEST);
    mesh_cylinder(&b, place({0, 0.63f, 0.15f}, 0, kPi / 2), 0.1f, 0.1f, 0.0f, 0.05f, 20, core);
    mesh_ring(&b, place({0, 0.63f, 0.201f}, 0, kPi / 2), 0.11f, 0.14f, 20, orange);
    // Neck, head with visor, antenna.
    limb(&b, s, B_HEAD, 0.06f, 0.06f, dark);
    b.bind = bind_rigid(B_HEAD);
    mesh_sphere(&b, place({0, 1.13f, 0}), 0.18f, 16, 10, metal, {1.0f, 0.85f, 1.05f});
    box_on(&b, B_HEAD, {-0.13f, 1.1f, 0.12f}, {0.13f, 1.17f, 0.2f}, visor);
    box_on(&b, B_HEAD, {-0.19f, 1.05f, -0.04f}, {-0.16f, 1.2f, 0.06f}, orange);
    box_on(&b, B_HEAD, {0.16f, 1.05f, -0.04f}, {0.19f, 1.2f, 0.06f}, orange);
    limb(&b, s, B_EXTRA, 0.015f, 0.01f, dark);
    joint(&b, at(s, B_EXTRA, 1), B_EXTRA, 0.04f, core);

    for (int side = 0; side < 2; ++side) {
        int o = side * 4;
        float sx = side == 0 ? 1.0f : -1.0f;
        joint(&b, at(s, B_UARM_L + o), B_UARM_L + o, 0.1f, orange);
        limb(&b, s, B_UARM_L + o, 0.075f, 0.065f, metal);
        joint(&b, at(s, B_FARM_L + o), B_FARM_L + o, 0.075f, dark);
        limb(&b, s, B_FARM_L + o, 0.07f, 0.055f, metal);
        Vec3 w = at(s, B_FARM_L + o, 0.7f);
        b.bind = bind_rigid(B_FARM_L + o);
        mesh_cylinder(&b, place(w), 0.074f, 0.068f, -0.02f, 0.02f, 14, part(0.3f, 0.9f, 1.0f, 0, 1));
        Vec3 h = at(s, B_HAND_L + o);
        box_on(&b, B_HAND_L + o, {h.x - 0.045f, h.y - 0.12f, h.z - 0.05f}, {h.x + 0.045f, h.y, h.z + 0.05f}, dark);
        box_on(&b, B_HAND_L + o, {h.x - sx * 0.02f - 0.015f, h.y - 0.09f, h.z + 0.05f},
               {h.x - sx * 0.02f + 0.015f, h.y - 0.02f, h.z + 0.09f}, dark);

        joint(&b, at(s, B_THIGH_L + o), B_THIGH_L + o, 0.09f, dark);
        limb(&b, s, B_THIGH_L + o, 0.095f, 0.075f, metal);
        joint(&b, at(s, B_SHIN_L + o), B_SHIN_L + o, 0.08f, orange);
        limb(&b, s, B_SHIN_L + o, 0.075f, 0.06f, metal);
        Vec3 k = at(s, B_SHIN_L + o, 0.5f);
        box_on(&b, B_SHIN_L + o, {k.x - 0.02f, k.y - 0.15f, 0.06f}, {k.x + 0.02f, k.y + 0.15f, 0.085f},
               part(0.3f, 0.9f, 1.0f, 0, 1));
        Vec3 f = at(s, B_FOOT_L + o);
        box_on(&b, B_FOOT_L + o, {f.x - 0.08f, -1.0f, f.z - 0.09f}, {f.x + 0.08f, f.y + 0.02f, f.z + 0.22f}, metal);
        box_on(&b, B_FOOT_L + o, {f.x - 0.085f, -1.0f, f.z + 0.16f}, {f.x + 0.085f, -0.96f, f.z + 0.23f}, orange);
    }
    return b;
}

// Robot one, 36-60 s: twelve bars in five moves that change on bar lines
// and follow the song: two phrases of six bars, and the build-up from 51.4 s
// taken up at the next bar line (52 s, beat 32). It steps on every beat.
Pose wheee_dance(float b, const Skeleton&) {
    const float w = 0.16f; // how long a snap takes, in beats either side
    const float wings = 12, pops = 24;
    const float build = sync_bar_after(kSyncRobotOne, kBuildUpMs), top = build + 8;
    float nod = hit(b);
    Pose out;

    // Bars 1-3, groove: marching in place, fists pumping in turn, chest
    // twisting against them, a nod on every beat.
    Pose a;
    float sw = swing(b, w, -8, wings);
    step(&a, b, 0.45f);
    a.bend = 0.14f + 0.12f * dip(b);
    a.euler[B_UARM_L].x = -0.35f - 0.45f * sw;
    a.euler[B_UARM_R].x = -0.35f + 0.45f * sw;
    a.euler[B_FARM_L].x = a.euler[B_FARM_R].x = -1.0f;
    a.euler[B_CHEST].y = 0.2f * sw;
    a.euler[B_HEAD].x = 0.16f * nod;
    a.euler[B_EXTRA].z = 0.3f * sw;

    // Bars 4-6, "wheee": arms out like wings banking from side to side,
    // turning on the spot a quarter turn per beat (below).
    Pose v;
    sw = swing(b, w, wings, pops);
    step(&v, b, 0.35f);
    v.bend = 0.1f + 0.1f * dip(b);
    v.euler[B_UARM_L].z = 1.45f + 0.3f * sw;
    v.euler[B_UARM_R].z = -1.45f + 0.3f * sw;
    v.euler[B_CHEST].z = 0.18f * sw;
    v.euler[B_HEAD].z = -0.15f * sw;
    v.euler[B_HEAD].x = 0.1f * nod;
    v.euler[B_EXTRA].z = -0.5f * sw;

    // Bars 7-8, robot pops: four arm positions a bar, one per beat.
    Pose c;
    sw = swing(b, w, pops, build);
    step(&c, b, 0.35f);
    c.bend = 0.14f + 0.1f * dip(b);
    const Vec3 arms[4][4] = {
        // upper arm L, forearm L, upper arm R, forearm R (Euler x, y, z)
        {{0, 0, 2.6f}, {0, 0, 0}, {0, 0, -2.6f}, {0, 0, 0}},         // arms up
        {{0, 0, 1.5f}, {0, 0, 1.5f}, {0, 0, -1.5f}, {0, 0, -1.5f}},  // goalposts
        {{0, 0, 1.5f}, {0, 0, -1.5f}, {0, 0, -1.5f}, {0, 0, 1.5f}},  // elbows out, hands down
        {{-1.5f, 0, 0.1f}, {0, 0, 0}, {-1.5f, 0, -0.1f}, {0, 0, 0}}, // arms straight ahead
    };
    {
        // Held still on the bar lines in and out, where the whole move
        // changes, so that only one snap lands on those beats.
        float k = std::round(b);
        float u = smoothstep(-w, w, b - k);
        int from = static_cast<int>(std::clamp(k - 1, pops, build - 1)) % 4,
            to = static_cast<int>(std::clamp(k, pops, build - 1)) % 4;
        const int bones[4] = {B_UARM_L, B_FARM_L, B_UARM_R, B_FARM_R};
        for (int i = 0; i < 4; ++i) {
            Vec3 p = arms[from][i], q = arms[to][i];
            c.euler[bones[i]] = {p.x + (q.x - p.x) * u, p.y + (q.y - p.y) * u, p.z + (q.z - p.z) * u};
        }
    }
    c.euler[B_CHEST].z = 0.14f * sw;
    c.euler[B_HEAD].z = 0.25f * sw;
    c.euler[B_HEAD].x = 0.12f * nod;
    c.euler[B_EXTRA].z = 0.6f * sw;

    // Bars 9-10, the build-up: punching the sky in turn, dipping harder.
    Pose d;
    sw = swing(b, w, build, top);
    step(&d, b, 0.4f);
    d.bend = 0.15f + 0.2f * dip(b);
    d.euler[B_UARM_L].z = 1.8f + 0.9f * sw;
    d.euler[B_UARM_R].z = -1.8f + 0.9f * sw;
    d.euler[B_FARM_L].z = 0.8f * (1 - sw) * 0.5f;
    d.euler[B_FARM_R].z = -0.8f * (1 + sw) * 0.5f;
    d.euler[B_HEAD].x = 0.22f * nod;
    d.euler[B_EXTRA].x = 0.5f * sw;

    // Bars 11-12, the top of the build-up: high-kneed stomping with the arms
    // up in a V, pumping in turn, head banging.
    Pose e;
    sw = swing(b, w, top, top + 20);
    step(&e, b, 0.65f);
    e.bend = 0.2f + 0.15f * dip(b);
    e.euler[B_UARM_L].z = 2.45f + 0.3f * sw;
    e.euler[B_UARM_R].z = -2.45f + 0.3f * sw;
    e.euler[B_FARM_L].z = 0.5f * (1 + sw) * 0.5f;
    e.euler[B_FARM_R].z = -0.5f * (1 - sw) * 0.5f;
    e.euler[B_HEAD].x = -0.1f + 0.35f * nod;
    e.euler[B_EXTRA].x = 0.6f * sw;

    pose_add(&out, a, section(b, -8, wings));
    pose_add(&out, v, section(b, wings, pops));
    pose_add(&out, c, section(b, pops, build));
    pose_add(&out, d, section(b, build, top));
    pose_add(&out, e, section(b, top, top + 20));
    // Two whole turns, a quarter turn on each beat from beat 13 to beat 20
    // (not on the bar lines, where the arms change), outside the blend so
    // leaving the move never unwinds them.
    out.euler[B_ROOT].y += std::clamp(ticks(b, 0.3f) - wings, 0.0f, 8.0f) * (kPi / 2);
    return out;
}

// ------------------------------------------------------------ robot two

const Proportions kAfro = {0.28f, 0.55f, 0.3f, 0.36f, 0.38f, 0.34f, 0.14f, 0.18f, 0.4f, 0.38f, 0.18f, 0.2f};

MeshBuilder afro_body(const Skeleton& s, float detail = 1) {
    MeshBuilder b = mesh_builder(baker_flat());
    b.detail = detail;
    mesh_use_material(&b, 0);
    const Paint pearl = part(0.62f, 0.64f, 0.7f, 0.5f);
    const Paint dark = part(0.12f, 0.12f, 0.15f, 0.4f);
    const Paint cyan = part(0.25f, 0.9f, 1.0f, 0.1f, 1.0f);
    const Paint gold = part(1.0f, 0.6f, 0.15f, 0.8f);
    const Paint flare = part(1.0f, 0.35f, 0.05f, 0.3f, 0.15f);

    // Barrel torso with a belt and a glowing collar.
    box_on(&b, B_ROOT, {-0.26f, -0.14f, -0.17f}, {0.26f, 0.08f, 0.17f}, dark);
    box_on(&b, B_ROOT, {-0.28f, 0.0f, -0.19f}, {0.28f, 0.06f, 0.19f}, gold);
    b.bind = bind_blend_y(B_SPINE, B_CHEST, 0.25f, 0.45f);
    mesh_cylinder(&b, place({0, 0, 0}), 0.24f, 0.34f, 0.06f, 0.5f, 20, pearl);
    b.bind = bind_rigid(B_CHEST);
    mesh_cylinder(&b, place({0, 0, 0}), 0.34f, 0.3f, 0.5f, 0.78f, 20, pearl);
    mesh_cylinder(&b, place({0, 0, 0}), 0.2f, 0.16f, 0.78f, 0.84f, 20, cyan);
    for (int i = 0; i < 3; ++i)
        joint(&b, {0, 0.62f - i * 0.12f, 0.33f - i * 0.01f}, B_CHEST, 0.035f, i == 0 ? cyan : gold);
    // Round head, big eyes, and the glowing afro on its own bouncing bone.
    b.bind = bind_rigid(B_HEAD);
    mesh_sphere(&b, place({0, 1.0f, 0}), 0.21f, 18, 12, pearl);
    for (float ex : {-0.08f, 0.08f}) {
        joint(&b, {ex, 1.02f, 0.18f}, B_HEAD, 0.05f, cyan);
        joint(&b, {ex, 1.02f, 0.205f}, B_HEAD, 0.022f, dark);
    }
    box_on(&b, B_HEAD, {-0.07f, 0.9f, 0.17f}, {0.07f, 0.92f, 0.2f}, gold);
    Rng rng{242};
    b.bind = bind_rigid(B_EXTRA);
    const Vec3 afro = {0, 1.24f, -0.1f};
    std::vector<Blob> blobs = {{afro, {0.3f * 1.15f, 0.3f * 0.9f, 0.3f}, b.groups[b.group].size(), 0}};
    mesh_sphere(&b, place(afro), 0.3f, 16, 10, part(0.9f, 0.3f, 0.05f, 0.2f, 0.55f), {1.15f, 0.9f, 1.0f});
    blobs.back().end = b.groups[b.group].size();
    for (int i = 0; i < 46; ++i) {
        float a = rng_float(&rng) * 2 * kPi, e = rng_float(&rng) * 1.3f - 0.2f;
        Vec3 p = {0.34f * std::cos(e) * std::cos(a), 1.24f + 0.27f * std::sin(e),
                  -0.1f + 0.3f * std::cos(e) * std::sin(a)};
        if (p.z > -0.05f && p.y < 1.2f) continue; // keep the face clear
        // The colour draws its number first, as the puffs were first made.
        const Paint puff = part(1.0f, 0.35f + rng_float(&rng) * 0.3f, 0.08f, 0.1f, 0.7f);
        float r = 0.07f + rng_float(&rng) * 0.04f;
        blobs.push_back({p, {r, r, r}, b.groups[b.group].size(), 0});
        joint(&b, p, B_EXTRA, r, puff);
        blobs.back().end = b.groups[b.group].size();
    }
    drop_hidden_in_blobs(&b, blobs);

    for (int side = 0; side < 2; ++side) {
        int o = side * 4;
        joint(&b, at(s, B_UARM_L + o), B_UARM_L + o, 0.13f, gold);
        limb(&b, s, B_UARM_L + o, 0.09f, 0.08f, pearl);
        joint(&b, at(s, B_FARM_L + o), B_FARM_L + o, 0.09f, dark);
        limb(&b, s, B_FARM_L + o, 0.085f, 0.1f, pearl);
        Vec3 h = at(s, B_HAND_L + o);
        joint(&b, {h.x, h.y - 0.06f, h.z}, B_HAND_L + o, 0.08f, dark);
        b.bind = bind_rigid(B_FARM_L + o);
        mesh_cylinder(&b, place(at(s, B_FARM_L + o, 0.85f)), 0.105f, 0.105f, -0.02f, 0.02f, 14, cyan);

        joint(&b, at(s, B_THIGH_L + o), B_THIGH_L + o, 0.11f, dark);
        limb(&b, s, B_THIGH_L + o, 0.12f, 0.1f, pearl);
        joint(&b, at(s, B_SHIN_L + o), B_SHIN_L + o, 0.1f, gold);
        // Bell-bottoms: the shin flares out towards the boot.
        limb(&b, s, B_SHIN_L + o, 0.09f, 0.16f, flare);
        Vec3 f = at(s, B_FOOT_L + o);
        box_on(&b, B_FOOT_L + o, {f.x - 0.1f, -0.9f, f.z - 0.12f}, {f.x + 0.1f, f.y + 0.04f, f.z + 0.22f}, pearl);
        box_on(&b, B_FOOT_L + o, {f.x - 0.11f, -1.0f, f.z - 0.13f}, {f.x + 0.11f, -0.9f, f.z + 0.23f}, cyan);
    }
    return b;
}

// Robot two, 60-71.8 s, the song's variation: three moves of two bars,
// stepping on every beat, the afro bobbing a little behind.
Pose afro_dance(float b, const Skeleton&) {
    float sw = 2 * alternate(b, 0.22f) - 1;
    float nod = hit(b);
    float bob = 0.2f * std::sin(kPi * (b - 0.3f));
    Pose out;

    // Bars 1-2: side to side, fists up, shoulders popping with the hips.
    Pose a;
    step(&a, b, 0.4f);
    a.bend = 0.14f + 0.12f * dip(b);
    a.euler[B_CHEST].z = 0.2f * sw;
    a.euler[B_UARM_L].z = 0.55f + 0.25f * sw;
    a.euler[B_UARM_R].z = -0.55f + 0.25f * sw;
    a.euler[B_FARM_L].x = a.euler[B_FARM_R].x = -1.4f;
    a.euler[B_HEAD].z = -0.15f * sw;
    a.euler[B_HEAD].x = 0.12f * nod;
    a.euler[B_EXTRA].z = bob;

    // Bars 3-4, the disco point: right arm up to the sky on one beat, down
    // across the body on the next, left hand on the hip.
    Pose c;
    float up = alternate(b + 1, 0.22f);
    step(&c, b, 0.35f);
    c.bend = 0.12f + 0.12f * dip(b);
    c.euler[B_UARM_R].z = -0.3f - 2.3f * up;
    c.euler[B_UARM_R].x = -0.5f * (1 - up);
    c.euler[B_UARM_R].y = 0.5f * (1 - up);
    c.euler[B_UARM_L].z = 0.7f;
    c.euler[B_FARM_L].z = -1.9f;
    c.euler[B_ROOT].y = 0.35f * (up - 0.5f);
    c.euler[B_HEAD].z = 0.25f * (up - 0.5f);
    c.euler[B_HEAD].x = -0.15f * up + 0.1f * nod;
    c.euler[B_EXTRA].x = bob;

    // Bars 5-6: rolling arms, the roll surging on each beat, and in the last
    // bar a quarter turn per beat back round to the front.
    Pose r;
    float roll = kPi * (0.3f * b + 0.7f * ticks(b, 0.35f));
    step(&r, b, 0.35f);
    r.bend = 0.2f + 0.12f * dip(b);
    r.euler[B_UARM_L].x = -1.2f + 0.35f * std::sin(roll);
    r.euler[B_UARM_R].x = -1.2f - 0.35f * std::sin(roll);
    r.euler[B_FARM_L].x = -1.0f + 0.6f * std::cos(roll);
    r.euler[B_FARM_R].x = -1.0f - 0.6f * std::cos(roll);
    r.euler[B_HEAD].x = 0.15f * nod;
    r.euler[B_EXTRA].z = bob;

    pose_add(&out, a, section(b, -8, 8));
    pose_add(&out, c, section(b, 8, 16));
    pose_add(&out, r, section(b, 16, 40));
    out.euler[B_ROOT].y += std::clamp(ticks(b, 0.3f) - 19.0f, 0.0f, 4.0f) * (kPi / 2);
    return out;
}

SceneDesc robot_scene(MeshBuilder body, const Skeleton& s, const SyncBlock& block,
                      Pose (*dance)(float, const Skeleton&)) {
    SceneDesc d;
    SceneDescMaterial m;
    m.name = "Material";
    m.flags = MATERIAL_CULL_BACK | MATERIAL_OPAQUE; // every part is closed, the shader writes alpha 1
    d.materials.push_back(m);
    d.meshes.push_back(mesh_finish(body, "Body", PROFILE_SKINNED));
    d.armatures.push_back(dance_armature(s, block, dance));

    SceneDescObject arm;
    arm.name = "Armature";
    arm.location = kRobotSpot;
    arm.flags = OBJECT_ARMATURE;
    arm.armature = 0;
    d.objects.push_back(arm);
    SceneDescObject mesh;
    mesh.name = "Body";
    mesh.flags = OBJECT_MESH | OBJECT_PARENT;
    mesh.parent = 0;
    mesh.mesh = 0;
    d.objects.push_back(mesh);
    return d;
}

} // namespace

SceneDesc make_robot_wheee() {
    Skeleton s = skeleton(kWheee);
    return robot_scene(wheee_body(s), s, kSyncRobotOne, wheee_dance);
}

// The robots as the glow pass sees them: 256 x 256 texels for the whole
// frame, blurred, where most of a full robot's triangles would cover less
// than a texel. Same armature and dance, half the segments.
SceneDesc make_robot_wheee_glow() {
    Skeleton s = skeleton(kWheee);
    return robot_scene(wheee_body(s, 0.5f), s, kSyncRobotOne, wheee_dance);
}

SceneDesc make_robot_afropowa_glow() {
    Skeleton s = skeleton(kAfro);
    return robot_scene(afro_body(s, 0.5f), s, kSyncRobotTwo, afro_dance);
}

SceneDesc make_robot_afropowa() {
    Skeleton s = skeleton(kAfro);
    SceneDesc d = robot_scene(afro_body(s), s, kSyncRobotTwo, afro_dance);
    // Block 6 sees the warehouse and the robot through this camera: low,
    // close and swinging from side to side, a key on every bar line.
    std::vector<CameraKey> keys;
    for (int k = 0; k <= 6; ++k) {
        float t = sync_beat_frame(kSyncRobotTwo, 4.0 * k);
        float m = k * 1.6f;
        float a = 0.1f + 0.85f * std::sin(m * 0.55f);
        float r = 6.5f + 0.8f * std::sin(m * 1.1f + 0.5f);
        float h = -0.4f + 1.4f * (0.5f + 0.5f * std::sin(m * 0.8f));
        Vec3 eye = {kRobotSpot.x + r * std::sin(a), h, kRobotSpot.z + r * std::cos(a)};
        Vec3 target = {kRobotSpot.x, 0.35f + 0.15f * std::sin(m * 0.9f), kRobotSpot.z};
        keys.push_back({t, eye, target, 0.12f * std::sin(m * 0.7f)});
    }
    d.cameras.push_back({"Camera", 0});
    SceneDescObject cam;
    cam.name = "Camera";
    cam.flags = OBJECT_CAMERA | OBJECT_ANIMATED;
    cam.camera = 0;
    cam.location = keys[0].eye;
    cam.rotation = camera_rotation(keys[0].eye, keys[0].target, keys[0].roll);
    cam.keys = camera_track(keys);
    d.objects.push_back(cam);
    return d;
}
