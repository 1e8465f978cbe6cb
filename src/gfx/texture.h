// The texture record and its loader: PNG files and the engine's "VTX"
// container, found as passed, under "textures/" or in the pack archive.
#pragma once

#include "core/gl.h"
#include "math/math3d.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// What a texture record holds; render targets use the same values.
enum TextureKind : int {
    TEXTURE_PLAIN = 0,
    TEXTURE_FRAMEBUFFER = 1, // a framebuffer object with its depth renderbuffer
    TEXTURE_PBUFFER = 2,     // a platform pbuffer bound as the texture image
};

// Eleven fields, copied by value; copies share the name text and GL objects.
// The name is allocated with malloc (strdup, calloc) by the creating call;
// texture_free releases it with free().
struct Texture {
    char* name; // path as passed to texture_load, or "Buffer Texture"; null when empty
    int width;
    int height;
    int bytes_per_pixel; // 3 or 4 for loaded textures
    int depth;           // slices of a volume texture, else 0
    GLenum target;       // GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP (or rectangle for targets)
    TextureKind kind;
    unsigned framebuffer;  // framebuffer object; for a pbuffer, its surface handle
    unsigned renderbuffer; // depth renderbuffer; for a pbuffer, its context handle
    unsigned pbuffer;      // the pbuffer handle
    GLuint gl_name;        // texture object, 0 when none
};

// 1 linear, 2 nearest, anything else leaves the GL defaults. Initially 1.
extern int texture_filter_mode;

void texture_init(Texture* t);
Texture texture_copy(Texture* destination, Texture source);

// True when a texture object was created. The record's name is the path as
// passed; the file is looked up as path_data(path), then
// path_data("textures/" + path), then in the pack archive.
//
// While files are watched (core/reload.h) a texture from a file (not from
// the archive) is registered by its texture object: an edit is decoded and
// uploaded into that same object, so every copy of the record draws it.
// The records' size fields keep the first load's values. An edit that does
// not decode, or that turns it into another kind of texture, leaves the
// last good picture. texture_free forgets it.
bool texture_load(Texture* t, const char* path);
// The same, returning the record (empty after texture_init on failure).
Texture texture_load(const char* path);
// A picture file held in memory under a name: texture_load of that name
// decodes these bytes before looking for any file, until the memory is
// forgotten. For a model imported on the fly, whose pictures have no file.
void texture_provide_memory(const std::string& name, std::vector<uint8_t> bytes);
void texture_forget_memory();

// Decodes one 8-bit RGB or RGBA PNG from the stream's current position and
// leaves the stream just behind the PNG. On failure it logs "[#n]", closes
// the stream and returns null. The caller frees the pixels with free().
uint8_t* texture_read_png(FILE* stream, int* width, int* height, int* bytes_per_pixel);

// The decoding half of texture_load, without GL: reads a PNG file or a
// container from the stream's current position into planes: one for a 2D
// texture, one holding every slice of a volume (empty when the container
// carries no data), six for a cube map. Logs like texture_load and returns
// false on a refusal. Takes ownership of the stream: it is closed in every
// case (a null stream is refused). Fuzzers and tools feed it a stream from
// fmemopen.
struct TextureImage {
    GLenum target = GL_TEXTURE_2D;
    int width = 0;
    int height = 0;
    int bytes_per_pixel = 0;
    int depth = 0;
    std::vector<std::vector<uint8_t>> planes;
};
bool texture_decode(FILE* stream, const char* path, TextureImage* out);

void texture_set_filter(GLenum target);
void texture_bind(Texture t, int unit);
void texture_unbind(Texture t, int unit);
int texture_reset_units();
void texture_free(Texture* t);

// Draws t as a quad over x..x+w, y..y+h in the current projection,
// modulated by colour. Loaded images and render targets both appear
// upright under the 2D view (origin top left).
void texture_draw(Texture t, int x, int y, int w, int h, Color colour);
// A part of a 2D texture drawn in place: the rectangle x, y, w, h and
// u0..u1 across, v0..v1 down the upright image, in 0..1. The whole range
// gives texture_draw's quad.
struct TexturePart {
    int x, y, w, h;
    float u0, v0, u1, v1;
};
// Draws the parts of a 2D texture with texture_draw's state, in one batch.
void texture_draw_parts(Texture t, std::span<const TexturePart> parts, Color colour);
