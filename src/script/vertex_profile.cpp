#include "script/vertex_profile.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/gl.h"
#include "core/log.h"
#include "core/notice.h"
#include "core/paths.h"
#include "script/script_reader.h"

VertexProfile* vertex_profiles = nullptr;
int vertex_profile_count = 0;

namespace {

// Far beyond any real layout; keeps a hostile file from asking for gigabytes.
constexpr int max_profiles_limit = 4096;
constexpr int max_clients_limit = 256;
constexpr int max_texture_unit = 31;

const char* const too_many_profiles = "MAX_VERTEX_PROFILES\nProfiles a mais que os inicializados";
const char* const register_too_many_profiles =
    "from: MAX_VERTEX_PROFILES\nat:vertex_profile_register(...)\nProfiles a mais que os inicializados";
const char* const too_many_clients =
    "from : vertex_profile_allocate(...)\nat:vertex_profile_register(...)\nClientes a mais que os inicializados";

void report(const char* name, const char* what) {
    log_write_at(LOG_ERROR, "Vertex Profiler [\"%s\"] %s !", name, what);
}

bool valid_index(int index, const char* operation) {
    if (index >= 0 && index < vertex_profile_count && vertex_profiles) return true;
    log_write_at(LOG_ERROR, "Vertex Profiler [#%d] %s: no such profile !", index, operation);
    return false;
}

struct ProfileLoader {
    const char* name;
    int current = -1;

    // A failure shows its text and stops reading; what was loaded stays.
    bool fail(const char* text) {
        notice_message_box(text, "Erro");
        return false;
    }

    bool create_profiles() {
        if (vertex_profiles) {
            report(name, "MAX_VERTEX_PROFILES defined twice, ignored");
            return true;
        }
        const Define* define = define_lookup("MAX_VERTEX_PROFILES");
        if (!define || !define->value) {
            report(name, "MAX_VERTEX_PROFILES without value, using 0");
        }
        int count = define && define->value ? script_atoi(define->value) : 0;
        if (count < 0 || count > max_profiles_limit) {
            report(name, "MAX_VERTEX_PROFILES out of range, ignored");
            return true;
        }
        vertex_profiles = static_cast<VertexProfile*>(std::calloc(count ? count : 1, sizeof(VertexProfile)));
        vertex_profile_count = count;
        return true;
    }

    bool allocate(const char* statement) {
        if (current >= vertex_profile_count) return fail(too_many_profiles);
        if (current < 0) {
            report(name, "vertex_profile_allocate before the first def, ignored");
            return true;
        }
        char argument[SCRIPT_ARGUMENT_SIZE] = {};
        if (!script_argument(statement, argument, 0, sizeof argument)) {
            script_refuse(name, "Argumento longo demais, carregamento interrompido.",
                          "Argument too long, loading stopped");
            return false;
        }
        int count = script_atoi(argument);
        if (count < 0 || count > max_clients_limit) {
            report(name, "vertex_profile_allocate count out of range, ignored");
            return true;
        }
        VertexProfile& profile = vertex_profiles[current];
        std::free(profile.clients);
        // Zeroed, so a slot that is never registered is ignored when drawing.
        profile.clients = static_cast<VertexClient*>(std::calloc(count ? count : 1, sizeof(VertexClient)));
        profile.client_count = count;
        return true;
    }

    bool register_client(const char* statement) {
        if (current >= vertex_profile_count) return fail(register_too_many_profiles);
        if (current < 0) {
            report(name, "vertex_profile_register before the first def, ignored");
            return true;
        }
        VertexProfile& profile = vertex_profiles[current];
        bool ok = true;
        int slot = script_value(statement, 0, &ok);
        if (ok && slot >= profile.client_count) return fail(too_many_clients);
        int values[5] = {};
        for (int k = 4; k >= 0 && ok; --k) values[k] = script_value(statement, k, &ok);
        if (!ok) {
            script_refuse(name, "Argumento longo demais, carregamento interrompido.",
                          "Argument too long, loading stopped");
            return false;
        }
        if (slot < 0) {
            report(name, "vertex_profile_register with a negative slot, ignored");
            return true;
        }
        int components = values[2], offset = values[3], unit = values[4];
        if (components < 0 || components > VERTEX_PROFILE_MAX_COMPONENTS || offset < 0) {
            report(name, "vertex_profile_register with components or offset out of range, ignored");
            return true;
        }
        if (profile.stride + components * 4 > VERTEX_PROFILE_MAX_STRIDE) {
            report(name, "vertex_profile_register past the largest vertex stride, ignored");
            return true;
        }
        // Every registration takes its bytes in the vertex record, even one
        // the drawing skips (a padding slot of another type, say).
        VertexClient client{values[1], components, offset, unit};
        if (!vertex_client_drawable(client) && client.type != 0)
            report(name, "vertex_profile_register of a client the drawing cannot use, counted in the stride only");
        profile.clients[slot] = client;
        profile.stride += components * 4;
        return true;
    }

    bool handle(const char* statement, const char* statement_name, int statement_class) {
        if (statement_class == STATEMENT_DEFINE) {
            // The name the define just registered: up to the next space.
            const char* defined = std::strlen(statement_name) > 8 ? statement_name + 8 : "";
            if (std::strncmp(defined, "MAX_VERTEX_PROFILES", 19) == 0 && (defined[19] == ' ' || defined[19] == '\0'))
                create_profiles();
        } else if (statement_class == STATEMENT_DEF) {
            ++current;
        }
        if (std::strcmp(statement_name, "vertex_profile_allocate") == 0) return allocate(statement);
        if (std::strcmp(statement_name, "vertex_profile_register") == 0) return register_client(statement);
        return true;
    }
};

// A client whose data would end past its vertex record makes every draw
// read past the vertex, and past the buffer at the last one: drop it.
void drop_clients_past_stride(const char* name) {
    for (int p = 0; p < vertex_profile_count; ++p) {
        VertexProfile& profile = vertex_profiles[p];
        for (int i = 0; i < profile.client_count; ++i) {
            VertexClient& c = profile.clients[i];
            if (c.components == 0) continue;
            if (static_cast<int64_t>(c.offset) + c.components * 4 > profile.stride) {
                report(name, "vertex_profile_register with an offset past the vertex stride, ignored");
                c = VertexClient{};
            }
        }
    }
}

} // namespace

void vertex_profile_load_stream(FILE* file, const char* name) {
    ProfileLoader loader{name};
    char statement[1024];
    script_load_loop(file, name, statement, sizeof statement,
                     [&](const char* s, const char* n, int c) { return loader.handle(s, n, c); });
    drop_clients_past_stride(name);
    define_clear();
    log_set_level(LOG_OK);
    log_write("Vertex Profiler [\"%s\" %d] Loaded !", name, vertex_profile_count);
}

bool vertex_profile_load(const char* name) {
    std::string path = path_data(std::string("scripts/") + name);
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        log_fatal("Vertex Profiler [\"%s\"] Not Found !", name);
        return false;
    }
    vertex_profile_load_stream(file, name);
    std::fclose(file);
    return true;
}

bool vertex_client_drawable(const VertexClient& c) {
    if (c.components < 1 || c.components > 4) return false;
    if (c.type == CLIENT_TEXCOORD || c.type == CLIENT_TEXCOORD_INT) return c.unit >= 0 && c.unit <= max_texture_unit;
    return c.type == CLIENT_VERTEX || c.type == CLIENT_NORMAL || c.type == CLIENT_COLOR;
}

void vertex_profile_apply(int index, const void* base) {
    if (!valid_index(index, "apply")) return;
    const VertexProfile& profile = vertex_profiles[index];
    const char* bytes = static_cast<const char*>(base);
    for (int i = 0; i < profile.client_count; ++i) {
        const VertexClient& c = profile.clients[i];
        if (!vertex_client_drawable(c)) continue;
        // With a buffer bound, base is null and the offset is the pointer.
        const void* pointer = bytes ? static_cast<const void*>(bytes + c.offset)
                                    : reinterpret_cast<const void*>(static_cast<uintptr_t>(c.offset));
        switch (c.type) {
        case CLIENT_VERTEX:
            glVertexPointer(c.components, GL_FLOAT, profile.stride, pointer);
            glEnableClientState(GL_VERTEX_ARRAY);
            break;
        case CLIENT_NORMAL:
            glNormalPointer(GL_FLOAT, profile.stride, pointer);
            glEnableClientState(GL_NORMAL_ARRAY);
            break;
        case CLIENT_COLOR:
            glColorPointer(c.components, GL_FLOAT, profile.stride, pointer);
            glEnableClientState(GL_COLOR_ARRAY);
            break;
        case CLIENT_TEXCOORD:
        case CLIENT_TEXCOORD_INT:
            glClientActiveTextureARB(GL_TEXTURE0_ARB + c.unit);
            glTexCoordPointer(c.components, c.type == CLIENT_TEXCOORD ? GL_FLOAT : GL_INT, profile.stride, pointer);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            break;
        default: break;
        }
    }
}

void vertex_profile_disable(int index) {
    if (!valid_index(index, "disable")) return;
    const VertexProfile& profile = vertex_profiles[index];
    for (int i = 0; i < profile.client_count; ++i) {
        const VertexClient& c = profile.clients[i];
        if (!vertex_client_drawable(c)) continue;
        switch (c.type) {
        case CLIENT_VERTEX: glDisableClientState(GL_VERTEX_ARRAY); break;
        case CLIENT_NORMAL: glDisableClientState(GL_NORMAL_ARRAY); break;
        case CLIENT_COLOR: glDisableClientState(GL_COLOR_ARRAY); break;
        case CLIENT_TEXCOORD:
        case CLIENT_TEXCOORD_INT:
            glClientActiveTextureARB(GL_TEXTURE0_ARB + c.unit);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            break;
        default: break;
        }
    }
}

int vertex_profile_stride(int index) {
    if (!valid_index(index, "stride")) return 0;
    return vertex_profiles[index].stride;
}

void vertex_profile_free() {
    for (int i = 0; i < vertex_profile_count; ++i) std::free(vertex_profiles[i].clients);
    std::free(vertex_profiles);
    vertex_profiles = nullptr;
    vertex_profile_count = 0;
}
