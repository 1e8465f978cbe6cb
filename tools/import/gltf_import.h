// glTF 2.0 to ".vscene": the conversion behind vantor-import, as functions
// the tool, the tests and the fuzz target share. Parsing (JSON, base64, GLB)
// is tinygltf's; everything it hands over is checked here before use, since
// a model file is untrusted input.
#pragma once

#include "scene/scene_writer.h"
#include "script/vertex_profile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One numbered vertex layout, as the content's vertexprofiles.vsl defines it.
struct GltfProfile {
    int stride = 0;
    std::vector<VertexClient> clients;
};

struct GltfImportOptions {
    float fps = 25.0f; // animation samples per second; key times are frame numbers
    // Texture files are named prefix + image index + ".png" and the scene
    // names them so; they are meant to lie beside the scene file.
    std::string texture_prefix = "texture_";
    // The layouts meshes may use; empty means the content's own table.
    std::vector<GltfProfile> profiles;
};

// A texture to write beside the scene: its file name and PNG bytes.
struct GltfImportTexture {
    std::string file_name;
    std::vector<uint8_t> png;
};

struct GltfImportResult {
    SceneDesc scene;
    std::vector<GltfImportTexture> textures;
    std::vector<std::string> warnings; // what was left out, one line each
};

// Converts a .gltf or .glb held in memory. External files (buffers, images)
// are read only from base_dir and below it; an empty base_dir allows none.
// False with one line in *error (naming the node, mesh or skin at fault)
// when the model is malformed or holds what the engine cannot show.
bool gltf_import_memory(const uint8_t* data, size_t size, const std::string& base_dir, const GltfImportOptions& options,
                        GltfImportResult* out, std::string* error);

// Reads in_path, converts it and writes out_path plus the textures beside it.
bool gltf_import_file(const std::string& in_path, const std::string& out_path, const GltfImportOptions& options,
                      std::vector<std::string>* warnings, std::string* error);

// The vertex profiles of the content's vertexprofiles.vsl, compiled in.
const std::vector<GltfProfile>& gltf_import_content_profiles();

// The profiles the engine has loaded (vertex_profile_load), as a table.
std::vector<GltfProfile> gltf_import_profiles_from_engine();

// Bytes per vertex of a content profile, 0 for none: a stride function for
// scene_decode without loading the profile script.
int gltf_import_content_stride(int profile);
