// The engine's loaded vertex profiles as a plain table for the import.
#include "gltf_import.h"

std::vector<GltfProfile> gltf_import_profiles_from_engine() {
    std::vector<GltfProfile> out;
    for (int i = 0; i < vertex_profile_count; ++i) {
        const VertexProfile& p = vertex_profiles[i];
        GltfProfile g;
        g.stride = p.stride;
        if (p.clients) g.clients.assign(p.clients, p.clients + p.client_count);
        out.push_back(g);
    }
    return out;
}
