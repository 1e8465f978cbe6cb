// Shader programs from ".vsl" scripts (GLSL through the ARB shader-object
// entry points) with uniforms that are re-uploaded at every bind.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/list.h"

struct Matrix;

enum {
    UNIFORM_INT = 0,
    UNIFORM_VEC4 = 1,
    UNIFORM_FLOAT = 2,
    UNIFORM_MATRIX4 = 3,
};

enum {
    SHADER_SETTINGS_VERTEX = 1,
    SHADER_SETTINGS_PIXEL = 2,
    SHADER_SETTINGS_COMBINED = 4,
};

struct ShaderUniform {
    char* name;
    int32_t kind;
    int32_t value;     // UNIFORM_INT: the integer itself
    const float* data; // other kinds: the application's floats, kept alive by it
    int32_t location;
    int32_t count;       // UNIFORM_MATRIX4: number of matrices
    int32_t from_script; // 1: the script's own shader_assign_tex, replaced when it is reloaded
};

// Copied by value by its users; a copy shares the uniform list.
struct ShaderProgram {
    uint32_t program = 0; // GLhandleARB, 0 until "shader_link"
    uint32_t vertex_shader = 0;
    uint32_t pixel_shader = 0;
    int32_t settings = 0;
    List uniforms; // of ShaderUniform*, newest first
};

void shader_init(ShaderProgram* shader);
// Frees the uniform records and deletes the GL objects, then empties the
// record. Copies share the uniform list: free exactly one of them.
void shader_free(ShaderProgram* shader);
// Reads path_data("scripts/" + name). A missing script opens the error
// dialog and returns the record with program 0.
//
// While files are watched (core/reload.h) the record is registered: an
// edit of the script is compiled and linked on its own first, and only a
// version that links replaces the program, in the same program object and
// with the record's registrations kept (their locations asked again), so
// copies of the record see it too. A version that does not link leaves the
// last good program in use. The record must stay where it is until
// shader_free, which forgets it.
ShaderProgram* shader_load(ShaderProgram* shader, const char* name);
// The same from an open stream; name is only used in the report line.
ShaderProgram* shader_load_stream(ShaderProgram* shader, FILE* file, const char* name);

void shader_bind(const ShaderProgram* shader);
// Back to the fixed-function pipeline (program 0).
void shader_unbind(const ShaderProgram* shader);
// The program in use (0: fixed function), and putting one found so back in
// use, its uniforms as they were: for a program bound inside another's.
uint32_t shader_in_use();
void shader_restore(uint32_t program);

// Registration: newest first; the location is queried on program now.
void shader_assign_texture(ShaderProgram* shader, const char* name, int unit);
inline void shader_assign_tex(ShaderProgram* shader, const char* name, int unit) {
    shader_assign_texture(shader, name, unit);
}
void shader_uniform_vec4(ShaderProgram* shader, const char* name, const float* values);
void shader_uniform_matrices(ShaderProgram* shader, const char* name, int count, const float* matrices);
void shader_uniform_matrices(ShaderProgram* shader, const char* name, int count, const Matrix* matrices);
// Drops every registration of that name: for wiring that is done again.
void shader_forget_uniform(ShaderProgram* shader, const char* name);

// Test and fuzzing seam: with the stub on, loading and registration make no
// GL call (handles are counted up, compiles and links succeed, locations are
// -1) and bind/unbind do nothing. Off by default.
void shader_set_gl_stub(bool on);
