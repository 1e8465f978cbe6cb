#include "core/paths.h"

#include <cctype>
#include <filesystem>

namespace {
std::string data_root;
}

void path_set_data_root(std::string_view root) { data_root = std::string(root); }

std::string path_data(std::string_view relative) {
    if (data_root.empty() || (!relative.empty() && relative.front() == '/')) return std::string(relative);
    std::string full = data_root;
    if (full.back() != '/') full += '/';
    full += relative;
    return full;
}

std::string path_extension_lower(std::string_view path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}
