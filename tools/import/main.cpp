// vantor-import IN.gltf|IN.glb -o OUT.vscene [--fps N]
//
// Converts a glTF 2.0 model into a scene file our loader reads, with its
// textures as PNG files beside it. Exit status 0 on success, 1 with one line
// on standard error when the model is refused, 2 on a usage error.
#include "gltf_import.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: vantor-import IN.gltf|IN.glb -o OUT.vscene [--fps N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string in, out;
    GltfImportOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc) {
            out = argv[++i];
        } else if (arg == "--fps" && i + 1 < argc) {
            char* end = nullptr;
            double fps = std::strtod(argv[++i], &end);
            if (!end || *end != '\0' || !(fps >= 1 && fps <= 1000)) {
                std::fprintf(stderr, "vantor-import: --fps takes a number from 1 to 1000\n");
                return 2;
            }
            options.fps = static_cast<float>(fps);
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && in.empty()) {
            in = arg;
        } else {
            return usage();
        }
    }
    if (in.empty() || out.empty()) return usage();

    std::vector<std::string> warnings;
    std::string error;
    bool ok = gltf_import_file(in, out, options, &warnings, &error);
    for (const std::string& w : warnings) std::fprintf(stderr, "vantor-import: warning: %s\n", w.c_str());
    if (!ok) {
        std::fprintf(stderr, "vantor-import: %s: %s\n", in.c_str(), error.c_str());
        return 1;
    }
    std::printf("vantor-import: wrote %s\n", out.c_str());
    return 0;
}
