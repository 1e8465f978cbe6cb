// The scene walk: nodes become objects (parents first), cameras and meshes
// their data, skins armatures whose pose frames are resampled from the
// animation, and animated nodes get object tracks in frame numbers.
#include "gltf_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

constexpr size_t kMaxBones = 32; // what the skinning shader's matrix array holds
constexpr double kMaxFrames = 100000;
// Frames x nodes x (skins + 1) transforms to resample: ample for real
// models, and it keeps a crafted file from taking minutes.
constexpr double kMaxFrameWork = 5e6;

struct Channel {
    int node = -1;
    int path = 0;          // 0 translation, 1 rotation, 2 scale
    int interpolation = 0; // 0 linear, 1 step, 2 cubic spline
    std::vector<double> times;
    GltfValues values;
};

struct Walk {
    const tinygltf::Model* model = nullptr;
    GltfContext ctx;
    std::vector<int> parent; // per node, -1 for roots
    std::vector<int> order;  // every node, parents before children
    std::vector<int> rank;   // position in order
    std::vector<Trs> rest;   // static local transforms
    std::vector<Channel> channels;
    double duration = 0;
    int frames = 0;             // samples 0 .. frames - 1
    std::vector<int> object_of; // node -> object, -1 when not emitted
};

std::string node_label(const Walk& w, int node) {
    return gltf_label("node", w.model->nodes[node].name, static_cast<size_t>(node));
}

std::string node_name(const Walk& w, int node) {
    const std::string& n = w.model->nodes[node].name;
    return n.empty() ? "node" + std::to_string(node) : n;
}

bool in_range(int index, size_t size) { return index >= 0 && static_cast<size_t>(index) < size; }

// Parents, a parents-first order and the rest transforms; refuses indices
// out of range, second parents and cycles.
bool check_nodes(Walk* w, std::string* error) {
    const tinygltf::Model& m = *w->model;
    size_t n = m.nodes.size();
    w->parent.assign(n, -1);
    for (size_t i = 0; i < n; ++i) {
        const tinygltf::Node& node = m.nodes[i];
        std::string label = node_label(*w, static_cast<int>(i));
        for (int c : node.children) {
            if (!in_range(c, n)) {
                *error = label + " has a child " + std::to_string(c) + " that does not exist";
                return false;
            }
            if (static_cast<size_t>(c) == i || w->parent[c] != -1) {
                *error = node_label(*w, c) + " has two parents or is its own ancestor";
                return false;
            }
            w->parent[c] = static_cast<int>(i);
        }
        if ((node.mesh != -1 && !in_range(node.mesh, m.meshes.size())) ||
            (node.camera != -1 && !in_range(node.camera, m.cameras.size())) ||
            (node.skin != -1 && !in_range(node.skin, m.skins.size()))) {
            *error = label + " names a mesh, camera or skin that does not exist";
            return false;
        }
        bool trs_ok = (node.matrix.empty() || node.matrix.size() == 16) &&
                      (node.translation.empty() || node.translation.size() == 3) &&
                      (node.rotation.empty() || node.rotation.size() == 4) &&
                      (node.scale.empty() || node.scale.size() == 3);
        for (const std::vector<double>* v : {&node.matrix, &node.translation, &node.rotation, &node.scale})
            for (double d : *v) trs_ok = trs_ok && std::isfinite(d);
        if (!trs_ok) {
            *error = label + " has a malformed transform";
            return false;
        }
    }
    // Breadth first from the roots; whatever is not reached sits in a cycle.
    w->rank.assign(n, -1);
    for (size_t i = 0; i < n; ++i)
        if (w->parent[i] == -1) w->order.push_back(static_cast<int>(i));
    for (size_t k = 0; k < w->order.size(); ++k) {
        int i = w->order[k];
        w->rank[i] = static_cast<int>(k);
        for (int c : m.nodes[i].children) w->order.push_back(c);
    }
    for (size_t i = 0; i < n; ++i)
        if (w->rank[i] < 0) {
            *error = node_label(*w, static_cast<int>(i)) + " is part of a cycle of nodes";
            return false;
        }
    w->rest.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const tinygltf::Node& node = m.nodes[i];
        Trs& t = w->rest[i];
        if (node.matrix.size() == 16) {
            Mat4 mat;
            std::copy(node.matrix.begin(), node.matrix.end(), mat.begin());
            t = mat4_decompose(mat);
        }
        if (node.translation.size() == 3) t.t = {node.translation[0], node.translation[1], node.translation[2]};
        if (node.rotation.size() == 4)
            t.r = quat_normalise({node.rotation[0], node.rotation[1], node.rotation[2], node.rotation[3]});
        if (node.scale.size() == 3) t.s = {node.scale[0], node.scale[1], node.scale[2]};
    }
    return true;
}

// The first animation's channels, checked; later animations are left out.
bool read_animation(Walk* w, std::string* error) {
    const tinygltf::Model& m = *w->model;
    if (m.animations.empty()) return true;
    if (m.animations.size() > 1)
        w->ctx.out->warnings.push_back(std::to_string(m.animations.size() - 1) +
                                       " animations after the first are left out");
    const tinygltf::Animation& anim = m.animations[0];
    const std::string label = gltf_label("animation", anim.name, 0);
    bool scale_warned = false;
    for (size_t ci = 0; ci < anim.channels.size(); ++ci) {
        const tinygltf::AnimationChannel& ch = anim.channels[ci];
        std::string what = label + " channel " + std::to_string(ci);
        if (!in_range(ch.sampler, anim.samplers.size())) {
            *error = what + " names a sampler that does not exist";
            return false;
        }
        if (ch.target_node == -1) continue; // aimed by an extension, not at a node
        if (!in_range(ch.target_node, m.nodes.size())) {
            *error = what + " targets a node that does not exist";
            return false;
        }
        Channel c;
        c.node = ch.target_node;
        if (ch.target_path == "translation") c.path = 0;
        else if (ch.target_path == "rotation") c.path = 1;
        else if (ch.target_path == "scale") c.path = 2;
        else continue; // morph weights: meshes with targets are refused anyway
        const tinygltf::AnimationSampler& s = anim.samplers[ch.sampler];
        if (s.interpolation.empty() || s.interpolation == "LINEAR") c.interpolation = 0;
        else if (s.interpolation == "STEP") c.interpolation = 1;
        else if (s.interpolation == "CUBICSPLINE") c.interpolation = 2;
        else {
            *error = what + ": unknown interpolation '" + s.interpolation + "'";
            return false;
        }
        if (!gltf_accessor_known(m, s.input) || !gltf_accessor_known(m, s.output)) {
            w->ctx.out->warnings.push_back(what + " reads a buffer without a uri, whose bytes are not in the file; "
                                                  "left out");
            continue;
        }
        GltfValues in;
        if (!gltf_read_accessor(m, s.input, what + " input", &in, error) ||
            !gltf_read_accessor(m, s.output, what + " output", &c.values, error))
            return false;
        if (in.components != 1 || in.component_type != TINYGLTF_COMPONENT_TYPE_FLOAT) {
            *error = what + ": key times must be scalar floats";
            return false;
        }
        int want = c.path == 1 ? 4 : 3;
        size_t per_key = c.interpolation == 2 ? 3 : 1;
        if (c.values.components != want || c.values.count != in.count * per_key) {
            *error = what + ": " + std::to_string(c.values.count) + " values do not match " + std::to_string(in.count) +
                     " key times";
            return false;
        }
        c.times = in.v;
        for (size_t k = 0; k < c.times.size(); ++k)
            if (c.times[k] < 0 || (k > 0 && c.times[k] < c.times[k - 1])) {
                *error = what + ": key times are negative or not in increasing order";
                return false;
            }
        if (c.path == 2 && !scale_warned) {
            w->ctx.out->warnings.push_back(what + ": animated scale is not kept (the engine animates location "
                                                  "and rotation only)");
            scale_warned = true;
        }
        w->duration = std::max(w->duration, c.times.back());
        w->channels.push_back(std::move(c));
    }
    return true;
}

std::array<double, 4> channel_value(const Channel& c, size_t key, int slot) {
    size_t at = c.interpolation == 2 ? key * 3 + static_cast<size_t>(slot) : key;
    std::array<double, 4> v{0, 0, 0, 0};
    for (int k = 0; k < c.values.components; ++k) v[k] = c.values.at(at, k);
    return v;
}

std::array<double, 4> channel_sample(const Channel& c, double t) {
    const std::vector<double>& times = c.times;
    if (t <= times.front()) return channel_value(c, 0, 1);
    if (t >= times.back()) return channel_value(c, times.size() - 1, 1);
    size_t i = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), t) - times.begin()) - 1;
    double span = times[i + 1] - times[i];
    double u = span > 0 ? (t - times[i]) / span : 0;
    std::array<double, 4> a = channel_value(c, i, 1), b = channel_value(c, i + 1, 1), r{};
    if (c.interpolation == 1) return a;
    if (c.interpolation == 2) {
        std::array<double, 4> out_tan = channel_value(c, i, 2), in_tan = channel_value(c, i + 1, 0);
        double u2 = u * u, u3 = u2 * u;
        for (int k = 0; k < 4; ++k)
            r[k] = (2 * u3 - 3 * u2 + 1) * a[k] + (u3 - 2 * u2 + u) * span * out_tan[k] + (-2 * u3 + 3 * u2) * b[k] +
                   (u3 - u2) * span * in_tan[k];
        return r;
    }
    if (c.path == 1) {
        Quat q = quat_slerp_d({a[0], a[1], a[2], a[3]}, {b[0], b[1], b[2], b[3]}, u);
        return {q.x, q.y, q.z, q.w};
    }
    for (int k = 0; k < 4; ++k) r[k] = a[k] + (b[k] - a[k]) * u;
    return r;
}

// Every node's local transform at time t (seconds).
std::vector<Trs> locals_at(const Walk& w, double t) {
    std::vector<Trs> local = w.rest;
    for (const Channel& c : w.channels) {
        std::array<double, 4> v = channel_sample(c, t);
        Trs& trs = local[c.node];
        if (c.path == 0) trs.t = {v[0], v[1], v[2]};
        else if (c.path == 1) trs.r = quat_normalise({v[0], v[1], v[2], v[3]});
        else trs.s = {v[0], v[1], v[2]};
    }
    return local;
}

std::vector<Mat4> globals_of(const Walk& w, const std::vector<Trs>& local) {
    std::vector<Mat4> g(local.size());
    for (int i : w.order) {
        Mat4 l = mat4_from_trs(local[i]);
        g[i] = w.parent[i] < 0 ? l : mat4_multiply(g[w.parent[i]], l);
    }
    return g;
}

double sample_time(const Walk& w, int frame) {
    return std::min(frame / static_cast<double>(w.ctx.options->fps), w.duration);
}

Vec3 vec3_of(const std::array<double, 3>& a) {
    return {static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2])};
}

Vec4 quat_of(const Quat& q) {
    return {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z), static_cast<float>(q.w)};
}

// Keys at every frame; handles a third of the way to the neighbours, so the
// engine's Bezier curves run straight between samples.
void make_track(const std::vector<std::array<double, 3>>& loc, const std::vector<std::array<double, 3>>& rot,
                std::vector<TrackKey>* keys) {
    size_t n = loc.size();
    for (size_t k = 0; k < n; ++k) {
        TrackKey key;
        key.time = static_cast<float>(k);
        for (int which = 0; which < 2; ++which) {
            const std::vector<std::array<double, 3>>& v = which == 0 ? loc : rot;
            std::array<double, 3> in = v[k], out = v[k];
            for (int i = 0; i < 3; ++i) {
                if (k > 0) in[i] = v[k][i] - (v[k][i] - v[k - 1][i]) / 3;
                if (k + 1 < n) out[i] = v[k][i] + (v[k + 1][i] - v[k][i]) / 3;
            }
            Vec3* triple = which == 0 ? key.location : key.rotation;
            triple[0] = vec3_of(in);
            triple[1] = vec3_of(v[k]);
            triple[2] = vec3_of(out);
        }
        keys->push_back(key);
    }
}

// Object tracks for every emitted node that a channel moves or turns.
void make_tracks(Walk* w) {
    std::vector<bool> animated(w->model->nodes.size(), false);
    for (const Channel& c : w->channels)
        if (c.path != 2 && w->object_of[c.node] >= 0) animated[c.node] = true;
    if (std::find(animated.begin(), animated.end(), true) == animated.end()) return;
    size_t n = animated.size();
    std::vector<std::vector<std::array<double, 3>>> loc(n), rot(n);
    for (int f = 0; f < w->frames; ++f) {
        std::vector<Trs> local = locals_at(*w, sample_time(*w, f));
        for (size_t i = 0; i < n; ++i) {
            if (!animated[i]) continue;
            loc[i].push_back(local[i].t);
            std::array<double, 3> near = rot[i].empty() ? std::array<double, 3>{0, 0, 0} : rot[i].back();
            rot[i].push_back(quat_to_euler_near(local[i].r, near));
        }
    }
    for (size_t i = 0; i < n; ++i) {
        if (!animated[i]) continue;
        SceneDescObject& obj = w->ctx.out->scene.objects[w->object_of[i]];
        obj.flags |= OBJECT_ANIMATED;
        make_track(loc[i], rot[i], &obj.keys);
    }
}

Mat4 rigid_inverse(const Mat4& m) {
    Mat4 r = mat4_identity();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) r[col * 4 + row] = m[row * 4 + col];
    for (int row = 0; row < 3; ++row) r[12 + row] = -(r[row] * m[12] + r[4 + row] * m[13] + r[8 + row] * m[14]);
    return r;
}

// One armature per skin. Bones follow the joints, parents first; a bone's
// head is where its joint sits in the bind pose, so that a pose's skin
// matrix (bone matrix x translate(-head)) equals glTF's joint matrix
// (joint world matrix x inverse bind matrix).
bool make_armature(Walk* w, int skin_index, GltfSkinBinding* binding, std::string* error) {
    const tinygltf::Model& m = *w->model;
    const tinygltf::Skin& skin = m.skins[skin_index];
    const std::string label = gltf_label("skin", skin.name, static_cast<size_t>(skin_index));
    size_t n = skin.joints.size();
    if (n == 0) {
        *error = label + " has no joints";
        return false;
    }
    if (n > kMaxBones) {
        *error = label + " has " + std::to_string(n) + " joints; the engine takes at most " + std::to_string(kMaxBones);
        return false;
    }
    std::vector<int> bone_node(n);
    std::map<int, size_t> joint_of_node;
    for (size_t j = 0; j < n; ++j) {
        int node = skin.joints[j];
        if (!in_range(node, m.nodes.size())) {
            *error = label + " names a joint node that does not exist";
            return false;
        }
        if (!joint_of_node.emplace(node, j).second) {
            *error = label + " lists " + node_label(*w, node) + " twice";
            return false;
        }
    }
    std::vector<Mat4> ibm(n, mat4_identity());
    bool ibm_known = gltf_accessor_known(m, skin.inverseBindMatrices);
    if (!ibm_known)
        w->ctx.out->warnings.push_back(label + ": its inverse bind matrices are in a buffer without a uri, whose "
                                               "bytes are not in the file; taken as identities");
    if (skin.inverseBindMatrices >= 0 && ibm_known) {
        GltfValues v;
        if (!gltf_read_accessor(m, skin.inverseBindMatrices, label + " inverse bind matrices", &v, error)) return false;
        if (v.components != 16 || v.count < n) {
            *error = label + ": inverse bind matrices do not match its " + std::to_string(n) + " joints";
            return false;
        }
        for (size_t j = 0; j < n; ++j)
            for (int k = 0; k < 16; ++k) ibm[j][k] = v.at(j, k);
    }
    // Bones in the order of their nodes, so parents come first.
    std::vector<size_t> joints(n);
    for (size_t j = 0; j < n; ++j) joints[j] = j;
    std::sort(joints.begin(), joints.end(),
              [&](size_t a, size_t b) { return w->rank[skin.joints[a]] < w->rank[skin.joints[b]]; });
    binding->bone_of_joint.assign(n, 0);
    for (size_t b = 0; b < n; ++b) binding->bone_of_joint[joints[b]] = static_cast<int>(b);

    SceneDescArmature arm;
    arm.name = skin.name.empty() ? "Armature" : skin.name;
    std::vector<std::array<double, 3>> head(n);
    std::vector<Mat4> bone_ibm(n);
    for (size_t b = 0; b < n; ++b) {
        size_t j = joints[b];
        bone_node[b] = skin.joints[j];
        bone_ibm[b] = ibm[j];
        Mat4 bind;
        if (!mat4_inverse(ibm[j], &bind)) {
            *error = label + ": the inverse bind matrix of " + node_label(*w, skin.joints[j]) + " cannot be inverted";
            return false;
        }
        head[b] = {bind[12], bind[13], bind[14]};
        SceneDescBone bone;
        for (int p = w->parent[bone_node[b]]; p >= 0; p = w->parent[p])
            if (joint_of_node.count(p)) {
                bone.parent = binding->bone_of_joint[joint_of_node[p]];
                break;
            }
        bone.head = vec3_of(head[b]);
        arm.bones.push_back(bone);
    }
    // A bone's tail points at its first child's head; a leaf copies its
    // parent's, so every bone has a length to draw.
    std::vector<std::array<double, 3>> tail(n, {0, 0.1, 0});
    std::vector<bool> has_tail(n, false);
    for (size_t b = 0; b < n; ++b) {
        int p = arm.bones[b].parent;
        if (p >= 0 && !has_tail[p]) {
            for (int k = 0; k < 3; ++k) tail[p][k] = head[b][k] - head[p][k];
            has_tail[p] = true;
        }
    }
    for (size_t b = 0; b < n; ++b)
        if (!has_tail[b] && arm.bones[b].parent >= 0) tail[b] = tail[arm.bones[b].parent];
    for (size_t b = 0; b < n; ++b) arm.bones[b].tail = vec3_of(tail[b]);

    bool scale_warned = false;
    for (int f = 0; f < w->frames; ++f) {
        std::vector<Mat4> g = globals_of(*w, locals_at(*w, sample_time(*w, f)));
        std::vector<Mat4> engine(n);
        SceneDescFrame frame;
        frame.time = static_cast<float>(f);
        for (size_t b = 0; b < n; ++b) {
            Mat4 target = mat4_multiply(mat4_multiply(g[bone_node[b]], bone_ibm[b]),
                                        mat4_translation(head[b][0], head[b][1], head[b][2]));
            int p = arm.bones[b].parent;
            Mat4 base = p < 0 ? mat4_identity()
                              : mat4_multiply(engine[p], mat4_translation(tail[p][0], tail[p][1], tail[p][2]));
            Trs pose = mat4_decompose(mat4_multiply(rigid_inverse(base), target));
            if (!scale_warned && (std::fabs(pose.s[0] - 1) > 1e-3 || std::fabs(pose.s[1] - 1) > 1e-3 ||
                                  std::fabs(pose.s[2] - 1) > 1e-3)) {
                w->ctx.out->warnings.push_back(label + ": joints are scaled; bones only move and turn, the scale is "
                                                       "not kept");
                scale_warned = true;
            }
            pose.s = {1, 1, 1};
            engine[b] = mat4_multiply(base, mat4_from_trs(pose));
            frame.locations.push_back(vec3_of(pose.t));
            frame.rotations.push_back(quat_of(pose.r));
        }
        arm.frames.push_back(std::move(frame));
    }
    w->ctx.out->scene.armatures.push_back(std::move(arm));
    return true;
}

int add_object(Walk* w, SceneDescObject obj) {
    w->ctx.out->scene.objects.push_back(std::move(obj));
    return static_cast<int>(w->ctx.out->scene.objects.size()) - 1;
}

int add_camera(Walk* w, int camera_index) {
    const tinygltf::Camera& cam = w->model->cameras[camera_index];
    if (cam.type != "perspective") {
        w->ctx.out->warnings.push_back(gltf_label("camera", cam.name, static_cast<size_t>(camera_index)) +
                                       " is not a perspective camera; left out");
        return -1;
    }
    SceneDescCamera c;
    c.name = cam.name.empty() ? "Camera" + std::to_string(camera_index) : cam.name;
    // The parameter field is free; it carries the vertical field of view
    // (radians, float bits) for viewers that want it.
    float yfov = static_cast<float>(cam.perspective.yfov);
    std::memcpy(&c.parameter, &yfov, 4);
    w->ctx.out->scene.cameras.push_back(c);
    return static_cast<int>(w->ctx.out->scene.cameras.size()) - 1;
}

struct SkinnedUse {
    int node, mesh, skin;
};

// Depth first from the scene's roots, so a parent's object precedes its
// children's.
bool emit_nodes(Walk* w, const std::vector<int>& roots, std::vector<SkinnedUse>* skinned, std::string* error) {
    const tinygltf::Model& m = *w->model;
    std::map<int, int> mesh_of; // glTF mesh -> engine mesh (still meshes)
    std::vector<int> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
        int i = stack.back();
        stack.pop_back();
        if (!in_range(i, m.nodes.size())) {
            *error = "the scene lists node " + std::to_string(i) + ", which does not exist";
            return false;
        }
        if (w->object_of[i] >= 0) {
            *error = node_label(*w, i) + " is reached twice from the scene";
            return false;
        }
        const tinygltf::Node& node = m.nodes[i];
        SceneDescObject obj;
        obj.name = node_name(*w, i);
        obj.location = vec3_of(w->rest[i].t);
        obj.rotation = quat_of(w->rest[i].r);
        obj.scale = vec3_of(w->rest[i].s);
        int p = w->parent[i];
        if (p >= 0 && w->object_of[p] >= 0) {
            obj.flags |= OBJECT_PARENT;
            obj.parent = w->object_of[p];
        }
        if (node.mesh >= 0 && node.skin >= 0) {
            skinned->push_back({i, node.mesh, node.skin});
        } else if (node.mesh >= 0) {
            auto found = mesh_of.find(node.mesh);
            int mesh = -1;
            if (found != mesh_of.end()) mesh = found->second;
            else if (!gltf_convert_mesh(&w->ctx, node.mesh, nullptr, &mesh, error)) return false;
            mesh_of[node.mesh] = mesh;
            if (mesh >= 0) {
                obj.flags |= OBJECT_MESH;
                obj.mesh = mesh;
            }
        }
        int camera = node.camera >= 0 ? add_camera(w, node.camera) : -1;
        bool camera_here = camera >= 0 && !(obj.flags & OBJECT_MESH);
        if (camera_here) {
            obj.flags |= OBJECT_CAMERA;
            obj.camera = camera;
        }
        w->object_of[i] = add_object(w, obj);
        if (camera >= 0 && !camera_here) {
            SceneDescObject cam;
            cam.name = w->ctx.out->scene.cameras[camera].name;
            cam.flags = OBJECT_PARENT | OBJECT_CAMERA;
            cam.parent = w->object_of[i];
            cam.camera = camera;
            add_object(w, cam);
        }
        for (auto c = node.children.rbegin(); c != node.children.rend(); ++c) stack.push_back(*c);
    }
    return true;
}

// Skinned meshes hang under their armature's object at the scene root:
// glTF places them by their joints alone, never by their own node.
bool emit_skins(Walk* w, const std::vector<SkinnedUse>& uses, std::string* error) {
    std::map<int, int> armature_object; // skin -> object
    std::map<int, GltfSkinBinding> bindings;
    std::map<std::pair<int, int>, int> mesh_of;
    for (const SkinnedUse& use : uses) {
        if (!armature_object.count(use.skin)) {
            GltfSkinBinding binding;
            if (!make_armature(w, use.skin, &binding, error)) return false;
            SceneDescObject obj;
            obj.name = w->ctx.out->scene.armatures.back().name;
            obj.flags = OBJECT_ARMATURE;
            obj.armature = static_cast<int>(w->ctx.out->scene.armatures.size()) - 1;
            armature_object[use.skin] = add_object(w, obj);
            bindings[use.skin] = std::move(binding);
        }
        auto key = std::make_pair(use.mesh, use.skin);
        if (!mesh_of.count(key)) {
            int mesh = -1;
            if (!gltf_convert_mesh(&w->ctx, use.mesh, &bindings[use.skin], &mesh, error)) return false;
            mesh_of[key] = mesh;
        }
        if (mesh_of[key] < 0) continue;
        SceneDescObject obj;
        obj.name = w->ctx.out->scene.meshes[mesh_of[key]].name;
        obj.flags = OBJECT_MESH | OBJECT_PARENT;
        obj.parent = armature_object[use.skin];
        obj.mesh = mesh_of[key];
        add_object(w, obj);
    }
    return true;
}

// A model of meshes without any node (some exporters write libraries of
// parts so): each mesh becomes an object at the origin.
bool emit_loose_meshes(Walk* w, std::string* error) {
    for (size_t i = 0; i < w->model->meshes.size(); ++i) {
        int mesh = -1;
        if (!gltf_convert_mesh(&w->ctx, static_cast<int>(i), nullptr, &mesh, error)) return false;
        if (mesh < 0) continue;
        SceneDescObject obj;
        obj.name = w->ctx.out->scene.meshes[mesh].name;
        obj.flags = OBJECT_MESH;
        obj.mesh = mesh;
        add_object(w, obj);
    }
    return true;
}

bool check_extensions(const tinygltf::Model& m, std::string* error) {
    static const char* const kKnown[] = {"KHR_materials_unlit", "KHR_mesh_quantization"};
    for (const std::string& ext : m.extensionsRequired) {
        if (std::find(std::begin(kKnown), std::end(kKnown), ext) == std::end(kKnown)) {
            *error = "the model requires extension " + ext + ", which the import does not know";
            return false;
        }
    }
    return true;
}

// Names in messages come from the file; a line break in one must not make
// a refusal two lines.
void one_line(std::string* text) {
    for (char& c : *text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
}

bool import_model(const uint8_t* data, size_t size, const std::string& base_dir, const GltfImportOptions& options,
                  GltfImportResult* out, std::string* error);

} // namespace

bool gltf_import_memory(const uint8_t* data, size_t size, const std::string& base_dir, const GltfImportOptions& options,
                        GltfImportResult* out, std::string* error) {
    bool ok = import_model(data, size, base_dir, options, out, error);
    if (!ok && error->empty()) *error = "refused";
    one_line(error);
    for (std::string& w : out->warnings) one_line(&w);
    return ok;
}

namespace {

bool import_model(const uint8_t* data, size_t size, const std::string& base_dir, const GltfImportOptions& options,
                  GltfImportResult* out, std::string* error) {
    *out = GltfImportResult();
    if (!(options.fps >= 1 && options.fps <= 1000)) {
        *error = "frames per second must lie between 1 and 1000";
        return false;
    }
    tinygltf::Model model;
    if (!gltf_read_model(data, size, base_dir, &model, &out->warnings, error)) return false;
    if (!check_extensions(model, error)) return false;

    Walk w;
    w.model = &model;
    w.ctx.model = &model;
    w.ctx.options = &options;
    w.ctx.profiles = options.profiles.empty() ? &gltf_import_content_profiles() : &options.profiles;
    w.ctx.out = out;
    if (!check_nodes(&w, error) || !gltf_check_model(model, w.parent, error) || !read_animation(&w, error))
        return false;
    double frames = std::ceil(w.duration * options.fps - 1e-9) + 1;
    double work = frames * static_cast<double>(model.nodes.size() + 1) * static_cast<double>(model.skins.size() + 1);
    if (frames > kMaxFrames || work > kMaxFrameWork) {
        *error = gltf_label("animation", model.animations.empty() ? "" : model.animations[0].name, 0) +
                 " is too long to resample at " + std::to_string(options.fps) + " frames per second";
        return false;
    }
    // Tracks and pose frames need two keys even for a still scene.
    w.frames = std::max(2, static_cast<int>(frames));

    std::vector<int> roots;
    if (in_range(model.defaultScene, model.scenes.size())) roots = model.scenes[model.defaultScene].nodes;
    else if (!model.scenes.empty()) roots = model.scenes[0].nodes;
    else
        for (size_t i = 0; i < model.nodes.size(); ++i)
            if (w.parent[i] < 0) roots.push_back(static_cast<int>(i));

    w.object_of.assign(model.nodes.size(), -1);
    std::vector<SkinnedUse> skinned;
    if (!emit_nodes(&w, roots, &skinned, error) || !emit_skins(&w, skinned, error)) return false;
    if (model.nodes.empty() && !emit_loose_meshes(&w, error)) return false;
    make_tracks(&w);
    return true;
}

std::string folder_of(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string stem_of(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
    return std::fflush(f.get()) == 0;
}

} // namespace

bool gltf_import_file(const std::string& in_path, const std::string& out_path, const GltfImportOptions& options,
                      std::vector<std::string>* warnings, std::string* error) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(in_path.c_str(), "rb"), std::fclose);
    if (!f) {
        *error = "cannot open '" + in_path + "'";
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > (1u << 30)) {
            *error = "'" + in_path + "' is larger than 1 GiB";
            return false;
        }
    }
    GltfImportOptions opts = options;
    opts.texture_prefix = stem_of(out_path) + "_";
    GltfImportResult result;
    if (!gltf_import_memory(bytes.data(), bytes.size(), folder_of(in_path), opts, &result, error)) return false;
    *warnings = result.warnings;
    std::string folder = folder_of(out_path);
    for (const GltfImportTexture& tex : result.textures) {
        std::string path = folder + "/" + tex.file_name;
        if (!write_bytes(path, tex.png)) {
            *error = "cannot write '" + path + "'";
            return false;
        }
    }
    if (!write_bytes(out_path, scene_write(result.scene))) {
        *error = "cannot write '" + out_path + "'";
        return false;
    }
    return true;
}
