// Reading ".vscene" files: the whole file is decoded from memory into a
// SceneDesc and checked (no GL), and only then are its textures loaded, its
// meshes stored and the Scene records built, in file order.
#pragma once

#include "scene/scene.h"
#include "scene/scene_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Bytes per vertex of a profile index (0 for a profile without
// registrations), or -1 when there is no such profile.
using SceneStrideFn = int (*)(int profile);

// Decodes and checks a whole file. On a malformed file (negative or
// oversized counts, texts or arrays past the end, positions out of range, a
// parent after its child, short pose frames, vertex indices past the vertex
// count, an unknown profile, an object with two kinds of data) it returns
// false with what is wrong in *error and leaves *out unspecified. stride_of
// null means the loaded vertex profiles.
bool scene_decode(const uint8_t* bytes, size_t size, SceneDesc* out, std::string* error,
                  SceneStrideFn stride_of = nullptr);

// Builds the scene from a checked description: loads the textures, stores
// the meshes (report lines in file order), resolves every position and
// computes the object matrices. Needs the GL context for textures and
// buffered meshes.
void scene_build(Scene* scene, const SceneDesc& desc);

// One armature from its checked description, in its rest pose with its pose
// frames; no GL. The caller owns it (new).
Armature* scene_build_armature(const SceneDescArmature& d);

// The reader proper: the rest of the open file is decoded, checked and
// built. False, with the reason in *error and the scene untouched, when the
// file is malformed.
bool scene_read(Scene* scene, FILE* file, std::string* error);

// Loads path_data("models/" + name). A missing or malformed file is fatal:
// a critical report line (log_fatal) and false; the program then ends with
// status 1.
//
// While files are watched (core/reload.h) a loaded scene is registered by
// its record: an edit goes through scene_reload. Whoever points into the
// scene (materials given a program, uniforms given its bones, cached
// records) adds a hook for the scene with reload_add_hook and wires it
// again there. scene_free forgets it.
bool scene_load(Scene* scene, const char* name);

// Reads a scene file from anywhere, not only the content's models folder
// (a model someone imported). Texture names found beside the file are loaded
// from there; others are looked up in the content as the demo's are. False
// with the reason in *error when the file is missing or malformed, the
// scene untouched; nothing goes to the report. Needs the GL context.
// While files are watched it is registered as scene_load's are, by path;
// the program watches the file's folder when it lies outside the content.
bool scene_load_file(Scene* scene, const std::string& path, std::string* error);

// Reads file into a fresh scene and, when it loads, puts that in place of
// what the record held, which is freed: the record keeps its address and
// its placement (position, rotation, scale, matrix), everything in it is
// new. False, with the reason in *error and the record untouched, when the
// file does not load; never fatal.
bool scene_reload(Scene* scene, const char* name, const std::string& file, std::string* error);
// The same from a description already in memory (a model converted on the
// fly): built fresh, then put in place of what the record held.
void scene_rebuild(Scene* scene, const SceneDesc& desc, const char* name);

// A length-prefixed text from a stream; empty at the end of the file or
// when the length is negative or runs past the end.
std::string read_string(FILE* file);
