// The insides of extension objects. The engine draws none of them, but a
// file whose extensions break their own rules is as malformed as one whose
// core does, so it is refused the same way: one line naming the object.
// The values are tinygltf's parsed copies (where an empty object or array
// reads as absent).
#include "gltf_internal.h"

#include <cmath>
#include <limits>
#include <set>

namespace {

using tinygltf::Model;
using tinygltf::Value;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kHalfPi = 1.5707963267948966;

bool fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

const Value* member(const Value& v, const char* key) { return v.IsObject() && v.Has(key) ? &v.Get(key) : nullptr; }

// glTF writes indices as integers; 1.0 counts as 1.
bool index_in(const Value* v, size_t size) {
    if (!v || !v->IsNumber()) return false;
    double d = v->GetNumberAsDouble();
    return d >= 0 && d == std::floor(d) && d < static_cast<double>(size);
}

int as_index(const Value& v) { return static_cast<int>(v.GetNumberAsDouble()); }

const Value* extension(const tinygltf::ExtensionMap& exts, const char* name) {
    auto it = exts.find(name);
    return it == exts.end() ? nullptr : &it->second;
}

// Numbers with a range, scalar or a fixed-size array of them; `owner` is the
// extension (or a part of one) whose object holds the member.
struct NumberRule {
    const char* owner;
    const char* name;
    double min, max;
    int size = 0;          // 0: a scalar
    bool open_min = false; // min itself is outside
    bool open_max = false;
    bool zero_too = false; // 0 is allowed below min
};

const NumberRule kNumbers[] = {
    {"KHR_materials_anisotropy", "anisotropyStrength", 0, 1},
    {"KHR_materials_anisotropy", "anisotropyRotation", -kInf, kInf},
    {"KHR_materials_clearcoat", "clearcoatFactor", 0, 1},
    {"KHR_materials_clearcoat", "clearcoatRoughnessFactor", 0, 1},
    {"KHR_materials_dispersion", "dispersion", 0, kInf},
    {"KHR_materials_emissive_strength", "emissiveStrength", 0, kInf},
    {"KHR_materials_ior", "ior", 1, kInf, 0, false, false, true},
    {"KHR_materials_iridescence", "iridescenceFactor", 0, 1},
    {"KHR_materials_iridescence", "iridescenceIor", 1, kInf},
    {"KHR_materials_iridescence", "iridescenceThicknessMinimum", 0, kInf},
    {"KHR_materials_iridescence", "iridescenceThicknessMaximum", 0, kInf},
    {"KHR_materials_sheen", "sheenColorFactor", 0, 1, 3},
    {"KHR_materials_sheen", "sheenRoughnessFactor", 0, 1},
    {"KHR_materials_specular", "specularFactor", 0, 1},
    {"KHR_materials_specular", "specularColorFactor", 0, kInf, 3},
    {"KHR_materials_transmission", "transmissionFactor", 0, 1},
    {"KHR_materials_volume", "thicknessFactor", 0, kInf},
    {"KHR_materials_volume", "attenuationDistance", 0, kInf, 0, true},
    {"KHR_materials_volume", "attenuationColor", 0, 1, 3},
    {"KHR_materials_pbrSpecularGlossiness", "diffuseFactor", 0, 1, 4},
    {"KHR_materials_pbrSpecularGlossiness", "specularFactor", 0, 1, 3},
    {"KHR_materials_pbrSpecularGlossiness", "glossinessFactor", 0, 1},
    {"KHR_texture_transform", "offset", -kInf, kInf, 2},
    {"KHR_texture_transform", "scale", -kInf, kInf, 2},
    {"KHR_texture_transform", "rotation", -kInf, kInf},
    {"light", "color", 0, 1, 3},
    {"light", "intensity", 0, kInf},
    {"light", "range", 0, kInf, 0, true},
    {"spot", "innerConeAngle", 0, kHalfPi, 0, false, true},
    {"spot", "outerConeAngle", 0, kHalfPi, 0, true},
};

bool number_ok(const NumberRule& r, const Value& v) {
    if (!v.IsNumber()) return false;
    double d = v.GetNumberAsDouble();
    if (r.zero_too && d == 0) return true;
    return (r.open_min ? d > r.min : d >= r.min) && (r.open_max ? d < r.max : d <= r.max);
}

bool check_numbers(const Value& obj, const char* owner, const std::string& where, std::string* error) {
    for (const NumberRule& r : kNumbers) {
        const Value* v = std::string(r.owner) == owner ? member(obj, r.name) : nullptr;
        if (!v) continue;
        bool ok = r.size == 0 ? number_ok(r, *v) : v->IsArray() && v->ArrayLen() == static_cast<size_t>(r.size);
        for (int i = 0; ok && i < r.size; ++i) ok = number_ok(r, v->Get(i));
        if (!ok) return fail(error, where + ": " + owner + " " + r.name + " is out of range");
    }
    return true;
}

constexpr size_t kAnySet = static_cast<size_t>(std::numeric_limits<int>::max());

// Every "...Texture" member of a KHR material extension is a texture reference.
bool check_texture_refs(const Model& m, const Value& obj, const std::string& where, std::string* error) {
    for (const std::string& key : obj.Keys()) {
        if (key.size() < 7 || key.compare(key.size() - 7, 7, "Texture") != 0) continue;
        const Value& info = obj.Get(key);
        const Value* tc = member(info, "texCoord");
        if (!index_in(member(info, "index"), m.textures.size()) || (tc && !index_in(tc, kAnySet)))
            return fail(error, where + ": " + key + " names a texture that does not exist");
    }
    return true;
}

// The texture coordinate set a texture reads, after a transform that moves it.
int texcoord_of(const tinygltf::ExtensionMap& exts, int tex_coord) {
    const Value* t = extension(exts, "KHR_texture_transform");
    const Value* tc = t ? member(*t, "texCoord") : nullptr;
    return tc ? as_index(*tc) : tex_coord; // checked with the material
}

bool check_materials(const Model& m, std::string* error) {
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const tinygltf::Material& mat = m.materials[i];
        std::string label = gltf_label("material", mat.name, i);
        for (const auto& [name, obj] : mat.extensions)
            if (!check_numbers(obj, name.c_str(), label, error) ||
                (name.rfind("KHR_materials_", 0) == 0 && !check_texture_refs(m, obj, label, error)))
                return false;
        for (const tinygltf::ExtensionMap* exts :
             {&mat.pbrMetallicRoughness.baseColorTexture.extensions,
              &mat.pbrMetallicRoughness.metallicRoughnessTexture.extensions, &mat.emissiveTexture.extensions,
              &mat.normalTexture.extensions, &mat.occlusionTexture.extensions}) {
            const Value* t = extension(*exts, "KHR_texture_transform");
            if (t && !check_numbers(*t, "KHR_texture_transform", label, error)) return false;
            const Value* tc = t ? member(*t, "texCoord") : nullptr;
            if (tc && !index_in(tc, kAnySet))
                return fail(error, label + ": KHR_texture_transform texCoord is not a texture coordinate set");
        }
    }
    return true;
}

// The array `key` of the model-level extension `name`, or null without the
// extension; false when the extension is there but the array is not.
bool extension_array(const Model& m, const char* name, const char* key, const Value** array, std::string* error) {
    const Value* root = extension(m.extensions, name);
    *array = root ? member(*root, key) : nullptr;
    if (root && !(*array && (*array)->IsArray())) return fail(error, std::string(name) + " has no " + key);
    return true;
}

bool check_lights(const Model& m, std::string* error) {
    const Value* lights = nullptr;
    if (!extension_array(m, "KHR_lights_punctual", "lights", &lights, error)) return false;
    for (size_t i = 0; lights && i < lights->ArrayLen(); ++i) {
        const Value& light = lights->Get(static_cast<int>(i));
        std::string label = "light " + std::to_string(i);
        const Value* type = member(light, "type");
        if (!type || !type->IsString()) return fail(error, label + " has no type");
        if (!check_numbers(light, "light", label, error)) return false;
        if (type->Get<std::string>() != "spot") continue;
        const Value* spot = member(light, "spot");
        if (!spot) return fail(error, label + " is a spot light without its cone");
        if (!check_numbers(*spot, "spot", label, error)) return false;
        const Value* inner = member(*spot, "innerConeAngle");
        const Value* outer = member(*spot, "outerConeAngle");
        if ((inner ? inner->GetNumberAsDouble() : 0) >= (outer ? outer->GetNumberAsDouble() : kHalfPi / 2))
            return fail(error, label + ": its outer cone angle is not above the inner one");
    }
    for (size_t i = 0; i < m.nodes.size(); ++i) {
        const Value* ref = extension(m.nodes[i].extensions, "KHR_lights_punctual");
        if (ref && !index_in(member(*ref, "light"), lights ? lights->ArrayLen() : 0))
            return fail(error, gltf_label("node", m.nodes[i].name, i) + " names a light that does not exist");
        const Value* vis = extension(m.nodes[i].extensions, "KHR_node_visibility");
        const Value* visible = vis ? member(*vis, "visible") : nullptr;
        if (visible && !visible->IsBool())
            return fail(error, gltf_label("node", m.nodes[i].name, i) + ": its visibility is not true or false");
    }
    return true;
}

bool check_variants(const Model& m, std::string* error) {
    const Value* variants = nullptr;
    if (!extension_array(m, "KHR_materials_variants", "variants", &variants, error)) return false;
    for (size_t i = 0; variants && i < variants->ArrayLen(); ++i) {
        const Value* name = member(variants->Get(static_cast<int>(i)), "name");
        if (!name || !name->IsString()) return fail(error, "material variant " + std::to_string(i) + " has no name");
    }
    for (size_t mi = 0; mi < m.meshes.size(); ++mi) {
        for (size_t pi = 0; pi < m.meshes[mi].primitives.size(); ++pi) {
            const Value* ext = extension(m.meshes[mi].primitives[pi].extensions, "KHR_materials_variants");
            if (!ext) continue;
            std::string what = gltf_label("mesh", m.meshes[mi].name, mi) + " primitive " + std::to_string(pi);
            const Value* mappings = member(*ext, "mappings");
            if (!mappings || !mappings->IsArray()) return fail(error, what + " has no material variant mappings");
            std::set<int> seen;
            for (size_t k = 0; k < mappings->ArrayLen(); ++k) {
                const Value& mapping = mappings->Get(static_cast<int>(k));
                std::string at = what + ": material variant mapping " + std::to_string(k);
                if (!index_in(member(mapping, "material"), m.materials.size()))
                    return fail(error, at + " names a material that does not exist");
                const Value* list = member(mapping, "variants");
                if (!list || !list->IsArray()) return fail(error, at + " names no variants");
                for (size_t v = 0; v < list->ArrayLen(); ++v) {
                    const Value& ref = list->Get(static_cast<int>(v));
                    if (!index_in(&ref, variants ? variants->ArrayLen() : 0))
                        return fail(error, at + " names a variant that does not exist");
                    if (!seen.insert(as_index(ref)).second)
                        return fail(error, at + " names a variant an earlier mapping took");
                }
            }
        }
    }
    return true;
}

// tinygltf drops a channel whose target names no node, which is what an
// animation pointer needs (its rules are checked on the JSON text); what is
// left here is a target with both.
bool check_channels_and_textures(const Model& m, std::string* error) {
    for (size_t ai = 0; ai < m.animations.size(); ++ai) {
        const tinygltf::Animation& anim = m.animations[ai];
        for (size_t ci = 0; ci < anim.channels.size(); ++ci)
            if (extension(anim.channels[ci].target_extensions, "KHR_animation_pointer"))
                return fail(error, gltf_label("animation", anim.name, ai) + " channel " + std::to_string(ci) +
                                       " targets both a node and an animation pointer");
    }
    for (size_t i = 0; i < m.textures.size(); ++i) {
        for (const char* name : {"EXT_texture_webp", "KHR_texture_basisu"}) {
            const Value* ext = extension(m.textures[i].extensions, name);
            const Value* source = ext ? member(*ext, "source") : nullptr;
            if (source && !index_in(source, m.images.size()))
                return fail(error, gltf_label("texture", m.textures[i].name, i) + ": its " + name +
                                       " source names an image that does not exist");
        }
    }
    return true;
}

} // namespace

bool gltf_check_extension_objects(const tinygltf::Model& m, std::string* error) {
    return check_materials(m, error) && check_lights(m, error) && check_variants(m, error) &&
           check_channels_and_textures(m, error);
}

bool gltf_check_primitive_material(const tinygltf::Model& m, const tinygltf::Primitive& p,
                                   const std::set<int>& texcoord_sets, const std::string& what, std::string* error) {
    if (p.material < 0 || static_cast<size_t>(p.material) >= m.materials.size()) return true;
    const tinygltf::Material& mat = m.materials[p.material];
    const tinygltf::PbrMetallicRoughness& pbr = mat.pbrMetallicRoughness;
    std::vector<int> needed;
    for (const tinygltf::TextureInfo* info :
         {&pbr.baseColorTexture, &pbr.metallicRoughnessTexture, &mat.emissiveTexture})
        if (info->index >= 0) needed.push_back(texcoord_of(info->extensions, info->texCoord));
    if (mat.normalTexture.index >= 0)
        needed.push_back(texcoord_of(mat.normalTexture.extensions, mat.normalTexture.texCoord));
    if (mat.occlusionTexture.index >= 0)
        needed.push_back(texcoord_of(mat.occlusionTexture.extensions, mat.occlusionTexture.texCoord));
    for (const auto& [name, obj] : mat.extensions) {
        if (name.rfind("KHR_materials_", 0) != 0) continue;
        for (const std::string& key : obj.Keys()) {
            const Value* tc = member(obj.Get(key), "texCoord");
            if (key.size() >= 7 && key.compare(key.size() - 7, 7, "Texture") == 0 && member(obj.Get(key), "index"))
                needed.push_back(tc ? as_index(*tc) : 0); // checked in range with the material
        }
    }
    for (int set : needed)
        if (!texcoord_sets.count(set))
            return fail(error, what + ": its material needs TEXCOORD_" + std::to_string(set));
    // Anisotropy and a clear-coat normal map are defined along the surface's
    // tangents: from TANGENT, or made from the material's normal map.
    const Value* clearcoat = extension(mat.extensions, "KHR_materials_clearcoat");
    bool needs_tangents = extension(mat.extensions, "KHR_materials_anisotropy") ||
                          (clearcoat && member(*clearcoat, "clearcoatNormalTexture"));
    if (needs_tangents && !p.attributes.count("TANGENT") && mat.normalTexture.index < 0)
        return fail(error, what + ": its material needs tangents the primitive does not have");
    return true;
}
