#include "platform/platform_pbuffer.h"
#include "platform/platform_window.h"

#include "core/gl.h"

#include <EGL/egl.h>

#include <vector>

namespace {

struct Pbuffer {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint texture = 0; // the render target's texture, for the copy path
    int width = 0;
    int height = 0;
    bool bound = false;
};

// The window's EGL state, noted when we switch away from it.
struct CurrentState {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface draw = EGL_NO_SURFACE;
    EGLSurface read = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
};

// How a pbuffer's image reaches its texture. Mesa's software rasteriser
// accepts eglBindTexImage but hands over an empty image, so a probe decides
// once whether binding works; otherwise the pbuffer's colour buffer is
// copied into the (shared) texture when drawing returns to the window.
enum class TexturePath { unknown, bind, copy };

std::vector<Pbuffer> pbuffers; // handle n is pbuffers[n - 1]
CurrentState saved;
bool have_saved = false;
TexturePath texture_path = TexturePath::unknown;

Pbuffer* find(unsigned handle) {
    if (handle == 0 || handle > pbuffers.size()) return nullptr;
    Pbuffer* p = &pbuffers[handle - 1];
    return p->surface == EGL_NO_SURFACE ? nullptr : p;
}

Pbuffer* find_by_context(EGLContext context) {
    for (Pbuffer& p : pbuffers)
        if (p.context != EGL_NO_CONTEXT && p.context == context) return &p;
    return nullptr;
}

// The window's context only counts when it is an EGL one.
bool egl_window_current() {
    return eglGetCurrentContext() != EGL_NO_CONTEXT && eglGetCurrentDisplay() != EGL_NO_DISPLAY;
}

bool choose_config(EGLDisplay display, EGLConfig* config) {
    const EGLint attributes[] = {
        EGL_SURFACE_TYPE,
        EGL_PBUFFER_BIT,
        EGL_RENDERABLE_TYPE,
        EGL_OPENGL_BIT,
        EGL_BIND_TO_TEXTURE_RGBA,
        EGL_TRUE,
        EGL_RED_SIZE,
        8,
        EGL_GREEN_SIZE,
        8,
        EGL_BLUE_SIZE,
        8,
        EGL_ALPHA_SIZE,
        8,
        EGL_DEPTH_SIZE,
        16,
        EGL_NONE,
    };
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, config, 1, &count)) return false;
    return count > 0;
}

bool make_surface(int width, int height, Pbuffer* out) {
    EGLDisplay display = eglGetCurrentDisplay();
    EGLContext share = eglGetCurrentContext();
    EGLConfig config;
    if (!choose_config(display, &config)) return false;
    const EGLint surface_attributes[] = {
        EGL_WIDTH,          width,          EGL_HEIGHT, height, EGL_TEXTURE_FORMAT, EGL_TEXTURE_RGBA,
        EGL_TEXTURE_TARGET, EGL_TEXTURE_2D, EGL_NONE,
    };
    EGLSurface surface = eglCreatePbufferSurface(display, config, surface_attributes);
    if (surface == EGL_NO_SURFACE) return false;
    // Same client API as the window's context, so texture names are shared.
    eglBindAPI(EGL_OPENGL_API);
    EGLContext context = eglCreateContext(display, config, share, nullptr);
    if (context == EGL_NO_CONTEXT) {
        eglDestroySurface(display, surface);
        return false;
    }
    out->display = display;
    out->surface = surface;
    out->context = context;
    out->width = width;
    out->height = height;
    return true;
}

void remember_window_state() {
    EGLContext current = eglGetCurrentContext();
    if (current == EGL_NO_CONTEXT || find_by_context(current)) return;
    saved.display = eglGetCurrentDisplay();
    saved.draw = eglGetCurrentSurface(EGL_DRAW);
    saved.read = eglGetCurrentSurface(EGL_READ);
    saved.context = current;
    have_saved = true;
}

// Clears a tiny pbuffer to a known colour and looks whether eglBindTexImage
// shows it in a texture of the window's context.
TexturePath probe_texture_path() {
    Pbuffer probe;
    if (!make_surface(4, 4, &probe)) return TexturePath::copy;
    CurrentState window;
    window.display = eglGetCurrentDisplay();
    window.draw = eglGetCurrentSurface(EGL_DRAW);
    window.read = eglGetCurrentSurface(EGL_READ);
    window.context = eglGetCurrentContext();

    bool drawn = false;
    if (eglMakeCurrent(probe.display, probe.surface, probe.surface, probe.context)) {
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glFinish();
        drawn = true;
    }
    eglMakeCurrent(window.display, window.draw, window.read, window.context);

    TexturePath path = TexturePath::copy;
    if (drawn) {
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        uint8_t pixels[4 * 4 * 4] = {};
        if (eglBindTexImage(probe.display, probe.surface, EGL_BACK_BUFFER)) {
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
            eglReleaseTexImage(probe.display, probe.surface, EGL_BACK_BUFFER);
            if (pixels[0] == 255 && pixels[1] == 0 && pixels[2] == 255) path = TexturePath::bind;
        }
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
        glDeleteTextures(1, &texture);
    }
    eglDestroyContext(probe.display, probe.context);
    eglDestroySurface(probe.display, probe.surface);
    return path;
}

// Copy path: the pbuffer's context writes its picture into the shared
// texture before drawing leaves it.
void copy_to_texture(const Pbuffer& p) {
    if (!p.texture) return;
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    glActiveTexture(GL_TEXTURE0);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, p.width, p.height);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    glActiveTexture(static_cast<GLenum>(unit));
}

} // namespace

bool platform_pbuffer_available(PlatformPbufferTarget target) {
    // eglBindTexImage only knows 2D textures.
    return target == PLATFORM_PBUFFER_2D && egl_window_current();
}

bool platform_pbuffer_choose_format() {
    if (!egl_window_current()) return false;
    EGLConfig config;
    return choose_config(eglGetCurrentDisplay(), &config);
}

unsigned platform_pbuffer_create(int width, int height, PlatformPbufferTarget target, unsigned texture) {
    if (target != PLATFORM_PBUFFER_2D || !egl_window_current() || width <= 0 || height <= 0) return 0;
    if (find_by_context(eglGetCurrentContext())) return 0; // only from the window's context
    if (texture_path == TexturePath::unknown) texture_path = probe_texture_path();

    Pbuffer p;
    if (!make_surface(width, height, &p)) return 0;
    if (texture_path == TexturePath::copy && texture) {
        // The copy needs storage of the pbuffer's size in the texture.
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
        p.texture = texture;
    }
    pbuffers.push_back(p);
    return static_cast<unsigned>(pbuffers.size());
}

bool platform_pbuffer_query_size(unsigned handle, int* width, int* height) {
    Pbuffer* p = find(handle);
    if (!p) return false;
    EGLint w = 0;
    EGLint h = 0;
    if (!eglQuerySurface(p->display, p->surface, EGL_WIDTH, &w) ||
        !eglQuerySurface(p->display, p->surface, EGL_HEIGHT, &h))
        return false;
    *width = w;
    *height = h;
    return true;
}

bool platform_pbuffer_lost(unsigned handle) { return find(handle) == nullptr; }

bool platform_pbuffer_make_current(unsigned handle) {
    Pbuffer* p = find(handle);
    if (!p) return false;
    remember_window_state();
    // Drawing into a surface that is bound as a texture is undefined.
    if (p->bound) {
        eglReleaseTexImage(p->display, p->surface, EGL_BACK_BUFFER);
        p->bound = false;
    }
    return eglMakeCurrent(p->display, p->surface, p->surface, p->context) == EGL_TRUE;
}

void platform_pbuffer_restore() {
    if (texture_path == TexturePath::copy)
        if (Pbuffer* p = find_by_context(eglGetCurrentContext())) copy_to_texture(*p);
    // SDL believes its context never stopped being current and would skip
    // the switch, so the noted EGL state is restored directly.
    if (have_saved && eglMakeCurrent(saved.display, saved.draw, saved.read, saved.context)) return;
    platform_make_current();
}

void platform_pbuffer_bind_tex_image(unsigned handle) {
    Pbuffer* p = find(handle);
    if (!p || texture_path != TexturePath::bind) return;
    if (p->bound) eglReleaseTexImage(p->display, p->surface, EGL_BACK_BUFFER);
    p->bound = eglBindTexImage(p->display, p->surface, EGL_BACK_BUFFER) == EGL_TRUE;
}

void platform_pbuffer_release_tex_image(unsigned handle) {
    Pbuffer* p = find(handle);
    if (!p || !p->bound) return;
    eglReleaseTexImage(p->display, p->surface, EGL_BACK_BUFFER);
    p->bound = false;
}

void platform_pbuffer_destroy(unsigned handle) {
    Pbuffer* p = find(handle);
    if (!p) return;
    if (p->bound) eglReleaseTexImage(p->display, p->surface, EGL_BACK_BUFFER);
    if (eglGetCurrentContext() == p->context) platform_pbuffer_restore();
    eglDestroyContext(p->display, p->context);
    eglDestroySurface(p->display, p->surface);
    *p = Pbuffer();
}
