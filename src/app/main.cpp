// Entry point: the command line, then the demo or the scene viewer.
#include "app/app_options.h"
#include "app/demo_main.h"
#include "app/viewer.h"
#include "gltf_import.h"
#include "player/player.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// glTF straight into the viewer: the import's conversion, in memory.
bool import_model(const std::string& path, ViewerModel* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open it";
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    GltfImportResult result;
    std::string folder = std::filesystem::absolute(path).parent_path().string();
    if (!gltf_import_memory(bytes.data(), bytes.size(), folder, GltfImportOptions(), &result, error)) return false;
    out->scene = std::move(result.scene);
    for (GltfImportTexture& t : result.textures) out->pictures.emplace_back(t.file_name, std::move(t.png));
    out->warnings = std::move(result.warnings);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    AppOptions own;
    Player player;
    if (!player_command_line(&player, app_player_setup(&own), argc, argv)) return player.status;
    if (!own.view_path.empty()) return viewer_main(&player, own, import_model);
    return demo_main(&player);
}
