// Build step: reads the content's vertexprofiles.vsl with the engine's own
// profile loader and writes it out as C++, so the import knows the layouts
// without a profile script at run time.
//
//   gen_profile_table vertexprofiles.vsl content_profiles.cpp
#include "gltf_import.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen_profile_table PROFILES.vsl OUT.cpp\n");
        return 2;
    }
    FILE* in = std::fopen(argv[1], "rb");
    if (!in) {
        std::fprintf(stderr, "gen_profile_table: cannot open %s\n", argv[1]);
        return 1;
    }
    vertex_profile_load_stream(in, "vertexprofiles.vsl");
    std::fclose(in);
    std::vector<GltfProfile> profiles = gltf_import_profiles_from_engine();
    if (profiles.empty()) {
        std::fprintf(stderr, "gen_profile_table: %s defines no profiles\n", argv[1]);
        return 1;
    }
    FILE* out = std::fopen(argv[2], "w");
    if (!out) {
        std::fprintf(stderr, "gen_profile_table: cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "// Made by gen_profile_table from vertexprofiles.vsl at build time.\n");
    std::fprintf(out, "#include \"gltf_import.h\"\n\n");
    std::fprintf(out, "const std::vector<GltfProfile>& gltf_import_content_profiles() {\n");
    std::fprintf(out, "    static const std::vector<GltfProfile> table = {\n");
    for (const GltfProfile& p : profiles) {
        std::fprintf(out, "        {%d, {", p.stride);
        for (const VertexClient& c : p.clients)
            std::fprintf(out, "{%d, %d, %d, %d}, ", c.type, c.components, c.offset, c.unit);
        std::fprintf(out, "}},\n");
    }
    std::fprintf(out, "    };\n    return table;\n}\n\n");
    std::fprintf(out, "int gltf_import_content_stride(int profile) {\n");
    std::fprintf(out, "    const std::vector<GltfProfile>& t = gltf_import_content_profiles();\n");
    std::fprintf(out,
                 "    return profile >= 0 && static_cast<size_t>(profile) < t.size() ? t[profile].stride : 0;\n}\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
