// glTF import from memory: the bytes are a .gltf or .glb file, read with no
// folder, so any reference to an outside file must be refused. What the
// import accepts must be a scene the engine's decoder takes back and whose
// armatures evaluate to finite matrices; what it refuses, it refuses in one
// line.
#include "fuzz_harness.h"
#include "gltf_import.h"

// The layouts come from the content's profile script, read once with the
// engine's own loader (the tool has them compiled in instead).
const std::vector<GltfProfile>& gltf_import_content_profiles() {
    static const std::vector<GltfProfile> table = [] {
        FILE* f = std::fopen(VANTOR_SOURCE_DIR "/content/scripts/vertexprofiles.vsl", "r");
        fuzz_check(f != nullptr);
        vertex_profile_load_stream(f, "vertexprofiles.vsl");
        std::fclose(f);
        return gltf_import_profiles_from_engine();
    }();
    return table;
}

int gltf_import_content_stride(int profile) {
    const std::vector<GltfProfile>& t = gltf_import_content_profiles();
    return profile >= 0 && static_cast<size_t>(profile) < t.size() ? t[static_cast<size_t>(profile)].stride : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GltfImportResult result;
    std::string error;
    if (!gltf_import_memory(data, size, "", GltfImportOptions(), &result, &error)) {
        fuzz_check(!error.empty() && error.find('\n') == std::string::npos);
        if (fuzz_verbose()) std::fprintf(stderr, "refused: %s\n", error.c_str());
        return 0;
    }
    std::vector<uint8_t> bytes = scene_write(result.scene);
    SceneDesc back;
    std::string decode_error;
    if (!scene_decode(bytes.data(), bytes.size(), &back, &decode_error, gltf_import_content_stride)) {
        std::fprintf(stderr, "written scene does not decode: %s\n", decode_error.c_str());
        fuzz_check(false);
    }
    for (const SceneDescArmature& a : back.armatures) {
        std::unique_ptr<Armature> arm(scene_build_armature(a));
        armature_pose_evaluate(arm.get(), static_cast<float>(a.frames.size() / 2));
        armature_update_matrices(arm.get());
        for (const Matrix& m : arm->skin)
            for (float v : m.m) fuzz_check(std::isfinite(v));
    }
    if (fuzz_verbose())
        std::fprintf(stderr, "imported: %zu objects, %zu meshes, %zu armatures, %zu textures\n", back.objects.size(),
                     back.meshes.size(), back.armatures.size(), back.textures.size());
    return 0;
}
