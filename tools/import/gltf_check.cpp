// Whole-model checks before any conversion: every reference resolves, every
// accessor fits its buffer and matches its declared bounds, and the rules of
// the format that the conversion relies on hold. A model that breaks one is
// refused with one line naming where, however little of it we would use.
#include "gltf_internal.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace {

using tinygltf::Model;

bool in_range(int index, size_t size) { return index >= 0 && static_cast<size_t>(index) < size; }

// An optional reference (-1: absent) must resolve.
bool ref_ok(int index, size_t size) { return index == -1 || in_range(index, size); }

bool fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

bool check_asset(const Model& m, std::string* error) {
    const std::string& v = m.asset.version;
    auto major_minor = [](const std::string& s, int* major, int* minor) {
        size_t dot = s.find('.');
        if (dot == std::string::npos || dot == 0 || dot + 1 >= s.size()) return false;
        for (size_t i = 0; i < s.size(); ++i)
            if (i != dot && (s[i] < '0' || s[i] > '9')) return false;
        *major = std::stoi(s.substr(0, dot));
        *minor = std::stoi(s.substr(dot + 1));
        return true;
    };
    int major = 0, minor = 0;
    if (v.size() > 8 || !major_minor(v, &major, &minor)) return fail(error, "asset version '" + v + "' is malformed");
    if (major != 2) return fail(error, "asset version " + v + " is not glTF 2");
    if (!m.asset.minVersion.empty()) {
        int min_major = 0, min_minor = 0;
        if (m.asset.minVersion.size() > 8 || !major_minor(m.asset.minVersion, &min_major, &min_minor) ||
            min_major > major || (min_major == major && min_minor > minor))
            return fail(error, "asset minVersion " + m.asset.minVersion + " is malformed or above the version");
    }
    return true;
}

bool check_buffers(const Model& m, std::string* error) {
    for (size_t i = 0; i < m.bufferViews.size(); ++i) {
        const tinygltf::BufferView& bv = m.bufferViews[i];
        std::string label = gltf_label("buffer view", bv.name, i);
        if (!in_range(bv.buffer, m.buffers.size())) return fail(error, label + " names a buffer that does not exist");
        // A buffer without data stands in for bytes the file does not hold;
        // its views were held to its length when the file was read.
        size_t size = m.buffers[bv.buffer].data.size();
        if (bv.byteLength == 0 || (size != 0 && (bv.byteOffset > size || bv.byteLength > size - bv.byteOffset)))
            return fail(error, label + " does not fit its buffer");
        if (bv.byteStride != 0 && (bv.byteStride < 4 || bv.byteStride > 252 || bv.byteStride % 4 != 0))
            return fail(error, label + " has byte stride " + std::to_string(bv.byteStride));
        if (bv.byteStride > bv.byteLength) return fail(error, label + " has a byte stride longer than itself");
        if (bv.byteStride != 0 && bv.target == TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER)
            return fail(error, label + " holds indices and must not have a byte stride");
    }
    for (size_t i = 0; i < m.accessors.size(); ++i) {
        GltfValues v;
        if (!gltf_read_accessor(m, static_cast<int>(i), "", &v, error)) return false;
    }
    // tinygltf decodes a few more kinds of data URI than buffers may have.
    for (size_t i = 0; i < m.buffers.size(); ++i) {
        const std::string& uri = m.buffers[i].uri;
        if (uri.rfind("data:", 0) == 0 && uri.rfind("data:application/octet-stream;", 0) != 0 &&
            uri.rfind("data:application/gltf-buffer;", 0) != 0)
            return fail(error, gltf_label("buffer", m.buffers[i].name, i) + " has a data URI of the wrong media type");
    }
    for (size_t i = 0; i < m.images.size(); ++i)
        if (!ref_ok(m.images[i].bufferView, m.bufferViews.size()))
            return fail(error, gltf_label("image", m.images[i].name, i) + " names a buffer view that does not exist");
    return true;
}

bool texture_info_ok(const Model& m, int index) { return ref_ok(index, m.textures.size()); }

bool check_materials(const Model& m, std::string* error) {
    for (size_t i = 0; i < m.textures.size(); ++i) {
        const tinygltf::Texture& t = m.textures[i];
        if (!ref_ok(t.source, m.images.size()) || !ref_ok(t.sampler, m.samplers.size()))
            return fail(error, gltf_label("texture", t.name, i) + " names an image or sampler that does not exist");
    }
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const tinygltf::Material& mat = m.materials[i];
        std::string label = gltf_label("material", mat.name, i);
        const tinygltf::PbrMetallicRoughness& pbr = mat.pbrMetallicRoughness;
        if (!texture_info_ok(m, pbr.baseColorTexture.index) ||
            !texture_info_ok(m, pbr.metallicRoughnessTexture.index) || !texture_info_ok(m, mat.normalTexture.index) ||
            !texture_info_ok(m, mat.occlusionTexture.index) || !texture_info_ok(m, mat.emissiveTexture.index))
            return fail(error, label + " names a texture that does not exist");
        bool ranges = pbr.baseColorFactor.size() == 4 && pbr.metallicFactor >= 0 && pbr.metallicFactor <= 1 &&
                      pbr.roughnessFactor >= 0 && pbr.roughnessFactor <= 1 && mat.alphaCutoff >= 0;
        for (double f : pbr.baseColorFactor) ranges = ranges && f >= 0 && f <= 1;
        for (double f : mat.emissiveFactor) ranges = ranges && f >= 0 && f <= 1;
        if (!ranges) return fail(error, label + " has a factor outside its range");
        if (mat.alphaMode != "OPAQUE" && mat.alphaMode != "MASK" && mat.alphaMode != "BLEND")
            return fail(error, label + " has an unknown alpha mode '" + mat.alphaMode + "'");
    }
    return true;
}

// "TEXCOORD_3" -> ("TEXCOORD", 3); plain names give -1.
std::pair<std::string, int> semantic(const std::string& name) {
    size_t us = name.rfind('_');
    if (us == std::string::npos || us + 1 >= name.size() || name[0] == '_') return {name, -1};
    std::string digits = name.substr(us + 1);
    if (digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {name, -1};
    if (digits.size() > 1 && digits[0] == '0') return {name, -2};
    return {name.substr(0, us), std::stoi(digits)};
}

bool unit_length(const GltfValues& v, size_t i) {
    double x = v.at(i, 0), y = v.at(i, 1), z = v.at(i, 2);
    return std::fabs(std::sqrt(x * x + y * y + z * z) - 1) <= 5e-4;
}

bool check_attribute(const Model& m, const std::string& name, int accessor, const std::string& what,
                     std::string* error) {
    const tinygltf::Accessor& a = m.accessors[accessor];
    auto [base, set] = semantic(name);
    int t = a.componentType;
    bool floaty = t == TINYGLTF_COMPONENT_TYPE_FLOAT;
    bool norm8_16 =
        a.normalized && (t == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE || t == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
    bool quantised = m.extensionsRequired.end() !=
                     std::find(m.extensionsRequired.begin(), m.extensionsRequired.end(), "KHR_mesh_quantization");
    bool ok = true;
    if (t == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT && base != "JOINTS") ok = false;
    if (name == "POSITION") {
        ok = ok && a.type == TINYGLTF_TYPE_VEC3 && (floaty || quantised);
        if (ok && (a.minValues.empty() || a.maxValues.empty()))
            return fail(error, what + ": POSITION must declare its bounds");
    } else if (name == "NORMAL") {
        ok = ok && a.type == TINYGLTF_TYPE_VEC3 && (floaty || quantised);
    } else if (name == "TANGENT") {
        ok = ok && a.type == TINYGLTF_TYPE_VEC4 && (floaty || quantised);
    } else if (base == "TEXCOORD" && set >= 0) {
        ok = ok && a.type == TINYGLTF_TYPE_VEC2 && (floaty || norm8_16 || quantised);
    } else if (base == "COLOR" && set >= 0) {
        ok = ok && (a.type == TINYGLTF_TYPE_VEC3 || a.type == TINYGLTF_TYPE_VEC4) && (floaty || norm8_16);
    } else if (base == "JOINTS" && set >= 0) {
        ok = ok && a.type == TINYGLTF_TYPE_VEC4 &&
             (t == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE || t == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
    } else if (base == "WEIGHTS" && set >= 0) {
        ok = ok && a.type == TINYGLTF_TYPE_VEC4 && (floaty || norm8_16);
    } else if (name.empty() || name[0] != '_') {
        return fail(error, what + ": attribute name '" + name + "' is not a glTF semantic");
    }
    if (!ok) return fail(error, what + ": " + name + " has the wrong type or component type");
    // Values the format pins down: unit normals and tangents, colours in [0, 1].
    if (floaty && (name == "NORMAL" || name == "TANGENT" || base == "COLOR")) {
        GltfValues v;
        if (!gltf_read_accessor(m, accessor, what + " " + name, &v, error)) return false;
        for (size_t i = 0; v.from_data && i < v.count; ++i) {
            if (base == "COLOR") {
                for (int c = 0; c < v.components; ++c)
                    if (v.at(i, c) < 0 || v.at(i, c) > 1) return fail(error, what + ": " + name + " leaves [0, 1]");
            } else if (!unit_length(v, i) || (name == "TANGENT" && std::fabs(v.at(i, 3)) != 1)) {
                return fail(error, what + ": " + name + " " + std::to_string(i) + " is not a unit vector");
            }
        }
    }
    return true;
}

bool check_meshes(const Model& m, std::string* error) {
    for (size_t mi = 0; mi < m.meshes.size(); ++mi) {
        const tinygltf::Mesh& mesh = m.meshes[mi];
        std::string label = gltf_label("mesh", mesh.name, mi);
        if (mesh.primitives.empty()) return fail(error, label + " has no primitives");
        for (size_t pi = 0; pi < mesh.primitives.size(); ++pi) {
            const tinygltf::Primitive& p = mesh.primitives[pi];
            std::string what = label + " primitive " + std::to_string(pi);
            if (p.attributes.empty()) return fail(error, what + " has no attributes");
            if (!ref_ok(p.material, m.materials.size()) || !ref_ok(p.indices, m.accessors.size()))
                return fail(error, what + " names a material or accessor that does not exist");
            size_t count = 0;
            std::map<std::string, std::set<int>> sets;
            for (const auto& [name, accessor] : p.attributes) {
                if (!in_range(accessor, m.accessors.size()))
                    return fail(error, what + ": " + name + " names an accessor that does not exist");
                if (!check_attribute(m, name, accessor, what, error)) return false;
                size_t n = m.accessors[accessor].count;
                if (count != 0 && n != count) return fail(error, what + ": attributes differ in length");
                count = n;
                auto [base, set] = semantic(name);
                if (set >= 0) sets[base].insert(set);
            }
            for (const auto& [base, numbers] : sets)
                if (*numbers.rbegin() != static_cast<int>(numbers.size()) - 1)
                    return fail(error, what + ": " + base + " sets are not numbered from 0 without gaps");
            if (sets["JOINTS"] != sets["WEIGHTS"]) return fail(error, what + ": JOINTS and WEIGHTS sets do not pair");
            if (p.indices >= 0) {
                const tinygltf::Accessor& a = m.accessors[p.indices];
                int t = a.componentType;
                if (a.type != TINYGLTF_TYPE_SCALAR || a.normalized ||
                    (t != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && t != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                     t != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
                    return fail(error, what + ": indices must be unsigned integers");
                GltfValues idx;
                if (!gltf_read_accessor(m, p.indices, what + " indices", &idx, error)) return false;
                double restart = t == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE    ? 255
                                 : t == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ? 65535
                                                                               : 4294967295.0;
                for (double d : idx.v)
                    if (d >= static_cast<double>(count) || d == restart)
                        return fail(error, what + ": index " + std::to_string(static_cast<uint64_t>(d)) +
                                               " is past its " + std::to_string(count) + " vertices");
            }
            if (!gltf_check_primitive_material(m, p, sets["TEXCOORD"], what, error)) return false;
            if (!p.targets.empty()) return fail(error, label + " has morph targets, which the engine cannot show");
            if (p.mode != -1 && p.mode != TINYGLTF_MODE_TRIANGLES)
                return fail(error, what + " is not made of triangles (mode " + std::to_string(p.mode) + ")");
        }
    }
    return true;
}

// How meshes use buffer views: vertex data on 4-byte boundaries, a view that
// several attributes share strided, and none holding indices and vertices.
bool check_mesh_views(const Model& m, std::string* error) {
    std::map<int, std::set<int>> vertex_users; // buffer view -> attribute accessors
    std::set<int> index_views;
    auto vertex_use = [&](const std::string& what, const std::string& name, int accessor) {
        if (!in_range(accessor, m.accessors.size()) || m.accessors[accessor].bufferView < 0) return true;
        const tinygltf::Accessor& a = m.accessors[accessor];
        if (a.byteOffset % 4 != 0) return fail(error, what + ": " + name + " is not aligned to 4 bytes");
        vertex_users[a.bufferView].insert(accessor);
        return true;
    };
    for (size_t mi = 0; mi < m.meshes.size(); ++mi) {
        for (size_t pi = 0; pi < m.meshes[mi].primitives.size(); ++pi) {
            const tinygltf::Primitive& p = m.meshes[mi].primitives[pi];
            std::string what = gltf_label("mesh", m.meshes[mi].name, mi) + " primitive " + std::to_string(pi);
            for (const auto& [name, accessor] : p.attributes)
                if (!vertex_use(what, name, accessor)) return false;
            for (const auto& target : p.targets)
                for (const auto& [name, accessor] : target)
                    if (!vertex_use(what + " morph target", name, accessor)) return false;
            if (in_range(p.indices, m.accessors.size()) && m.accessors[p.indices].bufferView >= 0)
                index_views.insert(m.accessors[p.indices].bufferView);
        }
    }
    for (const auto& [view, users] : vertex_users) {
        const tinygltf::BufferView& bv = m.bufferViews[view];
        std::string label = gltf_label("buffer view", bv.name, static_cast<size_t>(view));
        if (index_views.count(view)) return fail(error, label + " holds both indices and vertex attributes");
        if (users.size() > 1 && bv.byteStride == 0)
            return fail(error, label + " is shared by vertex attributes but has no byte stride");
    }
    return true;
}

// Inverse bind matrices and animation keys lie packed in their views.
bool packed(const Model& m, int accessor) {
    if (!in_range(accessor, m.accessors.size())) return true;
    int view = m.accessors[accessor].bufferView;
    return !in_range(view, m.bufferViews.size()) || m.bufferViews[view].byteStride == 0;
}

// The topmost ancestor of a node; the node graph has been checked for cycles.
int root_of(const std::vector<int>& parent, int node) {
    for (size_t steps = 0; parent[node] >= 0 && steps < parent.size(); ++steps) node = parent[node];
    return node;
}

bool check_nodes(const Model& m, const std::vector<int>& parent, std::string* error) {
    for (size_t i = 0; i < m.nodes.size(); ++i) {
        const tinygltf::Node& n = m.nodes[i];
        std::string label = gltf_label("node", n.name, i);
        if (!ref_ok(n.mesh, m.meshes.size()) || !ref_ok(n.camera, m.cameras.size()) || !ref_ok(n.skin, m.skins.size()))
            return fail(error, label + " names a mesh, camera or skin that does not exist");
        if (n.skin >= 0 && n.mesh < 0) return fail(error, label + " has a skin but no mesh");
        if (!n.weights.empty() && n.mesh < 0) return fail(error, label + " has morph weights but no mesh");
        if (!n.matrix.empty()) {
            if (!n.translation.empty() || !n.rotation.empty() || !n.scale.empty())
                return fail(error, label + " has both a matrix and a translation, rotation or scale");
            if (n.matrix.size() == 16) {
                Mat4 mat;
                std::copy(n.matrix.begin(), n.matrix.end(), mat.begin());
                Mat4 again = mat4_from_trs(mat4_decompose(mat));
                for (int k = 0; k < 16; ++k)
                    if (std::fabs(again[k] - mat[k]) > 1e-4 * (1 + std::fabs(mat[k])))
                        return fail(error, label + ": its matrix is not a translation, rotation and scale");
            }
        }
        if (n.rotation.size() == 4) {
            double len = std::sqrt(n.rotation[0] * n.rotation[0] + n.rotation[1] * n.rotation[1] +
                                   n.rotation[2] * n.rotation[2] + n.rotation[3] * n.rotation[3]);
            if (std::fabs(len - 1) > 5e-4) return fail(error, label + ": its rotation is not a unit quaternion");
        }
    }
    for (size_t i = 0; i < m.scenes.size(); ++i) {
        for (int n : m.scenes[i].nodes) {
            if (!in_range(n, m.nodes.size()))
                return fail(error, "scene " + std::to_string(i) + " names a node that does not exist");
            if (parent[n] >= 0)
                return fail(error, gltf_label("node", m.nodes[n].name, static_cast<size_t>(n)) +
                                       " is a root of a scene but has a parent");
        }
    }
    // A skinned mesh and its joints must be in the same scene.
    for (const tinygltf::Scene& scene : m.scenes) {
        std::set<int> roots(scene.nodes.begin(), scene.nodes.end());
        for (size_t i = 0; i < m.nodes.size(); ++i) {
            const tinygltf::Node& n = m.nodes[i];
            if (n.skin < 0 || !in_range(n.skin, m.skins.size()) || !roots.count(root_of(parent, static_cast<int>(i))))
                continue;
            for (int j : m.skins[n.skin].joints)
                if (in_range(j, m.nodes.size()) && !roots.count(root_of(parent, j)))
                    return fail(error, gltf_label("node", n.name, i) + " is skinned to joints outside its scene");
        }
    }
    if (m.defaultScene != -1 && !in_range(m.defaultScene, m.scenes.size()))
        return fail(error, "the default scene does not exist");
    return true;
}

bool check_skins(const Model& m, const std::vector<int>& parent, std::string* error) {
    for (size_t i = 0; i < m.skins.size(); ++i) {
        const tinygltf::Skin& s = m.skins[i];
        std::string label = gltf_label("skin", s.name, i);
        if (s.joints.empty()) return fail(error, label + " has no joints");
        for (int j : s.joints)
            if (!in_range(j, m.nodes.size())) return fail(error, label + " names a joint node that does not exist");
        if (!ref_ok(s.skeleton, m.nodes.size()) || !ref_ok(s.inverseBindMatrices, m.accessors.size()))
            return fail(error, label + " names a skeleton or accessor that does not exist");
        int root = root_of(parent, s.joints[0]);
        for (int j : s.joints) {
            if (root_of(parent, j) != root) return fail(error, label + ": its joints have no common root");
            if (s.skeleton >= 0) {
                int up = j;
                while (up >= 0 && up != s.skeleton) up = parent[up];
                if (up < 0) return fail(error, label + ": its skeleton is not an ancestor of every joint");
            }
        }
        if (s.inverseBindMatrices >= 0) {
            const tinygltf::Accessor& a = m.accessors[s.inverseBindMatrices];
            if (a.type != TINYGLTF_TYPE_MAT4 || a.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
                return fail(error, label + ": inverse bind matrices must be float 4x4 matrices");
            if (!packed(m, s.inverseBindMatrices))
                return fail(error, label + ": the buffer view of its inverse bind matrices has a byte stride");
            if (a.count != s.joints.size())
                return fail(error, label + ": " + std::to_string(a.count) + " inverse bind matrices for " +
                                       std::to_string(s.joints.size()) + " joints");
            GltfValues v;
            if (!gltf_read_accessor(m, s.inverseBindMatrices, label + " inverse bind matrices", &v, error))
                return false;
            for (size_t k = 0; v.from_data && k < v.count; ++k)
                if (v.at(k, 3) != 0 || v.at(k, 7) != 0 || v.at(k, 11) != 0 || v.at(k, 15) != 1)
                    return fail(error, label + ": inverse bind matrix " + std::to_string(k) + " is not affine");
        }
    }
    return true;
}

bool check_animations(const Model& m, std::string* error) {
    for (size_t ai = 0; ai < m.animations.size(); ++ai) {
        const tinygltf::Animation& anim = m.animations[ai];
        std::string label = gltf_label("animation", anim.name, ai);
        if (!anim.channels.empty() && anim.samplers.empty()) return fail(error, label + " has no samplers");
        std::set<std::pair<int, std::string>> targets;
        for (size_t ci = 0; ci < anim.channels.size(); ++ci) {
            const tinygltf::AnimationChannel& ch = anim.channels[ci];
            std::string what = label + " channel " + std::to_string(ci);
            if (!in_range(ch.sampler, anim.samplers.size()))
                return fail(error, what + " names a sampler that does not exist");
            if (ch.target_node == -1) continue;
            if (!in_range(ch.target_node, m.nodes.size()))
                return fail(error, what + " targets a node that does not exist");
            if (!targets.insert({ch.target_node, ch.target_path}).second)
                return fail(error, what + " animates what another channel does");
            const tinygltf::Node& node = m.nodes[ch.target_node];
            if (!node.matrix.empty()) return fail(error, what + " animates a node placed by a matrix");
            if (ch.target_path == "weights" &&
                (node.mesh < 0 ||
                 std::all_of(m.meshes[node.mesh].primitives.begin(), m.meshes[node.mesh].primitives.end(),
                             [](const tinygltf::Primitive& p) { return p.targets.empty(); })))
                return fail(error, what + " animates morph weights of a node without morph targets");
        }
        for (size_t si = 0; si < anim.samplers.size(); ++si) {
            const tinygltf::AnimationSampler& s = anim.samplers[si];
            std::string what = label + " sampler " + std::to_string(si);
            if (!in_range(s.input, m.accessors.size()) || !in_range(s.output, m.accessors.size()))
                return fail(error, what + " names an accessor that does not exist");
            if (!packed(m, s.input) || !packed(m, s.output))
                return fail(error, what + ": the buffer view of its keys has a byte stride");
            const tinygltf::Accessor& in = m.accessors[s.input];
            if (in.minValues.empty() || in.maxValues.empty())
                return fail(error, what + ": key times must declare their bounds");
            if (s.interpolation == "CUBICSPLINE" && in.count < 2)
                return fail(error, what + ": a cubic spline needs two keys or more");
        }
        for (const tinygltf::AnimationChannel& ch : anim.channels) {
            if (ch.target_path != "rotation" || !in_range(ch.sampler, anim.samplers.size())) continue;
            const tinygltf::AnimationSampler& s = anim.samplers[ch.sampler];
            GltfValues v;
            if (!gltf_read_accessor(m, s.output, label + " rotations", &v, error)) return false;
            if (v.components != 4) return fail(error, label + ": rotations must be quaternions");
            bool cubic = s.interpolation == "CUBICSPLINE";
            for (size_t k = 0; v.from_data && k < v.count; ++k) {
                if (cubic && k % 3 != 1) continue; // tangents need not be unit
                double len = std::sqrt(v.at(k, 0) * v.at(k, 0) + v.at(k, 1) * v.at(k, 1) + v.at(k, 2) * v.at(k, 2) +
                                       v.at(k, 3) * v.at(k, 3));
                if (std::fabs(len - 1) > 5e-4)
                    return fail(error, label + ": rotation key " + std::to_string(k) + " is not a unit quaternion");
            }
        }
    }
    return true;
}

bool check_cameras(const Model& m, std::string* error) {
    for (size_t i = 0; i < m.cameras.size(); ++i) {
        const tinygltf::Camera& c = m.cameras[i];
        std::string label = gltf_label("camera", c.name, i);
        if (c.type == "perspective") {
            const tinygltf::PerspectiveCamera& p = c.perspective;
            if (!(p.yfov > 0) || !(p.znear > 0) || p.aspectRatio < 0 || (p.zfar != 0 && !(p.zfar > p.znear)))
                return fail(error, label + " has a field of view, aspect or clip range out of range");
        } else if (c.type == "orthographic") {
            const tinygltf::OrthographicCamera& o = c.orthographic;
            if (o.xmag == 0 || o.ymag == 0 || !(o.znear >= 0) || !(o.zfar > o.znear))
                return fail(error, label + " has a magnification or clip range out of range");
        } else {
            return fail(error, label + " is neither perspective nor orthographic");
        }
    }
    return true;
}

// Extensions must be declared, listed once, and sit on the objects they
// extend.
bool check_extensions(const Model& m, std::string* error) {
    std::set<std::string> used(m.extensionsUsed.begin(), m.extensionsUsed.end());
    if (used.size() != m.extensionsUsed.size()) return fail(error, "extensionsUsed lists an extension twice");
    std::set<std::string> required(m.extensionsRequired.begin(), m.extensionsRequired.end());
    if (required.size() != m.extensionsRequired.size())
        return fail(error, "extensionsRequired lists an extension twice");
    for (const std::string& r : required)
        if (!used.count(r)) return fail(error, "extension " + r + " is required but not used");
    if (used.count("KHR_mesh_quantization") && !required.count("KHR_mesh_quantization"))
        return fail(error, "KHR_mesh_quantization must be required where it is used");
    static const std::map<std::string, std::string> kHost = {{"KHR_materials_unlit", "material"},
                                                             {"KHR_materials_pbrSpecularGlossiness", "material"},
                                                             {"KHR_materials_clearcoat", "material"},
                                                             {"KHR_materials_sheen", "material"},
                                                             {"KHR_materials_specular", "material"},
                                                             {"KHR_materials_transmission", "material"},
                                                             {"KHR_materials_volume", "material"},
                                                             {"KHR_materials_ior", "material"},
                                                             {"KHR_materials_iridescence", "material"},
                                                             {"KHR_materials_emissive_strength", "material"},
                                                             {"KHR_materials_anisotropy", "material"},
                                                             {"KHR_materials_dispersion", "material"},
                                                             {"KHR_lights_punctual", "node model"},
                                                             {"KHR_node_visibility", "node"},
                                                             {"KHR_materials_variants", "primitive model"},
                                                             {"KHR_texture_transform", "textureinfo"},
                                                             {"EXT_texture_webp", "texture"},
                                                             {"KHR_texture_basisu", "texture"},
                                                             {"KHR_animation_pointer", "target"},
                                                             {"KHR_mesh_quantization", ""},
                                                             {"KHR_draco_mesh_compression", "primitive"},
                                                             {"EXT_meshopt_compression", "bufferview buffer"},
                                                             {"EXT_mesh_gpu_instancing", "node"}};
    auto check = [&](const tinygltf::ExtensionMap& exts, const char* host, const std::string& where) {
        for (const auto& [name, value] : exts) {
            (void)value;
            if (!used.count(name)) return fail(error, where + " uses extension " + name + " without declaring it");
            auto it = kHost.find(name);
            if (it != kHost.end() && (" " + it->second + " ").find(std::string(" ") + host + " ") == std::string::npos)
                return fail(error, where + ": extension " + name + " does not belong on a " + host);
        }
        return true;
    };
    if (!check(m.extensions, "model", "the model")) return false;
    for (size_t i = 0; i < m.nodes.size(); ++i)
        if (!check(m.nodes[i].extensions, "node", gltf_label("node", m.nodes[i].name, i))) return false;
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const tinygltf::Material& mat = m.materials[i];
        std::string label = gltf_label("material", mat.name, i);
        if (!check(mat.extensions, "material", label) || !check(mat.pbrMetallicRoughness.extensions, "pbr", label) ||
            !check(mat.pbrMetallicRoughness.baseColorTexture.extensions, "textureinfo", label) ||
            !check(mat.pbrMetallicRoughness.metallicRoughnessTexture.extensions, "textureinfo", label) ||
            !check(mat.emissiveTexture.extensions, "textureinfo", label) ||
            !check(mat.normalTexture.extensions, "textureinfo", label) ||
            !check(mat.occlusionTexture.extensions, "textureinfo", label))
            return false;
    }
    for (size_t i = 0; i < m.meshes.size(); ++i) {
        std::string label = gltf_label("mesh", m.meshes[i].name, i);
        if (!check(m.meshes[i].extensions, "mesh", label)) return false;
        for (const tinygltf::Primitive& p : m.meshes[i].primitives)
            if (!check(p.extensions, "primitive", label)) return false;
    }
    for (size_t i = 0; i < m.textures.size(); ++i)
        if (!check(m.textures[i].extensions, "texture", gltf_label("texture", m.textures[i].name, i))) return false;
    for (size_t i = 0; i < m.samplers.size(); ++i)
        if (!check(m.samplers[i].extensions, "sampler", gltf_label("sampler", m.samplers[i].name, i))) return false;
    for (size_t i = 0; i < m.images.size(); ++i)
        if (!check(m.images[i].extensions, "image", gltf_label("image", m.images[i].name, i))) return false;
    for (size_t i = 0; i < m.cameras.size(); ++i)
        if (!check(m.cameras[i].extensions, "camera", gltf_label("camera", m.cameras[i].name, i))) return false;
    for (size_t i = 0; i < m.scenes.size(); ++i)
        if (!check(m.scenes[i].extensions, "scene", gltf_label("scene", m.scenes[i].name, i))) return false;
    for (size_t i = 0; i < m.animations.size(); ++i) {
        std::string label = gltf_label("animation", m.animations[i].name, i);
        if (!check(m.animations[i].extensions, "animation", label)) return false;
        for (const tinygltf::AnimationChannel& ch : m.animations[i].channels)
            if (!check(ch.extensions, "channel", label) || !check(ch.target_extensions, "target", label)) return false;
    }
    for (size_t i = 0; i < m.skins.size(); ++i)
        if (!check(m.skins[i].extensions, "skin", gltf_label("skin", m.skins[i].name, i))) return false;
    for (size_t i = 0; i < m.accessors.size(); ++i)
        if (!check(m.accessors[i].extensions, "accessor", gltf_label("accessor", m.accessors[i].name, i))) return false;
    for (size_t i = 0; i < m.bufferViews.size(); ++i)
        if (!check(m.bufferViews[i].extensions, "bufferview", gltf_label("buffer view", m.bufferViews[i].name, i)))
            return false;
    for (size_t i = 0; i < m.buffers.size(); ++i)
        if (!check(m.buffers[i].extensions, "buffer", gltf_label("buffer", m.buffers[i].name, i))) return false;
    return true;
}

} // namespace

bool gltf_check_model(const tinygltf::Model& m, const std::vector<int>& parent, std::string* error) {
    return check_asset(m, error) && check_extensions(m, error) && check_buffers(m, error) &&
           check_materials(m, error) && gltf_check_extension_objects(m, error) && check_meshes(m, error) &&
           check_mesh_views(m, error) && check_nodes(m, parent, error) && check_skins(m, parent, error) &&
           check_animations(m, error) && check_cameras(m, error);
}
