// Pieces of the glTF conversion shared between its files; not for callers.
#pragma once

#include "gltf_import.h"

#include <tiny_gltf.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Parses the bytes with tinygltf, reading external files only under
// base_dir. False with one line in *error.
bool gltf_read_model(const uint8_t* data, size_t size, const std::string& base_dir, tinygltf::Model* model,
                     std::vector<std::string>* warnings, std::string* error);

// What the JSON needed before tinygltf could read it (gltf_prepare.cpp).
struct GltfPrepared {
    std::vector<uint8_t> bytes; // the mended file; empty when the input needed nothing
    std::vector<int> stand_ins; // buffers whose bytes the file does not hold
    std::vector<int> viewless;  // accessors pointed at the appended zero view
    int zero_view = -1;         // that view and its buffer, -1 when none
    int zero_buffer = -1;
};

// Mends what tinygltf would refuse though glTF allows it. False with one
// line in *error for what cannot be mended safely.
bool gltf_prepare(const uint8_t* data, size_t size, bool binary, GltfPrepared* out, std::string* error);

// Puts back in the parsed model what the mending changed: the appended
// view goes, and stand-in buffers are left without data, which marks them.
bool gltf_prepare_finish(const GltfPrepared& prep, tinygltf::Model* model, std::string* error);

// False when some of the accessor's elements lie in a buffer the file does
// not hold (no uri, and not a GLB's BIN chunk); those read as zeros.
bool gltf_accessor_known(const tinygltf::Model& model, int index);

// Checks the whole model against the rules of the format the conversion
// relies on; parent is each node's parent (-1 for roots), already free of
// cycles. False with one line in *error.
bool gltf_check_model(const tinygltf::Model& model, const std::vector<int>& parent, std::string* error);

// The insides of the extension objects: ranges, required members and
// references. False with one line in *error.
bool gltf_check_extension_objects(const tinygltf::Model& model, std::string* error);

// What a primitive's material asks of it: the texture coordinate sets its
// textures read (texcoord_sets are those it has) and, for some extensions,
// tangents. `what` names the primitive in *error.
bool gltf_check_primitive_material(const tinygltf::Model& model, const tinygltf::Primitive& p,
                                   const std::set<int>& texcoord_sets, const std::string& what, std::string* error);

// One accessor's elements as doubles (exact for every glTF component type),
// normalised integers mapped to [0, 1] or [-1, 1], sparse values applied.
struct GltfValues {
    size_t count = 0;
    int components = 0;
    int component_type = 0;
    bool from_data = false; // false: all zeros (no buffer view nor sparse values, or bytes not in the file)
    std::vector<double> v;  // count x components
    double at(size_t element, int component) const {
        return v[element * static_cast<size_t>(components) + static_cast<size_t>(component)];
    }
};

// Reads and bounds-checks accessor `index`. False with one line in *error
// naming `what` when the index, types, counts, offsets or strides do not fit
// the buffers.
bool gltf_read_accessor(const tinygltf::Model& model, int index, const std::string& what, GltfValues* out,
                        std::string* error);

// Column-major 4x4 in double, as glTF stores matrices.
using Mat4 = std::array<double, 16>;
struct Quat {
    double x = 0, y = 0, z = 0, w = 1;
};
struct Trs {
    std::array<double, 3> t{0, 0, 0};
    Quat r;
    std::array<double, 3> s{1, 1, 1};
};

Mat4 mat4_identity();
Mat4 mat4_multiply(const Mat4& a, const Mat4& b);
Mat4 mat4_from_trs(const Trs& trs);
Mat4 mat4_translation(double x, double y, double z);
// False when the matrix cannot be inverted.
bool mat4_inverse(const Mat4& m, Mat4* out);
// Translation, rotation and per-axis scale of an affine matrix without shear.
Trs mat4_decompose(const Mat4& m);
Quat quat_normalise(Quat q);
Quat quat_slerp_d(Quat a, Quat b, double t);
// Euler angles (x, y, z) with Rz * Ry * Rx equal to the rotation, the engine's
// track convention; of the equivalent angle sets, the one nearest `near`.
std::array<double, 3> quat_to_euler_near(Quat q, const std::array<double, 3>& near);

// Meshes and materials: the conversion state they share with the scene walk.
struct GltfContext {
    const tinygltf::Model* model = nullptr;
    const GltfImportOptions* options = nullptr;
    const std::vector<GltfProfile>* profiles = nullptr;
    GltfImportResult* out = nullptr;
    std::vector<int> material_of; // glTF material -> engine material, -1 before first use
    int default_material = -1;
    std::vector<int> texture_of_image; // glTF image -> engine texture, -1 before, -2 refused
};

// The bones a skinned mesh binds to: bone index per skin joint.
struct GltfSkinBinding {
    std::vector<int> bone_of_joint;
};

// Converts mesh `mesh_index` (skinned when binding is non-null) and appends
// it to out->scene.meshes; *mesh_out gets its position, or -1 when nothing
// of it can be drawn (a warning says why).
bool gltf_convert_mesh(GltfContext* ctx, int mesh_index, const GltfSkinBinding* binding, int* mesh_out,
                       std::string* error);

// "mesh 'name'" or "mesh 3" for messages.
std::string gltf_label(const char* kind, const std::string& name, size_t index);
