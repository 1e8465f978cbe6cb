#include "gfx/texture.h"

#include "core/log.h"
#include "core/paths.h"
#include "core/reload.h"
#include "gfx/pack.h"
#include "gfx/texture_state.h"
#include "platform/platform_pbuffer.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

int texture_filter_mode = 1;

namespace {

// Larger images are refused before libpng allocates their rows; no texture
// of this engine comes near it. Ancillary chunks get a size cap too, so a
// forged chunk length cannot make the reader allocate gigabytes.
constexpr png_uint_32 max_png_side = 8192;
constexpr png_alloc_size_t max_png_chunk = 8u << 20;
// Bytes a single decoded plane or volume may take.
constexpr uint64_t max_plane_bytes = 256ull << 20;

void log_error(const char* format, const char* arg) {
    log_set_level(LOG_ERROR);
    log_write(format, arg);
}

void png_fail(FILE* stream, int code) {
    std::fclose(stream);
    log_set_level(LOG_ERROR);
    log_write("Texture Loader [#%d] PNG Loader Error !", code);
}

// The libpng part, kept in its own frame so nothing with a destructor
// lives across the error jump.
uint8_t* decode_png(FILE* stream, png_structp png, png_infop info, int* width, int* height, int* bpp, int* error_code) {
    if (setjmp(png_jmpbuf(png))) {
        *error_code = 3;
        return nullptr;
    }
    png_set_user_limits(png, max_png_side, max_png_side);
    png_set_chunk_malloc_max(png, max_png_chunk);
    // Ancillary chunks are never used: skip them unread instead of caching them.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_init_io(png, stream);
    png_set_sig_bytes(png, 8);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_uint_32 w = png_get_image_width(png, info);
    png_uint_32 h = png_get_image_height(png, info);
    int depth = png_get_bit_depth(png, info);
    int type = png_get_color_type(png, info);
    int bytes;
    if (type == PNG_COLOR_TYPE_RGB && depth == 8) bytes = 3;
    else if (type == PNG_COLOR_TYPE_RGB_ALPHA && depth == 8) bytes = 4;
    else {
        *error_code = 4;
        return nullptr;
    }
    size_t stride = static_cast<size_t>(w) * bytes;
    size_t total = stride * h;
    auto* pixels = static_cast<uint8_t*>(std::malloc(total > 0 ? total : 1));
    if (!pixels) {
        *error_code = 3;
        return nullptr;
    }
    png_bytepp rows = png_get_rows(png, info);
    for (png_uint_32 y = 0; y < h; ++y) std::memcpy(pixels + stride * y, rows[y], stride);
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    *bpp = bytes;
    return pixels;
}

} // namespace

uint8_t* texture_read_png(FILE* stream, int* width, int* height, int* bytes_per_pixel) {
    png_byte signature[8] = {};
    if (std::fread(signature, 1, 8, stream) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        png_fail(stream, 1);
        return nullptr;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(png ? &png : nullptr, nullptr, nullptr);
        png_fail(stream, 2);
        return nullptr;
    }
    int error_code = 0;
    uint8_t* pixels = decode_png(stream, png, info, width, height, bytes_per_pixel, &error_code);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!pixels) png_fail(stream, error_code);
    return pixels;
}

namespace {

// Reads one PNG plane into a vector; false when the reader failed (it has
// then logged and closed the stream).
bool read_png_plane(FILE* stream, std::vector<uint8_t>* plane, int* w, int* h, int* bpp) {
    uint8_t* pixels = texture_read_png(stream, w, h, bpp);
    if (!pixels) return false;
    std::unique_ptr<uint8_t, void (*)(void*)> owned(pixels, std::free);
    plane->assign(pixels, pixels + static_cast<size_t>(*w) * *h * *bpp);
    return true;
}

bool read_i32(FILE* f, int* v) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    *v = static_cast<int>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                          static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
    return true;
}

// Bytes left between the current position and the end of the stream.
uint64_t bytes_left(FILE* f) {
    long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return 0;
    long end = std::ftell(f);
    std::fseek(f, here, SEEK_SET);
    return end > here ? static_cast<uint64_t>(end - here) : 0;
}

// A header that cannot describe real data is refused: negative or absurd
// sizes, pixel sizes other than 3 and 4 (the upload reads 3 bytes a pixel
// for anything but 4).
bool header_valid(int w, int h, int bpp, int count) {
    if (w < 0 || h < 0 || count < 0 || (bpp != 3 && bpp != 4)) return false;
    if (w > static_cast<int>(max_png_side) || h > static_cast<int>(max_png_side)) return false;
    uint64_t bytes = static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * static_cast<uint64_t>(bpp);
    return count == 0 || bytes <= max_plane_bytes / static_cast<uint64_t>(count);
}

uint64_t plane_bytes(int w, int h, int bpp) {
    return static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * static_cast<uint64_t>(bpp);
}

// Raw planes: the header has been read; the data must all be there.
bool read_raw(FILE* f, uint64_t bytes, std::vector<uint8_t>* out) {
    if (bytes > bytes_left(f)) return false;
    out->resize(static_cast<size_t>(bytes));
    return bytes == 0 || std::fread(out->data(), 1, out->size(), f) == out->size();
}

enum class Body { ok, corrupt, png_failed };

Body read_volume(FILE* f, int flags, TextureImage* img) {
    int w, h, bpp, depth;
    if (!read_i32(f, &w) || !read_i32(f, &h) || !read_i32(f, &bpp) || !read_i32(f, &depth)) return Body::corrupt;
    if (!header_valid(w, h, bpp, depth)) return Body::corrupt;
    img->target = GL_TEXTURE_3D;
    img->width = w;
    img->height = h;
    img->bytes_per_pixel = bpp;
    img->depth = depth;
    img->planes.resize(1);
    std::vector<uint8_t>& volume = img->planes[0];
    uint64_t slice = plane_bytes(w, h, bpp);
    if ((flags & 0x01) && !read_raw(f, slice * static_cast<uint64_t>(depth), &volume)) return Body::corrupt;
    if (flags & 0x02) {
        for (int i = 0; i < depth; ++i) {
            std::vector<uint8_t> plane;
            int pw = 0, ph = 0, pbpp = 0;
            if (!read_png_plane(f, &plane, &pw, &ph, &pbpp)) return Body::png_failed;
            if (pw != w || ph != h || pbpp != bpp) return Body::corrupt;
            // Without raw data the volume grows slice by slice, so its size
            // is backed by decoded data rather than by the header alone.
            size_t offset = static_cast<size_t>(slice) * static_cast<size_t>(i);
            if (volume.size() < offset + slice) volume.resize(offset + slice);
            std::memcpy(volume.data() + offset, plane.data(), static_cast<size_t>(slice));
        }
    }
    return Body::ok;
}

Body read_2d(FILE* f, int flags, TextureImage* img) {
    img->target = GL_TEXTURE_2D;
    img->planes.resize(1);
    if (flags & 0x01) {
        int w, h, bpp;
        if (!read_i32(f, &w) || !read_i32(f, &h) || !read_i32(f, &bpp)) return Body::corrupt;
        if (!header_valid(w, h, bpp, 1)) return Body::corrupt;
        if (!read_raw(f, plane_bytes(w, h, bpp), &img->planes[0])) return Body::corrupt;
        img->width = w;
        img->height = h;
        img->bytes_per_pixel = bpp;
    }
    if (flags & 0x02) {
        if (!read_png_plane(f, &img->planes[0], &img->width, &img->height, &img->bytes_per_pixel))
            return Body::png_failed;
    }
    return Body::ok;
}

Body read_cube(FILE* f, int flags, TextureImage* img) {
    img->target = GL_TEXTURE_CUBE_MAP;
    img->planes.resize(6);
    if (flags & 0x01) {
        int w, h, bpp;
        if (!read_i32(f, &w) || !read_i32(f, &h) || !read_i32(f, &bpp)) return Body::corrupt;
        if (!header_valid(w, h, bpp, 6)) return Body::corrupt;
        for (auto& face : img->planes)
            if (!read_raw(f, plane_bytes(w, h, bpp), &face)) return Body::corrupt;
        img->width = w;
        img->height = h;
        img->bytes_per_pixel = bpp;
    }
    if (flags & 0x02) {
        for (int i = 0; i < 6; ++i) {
            int w = 0, h = 0, bpp = 0;
            if (!read_png_plane(f, &img->planes[i], &w, &h, &bpp)) return Body::png_failed;
            // Every face is uploaded with one size, so they must agree.
            if (i > 0 && (w != img->width || h != img->height || bpp != img->bytes_per_pixel)) return Body::corrupt;
            img->width = w;
            img->height = h;
            img->bytes_per_pixel = bpp;
        }
    }
    return Body::ok;
}

bool read_container(FILE* f, const char* path, TextureImage* img) {
    unsigned char magic[4];
    int flag_word = 0;
    Body body = Body::corrupt;
    if (std::fread(magic, 1, 4, f) == 4 && read_i32(f, &flag_word)) {
        int flags = flag_word & 0xFF;
        if (flags & 0x10) body = read_volume(f, flags, img);
        else if (flags & 0x08) body = read_2d(f, flags, img);
        else if (flags & 0x20) body = read_cube(f, flags, img);
        else body = Body::ok; // no shape: an empty 2D texture
    }
    if (body == Body::png_failed) return false; // the PNG reader logged and closed the stream
    std::fclose(f);
    if (body == Body::corrupt) log_error("Texture Loader [\"%s\"] Corrupt File !", path);
    return body == Body::ok;
}

} // namespace

bool texture_decode(FILE* stream, const char* path, TextureImage* out) {
    *out = TextureImage{};
    if (!stream) return false;
    long start = std::ftell(stream);
    unsigned char header[4] = {};
    size_t got = std::fread(header, 1, 4, stream);
    (void)got; // a short file leaves the rest of the header zero
    std::fseek(stream, start, SEEK_SET);
    std::clearerr(stream);
    if (header[0] == 'V' && header[1] == 'T' && header[2] == 'X') return read_container(stream, path, out);
    if (header[1] == 'P' && header[2] == 'N' && header[3] == 'G') {
        out->planes.resize(1);
        if (!read_png_plane(stream, &out->planes[0], &out->width, &out->height, &out->bytes_per_pixel)) return false;
        std::fclose(stream);
        return true;
    }
    std::fclose(stream);
    log_error("Texture Loader [%s] Unknow File Type !", path);
    return false;
}

namespace {

// Pictures handed over in memory (a model imported on the fly), looked up
// by name before any file.
struct TextureMemory {
    std::map<std::string, std::vector<uint8_t>> files;
};
TextureMemory texture_memory;

// The file as passed, then under "textures/", then in the archive. *found
// names the file opened, empty for an archive entry or a picture in memory.
FILE* open_texture_file(const char* path, std::string* found) {
    auto held = texture_memory.files.find(path);
    if (held != texture_memory.files.end() && !held->second.empty()) {
        found->clear();
        // The stream reads the held bytes in place; they stay until
        // texture_forget_memory, after the loads that asked for them.
        return fmemopen(held->second.data(), held->second.size(), "rb");
    }
    *found = path_data(path);
    if (FILE* f = std::fopen(found->c_str(), "rb")) return f;
    *found = path_data(std::string("textures/") + path);
    if (FILE* f = std::fopen(found->c_str(), "rb")) return f;
    found->clear();
    PackLookup outcome;
    FILE* f = pack_open_entry(path, &outcome);
    if (!f && outcome == PACK_ARCHIVE_MISSING) log_error("Texture Loader [\"%s\"] Not found !", path);
    return f;
}

// The image into an existing texture object of its target, bound to it.
void fill(const TextureImage& img, GLuint gl_name) {
    GLenum format = img.bytes_per_pixel == 4 ? GL_RGBA : GL_RGB;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(img.target, gl_name);
    if (img.target == GL_TEXTURE_3D) {
        glTexImage3D(GL_TEXTURE_3D, 0, static_cast<GLint>(format), img.width, img.height, img.depth, 0, format,
                     GL_UNSIGNED_BYTE, img.planes[0].empty() ? nullptr : img.planes[0].data());
    } else if (img.target == GL_TEXTURE_CUBE_MAP) {
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
        for (int i = 0; i < 6; ++i) {
            const std::vector<uint8_t>& face = img.planes[static_cast<size_t>(i)];
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(i), 0, static_cast<GLint>(format),
                         img.width, img.height, 0, format, GL_UNSIGNED_BYTE, face.empty() ? nullptr : face.data());
        }
        glTexGenf(GL_S, GL_TEXTURE_GEN_MODE, static_cast<GLfloat>(GL_REFLECTION_MAP));
        glTexGenf(GL_T, GL_TEXTURE_GEN_MODE, static_cast<GLfloat>(GL_REFLECTION_MAP));
        glTexGenf(GL_R, GL_TEXTURE_GEN_MODE, static_cast<GLfloat>(GL_REFLECTION_MAP));
    }
    texture_set_filter(img.target);
    // An image without pixels (a container with no shape) stays an empty texture.
    if (img.target == GL_TEXTURE_2D && img.width > 0 && img.height > 0 && !img.planes.empty() && !img.planes[0].empty())
        gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), img.width, img.height, format, GL_UNSIGNED_BYTE,
                          img.planes[0].data());
}

void upload(const TextureImage& img, GLuint* gl_name) {
    glEnable(img.target);
    glGenTextures(1, gl_name);
    fill(img, *gl_name);
}

GLenum binding_of(GLenum target) {
    switch (target) {
    case GL_TEXTURE_3D: return GL_TEXTURE_BINDING_3D;
    case GL_TEXTURE_CUBE_MAP: return GL_TEXTURE_BINDING_CUBE_MAP;
    default: return GL_TEXTURE_BINDING_2D;
    }
}

const char* target_name(GLenum target) {
    switch (target) {
    case GL_TEXTURE_3D: return "a volume";
    case GL_TEXTURE_CUBE_MAP: return "a cube map";
    default: return "a 2D texture";
    }
}

// Decodes the file again into the same texture object, so that every copy
// of the record, all sharing gl_name, draws the new picture. The active
// unit's binding is put back: a reload comes between frames, unannounced.
bool reload_texture(GLuint gl_name, GLenum target, const std::string& path, const std::string& file,
                    std::string* error) {
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
        *error = "cannot be opened";
        return false;
    }
    TextureImage img;
    if (!texture_decode(f, path.c_str(), &img)) {
        *error = "not a PNG or texture container the loader takes (see the report)";
        return false;
    }
    // A texture object's target is fixed once it was bound.
    if (img.target != target) {
        *error =
            std::string("now ") + target_name(img.target) + ", was " + target_name(target) + ": that takes a restart";
        return false;
    }
    GLint bound = 0;
    glGetIntegerv(binding_of(target), &bound);
    // A cube map's upload sets the unit's coordinate generation as well.
    const GLenum coordinates[3] = {GL_S, GL_T, GL_R};
    GLint generation[3] = {};
    for (int i = 0; i < 3; ++i) glGetTexGeniv(coordinates[i], GL_TEXTURE_GEN_MODE, &generation[i]);
    fill(img, gl_name);
    for (int i = 0; i < 3; ++i) glTexGeni(coordinates[i], GL_TEXTURE_GEN_MODE, generation[i]);
    glBindTexture(target, static_cast<GLuint>(bound));
    log_write_at(LOG_OK, "Texture Loader [\"%s\" %dx%dx%d] Reloaded !", path.c_str(), img.width, img.height,
                 img.bytes_per_pixel);
    return true;
}

void watch_texture(GLuint gl_name, GLenum target, const char* path, const std::string& found) {
    reload_register(RELOAD_TEXTURE, gl_name, found,
                    [gl_name, target, name = std::string(path)](const std::string& file, std::string* error) {
                        return reload_texture(gl_name, target, name, file, error);
                    });
}

} // namespace

void texture_init(Texture* t) {
    *t = Texture{};
    t->target = GL_TEXTURE_2D;
}

Texture texture_copy(Texture* destination, Texture source) {
    *destination = source;
    return *destination;
}

bool texture_load(Texture* t, const char* path) {
    t->name = nullptr;
    t->gl_name = 0;
    t->target = GL_TEXTURE_2D;
    if (!path) return false;
    std::string found;
    FILE* f = open_texture_file(path, &found);
    if (!f) return false;
    TextureImage img;
    if (!texture_decode(f, path, &img)) {
        // While watching, a file that does not decode (yet) gets an empty
        // object that saving it again fills; its holders draw it untextured
        // until then, as they would draw no texture at all.
        if (reload_active() && !found.empty()) {
            glGenTextures(1, &t->gl_name);
            watch_texture(t->gl_name, GL_TEXTURE_2D, path, found);
            reload_note_failure(found, "not a PNG or texture container the loader takes (see the report)");
        }
        return false;
    }
    upload(img, &t->gl_name);
    // An archive entry cannot be edited; a file can.
    if (reload_active() && !found.empty()) watch_texture(t->gl_name, img.target, path, found);
    t->width = img.width;
    t->height = img.height;
    t->bytes_per_pixel = img.bytes_per_pixel;
    t->depth = img.depth;
    t->target = img.target;
    t->name = strdup(path);
    log_set_level(LOG_OK);
    log_write("Texture Loader [\"%s\" %dx%dx%d] Loaded !", path, img.width, img.height, img.bytes_per_pixel);
    texture_reset_units();
    return true;
}

void texture_provide_memory(const std::string& name, std::vector<uint8_t> bytes) {
    texture_memory.files[name] = std::move(bytes);
}

void texture_forget_memory() { texture_memory.files.clear(); }

Texture texture_load(const char* path) {
    Texture t;
    texture_init(&t);
    texture_load(&t, path);
    return t;
}

void texture_set_filter(GLenum target) {
    GLint filter;
    if (texture_filter_mode == 1) filter = GL_LINEAR;
    else if (texture_filter_mode == 2) filter = GL_NEAREST;
    else return;
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter);
}

void texture_bind(Texture t, int unit) {
    texture_state_active_unit(unit);
    texture_state_enable(t.target, true);
    texture_state_bind(t.target, t.gl_name);
    if (t.kind == TEXTURE_PBUFFER) platform_pbuffer_bind_tex_image(t.pbuffer);
}

void texture_unbind(Texture t, int) {
    if (t.kind == TEXTURE_PBUFFER) platform_pbuffer_release_tex_image(t.pbuffer);
    texture_state_bind(t.target, 0);
    texture_state_enable(t.target, false);
    texture_state_env_mode(GL_MODULATE);
}

int texture_reset_units() {
    for (int unit = 7; unit >= 0; --unit) {
        texture_state_active_unit(unit);
        texture_state_env_mode(GL_MODULATE);
        texture_state_bind(GL_TEXTURE_2D, 0);
    }
    texture_state_bind(GL_TEXTURE_3D, 0);
    texture_state_bind(GL_TEXTURE_2D, 0);
    texture_state_bind(GL_TEXTURE_CUBE_MAP, 0);
    texture_state_enable(GL_TEXTURE_3D, false);
    texture_state_enable(GL_TEXTURE_2D, false);
    texture_state_enable(GL_TEXTURE_CUBE_MAP, false);
    texture_state_env_mode(GL_MODULATE);
    texture_state_blend_default();
    texture_state_enable(GL_CULL_FACE, false);
    return 0;
}

void texture_free(Texture* t) {
    if (t->kind == TEXTURE_PBUFFER) {
        if (t->pbuffer) platform_pbuffer_destroy(t->pbuffer);
        t->pbuffer = 0;
        t->framebuffer = 0;
        t->renderbuffer = 0;
    } else if (t->kind == TEXTURE_FRAMEBUFFER) {
        glDeleteFramebuffersEXT(1, &t->framebuffer);
        glDeleteRenderbuffersEXT(1, &t->renderbuffer);
    }
    if (t->gl_name) reload_forget(RELOAD_TEXTURE, t->gl_name);
    glDeleteTextures(1, &t->gl_name);
    std::free(t->name);
    t->name = nullptr;
    t->gl_name = 0;
}

namespace {

void texture_draw_begin(const Texture& t, Color colour) {
    glEnable(GL_BLEND);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(t.target);
    glBindTexture(t.target, t.gl_name);
    if (t.kind == TEXTURE_PBUFFER) platform_pbuffer_bind_tex_image(t.pbuffer);
    glColor4ub(colour.r, colour.g, colour.b, colour.a);
}

void texture_draw_end(const Texture& t) {
    glDisable(GL_BLEND);
    if (t.kind == TEXTURE_PBUFFER) platform_pbuffer_release_tex_image(t.pbuffer);
    glBindTexture(t.target, 0);
    glDisable(t.target);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

// The four corners of one quad, inside glBegin(GL_QUADS).
void texture_quad_2d(const Texture& t, const TexturePart& p) {
    const float x0 = static_cast<float>(p.x);
    const float y0 = static_cast<float>(p.y);
    const float x1 = static_cast<float>(p.x + p.w);
    const float y1 = static_cast<float>(p.y + p.h);
    float v0 = p.v0, v1 = p.v1;
    // Render targets are stored bottom row first; repeat wrapping in t
    // turns -1..0 into the image's rows top to bottom.
    if (t.kind == TEXTURE_FRAMEBUFFER || t.kind == TEXTURE_PBUFFER) {
        v0 = 0.0f - v0;
        v1 = 0.0f - v1;
    }
    glTexCoord2f(p.u0, v0);
    glVertex2f(x0, y0);
    glTexCoord2f(p.u1, v0);
    glVertex2f(x1, y0);
    glTexCoord2f(p.u1, v1);
    glVertex2f(x1, y1);
    glTexCoord2f(p.u0, v1);
    glVertex2f(x0, y1);
}

} // namespace

void texture_draw_parts(Texture t, std::span<const TexturePart> parts, Color colour) {
    if (t.target != GL_TEXTURE_2D || parts.empty()) return;
    texture_draw_begin(t, colour);
    glBegin(GL_QUADS);
    for (const TexturePart& part : parts) texture_quad_2d(t, part);
    glEnd();
    texture_draw_end(t);
}

void texture_draw(Texture t, int x, int y, int w, int h, Color colour) {
    texture_draw_begin(t, colour);
    float x0 = static_cast<float>(x);
    float y0 = static_cast<float>(y);
    float x1 = static_cast<float>(x + w);
    float y1 = static_cast<float>(y + h);
    if (t.target == GL_TEXTURE_2D) {
        glBegin(GL_QUADS);
        texture_quad_2d(t, {x, y, w, h, 0, 0, 1, 1});
        glEnd();
    } else if (t.target == GL_TEXTURE_RECTANGLE_ARB) {
        float tw = static_cast<float>(w);
        float th = static_cast<float>(h);
        glBegin(GL_QUADS);
        glTexCoord2f(tw, 0);
        glVertex2f(x1, y1);
        glTexCoord2f(0, 0);
        glVertex2f(x0, y1);
        glTexCoord2f(0, th);
        glVertex2f(x0, y0);
        glTexCoord2f(tw, th);
        glVertex2f(x1, y0);
        glEnd();
    } else if (t.target == GL_TEXTURE_CUBE_MAP) {
        glBegin(GL_QUADS);
        glTexCoord3f(0, 0, 0);
        glVertex2f(x0, y0);
        glTexCoord3f(1, 0, 0);
        glVertex2f(x1, y0);
        glTexCoord3f(1, 1, 0);
        glVertex2f(x1, y1);
        glTexCoord3f(0, 1, 0);
        glVertex2f(x0, y1);
        glEnd();
    }

    texture_draw_end(t);
}
