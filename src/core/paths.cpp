#include "core/paths.h"

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
