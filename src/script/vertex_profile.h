// Vertex profiles: numbered interleaved vertex layouts, read once from
// "vertexprofiles.vsl" and applied to the fixed-function client arrays.
#pragma once

#include <cstdint>
#include <cstdio>

enum {
    CLIENT_VERTEX = 1,
    CLIENT_NORMAL = 2,
    CLIENT_COLOR = 3,
    CLIENT_TEXCOORD = 4,
    CLIENT_TEXCOORD_INT = 5,
};

struct VertexClient {
    int32_t type;       // other values (padding) are counted in the stride, never drawn
    int32_t components; // 4-byte components; also the stride contribution (drawn: 1 to 4)
    int32_t offset;     // byte offset inside the vertex record
    int32_t unit;       // texture unit, texture-coordinate types only
};

struct VertexProfile {
    VertexClient* clients; // client_count entries, null until allocated
    int32_t client_count;
    int32_t stride; // bytes per vertex
};

// Bounds no real layout comes near; they keep a hostile file's strides and
// buffer sizes far from overflowing.
constexpr int VERTEX_PROFILE_MAX_COMPONENTS = 64;
constexpr int VERTEX_PROFILE_MAX_STRIDE = 4096;

extern VertexProfile* vertex_profiles;
extern int vertex_profile_count;

// Reads path_data("scripts/" + name). A missing file is fatal: a critical
// report line (log_fatal) and false; the program then ends with status 1.
bool vertex_profile_load(const char* name);
// The same from an open stream; name is only used in report lines. Makes no
// GL call, so it can be fed arbitrary text without a context.
void vertex_profile_load_stream(FILE* file, const char* name);

// Points and enables the profile's client arrays at base + offset (base is
// null while a vertex buffer object is bound), skipping clients the drawing
// cannot use (unknown type, components outside 1 to 4, texture unit out of
// range). An index outside the loaded profiles is refused with a report line.
void vertex_profile_apply(int index, const void* base);
void vertex_profile_disable(int index);
// Bytes per vertex; 0 (and a report line) for an index outside the profiles.
// A profile without registrations has stride 0: its meshes carry no vertex data.
int vertex_profile_stride(int index);
// True when vertex_profile_apply would enable an array for the client.
bool vertex_client_drawable(const VertexClient& client);
// Releases every profile and the array; loading may then start over.
void vertex_profile_free();
