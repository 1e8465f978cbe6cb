// Meshes, materials and textures: glTF primitives become one interleaved
// vertex array in a content vertex profile, with one triangle group per
// material.
#include "gltf_internal.h"

#include "gfx/image_write.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace {

constexpr size_t kMaxMeshVertices = 1u << 22;

// What a mesh's vertices carry, and so which layouts can hold them.
struct Needs {
    bool colour = false;
    bool uv = false;
    bool skinned = false;
};

enum Role { ROLE_NONE, ROLE_POSITION, ROLE_NORMAL, ROLE_COLOUR, ROLE_UV, ROLE_JOINTS, ROLE_WEIGHTS };

// What we would write into a client of a layout; ROLE_NONE: we cannot fill it.
Role role_of(const VertexClient& c) {
    switch (c.type) {
    case CLIENT_VERTEX: return c.components == 3 ? ROLE_POSITION : ROLE_NONE;
    case CLIENT_NORMAL: return c.components == 3 ? ROLE_NORMAL : ROLE_NONE;
    case CLIENT_COLOR: return c.components == 3 || c.components == 4 ? ROLE_COLOUR : ROLE_NONE;
    case CLIENT_TEXCOORD:
        if (c.components == 2 && c.unit == 0) return ROLE_UV;
        return c.components == 4 ? ROLE_WEIGHTS : ROLE_NONE;
    case CLIENT_TEXCOORD_INT: return c.components == 4 ? ROLE_JOINTS : ROLE_NONE;
    default: return ROLE_NONE;
    }
}

bool profile_fits(const GltfProfile& p, const Needs& needs) {
    bool seen[7] = {};
    int32_t end = 0;
    for (const VertexClient& c : p.clients) {
        Role r = role_of(c);
        if (r == ROLE_NONE || seen[r] || c.offset < 0) return false;
        seen[r] = true;
        end = std::max(end, c.offset + c.components * 4);
    }
    if (end > p.stride) return false;
    // A layout with bone slots would make a still mesh skinned by nothing.
    if (seen[ROLE_JOINTS] != needs.skinned || seen[ROLE_WEIGHTS] != needs.skinned) return false;
    return seen[ROLE_POSITION] && seen[ROLE_NORMAL] && (!needs.colour || seen[ROLE_COLOUR]) &&
           (!needs.uv || seen[ROLE_UV]);
}

// The smallest fitting layout, or -1.
int pick_profile(const std::vector<GltfProfile>& profiles, const Needs& needs) {
    int best = -1;
    for (size_t i = 0; i < profiles.size(); ++i)
        if (profile_fits(profiles[i], needs) && (best < 0 || profiles[i].stride < profiles[best].stride))
            best = static_cast<int>(i);
    return best;
}

std::string describe(const Needs& needs) {
    std::string s = "position, normal";
    if (needs.colour) s += ", colour";
    if (needs.uv) s += ", texture coordinates on unit 0";
    if (needs.skinned) s += ", four bone indices (integers), four bone weights";
    return s;
}

struct Vertex {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 1};
    float colour[4] = {1, 1, 1, 1};
    float uv[2] = {0, 0};
    int32_t joints[4] = {0, 0, 0, 0};
    float weights[4] = {1, 0, 0, 0};
};

void put_f32(uint8_t* at, float v) { std::memcpy(at, &v, 4); }

void put_vertex(const GltfProfile& p, const Vertex& v, uint8_t* out) {
    for (const VertexClient& c : p.clients) {
        uint8_t* at = out + c.offset;
        switch (role_of(c)) {
        case ROLE_POSITION:
            for (int i = 0; i < 3; ++i) put_f32(at + 4 * i, v.position[i]);
            break;
        case ROLE_NORMAL:
            for (int i = 0; i < 3; ++i) put_f32(at + 4 * i, v.normal[i]);
            break;
        case ROLE_COLOUR:
            for (int i = 0; i < c.components; ++i) put_f32(at + 4 * i, v.colour[i]);
            break;
        case ROLE_UV:
            for (int i = 0; i < 2; ++i) put_f32(at + 4 * i, v.uv[i]);
            break;
        case ROLE_JOINTS: std::memcpy(at, v.joints, 16); break;
        case ROLE_WEIGHTS:
            for (int i = 0; i < 4; ++i) put_f32(at + 4 * i, v.weights[i]);
            break;
        default: break;
        }
    }
}

int attribute(const tinygltf::Primitive& p, const char* name) {
    auto it = p.attributes.find(name);
    return it == p.attributes.end() ? -1 : it->second;
}

// False when some attribute or the indices lie in a buffer the file does
// not hold.
bool primitive_known(const tinygltf::Model& m, const tinygltf::Primitive& p) {
    for (const auto& [name, accessor] : p.attributes)
        if (!gltf_accessor_known(m, accessor)) return false;
    return gltf_accessor_known(m, p.indices);
}

// Area-weighted vertex normals, for primitives that bring none.
void make_normals(std::vector<Vertex>* verts, size_t first, const std::vector<uint32_t>& indices) {
    std::vector<double> acc((verts->size() - first) * 3, 0.0);
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
        const float* a = (*verts)[indices[i]].position;
        const float* b = (*verts)[indices[i + 1]].position;
        const float* c = (*verts)[indices[i + 2]].position;
        double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) acc[(indices[i + k] - first) * 3 + j] += n[j];
    }
    for (size_t v = first; v < verts->size(); ++v) {
        double* n = &acc[(v - first) * 3];
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int j = 0; j < 3; ++j)
            (*verts)[v].normal[j] = len > 0 ? static_cast<float>(n[j] / len) : (j == 2 ? 1.f : 0.f);
    }
}

// The engine texture for a glTF image: written once as PNG, -1 when the
// image could not be read.
int texture_for_image(GltfContext* ctx, int image) {
    const tinygltf::Model& m = *ctx->model;
    if (image < 0 || static_cast<size_t>(image) >= m.images.size()) return -1;
    if (ctx->texture_of_image.empty()) ctx->texture_of_image.assign(m.images.size(), -1);
    int& slot = ctx->texture_of_image[image];
    if (slot != -1) return slot < 0 ? -1 : slot;
    const tinygltf::Image& img = m.images[image];
    slot = -2;
    if (img.width <= 0 || img.height <= 0 || img.component != 4 ||
        img.image.size() != static_cast<size_t>(img.width) * static_cast<size_t>(img.height) * 4) {
        ctx->out->warnings.push_back(gltf_label("image", img.name, image) +
                                     " has no picture we can read; left untextured");
        return -1;
    }
    bool opaque = true;
    for (size_t i = 3; i < img.image.size() && opaque; i += 4) opaque = img.image[i] == 255;
    std::vector<uint8_t> pixels;
    if (opaque) {
        pixels.reserve(img.image.size() / 4 * 3);
        for (size_t i = 0; i < img.image.size(); i += 4) pixels.insert(pixels.end(), &img.image[i], &img.image[i] + 3);
    }
    GltfImportTexture tex;
    tex.file_name = ctx->options->texture_prefix + std::to_string(image) + ".png";
    tex.png = opaque ? image_encode_png(img.width, img.height, 3, pixels.data())
                     : image_encode_png(img.width, img.height, 4, img.image.data());
    if (tex.png.empty()) {
        ctx->out->warnings.push_back(gltf_label("image", img.name, image) + " could not be written as PNG");
        return -1;
    }
    slot = static_cast<int>(ctx->out->scene.textures.size());
    ctx->out->scene.textures.push_back(tex.file_name);
    ctx->out->textures.push_back(std::move(tex));
    return slot;
}

// The engine material for glTF material `index` (-1: the default one).
int material_for(GltfContext* ctx, int index) {
    const tinygltf::Model& m = *ctx->model;
    SceneDesc& scene = ctx->out->scene;
    if (index < 0 || static_cast<size_t>(index) >= m.materials.size()) {
        if (ctx->default_material < 0) {
            SceneDescMaterial mat;
            mat.name = "default";
            mat.flags = MATERIAL_CULL_BACK | MATERIAL_OPAQUE; // glTF's default material: single-sided, opaque
            ctx->default_material = static_cast<int>(scene.materials.size());
            scene.materials.push_back(mat);
        }
        return ctx->default_material;
    }
    if (ctx->material_of.empty()) ctx->material_of.assign(m.materials.size(), -1);
    if (ctx->material_of[index] >= 0) return ctx->material_of[index];
    const tinygltf::Material& g = m.materials[index];
    SceneDescMaterial mat;
    mat.name = g.name.empty() ? "material" + std::to_string(index) : g.name;
    const std::vector<double>& f = g.pbrMetallicRoughness.baseColorFactor;
    for (size_t i = 0; i < 4 && i < f.size(); ++i)
        mat.colour[i] = std::isfinite(f[i]) ? static_cast<float>(std::clamp(f[i], 0.0, 1.0)) : 1.0f;
    // An opaque material ignores every alpha, its textures' too, and is drawn
    // without blending; a masked one is drawn blended.
    if (g.alphaMode != "BLEND" && g.alphaMode != "MASK") {
        mat.colour[3] = 1.0f;
        mat.flags |= MATERIAL_OPAQUE;
    }
    if (g.extensions.count("KHR_materials_unlit")) mat.flags |= MATERIAL_UNLIT;
    // glTF culls back faces unless a material says it has two sides; the
    // winding test is made on screen, so mirrored nodes stay right.
    if (!g.doubleSided) mat.flags |= MATERIAL_CULL_BACK;
    const tinygltf::TextureInfo& info = g.pbrMetallicRoughness.baseColorTexture;
    if (info.index >= 0) {
        if (static_cast<size_t>(info.index) >= m.textures.size()) {
            ctx->out->warnings.push_back(gltf_label("material", g.name, index) +
                                         " names a texture that does not exist");
        } else {
            if (info.texCoord != 0)
                ctx->out->warnings.push_back(gltf_label("material", g.name, index) + ": texture uses coordinate set " +
                                             std::to_string(info.texCoord) + "; only the first set is imported");
            int tex = texture_for_image(ctx, m.textures[info.index].source);
            if (tex >= 0) mat.layers.push_back({tex, COMBINE_MODULATE});
        }
    }
    ctx->material_of[index] = static_cast<int>(scene.materials.size());
    scene.materials.push_back(mat);
    return ctx->material_of[index];
}

// Reads an attribute that must hold one element per vertex.
bool per_vertex(const tinygltf::Model& m, const tinygltf::Primitive& p, const char* name, size_t count,
                std::initializer_list<int> types, const std::string& what, GltfValues* out, std::string* error) {
    int index = attribute(p, name);
    if (!gltf_read_accessor(m, index, what + " " + name, out, error)) return false;
    const tinygltf::Accessor& a = m.accessors[index];
    if (std::find(types.begin(), types.end(), a.type) == types.end()) {
        *error = what + ": " + name + " has the wrong element type";
        return false;
    }
    if (out->count != count) {
        *error = what + ": " + name + " has " + std::to_string(out->count) + " elements for " + std::to_string(count) +
                 " vertices";
        return false;
    }
    return true;
}

// Up to eight influences per vertex, of which the four heaviest are kept
// and normalised; joints become bone numbers.
bool bind_vertices(const tinygltf::Model& m, const tinygltf::Primitive& p, const GltfSkinBinding& binding,
                   std::vector<Vertex>* verts, size_t first, const std::string& what, std::string* error) {
    size_t count = verts->size() - first;
    std::vector<std::pair<float, int>> influences(count * 8, {0.0f, 0});
    int sets = 0;
    for (int set = 0; set < 2; ++set) {
        std::string jn = "JOINTS_" + std::to_string(set), wn = "WEIGHTS_" + std::to_string(set);
        if (attribute(p, jn.c_str()) < 0 && attribute(p, wn.c_str()) < 0) continue;
        GltfValues joints, weights;
        if (!per_vertex(m, p, jn.c_str(), count, {TINYGLTF_TYPE_VEC4}, what, &joints, error) ||
            !per_vertex(m, p, wn.c_str(), count, {TINYGLTF_TYPE_VEC4}, what, &weights, error))
            return false;
        if (joints.component_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
            joints.component_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
            *error = what + ": " + jn + " must hold unsigned bytes or shorts";
            return false;
        }
        for (size_t v = 0; v < count; ++v)
            for (int k = 0; k < 4; ++k) {
                double j = joints.at(v, k), w = weights.at(v, k);
                if (w == 0) continue;
                if (j >= static_cast<double>(binding.bone_of_joint.size())) {
                    *error = what + ": joint " + std::to_string(static_cast<long>(j)) + " is not in the skin";
                    return false;
                }
                influences[v * 8 + set * 4 + k] = {static_cast<float>(std::max(w, 0.0)),
                                                   binding.bone_of_joint[static_cast<size_t>(j)]};
            }
        ++sets;
    }
    if (sets == 0) {
        *error = what + " is skinned but has no JOINTS_0 and WEIGHTS_0";
        return false;
    }
    for (size_t v = 0; v < count; ++v) {
        auto begin = influences.begin() + static_cast<long>(v * 8);
        std::stable_sort(begin, begin + 8, [](const auto& a, const auto& b) { return a.first > b.first; });
        float sum = begin[0].first + begin[1].first + begin[2].first + begin[3].first;
        Vertex& out = (*verts)[first + v];
        for (int k = 0; k < 4; ++k) {
            out.joints[k] = begin[k].second;
            out.weights[k] = sum > 0 ? begin[k].first / sum : (k == 0 ? 1.0f : 0.0f);
        }
    }
    return true;
}

} // namespace

bool gltf_convert_mesh(GltfContext* ctx, int mesh_index, const GltfSkinBinding* binding, int* mesh_out,
                       std::string* error) {
    const tinygltf::Model& m = *ctx->model;
    const tinygltf::Mesh& mesh = m.meshes[mesh_index];
    const std::string label = gltf_label("mesh", mesh.name, mesh_index);
    *mesh_out = -1;
    std::vector<Vertex> verts;
    std::map<int, std::vector<uint32_t>> by_material; // engine material -> indices
    std::vector<int> material_order;
    Needs needs;
    needs.skinned = binding != nullptr;

    for (size_t pi = 0; pi < mesh.primitives.size(); ++pi) {
        const tinygltf::Primitive& p = mesh.primitives[pi];
        const std::string what = label + " primitive " + std::to_string(pi);
        if (!p.targets.empty()) {
            *error = label + " has morph targets, which the engine cannot show";
            return false;
        }
        if (p.mode != -1 && p.mode != TINYGLTF_MODE_TRIANGLES) {
            *error = what + " is not made of triangles (mode " + std::to_string(p.mode) + ")";
            return false;
        }
        if (attribute(p, "POSITION") < 0) {
            ctx->out->warnings.push_back(what + " has no positions; left out");
            continue;
        }
        if (!primitive_known(m, p)) {
            ctx->out->warnings.push_back(what + " reads a buffer without a uri, whose bytes are not in the file; "
                                                "left out");
            continue;
        }
        GltfValues pos;
        if (!gltf_read_accessor(m, attribute(p, "POSITION"), what + " POSITION", &pos, error)) return false;
        if (m.accessors[attribute(p, "POSITION")].type != TINYGLTF_TYPE_VEC3) {
            *error = what + ": POSITION is not three-component";
            return false;
        }
        size_t count = pos.count, first = verts.size();
        if (count > kMaxMeshVertices - first) {
            *error = label + " has more vertices than the engine takes";
            return false;
        }
        verts.resize(first + count);
        for (size_t v = 0; v < count; ++v)
            for (int k = 0; k < 3; ++k) verts[first + v].position[k] = static_cast<float>(pos.at(v, k));

        std::vector<uint32_t> indices;
        if (p.indices >= 0) {
            GltfValues idx;
            if (!gltf_read_accessor(m, p.indices, what + " indices", &idx, error)) return false;
            int t = idx.component_type;
            if (m.accessors[p.indices].type != TINYGLTF_TYPE_SCALAR ||
                (t != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && t != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                 t != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)) {
                *error = what + ": indices must be unsigned integers";
                return false;
            }
            indices.reserve(idx.count);
            for (double d : idx.v) {
                if (d >= static_cast<double>(count)) {
                    *error = what + ": index " + std::to_string(static_cast<uint64_t>(d)) + " is past its " +
                             std::to_string(count) + " vertices";
                    return false;
                }
                indices.push_back(static_cast<uint32_t>(first + static_cast<size_t>(d)));
            }
        } else {
            for (size_t v = 0; v < count; ++v) indices.push_back(static_cast<uint32_t>(first + v));
        }
        if (indices.size() % 3 != 0) {
            // The format allows it; the vertices past the last whole triangle draw nothing.
            ctx->out->warnings.push_back(what + ": " + std::to_string(indices.size() % 3) +
                                         " trailing vertices make no triangle; left out");
            indices.resize(indices.size() / 3 * 3);
        }

        GltfValues vals;
        if (attribute(p, "NORMAL") >= 0) {
            if (!per_vertex(m, p, "NORMAL", count, {TINYGLTF_TYPE_VEC3}, what, &vals, error)) return false;
            for (size_t v = 0; v < count; ++v) {
                double n[3] = {vals.at(v, 0), vals.at(v, 1), vals.at(v, 2)};
                double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                for (int k = 0; k < 3; ++k)
                    verts[first + v].normal[k] = len > 0 ? static_cast<float>(n[k] / len) : (k == 2 ? 1.f : 0.f);
            }
        } else {
            make_normals(&verts, first, indices);
        }
        if (attribute(p, "TEXCOORD_0") >= 0) {
            if (!per_vertex(m, p, "TEXCOORD_0", count, {TINYGLTF_TYPE_VEC2}, what, &vals, error)) return false;
            for (size_t v = 0; v < count; ++v)
                for (int k = 0; k < 2; ++k) verts[first + v].uv[k] = static_cast<float>(vals.at(v, k));
            needs.uv = true;
        }
        if (attribute(p, "COLOR_0") >= 0) {
            if (!per_vertex(m, p, "COLOR_0", count, {TINYGLTF_TYPE_VEC3, TINYGLTF_TYPE_VEC4}, what, &vals, error))
                return false;
            for (size_t v = 0; v < count; ++v)
                for (int k = 0; k < vals.components; ++k)
                    verts[first + v].colour[k] = static_cast<float>(std::clamp(vals.at(v, k), 0.0, 1.0));
            needs.colour = true;
        }
        if (binding && !bind_vertices(m, p, *binding, &verts, first, what, error)) return false;

        int material = material_for(ctx, p.material);
        std::vector<uint32_t>& group = by_material[material];
        if (group.empty()) material_order.push_back(material);
        group.insert(group.end(), indices.begin(), indices.end());
    }
    if (verts.empty()) return true;

    int profile = pick_profile(*ctx->profiles, needs);
    if (profile < 0) {
        *error = label + " needs a vertex profile with " + describe(needs) + "; none in vertexprofiles.vsl fits";
        return false;
    }
    const GltfProfile& layout = (*ctx->profiles)[profile];
    SceneDescMesh out;
    out.name = mesh.name.empty() ? "mesh" + std::to_string(mesh_index) : mesh.name;
    out.vertex_count = static_cast<int32_t>(verts.size());
    out.profile = profile;
    out.flags = MESH_BUFFERED | MESH_MATERIALS;
    Vec3 lo = {verts[0].position[0], verts[0].position[1], verts[0].position[2]}, hi = lo;
    for (const Vertex& v : verts) {
        lo = {std::min(lo.x, v.position[0]), std::min(lo.y, v.position[1]), std::min(lo.z, v.position[2])};
        hi = {std::max(hi.x, v.position[0]), std::max(hi.y, v.position[1]), std::max(hi.z, v.position[2])};
    }
    out.box_a = hi;
    out.box_b = lo;
    for (int material : material_order) out.groups.push_back({material, std::move(by_material[material])});
    out.vertices.assign(verts.size() * static_cast<size_t>(layout.stride), 0);
    for (size_t v = 0; v < verts.size(); ++v) put_vertex(layout, verts[v], &out.vertices[v * layout.stride]);
    *mesh_out = static_cast<int>(ctx->out->scene.meshes.size());
    ctx->out->scene.meshes.push_back(std::move(out));
    return true;
}
